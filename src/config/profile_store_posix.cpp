#ifdef _WIN32
#error "profile_store_posix.cpp is for the POSIX build only"
#endif

#include <cerrno>
#include <cstdio>
#include <string>

#include "config/profile_store.h"

namespace corvid {

namespace {

std::optional<std::string> readFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return std::nullopt;
    std::string bytes;
    char chunk[4096];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, got);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) return std::nullopt;
    return bytes;
}

// Writes beside the target and renames, so a failed write never leaves a
// half-written configuration file behind.
bool replaceFile(const std::string& path, const std::string& bytes) {
    const std::string temporary = path + ".tmp";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

class PosixProfileStore final : public IniFileProfileStore {
protected:
    FileBytes readBytes(const WideString& file) override {
        errno = 0;
        auto bytes = readFile(toNarrow(file));
        const bool missing = !bytes && errno == ENOENT;
        return {missing, std::move(bytes)};
    }
    bool replaceBytes(const WideString& file, const std::string& bytes) override {
        return replaceFile(toNarrow(file), bytes);
    }
    // UTF-8 holds every name and is what Linux programs write.
    std::string newFileBytes() override { return {}; }
};

}  // namespace

ProfileStore& systemProfileStore() {
    static PosixProfileStore store;
    return store;
}

}  // namespace corvid
