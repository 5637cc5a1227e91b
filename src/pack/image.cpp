#include "pack/image.h"

#include <algorithm>
#include <fstream>
#include <system_error>

#include "brand/brand.h"
#include "pack/ini_text.h"
#include "pack/layout.h"
#include "pack/runtime_check.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace corvid::pack {

namespace fs = std::filesystem;

namespace {

// Folders that link back into themselves end here instead of filling the disk.
constexpr int kDeepestFolder = 64;

bool isFile(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(path, error);
}

bool isFolder(const fs::path& path) {
    std::error_code error;
    return fs::is_directory(path, error);
}

WideString systemPath(const fs::path& path) {
    const std::u16string text = path.u16string();
    return WideString(text.begin(), text.end());
}

// A path inside --input: relative, without "." or ".." parts.
bool staysInside(const fs::path& relative) {
    if (relative.empty() || relative.is_absolute() || relative.has_root_name() || relative.has_root_directory()) return false;
    for (const fs::path& part : relative) {
        if (part == "." || part == "..") return false;
    }
    return true;
}

bool copyFile(const fs::path& from, const fs::path& to, std::string& error) {
    std::error_code failure;
    fs::copy_file(from, to, fs::copy_options::none, failure);
    // The file's time goes into the archives; copying would make it now.
    const fs::file_time_type time = failure ? fs::file_time_type() : fs::last_write_time(from, failure);
    if (!failure) fs::last_write_time(to, time, failure);
    if (failure) {
        error = shownPath(from) + ": cannot be copied (" + failure.message() + ")";
        return false;
    }
    return true;
}

// The folder's contents into `to` (created), links followed, times kept.
bool copyFolder(const fs::path& from, const fs::path& to, int depth, std::string& error) {
    std::error_code failure;
    fs::create_directory(to, failure);
    if (failure) {
        error = shownPath(to) + ": cannot be created (" + failure.message() + ")";
        return false;
    }
    if (depth > kDeepestFolder) {
        error = shownPath(from) + ": folders nested deeper than 64 (a link back into its own folder?)";
        return false;
    }
    std::vector<fs::path> children;
    for (fs::directory_iterator it(from, failure), end; !failure && it != end; it.increment(failure)) {
        children.push_back(it->path());
    }
    if (failure) {
        error = shownPath(from) + ": cannot be read (" + failure.message() + ")";
        return false;
    }
    std::sort(children.begin(), children.end());
    for (const fs::path& child : children) {
        const fs::path target = to / child.filename();
        if (isFolder(child)) {
            if (!copyFolder(child, target, depth + 1, error)) return false;
        } else if (isFile(child)) {
            if (!copyFile(child, target, error)) return false;
        } else {
            error = shownPath(child) + ": neither a file nor a folder (a broken link?)";
            return false;
        }
    }
    const fs::file_time_type time = fs::last_write_time(from, failure);
    if (!failure) fs::last_write_time(to, time, failure);
    return true;
}

brand::Branding brandingOf(const PackOptions& options) {
    brand::Branding branding;
    branding.icon = options.icon;
    const WideString name = fromUtf8(options.name);
    branding.strings[u"ProductName"] = name;
    branding.strings[u"FileDescription"] = fromUtf8(options.description);
    branding.strings[u"CompanyName"] = fromUtf8(options.vendor);
    if (!options.copyright.empty()) branding.strings[u"LegalCopyright"] = fromUtf8(options.copyright);
    branding.strings[u"OriginalFilename"] = name + u".exe";
    branding.strings[u"InternalName"] = name;
    branding.productVersion = options.version;
    branding.fileVersion = options.version;
    return branding;
}

}  // namespace

fs::path pathOf(const std::string& utf8) { return fs::u8path(utf8); }

std::string shownPath(const fs::path& path) { return path.u8string(); }

bool writeText(const fs::path& file, const std::string& text, std::string& error) {
    std::ofstream out(file, std::ios::binary);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) error = shownPath(file) + ": cannot be written";
    return static_cast<bool>(out);
}

