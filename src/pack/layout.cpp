#include "pack/layout.h"

namespace corvid::pack {

std::string launcherFileName(const PackOptions& options) {
    return options.target == Target::Windows ? options.name + ".exe" : options.name;
}

std::string configFileName(const PackOptions& options) {
    if (options.target == Target::Windows) return options.name + ".ini";
    const std::size_t dot = options.name.rfind('.');
    return (dot == std::string::npos ? options.name : options.name.substr(0, dot)) + ".ini";
}

std::string sourceLauncherName(const PackOptions& options) {
    if (options.target == Target::Linux) return "corvid";
    return options.console ? "corvidc.exe" : "corvid.exe";
}

std::string packageFileName(const PackOptions& options) {
    const std::string stem = options.name + "-" + versionName(options);
    switch (options.type) {
        case PackageType::AppImage: return {};
        case PackageType::Zip:
            return stem + (options.target == Target::Windows ? "-windows-x64.zip" : "-linux-x64.tar.gz");
        case PackageType::Msi: return stem + ".msi";
    }
    return {};
}

char targetSeparator(const PackOptions& options) { return options.target == Target::Windows ? '\\' : '/'; }

}  // namespace corvid::pack
