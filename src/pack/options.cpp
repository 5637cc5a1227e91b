#include "pack/options.h"

#include <algorithm>
#include <map>

#include "brand/version_record.h"
#include "platform/text.h"

namespace corvid::pack {

const char* const kPackUsage =
    "usage: corvid-pack --name NAME (--main-jar JAR | --main-class CLASS [--class-path LIST]\n"
    "                   | --main-module MODULE[/CLASS] [--class-path LIST])\n"
    "                   [--input DIR] [--runtime DIR | --min-version V [--max-version V]]\n"
    "                   [--java-options TEXT]... [--icon FILE.ico] [--app-version A.B.C[.D]]\n"
    "                   [--vendor TEXT] [--copyright TEXT] [--description TEXT] [--console]\n"
    "                   [--single-instance] [--splash FILE] [--startup-cache]\n"
    "                   [--app-user-model-id ID] [--file-association EXT=DESCRIPTION]...\n"
    "                   [--shortcut start-menu|desktop]... [--per-machine] [--upgrade-code GUID]\n"
    "                   [--target windows|linux] [--launcher-dir DIR]\n"
    "                   --type app-image|zip|msi --dest DIR\n"
    "\n"
    "Makes DEST/NAME (an application image: the launcher as NAME.exe, NAME.ini, the\n"
    "--input folder's files under app, the runtime under jre64), or of that image\n"
    "DEST/NAME-VERSION-windows-x64.zip (NAME-VERSION-linux-x64.tar.gz for --target linux)\n"
    "or the Windows installer DEST/NAME-VERSION.msi (needs wixl and msibuild, from\n"
    "msitools). --main-jar names a jar in --input; --class-path entries are relative\n"
    "to the image's app folder (default: every jar in it). The launchers are taken\n"
    "from beside corvid-pack unless --launcher-dir names their folder.\n"
    "Exit codes: 0 done, 1 a file or folder problem (nothing is left behind),\n"
    "2 a bad command line.\n";

namespace {

enum class Arity { Flag, Once, Repeated };

const std::map<std::string, Arity> kOptions = {
    {"--name", Arity::Once},          {"--main-jar", Arity::Once},
    {"--main-class", Arity::Once},    {"--main-module", Arity::Once},
    {"--class-path", Arity::Once},    {"--input", Arity::Once},
    {"--runtime", Arity::Once},       {"--min-version", Arity::Once},
    {"--max-version", Arity::Once},   {"--java-options", Arity::Repeated},
    {"--icon", Arity::Once},          {"--app-version", Arity::Once},
    {"--vendor", Arity::Once},        {"--copyright", Arity::Once},
    {"--description", Arity::Once},   {"--console", Arity::Flag},
    {"--single-instance", Arity::Flag}, {"--splash", Arity::Once},
    {"--startup-cache", Arity::Flag}, {"--app-user-model-id", Arity::Once},
    {"--file-association", Arity::Repeated}, {"--shortcut", Arity::Repeated},
    {"--per-machine", Arity::Flag},   {"--upgrade-code", Arity::Once},
    {"--target", Arity::Once},        {"--type", Arity::Once},
    {"--dest", Arity::Once},          {"--launcher-dir", Arity::Once},
};

// Options that only an installer uses.
const char* const kInstallerOptions[] = {"--per-machine", "--shortcut", "--file-association", "--upgrade-code"};

// The options whose values are texts that end up in the configuration, the
// version record or the installer: one line of valid UTF-8 each.
const char* const kTextOptions[] = {"--name",        "--main-class",      "--main-module", "--java-options",
                                    "--vendor",      "--copyright",       "--description", "--app-user-model-id",
                                    "--file-association", "--class-path", "--main-jar"};

bool isValidUtf8Line(const std::string& text) {
    if (toUtf8(fromUtf8(text)) != text) return false;
    return std::none_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

std::string lowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// Windows' rules for one file name, which the image's folder, its
// executable and its configuration all carry.
std::string nameProblem(const std::string& name) {
    if (name.empty()) return "is empty";
    if (name.find_first_of("<>:\"/\\|?*%") != std::string::npos) return "has a character a file name cannot hold";
    if (name.front() == ' ' || name.back() == ' ' || name.back() == '.') return "starts with a blank or ends with a blank or a dot";
    if (name.size() > 100) return "is longer than 100 bytes";
    const std::string stem = lowerAscii(name.substr(0, name.find('.')));
    static const char* const kDevices[] = {"con", "prn", "aux", "nul"};
    const bool numbered = stem.size() == 4 && (stem.compare(0, 3, "com") == 0 || stem.compare(0, 3, "lpt") == 0) &&
                          stem[3] >= '1' && stem[3] <= '9';
    if (numbered || std::find(std::begin(kDevices), std::end(kDevices), stem) != std::end(kDevices)) {
        return "is the name of a Windows device";
    }
    return {};
}

// A class path entry inside the image's app folder, '/'-separated; "."
// is the app folder itself (a folder of classes given as --input).
std::optional<std::string> appRelativeEntry(std::string entry) {
    if (entry == ".") return entry;
    std::replace(entry.begin(), entry.end(), '\\', '/');
    if (entry.size() >= 2 && entry[1] == ':') return std::nullopt;
    if (!isRelativeName(entry)) return std::nullopt;
    return entry;
}

struct Given {
    std::map<std::string, std::vector<std::string>> values;
    bool has(const std::string& option) const { return values.count(option) != 0; }
    const std::string& one(const std::string& option) const { return values.at(option).front(); }
    std::string oneOr(const std::string& option, const std::string& fallback) const {
        return has(option) ? one(option) : fallback;
    }
};

int collect(const std::vector<std::string>& arguments, Given& given, std::string& error) {
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const auto option = kOptions.find(argument);
        if (option == kOptions.end()) {
            error = argument.compare(0, 1, "-") == 0 ? "unknown option " + argument : "unexpected argument " + argument;
            return 2;
        }
        if (option->second != Arity::Repeated && given.has(argument)) {
            error = argument + " is given twice";
            return 2;
        }
        if (option->second == Arity::Flag) {
            given.values[argument].push_back({});
            continue;
        }
        if (i + 1 >= arguments.size()) {
            error = argument + " needs a value";
            return 2;
        }
        given.values[argument].push_back(arguments[++i]);
    }
    return 0;
}

}  // namespace

std::optional<AppVersion> parseAppVersion(const std::string& text, bool& fourNumbers) {
    const auto dots = std::count(text.begin(), text.end(), '.');
    if (dots != 2 && dots != 3) return std::nullopt;
    fourNumbers = dots == 3;
    return brand::parseVersionText(text);
}

std::string msiVersionProblem(const AppVersion& version, bool fourNumbers) {
    if (version[0] > 255 || version[1] > 255) {
        return "Windows Installer orders versions up to 255.255.65535";
    }
    if (fourNumbers) {
        return "Windows Installer ignores a fourth number when it compares versions, so a newer package would not "
               "replace an older one: give A.B.C";
    }
    return {};
}

std::string identifierPart(const std::string& text) {
    std::string part;
    for (const char c : text) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) part += c;
    }
    return part.empty() ? "App" : part;
}

