// The application image: every file the options name is checked first, then
// the image is laid out in a folder of its own.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "pack/options.h"
#include "pack/wix_source.h"

namespace corvid::pack {

// The files an image is made from, found and checked.
struct ImageSources {
    std::filesystem::path launcher;
    std::filesystem::path input;    // empty: none
    std::filesystem::path mainJar;  // a jar outside any --input folder, copied into app
    std::filesystem::path runtime;  // empty: none
    std::filesystem::path splash;   // empty: none
};

std::filesystem::path pathOf(const std::string& utf8);
std::string shownPath(const std::filesystem::path& path);
// Writes the bytes as they are; false with the reason in `error`.
bool writeText(const std::filesystem::path& file, const std::string& text, std::string& error);

// Finds and checks every file and folder the options name, before anything
// is written: 0, or 1 with the reason in `error`. Rewrites the main jar's
// name as the image's app folder will hold it.
int findSources(PackOptions& options, const std::filesystem::path& ownFolder, ImageSources& sources,
                std::string& error);

// Lays the image out in `root`, which must not exist yet: 0, or 1 with the
// reason (what was written stays for the caller to remove).
int buildImage(const PackOptions& options, const ImageSources& sources, const std::filesystem::path& root,
               std::string& error);

// The image's files and folders, '/'-separated, sorted (a folder before
// what it holds); false when it cannot be read.
bool listImage(const std::filesystem::path& root, std::vector<ImageEntry>& entries, std::string& error);

// Whether a file of a Linux image runs: its execute bit, or (made on
// Windows, where files have none) the launcher and the runtime's programs.
bool runsOnLinux(const std::string& entryPath, const std::filesystem::path& file, const PackOptions& options);

}  // namespace corvid::pack
