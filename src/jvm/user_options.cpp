#include "jvm/user_options.h"

#include "config/config_file.h"
#include "config/ini_file.h"
#include "jvm/jvm_options.h"
#include "start/launcher.h"

namespace corvid {

namespace {

// A longer file is no list of options a user wrote.
constexpr std::size_t kUserOptionsLimit = 1 << 20;

bool isBlank(char16_t c) { return c == u' ' || c == u'\t'; }

}  // namespace

WideList parseUserOptions(WideView content) {
    WideList options;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find_first_of(u"\r\n", start);
        if (end == WideView::npos) end = content.size();
        WideView line = content.substr(start, end - start);
        while (!line.empty() && isBlank(line.front())) line.remove_prefix(1);
        while (!line.empty() && isBlank(line.back())) line.remove_suffix(1);
        if (!line.empty() && line.front() != u'#') options.emplace_back(line);
        start = end + 1;
    }
    return options;
}

void appendUserOptions(Launcher& launcher, const WideString& configFile, WideList& tokens) {
    Platform& platform = launcher.platform;
    Trace& trace = launcher.trace;
    if (launcher.isService) return;
    const WideString wanted = readConfigValue(platform, configFile, u"Java Runtime Environment", u"User Options");
    if (!equalsIgnoringAsciiCase(wanted, u"Yes")) return;
    WideString path = getUserConfigFilePath(launcher, false);
    if (path.empty()) return;
    path.replace(path.size() - 4, 4, u".vmoptions");  // the per-user file's ".ini"
    const auto bytes = platform.files.readFile(path, kUserOptionsLimit + 1);
    if (!bytes || bytes->size() > kUserOptionsLimit) {
        if (trace.enabled()) trace.line("user options: ", path, bytes ? " is too long, not read" : " not found");
        return;
    }
    for (WideString& option : parseUserOptions(decodeIniBytes(*bytes).content)) {
        if (trace.enabled()) trace.line("user option from ", path, ": ", option);
        applySizeOption(launcher, option);
        tokens.push_back(std::move(option));
    }
}

}  // namespace corvid