bool isJavaVersionBound(const std::string& text) {
    if (text == "any") return true;
    return std::count(text.begin(), text.end(), '.') <= 3 && brand::parseVersionText(text).has_value();
}

std::string versionName(const PackOptions& options) {
    std::string text;
    for (std::size_t i = 0; i < (options.fourNumbers ? 4u : 3u); ++i) {
        text += (i ? "." : "") + std::to_string(options.version[i]);
    }
    return text;
}

bool fitsWindows1252(const std::string& utf8) {
    // The characters Windows-1252 puts at 0x80-0x9F; 0x81, 0x8D, 0x8F,
    // 0x90 and 0x9D are unassigned, and Latin-1's controls there are not held.
    static const WideView kHigh = u"\u20AC\u201A\u0192\u201E\u2026\u2020\u2021\u02C6\u2030\u0160\u2039\u0152\u017D"
                                  u"\u2018\u2019\u201C\u201D\u2022\u2013\u2014\u02DC\u2122\u0161\u203A\u0153\u017E\u0178";
    for (const char16_t c : fromUtf8(utf8)) {
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) continue;
        if (kHigh.find(c) == WideView::npos) return false;
    }
    return true;
}

std::string oneLine(const std::string& text) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '\t') out += "\\t";
        else if (byte < 0x20 || byte == 0x7F) (out += "\\x") += std::string{kDigits[byte >> 4], kDigits[byte & 15]};
        else out += c;
    }
    return out;
}

namespace {

int parseOptions(const std::vector<std::string>& arguments, PackOptions& options, std::string& error);

}  // namespace

int parsePackArguments(const std::vector<std::string>& arguments, PackOptions& options, std::string& error) {
    const int status = parseOptions(arguments, options, error);
    error = oneLine(error);
    return status;
}

