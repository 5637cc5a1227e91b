// Where installed Java runtimes are registered. The platform part only lists
// the entries under each of the four roots and reads an entry's "JavaHome";
// every decision (which roots, bounds, favouring, the library lookup) is made
// by the portable search in runtime_search.cpp. For the places of runtimes
// installed today (current_runtimes.cpp) it only lists keys or folders and
// reads values.
//
// On Windows the roots are registry keys under HKEY_LOCAL_MACHINE in the
// process's native view. On Linux they are runtime folders (by default
// /usr/lib/jvm, or the ':'-separated list in CORVID_RUNTIMES): each folder
// entry whose "release" file holds JAVA_VERSION="..." is listed under the
// JavaSoft development-kit root when it has bin/javac and under the JavaSoft
// runtime-environment root otherwise; the JRockit roots do not exist there.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry_value.h"
#include "platform/text.h"

namespace corvid {

class Trace;

// The four roots, in the order in which they are searched.
enum class RegistryRoot { JavaSoftJdk, JavaSoftJre, JRockitJre, JRockitJdk };
inline constexpr RegistryRoot kRegistryRoots[] = {RegistryRoot::JavaSoftJdk, RegistryRoot::JavaSoftJre,
                                                  RegistryRoot::JRockitJre, RegistryRoot::JRockitJdk};

// The root's key path under HKEY_LOCAL_MACHINE, ending in a backslash; also
// the root's name in the trace on every platform.
WideView registryRootPath(RegistryRoot root);
bool isDevelopmentKitRoot(RegistryRoot root);

struct RegistrySubkey {
    // The subkey's name, read as the runtime's version.
    WideString name;
    // Identifies the entry for readJavaHome. Opaque to the search: two Linux
    // entries may share a version text, so the name alone cannot be the key.
    WideString key;
};

// "JavaHome" as the platform found it, undecoded.
struct JavaHomeValue {
    enum class Status { Found, SubkeyNotOpened, Missing, ReadFailed, TooLarge };
    Status status = Status::Missing;
    std::uint32_t type = 0;
    // The raw data: UTF-16 code units, little-endian, as the registry stores them.
    std::vector<std::uint8_t> data;

    // A well-formed string value holding `text`, for the folder-based
    // registry and the fakes.
    static JavaHomeValue fromText(WideView text);
};

// The longest runtime folder that is used; longer values are dropped rather
// than cut, since a cut path names a different folder.
#ifdef _WIN32
inline constexpr std::size_t kMaxJavaHomeLength = 259;  // MAX_PATH less its NUL
#else
inline constexpr std::size_t kMaxJavaHomeLength = 4095;  // PATH_MAX less its NUL
#endif
// Values larger than this are not even read.
inline constexpr std::uint32_t kMaxJavaHomeBytes = 65536;

struct DecodedJavaHome {
    std::optional<WideString> folder;  // set when usable
    const char* problem = "";          // why not, for the trace
};

// Applies the rules for registry contents from outside: only string types,
// the text runs to its first NUL which must lie inside the data, and neither
// an empty nor an over-long text is used.
DecodedJavaHome decodeJavaHome(const JavaHomeValue& value);

// Any registry value as the platform found it; the same rules apply to it.
using RegistryValue = JavaHomeValue;

// A registry text decoded by the rules above, for a value of any name.
struct DecodedRegistryText {
    std::optional<WideString> text;  // set when usable
    std::string problem;             // why not, naming the value, for the trace
};
DecodedRegistryText decodeRegistryText(const RegistryValue& value, WideView valueName);

// The hives where current runtime installers register, per machine or per user.
enum class RegistryHive { LocalMachine, CurrentUser };
WideView registryHiveName(RegistryHive hive);

class RuntimeRegistry {
public:
    virtual ~RuntimeRegistry() = default;
    // The root's subkeys in enumeration order, or nullopt when the root
    // cannot be opened. May write trace lines about what it looked at.
    virtual std::optional<std::vector<RegistrySubkey>> listSubkeys(RegistryRoot root, Trace& trace) = 0;
    virtual JavaHomeValue readJavaHome(RegistryRoot root, const RegistrySubkey& subkey) = 0;

    // Plain access for the registrations of current runtimes, which the
    // portable search walks itself. Paths are backslash-separated key paths
    // under the hive, without a trailing backslash. The defaults find nothing:
    // a platform without a registry has no keys.
    //
    // The names of the key's direct subkeys in enumeration order, or nullopt
    // when the key cannot be opened (the reason may go to the trace).
    virtual std::optional<WideList> listKeys(RegistryHive hive, const WideString& path, Trace& trace);
    virtual RegistryValue readValue(RegistryHive hive, const WideString& path, WideView valueName);
    // The names of a folder's entries in name order (without "." and ".."),
    // or nullopt when it cannot be read (the reason may go to the trace).
    // Only the folder-based registry has folders; the default has none.
    virtual std::optional<WideList> listFolder(const WideString& folder, Trace& trace);
};

RuntimeRegistry& systemRuntimeRegistry();

#ifdef _WIN32
// A registry that finds its roots under HKEY_LOCAL_MACHINE\<base> instead of
// HKEY_LOCAL_MACHINE, so tests can write their own keys. Its machine hive is
// that base too; it has no per-user keys.
std::unique_ptr<RuntimeRegistry> makeRegistryUnder(const WideString& base);
#else
// The folders searched by default.
inline constexpr char16_t kDefaultRuntimeFolder[] = u"/usr/lib/jvm";
// The environment variable whose ':'-separated folders replace the default.
inline constexpr char16_t kRuntimeFoldersVariable[] = u"CORVID_RUNTIMES";
// A registry over exactly these folders.
std::unique_ptr<RuntimeRegistry> makeFolderRegistry(WideList folders);
#endif

}  // namespace corvid
