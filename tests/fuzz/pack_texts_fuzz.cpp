// corvid-pack's command line on arbitrary arguments: a refusal is exit code 2
// and one line; an accepted one gives a configuration whose keys read back
// as the options said (and whose comments never read as keys), and an
// installer source in which no text escapes its attribute or reaches wixl's
// preprocessor.
#include "config/ini_file.h"
#include "fuzz_support.h"
#include "pack/ini_text.h"
#include "pack/options.h"
#include "pack/wix_source.h"

using namespace corvid;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Arguments separated by NUL bytes.
    std::vector<std::string> arguments;
    std::string current;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            arguments.push_back(current);
            current.clear();
        } else {
            current += static_cast<char>(data[i]);
        }
    }
    arguments.push_back(current);

    pack::PackOptions options;
    std::string error;
    const int status = pack::parsePackArguments(arguments, options, error);
    FUZZ_CHECK(status == 0 || status == 2);
    if (status != 0) {
        FUZZ_CHECK(!error.empty());
        FUZZ_CHECK(error.find('\n') == std::string::npos);
        return 0;
    }
    const WideString ini = fromUtf8(pack::applicationIni(options));
    const auto read = [&](const char16_t* section, const char16_t* key) {
        return toUtf8(findIniValue(ini, section, key).value_or(u"(missing)"));
    };
    FUZZ_CHECK(read(u"Product Information", u"Product Code") == options.name);
    FUZZ_CHECK(read(u"Product Information", u"Product Name") == options.vendor);
    FUZZ_CHECK(read(u"Application", u"App User Model ID") == options.appUserModelId);
    if (options.entry == pack::EntryPoint::Class) FUZZ_CHECK(read(u"Java Runtime Environment", u"Main Class") == options.entryName);
    if (options.entry == pack::EntryPoint::Module) FUZZ_CHECK(read(u"Java Runtime Environment", u"Main Module") == options.entryName);
    for (std::size_t at = 0; at < ini.size();) {
        const std::size_t end = std::min(ini.find(u'\n', at), ini.size());
        const WideView line = WideView(ini).substr(at, end - at);
        if (!line.empty() && line.front() == u';') FUZZ_CHECK(line.find(u'=') == WideView::npos);
        at = end + 1;
    }
    if (options.type == pack::PackageType::Msi) {
        const std::string source = pack::wixSource(options, {{options.name + ".exe", false}, {"app", true}});
        for (std::size_t at = source.find('$'); at != std::string::npos; at = source.find('$', at + 1)) {
            FUZZ_CHECK(source.compare(at, 13, "$(var.Dollar)") == 0);
        }
        for (std::size_t at = source.find('&'); at != std::string::npos; at = source.find('&', at + 1)) {
            const std::string entity = source.substr(at, 6);
            FUZZ_CHECK(entity.rfind("&amp;", 0) == 0 || entity.rfind("&lt;", 0) == 0 || entity.rfind("&gt;", 0) == 0 ||
                       entity.rfind("&quot;", 0) == 0 || entity.rfind("&apos;", 0) == 0);
        }
        // Each line is one element: its quotes pair up.
        for (std::size_t at = 0; at < source.size();) {
            const std::size_t end = source.find('\n', at);
            const std::string line = source.substr(at, end - at);
            FUZZ_CHECK(std::count(line.begin(), line.end(), '"') % 2 == 0);
            FUZZ_CHECK(std::count(line.begin(), line.end(), '<') == 1);
            at = end + 1;
        }
    }
    return 0;
}
