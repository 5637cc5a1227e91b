// An in-memory CacheFiles over a FakeFileSystem: files with contents live in
// FakeFileSystem::contents (so readFile sees them), folders in ::existing;
// files that matter only by their facts (libraries, jars) in `known`.
#pragma once

#include <map>
#include <set>

#include "cache/cache_files.h"
#include "support/fake_platform.h"

namespace corvid::testing {

class FakeCacheFiles final : public CacheFiles {
public:
    explicit FakeCacheFiles(FakeFileSystem& files) : files_(files) {}

    std::map<WideString, FileFacts> known;
    std::map<WideString, std::int64_t> modifiedAt;  // of files with contents
    std::map<WideString, WideString> realPaths;     // links; other paths are their own
    std::set<WideString> locked;                    // cannot be removed or replaced
    std::set<std::uint32_t> alive;
    bool writable = true;
    std::uint64_t free = 1ull << 40;
    std::uint32_t pid = 4242;
    std::int64_t clock = 1000000;
    std::optional<WideString> cwd = nativePath(u"C:/Work");

    bool isFile(const WideString& path) const { return files_.contents.count(path) || known.count(path); }

    std::optional<FileFacts> facts(const WideString& path) override {
        if (files_.existing.count(path)) return FileFacts{true, 0, 0};
        if (const auto found = files_.contents.find(path); found != files_.contents.end()) {
            return FileFacts{false, found->second.size(), modifiedAt.count(path) ? modifiedAt[path] : 0};
        }
        if (const auto found = known.find(path); found != known.end()) return found->second;
        return std::nullopt;
    }
    std::optional<WideString> realPath(const WideString& path) override {
        if (const auto found = realPaths.find(path); found != realPaths.end()) return found->second;
        if (files_.existing.count(path) || isFile(path)) return path;
        return std::nullopt;
    }
    std::optional<WideString> currentDirectory() override { return cwd; }
    bool writeFile(const WideString& path, const std::string& bytes) override {
        if (!writable || locked.count(path)) return false;
        files_.contents[path] = bytes;
        modifiedAt[path] = ++clock;
        return true;
    }
    bool rename(const WideString& from, const WideString& to) override {
        if (!writable || locked.count(from) || locked.count(to) || !files_.contents.count(from)) return false;
        files_.contents[to] = files_.contents[from];
        modifiedAt[to] = modifiedAt[from];
        files_.contents.erase(from);
        return true;
    }
    bool remove(const WideString& path) override {
        if (locked.count(path)) return false;
        return files_.contents.erase(path) + known.erase(path) > 0;
    }
    std::optional<std::vector<WideString>> list(const WideString& folder) override {
        if (!files_.existing.count(folder)) return std::nullopt;
        std::vector<WideString> names;
        const auto add = [&](const WideString& path) {
            if (path.size() > folder.size() + 1 && path.compare(0, folder.size(), folder) == 0 &&
                path[folder.size()] == kPathSeparator && path.find(kPathSeparator, folder.size() + 1) == WideString::npos) {
                names.push_back(path.substr(folder.size() + 1));
            }
        };
        for (const auto& [path, bytes] : files_.contents) add(path);
        for (const auto& [path, facts] : known) add(path);
        return names;
    }
    std::optional<std::uint64_t> freeSpace(const WideString&) override { return free; }
    std::uint32_t processId() override { return pid; }
    bool processAlive(std::uint32_t id) override { return alive.count(id) != 0; }
    std::int64_t now() override { return clock; }
    std::int64_t second() override { return 1; }

private:
    FakeFileSystem& files_;
};

}  // namespace corvid::testing