namespace {

int parseOptions(const std::vector<std::string>& arguments, PackOptions& options, std::string& error) {
    Given given;
    if (const int status = collect(arguments, given, error); status != 0) return status;
    const auto refuse = [&error](std::string message) {
        error = std::move(message);
        return 2;
    };
    for (const char* option : kTextOptions) {
        if (!given.has(option)) continue;
        for (const std::string& value : given.values.at(option)) {
            if (!isValidUtf8Line(value)) return refuse(std::string(option) + ": one line of UTF-8 text is needed");
        }
    }
    for (const char* option : {"--name", "--type", "--dest"}) {
        if (!given.has(option)) return refuse(std::string(option) + " is needed");
    }
    for (const auto& [option, values] : given.values) {
        if (kOptions.at(option) == Arity::Flag) continue;
        for (const std::string& value : values) {
            if (value.empty()) return refuse(option + " needs a value that is not empty");
        }
    }

    options.name = given.one("--name");
    if (const std::string problem = nameProblem(options.name); !problem.empty()) {
        return refuse("--name " + options.name + ": " + problem);
    }

    const std::string type = given.one("--type");
    if (type == "app-image") options.type = PackageType::AppImage;
    else if (type == "zip") options.type = PackageType::Zip;
    else if (type == "msi") options.type = PackageType::Msi;
    else return refuse("--type " + type + ": app-image, zip or msi");
    const std::string target = given.oneOr("--target", "windows");
    if (target == "windows") options.target = Target::Windows;
    else if (target == "linux") options.target = Target::Linux;
    else return refuse("--target " + target + ": windows or linux");
    const bool msi = options.type == PackageType::Msi;
    if (msi && options.target != Target::Windows) return refuse("--type msi makes a Windows installer: not with --target linux");
    if (!msi) {
        for (const char* option : kInstallerOptions) {
            if (given.has(option)) return refuse(std::string(option) + " is for --type msi only");
        }
    }
    if (given.has("--icon") && options.target == Target::Linux) {
        return refuse("--icon brands the Windows launcher: a Linux image has no icon");
    }

    const int entries = given.has("--main-jar") + given.has("--main-class") + given.has("--main-module");
    if (entries != 1) return refuse("one of --main-jar, --main-class and --main-module is needed");
    if (given.has("--main-jar")) {
        options.entry = EntryPoint::Jar;
        options.entryName = given.one("--main-jar");
        if (given.has("--class-path")) return refuse("--class-path: a main jar's class path is in its manifest");
    } else if (given.has("--main-class")) {
        options.entry = EntryPoint::Class;
        options.entryName = given.one("--main-class");
        if (options.entryName.find_first_of(" /\\") != std::string::npos) {
            return refuse("--main-class " + options.entryName + ": not a class name");
        }
    } else {
        options.entry = EntryPoint::Module;
        options.entryName = given.one("--main-module");
        const std::size_t slash = options.entryName.find('/');
        if (options.entryName.find(' ') != std::string::npos || slash == 0 ||
            (slash != std::string::npos && (slash + 1 == options.entryName.size() ||
                                            options.entryName.find('/', slash + 1) != std::string::npos))) {
            return refuse("--main-module " + options.entryName + ": not MODULE or MODULE/CLASS");
        }
    }
    if (given.has("--class-path")) {
        const std::string& list = given.one("--class-path");
        std::size_t start = 0;
        for (;;) {
            const std::size_t end = list.find_first_of(";:", start);
            const std::string entry = list.substr(start, end == std::string::npos ? std::string::npos : end - start);
            const auto relative = appRelativeEntry(entry);
            if (!relative) {
                return refuse("--class-path: " + (entry.empty() ? std::string("an empty entry") : entry) +
                              " is not a path inside the app folder");
            }
            options.classPath.push_back(*relative);
            if (end == std::string::npos) break;
            start = end + 1;
        }
    }

    options.input = given.oneOr("--input", "");
    options.runtime = given.oneOr("--runtime", "");
    options.minVersion = given.oneOr("--min-version", "");
    options.maxVersion = given.oneOr("--max-version", "");
    if (!options.runtime.empty() && (given.has("--min-version") || given.has("--max-version"))) {
        return refuse("--runtime bundles the runtime: --min-version and --max-version choose among installed ones");
    }
    for (const char* option : {"--min-version", "--max-version"}) {
        if (given.has(option) && !isJavaVersionBound(given.one(option))) {
            return refuse(std::string(option) + " " + given.one(option) + ": \"any\" or a version such as 17 or 17.0.2");
        }
    }
    if (given.has("--java-options")) options.javaOptions = given.values.at("--java-options");
    options.icon = given.oneOr("--icon", "");
    if (given.has("--app-version")) {
        const std::string& text = given.one("--app-version");
        const auto version = parseAppVersion(text, options.fourNumbers);
        if (!version) return refuse("--app-version " + text + ": not a version A.B.C or A.B.C.D of numbers 0-65535");
        options.version = *version;
        if (msi) {
            const std::string problem = msiVersionProblem(options.version, options.fourNumbers);
            if (!problem.empty()) return refuse("--app-version " + text + ": " + problem);
        }
    }
    options.vendor = given.oneOr("--vendor", options.name);
    options.copyright = given.oneOr("--copyright", "");
    options.description = given.oneOr("--description", options.name);
    options.console = given.has("--console");
    options.singleInstance = given.has("--single-instance");
    options.startupCache = given.has("--startup-cache");
    options.splash = given.oneOr("--splash", "");
    options.appUserModelId =
        given.oneOr("--app-user-model-id", identifierPart(options.vendor) + "." + identifierPart(options.name));
    if (options.appUserModelId.size() > 128 || options.appUserModelId.find(' ') != std::string::npos) {
        return refuse("--app-user-model-id " + options.appUserModelId + ": at most 128 characters and no blanks");
    }
    if (given.has("--file-association")) {
        for (const std::string& value : given.values.at("--file-association")) {
            const std::size_t equals = value.find('=');
            std::string extension = value.substr(0, equals);
            if (!extension.empty() && extension.front() == '.') extension.erase(0, 1);
            const bool plain = !extension.empty() && extension.size() <= 32 &&
                               std::all_of(extension.begin(), extension.end(), [](char c) {
                                   return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                                          c == '_' || c == '-';
                               });
            if (equals == std::string::npos || !plain || equals + 1 == value.size()) {
                return refuse("--file-association " + value + ": EXT=DESCRIPTION, EXT of letters and digits");
            }
            for (const FileAssociation& earlier : options.associations) {
                if (lowerAscii(earlier.extension) == lowerAscii(extension)) {
                    return refuse("--file-association ." + extension + " is given twice");
                }
            }
            options.associations.push_back({extension, value.substr(equals + 1)});
        }
    }
    if (given.has("--shortcut")) {
        options.startMenuShortcut = false;
        for (const std::string& value : given.values.at("--shortcut")) {
            if (value == "start-menu") options.startMenuShortcut = true;
            else if (value == "desktop") options.desktopShortcut = true;
            else return refuse("--shortcut " + value + ": start-menu or desktop");
        }
    }
    options.perMachine = given.has("--per-machine");
    if (given.has("--upgrade-code")) {
        options.upgradeCode = parseGuid(given.one("--upgrade-code"));
        if (!options.upgradeCode) {
            return refuse("--upgrade-code " + given.one("--upgrade-code") + ": not a GUID (XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX)");
        }
    }
    options.dest = given.one("--dest");
    options.launcherDir = given.oneOr("--launcher-dir", "");

    if (msi) {
        // wixl writes the package's texts in one Windows code page.
        std::vector<std::pair<std::string, std::string>> texts = {{"--name", options.name},
                                                                  {"--vendor", options.vendor},
                                                                  {"--description", options.description},
                                                                  {"--app-user-model-id", options.appUserModelId}};
        for (const FileAssociation& association : options.associations) {
            texts.push_back({"--file-association", association.description});
        }
        for (const auto& [option, text] : texts) {
            if (!fitsWindows1252(text)) {
                return refuse(option + " " + text + ": an MSI's texts are Windows-1252 (Western European) characters");
            }
        }
        const std::string& id = options.appUserModelId;
        if (!std::all_of(id.begin(), id.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
            return refuse("--app-user-model-id " + id + ": an installer's shortcut takes ASCII characters only");
        }
    }
    return 0;
}

}  // namespace

bool isRelativeName(const std::string& name) {
    if (name.empty() || name.find('\\') != std::string::npos || name.find('\0') != std::string::npos) return false;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = name.find('/', start);
        const std::string part = name.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (part.empty() || part == "." || part == "..") return false;
        if (end == std::string::npos) return true;
        start = end + 1;
    }
}

}  // namespace corvid::pack
