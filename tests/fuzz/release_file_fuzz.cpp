// A runtime's "release" file: a version is only ever the text of a
// JAVA_VERSION line (never empty, never with a control character), and a
// version written into any file as its first such line reads back unchanged,
// with LF or CR LF line ends and with or without a byte-order mark.
#include "fuzz_support.h"
#include "runtime/release_file.h"

using namespace corvid;

namespace {

bool plain(std::string_view text) {
    if (text.empty()) return false;
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
    }
    return true;
}

bool startsSomeLine(std::string_view content, std::string_view prefix) {
    for (std::size_t at = 0; at <= content.size();) {
        if (content.substr(at, prefix.size()) == prefix) return true;
        const std::size_t next = content.find('\n', at);
        if (next == std::string_view::npos) break;
        at = next + 1;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    const std::string version = provider.ConsumeRandomLengthString(40);
    const std::string before = provider.ConsumeRandomLengthString(200);
    const bool crlf = provider.ConsumeBool();
    const bool bom = provider.ConsumeBool();
    const std::string content = provider.ConsumeRemainingBytesAsString();

    const auto read = parseReleaseVersion(content);
    if (read) {
        FUZZ_CHECK(plain(*read));
        const std::string_view body = std::string_view(content).substr(content.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0);
        FUZZ_CHECK(startsSomeLine(body, "JAVA_VERSION=\"" + *read + "\"") || startsSomeLine(body, "JAVA_VERSION=" + *read));
    }
    if (content.find("JAVA_VERSION=") == std::string::npos) FUZZ_CHECK(!read);

    // A version written as the first JAVA_VERSION line reads back, whatever
    // other lines stand before and after it.
    if (plain(version) && version.find('"') == std::string::npos && before.find("JAVA_VERSION=") == std::string::npos) {
        const char* end = crlf ? "\r\n" : "\n";
        std::string file = bom ? "\xEF\xBB\xBF" : "";
        if (!before.empty()) file += before + end;
        file += "JAVA_VERSION=\"" + version + "\"" + end + content;
        const auto back = parseReleaseVersion(file);
        FUZZ_CHECK(back && *back == version);
        if (version.front() != '"') {
            FUZZ_CHECK(parseReleaseVersion((bom ? "\xEF\xBB\xBF" : "") + std::string("JAVA_VERSION=") + version + end) == version);
        }
    }
    return 0;
}