int findSources(PackOptions& options, const fs::path& ownFolder, ImageSources& sources, std::string& error) {
    const fs::path launcherFolder = options.launcherDir.empty() ? ownFolder : pathOf(options.launcherDir);
    sources.launcher = launcherFolder / sourceLauncherName(options);
    if (!isFile(sources.launcher)) {
        error = sourceLauncherName(options) + ": not found in " + shownPath(launcherFolder) +
                (options.launcherDir.empty() ? " (beside corvid-pack; --launcher-dir names another folder)" : "");
        return 1;
    }
    if (!options.input.empty()) {
        sources.input = pathOf(options.input);
        if (!isFolder(sources.input)) {
            error = options.input + ": no such folder (--input)";
            return 1;
        }
    }
    if (options.entry == EntryPoint::Jar) {
        const fs::path jar = pathOf(options.entryName);
        if (!sources.input.empty()) {
            if (!staysInside(jar) || !isFile(sources.input / jar)) {
                error = options.entryName + ": no such file in " + options.input + " (--main-jar names a jar in --input)";
                return 1;
            }
            options.entryName = jar.generic_u8string();
        } else {
            if (!isFile(jar)) {
                error = options.entryName + ": no such file (--main-jar)";
                return 1;
            }
            sources.mainJar = jar;
            options.entryName = jar.filename().u8string();
        }
    }
    if (!sources.input.empty()) {
        for (const std::string& entry : options.classPath) {
            if (entry.find('*') != std::string::npos || entry == ".") continue;
            if (!fs::exists(sources.input / pathOf(entry))) {
                error = entry + ": no such file or folder in " + options.input + " (--class-path)";
                return 1;
            }
        }
    }
    if (!options.icon.empty() && !isFile(pathOf(options.icon))) {
        error = options.icon + ": no such file (--icon)";
        return 1;
    }
    if (!options.runtime.empty()) {
        sources.runtime = pathOf(options.runtime);
        const std::string problem = runtimeProblem(systemFileSystem(), systemPath(sources.runtime), options.target);
        if (!problem.empty()) {
            error = problem + " (--runtime)";
            return 1;
        }
    }
    if (!options.splash.empty()) {
        sources.splash = pathOf(options.splash);
        if (!isFile(sources.splash)) {
            error = options.splash + ": no such file (--splash)";
            return 1;
        }
        const std::string file = sources.splash.filename().u8string();
        if (file == launcherFileName(options) || file == configFileName(options) || file == kAppFolder ||
            file == kRuntimeFolder) {
            error = options.splash + ": the image has its own " + file + "; rename the picture (--splash)";
            return 1;
        }
    }
    const fs::path dest = pathOf(options.dest);
    std::error_code failure;
    if (fs::exists(dest, failure) && !isFolder(dest)) {
        error = options.dest + ": not a folder (--dest)";
        return 1;
    }
    if (!sources.input.empty()) {
        // The image is made in the destination: inside the input, it would
        // copy itself.
        const fs::path in = fs::weakly_canonical(fs::absolute(sources.input), failure);
        const fs::path out = fs::weakly_canonical(fs::absolute(dest), failure);
        const auto mismatch = std::mismatch(in.begin(), in.end(), out.begin(), out.end());
        if (!failure && mismatch.first == in.end()) {
            error = options.dest + ": inside the --input folder " + options.input + "; choose a destination outside it";
            return 1;
        }
    }
    if (options.type == PackageType::AppImage) {
        const fs::path image = dest / pathOf(options.name);
        if (fs::exists(image, failure) && !(isFolder(image) && fs::is_empty(image, failure))) {
            error = shownPath(image) + ": exists and is not empty";
            return 1;
        }
    }
    return 0;
}

int buildImage(const PackOptions& options, const ImageSources& sources, const fs::path& root, std::string& error) {
    std::error_code failure;
    if (!fs::create_directory(root, failure)) {
        error = shownPath(root) + ": cannot be created" + (failure ? " (" + failure.message() + ")" : "");
        return 1;
    }
    const fs::path launcher = root / pathOf(launcherFileName(options));
    if (options.target == Target::Windows) {
        if (brand::brandCopy(shownPath(sources.launcher), shownPath(launcher), brandingOf(options), error) != 0) return 1;
    } else {
        if (!copyFile(sources.launcher, launcher, error)) return 1;
        fs::permissions(launcher, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                      fs::perms::others_read | fs::perms::others_exec, failure);
    }
    if (!writeText(root / pathOf(configFileName(options)), applicationIni(options), error)) return 1;
    const fs::path app = root / kAppFolder;
    if (!sources.input.empty()) {
        if (!copyFolder(sources.input, app, 0, error)) return 1;
    } else if (!fs::create_directory(app, failure)) {
        error = shownPath(app) + ": cannot be created";
        return 1;
    }
    if (!sources.mainJar.empty() && !copyFile(sources.mainJar, app / sources.mainJar.filename(), error)) return 1;
    if (!sources.runtime.empty() && !copyFolder(sources.runtime, root / kRuntimeFolder, 0, error)) return 1;
    if (!sources.splash.empty() && !copyFile(sources.splash, root / sources.splash.filename(), error)) return 1;
    return 0;
}

bool listImage(const fs::path& root, std::vector<ImageEntry>& entries, std::string& error) {
    std::error_code failure;
    for (fs::recursive_directory_iterator it(root, failure), end; !failure && it != end; it.increment(failure)) {
        entries.push_back({it->path().lexically_relative(root).generic_u8string(), it->is_directory(failure)});
    }
    if (failure) {
        error = shownPath(root) + ": cannot be read (" + failure.message() + ")";
        return false;
    }
    std::sort(entries.begin(), entries.end(), [](const ImageEntry& a, const ImageEntry& b) { return a.path < b.path; });
    return true;
}

bool runsOnLinux(const std::string& entryPath, const fs::path& file, const PackOptions& options) {
#ifndef _WIN32
    std::error_code failure;
    const fs::perms permissions = fs::status(file, failure).permissions();
    if (!failure && (permissions & fs::perms::owner_exec) != fs::perms::none) return true;
#else
    (void)file;
#endif
    const std::string runtime = std::string(kRuntimeFolder) + "/";
    return entryPath == launcherFileName(options) || entryPath.compare(0, runtime.size() + 4, runtime + "bin/") == 0 ||
           entryPath == runtime + "lib/jspawnhelper" || entryPath == runtime + "lib/jexec";
}

}  // namespace corvid::pack
