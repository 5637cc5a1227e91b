#ifdef _WIN32
#error "profile_store_posix.cpp is for the POSIX build only"
#endif

#include <cerrno>
#include <cstdio>
#include <string>

#include "config/ini_file.h"
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

class IniProfileStore final : public ProfileStore {
public:
    WideString read(const WideString& file, const WideString& section, const WideString& key,
                    std::size_t capacity) override {
        const auto bytes = readFile(toNarrow(file));
        if (!bytes || capacity == 0) return {};
        WideString value = findIniValue(decodeIniBytes(*bytes).content, section, key).value_or(WideString());
        if (value.size() > capacity - 1) value.resize(capacity - 1);
        return value;
    }

    bool write(const WideString& file, const WideString& section, const WideString& key,
               const WideString& value) override {
        const std::string path = toNarrow(file);
        // Only the bytes of the value's line change: a byte elsewhere that is
        // not valid UTF-8 would not survive decoding and encoding the whole file.
        // A file that exists but cannot be read is not replaced by one that
        // holds only this value.
        errno = 0;
        const auto bytes = readFile(path);
        if (!bytes && errno != ENOENT) return false;
        return replaceFile(path, setIniValueInBytes(bytes.value_or(std::string()), section, key, value));
    }
};

}  // namespace

ProfileStore& systemProfileStore() {
    static IniProfileStore store;
    return store;
}

}  // namespace corvid
