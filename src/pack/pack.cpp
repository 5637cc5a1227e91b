#include "pack/pack.h"

#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>

#include "pack/archive.h"
#include "pack/file_times.h"
#include "pack/image.h"
#include "pack/layout.h"
#include "pack/msi.h"
#include "pack/options.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "version.h"

namespace corvid::pack {

namespace fs = std::filesystem;

namespace {

// Removes the folder when it goes out of scope, unless it was kept: whatever
// ends the run early leaves no half-made output behind.
class Scratch {
public:
    explicit Scratch(fs::path path) : path_(std::move(path)) {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    ~Scratch() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

fs::path ownFolder() {
    const ModulePath module = systemProcess().modulePath();
    if (!module.ok) return {};
    return fs::path(std::u16string(module.path.begin(), module.path.end())).parent_path();
}

bool moveInto(const fs::path& from, const fs::path& to, std::string& error) {
    std::error_code failure;
    fs::rename(from, to, failure);
    if (failure) error = shownPath(to) + ": cannot be written (" + failure.message() + ")";
    return !failure;
}

int writeArchive(const PackOptions& options, const fs::path& image, const fs::path& output, std::string& error) {
    std::vector<ImageEntry> entries;
    if (!listImage(image, entries, error)) return 1;
    std::ofstream out(output, std::ios::binary | std::ios::trunc);
    if (!out) {
        error = shownPath(output) + ": cannot be written";
        return 1;
    }
    const bool zip = options.target == Target::Windows;
    std::optional<ZipWriter> zipWriter;
    std::optional<TarGzWriter> tarWriter;
    if (zip) zipWriter.emplace(out);
    else tarWriter.emplace(out);
    const auto add = [&](const std::string& name, const fs::path& file, bool folder) -> bool {
        const auto time = fileTime(file);
        if (!time) {
            error = shownPath(file) + ": cannot be read";
            return false;
        }
        const std::string stored = options.name + (name.empty() ? "" : "/" + name);
        if (folder) {
            return zip ? zipWriter->addFolder(stored, *time, error) : tarWriter->addFolder(stored, *time, error);
        }
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            error = shownPath(file) + ": cannot be read";
            return false;
        }
        if (zip) return zipWriter->addFile(stored, in, *time, error);
        std::error_code failure;
        const std::uintmax_t size = fs::file_size(file, failure);
        if (failure) {
            error = shownPath(file) + ": cannot be read (" + failure.message() + ")";
            return false;
        }
        return tarWriter->addFile(stored, in, size, *time, runsOnLinux(name, file, options), error);
    };
    if (!add("", image, true)) return 1;
    for (const ImageEntry& entry : entries) {
        if (!add(entry.path, image / pathOf(entry.path), entry.folder)) return 1;
    }
    if (!(zip ? zipWriter->finish(error) : tarWriter->finish(error))) {
        error = shownPath(output) + ": " + error;
        return 1;
    }
    return 0;
}

int pack(PackOptions& options, std::string& made, std::string& error) {
    ImageSources sources;
    if (const int status = findSources(options, ownFolder(), sources, error); status != 0) return status;
    std::string wixl;
    std::string msibuild;
    if (options.type == PackageType::Msi && findMsiTools(wixl, msibuild, error) != 0) return 1;

    const fs::path dest = pathOf(options.dest);
    std::error_code failure;
    fs::create_directories(dest, failure);
    if (failure) {
        error = options.dest + ": cannot be created (" + failure.message() + ")";
        return 1;
    }
    const std::string package = packageFileName(options);
    const std::string finalName = options.type == PackageType::AppImage ? options.name : package;
    // Everything is made in a hidden folder beside the result and moved in
    // place last.
    const Scratch work(dest / pathOf("." + finalName + ".corvid-pack.tmp"));
    if (!fs::create_directory(work.path(), failure)) {
        error = shownPath(work.path()) + ": cannot be created" + (failure ? " (" + failure.message() + ")" : "");
        return 1;
    }
    const fs::path image = work.path() / pathOf(options.name);
    if (buildImage(options, sources, image, error) != 0) return 1;
    const fs::path result = dest / pathOf(finalName);
    if (options.type == PackageType::AppImage) {
        // An empty folder of that name was allowed; it gives way.
        fs::remove(result, failure);
        if (!moveInto(image, result, error)) return 1;
    } else {
        const fs::path built = work.path() / pathOf(package);
        const int status = options.type == PackageType::Zip
                               ? writeArchive(options, image, built, error)
                               : buildMsi(options, wixl, msibuild, image, work.path(), built, error);
        if (status != 0) return status;
        if (!moveInto(built, result, error)) return 1;
    }
    made = shownPath(result);
    return 0;
}

}  // namespace

int runPack(const std::vector<std::string>& arguments, std::string& messages) {
    if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "--version")) {
        messages = arguments[0] == "--help" ? kPackUsage : "corvid-pack " CORVID_VERSION_TEXT "\n";
        return 0;
    }
    PackOptions options;
    std::string error;
    int status = parsePackArguments(arguments, options, error);
    std::string made;
    if (status == 0) status = pack(options, made, error);
    messages = status == 0 ? made + "\n" : "corvid-pack: " + oneLine(error) + "\n";
    return status;
}

}  // namespace corvid::pack
