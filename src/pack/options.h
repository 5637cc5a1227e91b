// corvid-pack's command line: what it asks for, checked as far as the
// command line alone allows (files are checked when they are used).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "brand/version_record.h"
#include "pack/guid.h"

namespace corvid::pack {

enum class Target { Windows, Linux };
enum class PackageType { AppImage, Zip, Msi };
enum class EntryPoint { Jar, Class, Module };

struct FileAssociation {
    std::string extension;  // without the dot
    std::string description;
};

using AppVersion = brand::VersionNumber;

// Texts are UTF-8 as given; paths as given (relative to the current directory).
struct PackOptions {
    std::string name;
    EntryPoint entry = EntryPoint::Class;
    std::string entryName;                // the jar, the class, or module[/class]
    std::vector<std::string> classPath;  // entries relative to the app folder, '/'-separated
    std::string input;
    std::string runtime;
    std::string minVersion;
    std::string maxVersion;
    std::vector<std::string> javaOptions;
    std::string icon;
    AppVersion version{1, 0, 0, 0};
    bool fourNumbers = false;  // the version was given as A.B.C.D
    std::string vendor;                 // the name when not given
    std::string copyright;
    std::string description;            // the name when not given
    bool console = false;
    bool singleInstance = false;
    bool startupCache = false;
    std::string splash;
    std::string appUserModelId;  // derived from vendor and name when not given
    std::vector<FileAssociation> associations;
    bool startMenuShortcut = true;
    bool desktopShortcut = false;
    bool perMachine = false;
    std::optional<Guid> upgradeCode;
    Target target = Target::Windows;
    PackageType type = PackageType::AppImage;
    std::string dest;
    std::string launcherDir;  // empty: beside corvid-pack
};

extern const char* const kPackUsage;

// The text with its control characters written as escapes (\n, \x1B), so a
// message that quotes what it was given stays one line.
std::string oneLine(const std::string& text);

// Fills `options` from the arguments (without the program name). Returns 0,
// or 2 for a bad command line with the reason in `error`.
int parsePackArguments(const std::vector<std::string>& arguments, PackOptions& options, std::string& error);

// "A.B.C" or "A.B.C.D", each 0-65535; `fourNumbers` tells which.
std::optional<AppVersion> parseAppVersion(const std::string& text, bool& fourNumbers);
// Why Windows Installer could not order this version against others (it
// compares 255.255.65535 at most, and never a fourth number); empty when it can.
std::string msiVersionProblem(const AppVersion& version, bool fourNumbers);

// Relative, '/'-separated, with no empty, "." or ".." part: a name inside a
// folder (an archive's entry, a class path entry of the app folder) that
// names anything else can reach outside it.
bool isRelativeName(const std::string& name);

// A Java version bound as the launcher reads it: "any", or 1 to 4 numbers.
bool isJavaVersionBound(const std::string& text);

// The version as file names and the installer show it: three numbers, or
// four when the fourth was given.
std::string versionName(const PackOptions& options);

// The ASCII letters and digits of a text ("App" when it has none), for the
// identifiers made from names: the App User Model ID and the file types.
std::string identifierPart(const std::string& text);

// Characters that Windows-1252 holds (what the MSI's texts are written in).
bool fitsWindows1252(const std::string& utf8);

}  // namespace corvid::pack
