#include "config/config_file.h"

#include "config/profile_store.h"
#include "start/launcher.h"
#include "start/messages.h"

namespace corvid {

namespace {

constexpr WideView kRuntimeSection = u"Java Runtime Environment";
constexpr WideView kInvalidNameChars = u"\\?\"|><:/*";

WideString removeInvalidNameChars(WideView name) {
    WideString out;
    for (const char16_t c : name) {
        if (kInvalidNameChars.find(c) == WideView::npos) out.push_back(c);
    }
    return out;
}

// The folder under which per-user files live: APPDATA on Windows, the XDG
// configuration folder on Linux.
WideString userConfigRoot(Environment& environment) {
#ifdef _WIN32
    return environment.get(u"APPDATA").value_or(WideString());
#else
    if (auto xdg = environment.get(u"XDG_CONFIG_HOME"); xdg && !xdg->empty()) return *xdg;
    return environment.get(u"HOME").value_or(WideString()) + u"/.config";
#endif
}

bool usesUserConfigFile(Launcher& launcher) {
    return launcher.platform.process.isNtPlatform() && !launcher.isService;
}

}  // namespace

std::optional<WideString> getModulePath(Launcher& launcher) {
    const ModulePath module = launcher.platform.process.modulePath();
    if (module.ok) return module.path;
    UserInterface& ui = launcher.platform.ui;
    showErrorCode(ui, launcher.owner(), loadMessage(ui, MessageId::WindowsException),
                  loadMessage(ui, MessageId::ModulePathFailed), module.error);
    return std::nullopt;
}

std::optional<WideString> getModuleFolder(Launcher& launcher) {
    auto path = getModulePath(launcher);
    if (!path) return std::nullopt;
    const std::size_t slash = path->rfind(kPathSeparator);
    if (slash != WideString::npos) path->resize(slash + 1);
    return path;
}

std::optional<WideString> configFilePathFor(WideView modulePath) {
    const std::size_t dot = modulePath.rfind(u'.');
#ifdef _WIN32
    if (dot == WideView::npos) return std::nullopt;
#else
    // Linux programs seldom carry an extension: only a dot in the file name
    // counts, and a name without one gets ".ini" appended.
    const std::size_t slash = modulePath.rfind(kPathSeparator);
    if (dot == WideView::npos || (slash != WideView::npos && dot < slash)) return WideString(modulePath) + u".ini";
#endif
    return WideString(modulePath.substr(0, dot + 1)) + u"ini";
}

WideString userConfigFilePathFor(WideView appData, WideView productName, WideView productCode, WideView modulePath) {
    WideView fileName = modulePath;
    const std::size_t slash = fileName.rfind(kPathSeparator);
    if (slash != WideView::npos) fileName.remove_prefix(slash + 1);
    const std::size_t dot = fileName.rfind(u'.');
    if (dot != WideView::npos) fileName = fileName.substr(0, dot);
    WideString path(appData);
    path += kPathSeparator;
    path += removeInvalidNameChars(productName);
    path += kPathSeparator;
    path += productCode;
    path += kPathSeparator;
    path += fileName;
    path += u".ini";
    return path;
}

std::optional<WideString> getConfigFilePath(Launcher& launcher) {
    const auto module = getModulePath(launcher);
    if (!module) return std::nullopt;
    return configFilePathFor(*module);
}

WideString getUserConfigFilePath(Launcher& launcher, bool createFolders) {
    const auto module = getModulePath(launcher);
    if (!module) return {};
    Platform& platform = launcher.platform;
    const WideString appData = userConfigRoot(platform.environment);
    if (createFolders) {
        WideString folder = appData + kPathSeparator + removeInvalidNameChars(launcher.productName);
        platform.files.createDirectory(folder);
        folder += kPathSeparator + launcher.productCode;
        platform.files.createDirectory(folder);
    }
    return userConfigFilePathFor(appData, launcher.productName, launcher.productCode, *module);
}

bool configFileExists(Platform& platform, const WideString& path) {
    return path.size() < 260 && platform.files.findFirst(path);
}

WideString readConfigValue(Platform& platform, const WideString& file, WideView section, WideView key) {
    std::size_t capacity = 256;
    for (;;) {
        WideString value = platform.profiles.read(file, WideString(section), WideString(key), capacity);
        // A value that fills the buffer may have been cut: read again, larger.
        if (value.size() < capacity - 1) return value;
        capacity *= 2;
    }
}

WideString readJrePath(Launcher& launcher, const WideString& configFile) {
    Platform& platform = launcher.platform;
    if (usesUserConfigFile(launcher)) {
        const WideString userFile = getUserConfigFilePath(launcher, false);
        if (configFileExists(platform, userFile)) return readConfigValue(platform, userFile, kRuntimeSection, u"JRE Path");
    }
    return readConfigValue(platform, configFile, kRuntimeSection, u"JRE Path");
}

void storeJrePath(Launcher& launcher, const WideString& folder) {
    const auto configFile = getConfigFilePath(launcher);
    if (!configFile) return;
    const WideString target = usesUserConfigFile(launcher) ? getUserConfigFilePath(launcher, true) : *configFile;
    launcher.platform.profiles.write(target, WideString(kRuntimeSection), u"JRE Path", folder);
}

}  // namespace corvid
