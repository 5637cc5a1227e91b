#include "pack/ini_text.h"

#include <algorithm>

#include "config/config_keys.h"
#include "pack/layout.h"
#include "platform/text.h"

namespace corvid::pack {

namespace {

class IniWriter {
public:
    explicit IniWriter(const char* lineEnd) : lineEnd_(lineEnd) {}
    void comment(const std::string& text) { text_ += "; " + text + lineEnd_; }
    void section(const std::string& name) {
        if (!text_.empty()) text_ += lineEnd_;
        text_ += "[" + name + "]" + lineEnd_;
    }
    void key(const std::string& origin, const std::string& name, const std::string& value) {
        comment(origin);
        text_ += name + "=" + iniValue(value) + lineEnd_;
    }
    std::string text() const { return text_; }

private:
    const char* lineEnd_;
    std::string text_;
};

}  // namespace

std::string iniValue(const std::string& value) {
    if (value.empty()) return value;
    const auto loose = [](char c) { return c == ' ' || c == '\t' || c == '"' || c == '\''; };
    return loose(value.front()) || loose(value.back()) ? "\"" + value + "\"" : value;
}

std::string applicationIni(const PackOptions& options) {
    const char separator = targetSeparator(options);
    const std::string reference = "%" + toUtf8(kExecutableFolderVariable) + "%";
    const std::string folder = reference + separator;
    const auto inApp = [&](std::string path) {
        if (path == ".") return folder + kAppFolder;
        std::replace(path.begin(), path.end(), '/', separator);
        return folder + kAppFolder + separator + path;
    };
    IniWriter ini(options.target == Target::Windows ? "\r\n" : "\n");
    // No text of the options in a comment: one with a '=' would read as a key.
    ini.comment("The configuration of the launcher beside this file, written by corvid-pack.");
    ini.comment(reference + " stands for the launcher's folder, so the application's files");
    ini.comment("are found from any current directory.");

    ini.section("Java Runtime Environment");
    switch (options.entry) {
        case EntryPoint::Jar: ini.key("--main-jar", "Main Jar", inApp(options.entryName)); break;
        case EntryPoint::Class: ini.key("--main-class", "Main Class", options.entryName); break;
        case EntryPoint::Module: ini.key("--main-module", "Main Module", options.entryName); break;
    }
    if (!options.runtime.empty()) {
        ini.comment("--runtime: the runtime in " + std::string(kRuntimeFolder) + " beside the launcher is taken first.");
    }
    if (!options.minVersion.empty()) ini.key("--min-version", "Minimum Version", options.minVersion);
    if (!options.maxVersion.empty()) ini.key("--max-version", "Maximum Version", options.maxVersion);
    std::string parameters;
    std::string origin;
    if (options.entry == EntryPoint::Module) {
        // The option is split from the others before the reference is
        // expanded, so a folder with blanks stays one option.
        parameters = "--module-path=" + folder + kAppFolder;
        origin = "--main-module: the modules in the app folder";
    }
    for (const std::string& option : options.javaOptions) {
        parameters += (parameters.empty() ? "" : " ") + option;
    }
    if (!options.javaOptions.empty()) origin += origin.empty() ? "--java-options" : ", then --java-options";
    if (!parameters.empty()) ini.key(origin, "Virtual Machine Parameters", parameters);
    if (options.startupCache) ini.key("--startup-cache", "Startup Cache", "Yes");

    if (options.entry != EntryPoint::Jar) {
        std::string classPath;
        const char list = options.target == Target::Windows ? ';' : ':';
        for (const std::string& entry : options.classPath) {
            classPath += (classPath.empty() ? "" : std::string(1, list)) + inApp(entry);
        }
        if (!classPath.empty()) {
            ini.section("Class Path");
            ini.key("--class-path, in the app folder", "Class Path", classPath);
        } else if (options.entry == EntryPoint::Class) {
            ini.section("Class Path");
            ini.key("every jar in the app folder (no --class-path)", "Class Path", inApp("*"));
        }
    }

    ini.section("Application");
    if (options.singleInstance) ini.key("--single-instance", "Single Instance", "yes");
    ini.key("--app-user-model-id, or the vendor and the name: the taskbar's identity", "App User Model ID",
            options.appUserModelId);

    ini.section("Product Information");
    ini.comment("--vendor and --name: the per-user file and the start-up cache are kept in");
    ini.comment(options.target == Target::Windows ? "%APPDATA% and %LOCALAPPDATA% under these folder names."
                                                  : "~/.config and ~/.cache under these folder names.");
    ini.key("--vendor (the name when not given)", "Product Name", options.vendor);
    ini.key("--name", "Product Code", options.name);

    if (!options.splash.empty()) {
        std::string file = options.splash;
        std::replace(file.begin(), file.end(), '\\', '/');
        file = file.substr(file.rfind('/') + 1);
        ini.section("Display");
        ini.key("--splash", "Splash Screen", folder + file);
    }
    return ini.text();
}

}  // namespace corvid::pack
