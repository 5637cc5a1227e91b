#include "pack/runtime_check.h"

#include "runtime/library_machine.h"

namespace corvid::pack {

namespace {

struct RuntimeLayout {
    const char* name;
    const char16_t* marker;  // the file the launcher looks for beside itself
    std::vector<const char16_t*> libraries;
    std::string_view magic;  // how the library's file starts
};

// The launcher's own lists (runtime/runtime_search.cpp) are of the system it
// runs on; an image is made for either.
const RuntimeLayout kWindowsLayout = {
    "Windows", u"bin/java.dll",
    {u"bin/server/jvm.dll", u"bin/client/jvm.dll", u"bin/hotspot/jvm.dll", u"bin/classic/jvm.dll", u"bin/jrockit/jvm.dll"},
    "MZ"};
const RuntimeLayout kLinuxLayout = {
    "Linux", u"lib/libjava.so",
    {u"lib/server/libjvm.so", u"lib/client/libjvm.so", u"lib/amd64/server/libjvm.so", u"lib/amd64/client/libjvm.so"},
    std::string_view("\x7F" "ELF", 4)};

WideString inFolder(const WideString& folder, WideView relative) {
    WideString path = folder;
    if (!path.empty() && !isPathSeparator(path.back())) path += kPathSeparator;
    for (const char16_t c : relative) path += c == u'/' ? kPathSeparator : c;
    return path;
}

bool isFile(FileSystem& files, const WideString& path) {
    const auto facts = files.facts(path);
    return facts && !facts->isFolder;
}

}  // namespace

std::string runtimeProblem(FileSystem& files, const WideString& folder, Target target) {
    const RuntimeLayout& wanted = target == Target::Windows ? kWindowsLayout : kLinuxLayout;
    const RuntimeLayout& other = target == Target::Windows ? kLinuxLayout : kWindowsLayout;
    const std::string shown = toUtf8(folder);
    const auto facts = files.facts(folder);
    if (!facts || !facts->isFolder) return shown + ": no such folder";
    if (!isFile(files, inFolder(folder, wanted.marker))) {
        if (isFile(files, inFolder(folder, other.marker))) {
            return shown + ": a runtime for " + other.name + ", not for " + wanted.name;
        }
        return shown + ": not a Java runtime (no " + toUtf8(wanted.marker) + ")";
    }
    bool found = false;
    for (const char16_t* relative : wanted.libraries) {
        const WideString library = inFolder(folder, relative);
        if (!isFile(files, library)) continue;
        found = true;
        const auto head = files.readFile(library, wanted.magic.size());
        const LibraryMachine machine = readLibraryMachine(files, library);
        if (!head || *head != wanted.magic || machine.kind == LibraryMachine::Kind::Unknown) {
            return toUtf8(library) + ": not a " + wanted.name + " library";
        }
        if (machine.kind != LibraryMachine::Kind::X64) {
            return toUtf8(library) + ": a " + toUtf8(describeMachine(machine)) +
                   " library; the launcher is 64-bit (x64) and cannot load it";
        }
    }
    if (!found) return shown + ": no JVM library (" + toUtf8(wanted.libraries.front()) + ")";
    return {};
}

}  // namespace corvid::pack
