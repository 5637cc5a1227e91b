#include "config/config_keys.h"

#include <algorithm>
#include <climits>

#include "config/config_file.h"
#include "start/launcher.h"
#include "start/messages.h"

namespace corvid {

namespace {

constexpr WideView kRuntimeSection = u"Java Runtime Environment";

struct VmProviderRow {
    WideView text;
    bool allowJRockit, favorJRockit, allowSun, favorSun;
};

// Searched in order, letter case ignored; the first matching row wins.
constexpr VmProviderRow kVmProviders[] = {
    {u"", false, false, true, true},
    {u"jrockit", true, true, false, false},
    {u"favor_sun", true, false, true, true},
    {u"favor_jrockit", true, true, true, false},
    {u"any", true, false, true, false},
};

}  // namespace

WideList splitAtSeparator(WideView text, WideView separator) {
    WideList result;
    std::size_t position = 0;
    for (;;) {
        const std::size_t found = text.find(separator, position);
        if (found == WideView::npos || separator.empty()) break;
        result.emplace_back(text.substr(position, found - position));
        position = found + separator.size();
    }
    result.emplace_back(text.substr(position));
    return result;
}

JvmType parseJvmType(WideView text) {
    if (text == u"server") return JvmType::ServerOnly;
    if (text == u"favor_server") return JvmType::FavorServer;
    return JvmType::Default;
}

void applyJvmSource(WideView text, RuntimeSearchPolicy& policy) {
    if (text.empty()) {
        policy.allowJdk = policy.allowJre = true;
        return;
    }
    const bool favor = text == u"favor_JRE" || text == u"favor_JDK";
    policy.favorSource = favor;
    policy.allowJdk = text == u"favor_JDK" || text == u"only_JDK";
    policy.allowJre = text == u"favor_JRE" || text == u"only_JRE";
}

void applyVmProvider(WideView text, RuntimeSearchPolicy& policy) {
    if (text.empty()) return;
    for (const VmProviderRow& row : kVmProviders) {
        if (equalsIgnoringAsciiCase(row.text, text)) {
            policy.allowJRockit = row.allowJRockit;
            policy.favorJRockit = row.favorJRockit;
            policy.allowSun = row.allowSun;
            policy.favorSun = row.favorSun;
            return;
        }
    }
}

std::optional<std::int32_t> parseExitCode(WideView text) {
    const bool negative = !text.empty() && text.front() == u'-';
    if (!text.empty() && (negative || text.front() == u'+')) text.remove_prefix(1);
    const auto digits = parseDigits(text);
    if (!digits || *digits > std::uint64_t{INT32_MAX} + (negative ? 1 : 0)) return std::nullopt;
    const auto value = static_cast<std::int64_t>(*digits);
    return static_cast<std::int32_t>(negative ? -value : value);
}

bool loadConfiguration(Launcher& launcher) {
    const auto file = getConfigFilePath(launcher);
    if (!file) return false;
    Platform& platform = launcher.platform;
    Trace& trace = launcher.trace;
    if (trace.enabled()) trace.line("configuration file ", *file);
    // Without this check every key reads as empty and the first message would
    // blame a missing main class instead of the missing file.
    if (!platform.files.findFirst(*file)) {
        if (trace.enabled()) trace.line("the configuration file does not exist");
        showError(platform.ui, launcher.owner(), formatMessage(platform.ui, MessageId::ConfigFileMissing, {*file}));
        return false;
    }
    const auto read = [&](WideView section, WideView key) {
        WideString value = readConfigValue(platform, *file, section, key);
        if (trace.enabled()) trace.line("[", section, "] ", key, " = \"", value, "\"");
        return value;
    };

    launcher.minVersion = readLowerBound(read(kRuntimeSection, u"Minimum Version"));
    launcher.maxVersion = readUpperBound(read(kRuntimeSection, u"Maximum Version"));
    launcher.isService = read(u"Application", u"Application Type") == u"service";
    launcher.preferredVersions = splitAtSeparator(read(kRuntimeSection, u"Preferred versions"), u";");
    launcher.productCode = read(u"Product Information", u"Product Code");
    launcher.productName = read(u"Product Information", u"Product Name");
    launcher.jrePath = readJrePath(launcher, *file);
    if (trace.enabled()) trace.line("JRE Path = \"", launcher.jrePath, "\"");
    launcher.jvmType = parseJvmType(read(kRuntimeSection, u"JVM Type"));
    applyJvmSource(read(kRuntimeSection, u"JVM Source"), launcher.policy);
    applyVmProvider(read(kRuntimeSection, u"VM Provider"), launcher.policy);

    launcher.mainClass = read(kRuntimeSection, u"Main Class");
    launcher.mainModule = read(kRuntimeSection, u"Main Module");
    launcher.mainJar = read(kRuntimeSection, u"Main Jar");
    if (launcher.mainClass.empty() && launcher.mainModule.empty() && launcher.mainJar.empty()) {
        showError(platform.ui, launcher.owner(), loadMessage(platform.ui, MessageId::MainClassMissing));
        return false;
    }
    std::replace(launcher.mainClass.begin(), launcher.mainClass.end(), u'.', u'/');

    launcher.failureCheck = equalsIgnoringAsciiCase(read(u"Application", u"Failure Check"), u"Yes");
    launcher.overrideWorkingDir = equalsIgnoringAsciiCase(read(u"Application", u"Override WorkingDir"), u"Yes");
    launcher.appUserModelId = read(u"Application", u"App User Model ID");
    // A service is restarted by the service manager, never by itself.
    const WideString restartCode = read(u"Application", u"Restart Exit Code");
    if (!launcher.isService && !restartCode.empty()) {
        launcher.restart.exitCode = parseExitCode(restartCode);
        if (!launcher.restart.exitCode && trace.enabled()) trace.line("Restart Exit Code is no whole number: no restarts");
    }
    launcher.systemPath = read(kRuntimeSection, u"System Path");
    launcher.libraryPath = read(kRuntimeSection, u"Library Path");
    return true;
}

}  // namespace corvid
