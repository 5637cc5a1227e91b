#include "pack/wix_source.h"

#include <map>

#include "pack/layout.h"

namespace corvid::pack {

namespace {

constexpr char kExecutableId[] = "MainExecutable";
constexpr char kExecutableComponent[] = "MainComponent";
constexpr char kStartMenuShortcut[] = "StartMenuShortcut";
constexpr char kDesktopShortcut[] = "DesktopShortcut";

// Text in an attribute: XML's five characters, and "$" which wixl's
// preprocessor would read as the start of a variable.
std::string attribute(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&apos;"; break;
            case '$': out += "$(var.Dollar)"; break;
            default: out += c;
        }
    }
    return out;
}

// Text in a column Windows Installer formats, where [NAME] is a property
// and a leading '#' makes a registry value a number.
std::string formatted(const std::string& text) {
    std::string out = text.compare(0, 1, "#") == 0 ? "#" : "";
    for (const char c : text) {
        if (c == '[' || c == ']' || c == '{' || c == '}') {
            out += std::string("[\\") + c + "]";
        } else {
            out += c;
        }
    }
    return out;
}

const char* scopeName(const PackOptions& options) { return options.perMachine ? "machine" : "user"; }

std::string leafName(const std::string& path) { return path.substr(path.rfind('/') + 1); }
std::string parentOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

class SourceWriter {
public:
    void line(int depth, const std::string& text) { text_ += std::string(2 * static_cast<std::size_t>(depth), ' ') + text + "\n"; }
    std::string text() const { return text_; }

private:
    std::string text_;
};

}  // namespace

PackageCodes packageCodes(const PackOptions& options) {
    PackageCodes codes;
    codes.upgrade = options.upgradeCode ? *options.upgradeCode : derivedUpgradeCode(options.vendor, options.name);
    codes.product = nameGuid(codes.upgrade, std::string("product ") + scopeName(options) + " " + versionName(options));
    return codes;
}

std::string wixSource(const PackOptions& options, const std::vector<ImageEntry>& entries) {
    const PackageCodes codes = packageCodes(options);
    const std::string launcher = launcherFileName(options);
    const std::string root = options.perMachine ? "HKLM" : "HKCU";
    const std::string progIdStem = identifierPart(options.vendor) + "." + identifierPart(options.name) + ".";
    const std::string name = attribute(options.name);

    // The folders, each with its files and subfolders, by path ("" is the root).
    std::map<std::string, std::vector<const ImageEntry*>> children;
    for (const ImageEntry& entry : entries) children[parentOf(entry.path)].push_back(&entry);
    std::vector<std::string> components;
    std::map<std::string, std::string> directoryIds = {{"", "INSTALLDIR"}};

    SourceWriter out;
    out.line(0, "<?xml version=\"1.0\" encoding=\"utf-8\"?>");
    out.line(0, "<!-- " + attribute(options.name) + " " + versionName(options) + ", written by corvid-pack for wixl. -->");
    out.line(0, "<Wix xmlns=\"http://schemas.microsoft.com/wix/2006/wi\">");
    out.line(1, "<Product Id=\"" + formatGuid(codes.product) + "\" Name=\"" + name +
                    "\" Language=\"1033\" Codepage=\"1252\" Version=\"" + versionName(options) + "\" Manufacturer=\"" +
                    attribute(options.vendor) + "\" UpgradeCode=\"" + formatGuid(codes.upgrade) + "\">");
    out.line(2, std::string("<Package InstallerVersion=\"500\" Compressed=\"yes\" InstallScope=\"") +
                    (options.perMachine ? "perMachine" : "perUser") + "\" SummaryCodepage=\"1252\" Description=\"" +
                    attribute(options.description) + "\" Manufacturer=\"" + attribute(options.vendor) + "\"/>");
    out.line(2, "<MajorUpgrade DowngradeErrorMessage=\"" +
                    attribute(formatted("A newer version of " + options.name + " is already installed.")) + "\"/>");
    out.line(2, "<Media Id=\"1\" Cabinet=\"application.cab\" EmbedCab=\"yes\"/>");
    out.line(2, "<Icon Id=\"ApplicationIcon.exe\" SourceFile=\"" + attribute(launcher) + "\"/>");
    out.line(2, "<Property Id=\"ARPPRODUCTICON\" Value=\"ApplicationIcon.exe\"/>");
    out.line(2, "<Property Id=\"ARPNOMODIFY\" Value=\"1\"/>");
    out.line(2, "<Property Id=\"ARPCOMMENTS\" Value=\"" + attribute(options.description) + "\"/>");
    out.line(2, "<Directory Id=\"TARGETDIR\" Name=\"SourceDir\">");
    int depth = 3;
    if (options.perMachine) {
        out.line(depth++, "<Directory Id=\"ProgramFiles64Folder\">");
    } else {
        out.line(depth++, "<Directory Id=\"LocalAppDataFolder\">");
        out.line(depth++, "<Directory Id=\"UserProgramsFolder\" Name=\"Programs\">");
    }
    out.line(depth, "<Directory Id=\"INSTALLDIR\" Name=\"" + name + "\">");

    int fileNumber = 0;
    int folderNumber = 0;
    // Components are GUIDs derived from the file's path: the same file in
    // the next version is the same component, as Windows Installer's rules ask.
    const auto componentGuid = [&](const std::string& path) {
        return formatGuid(nameGuid(codes.upgrade, std::string(scopeName(options)) + " " + path));
    };
    const auto writeFolder = [&](const auto& self, const std::string& path, int level) -> void {
        static const std::vector<const ImageEntry*> kNone;
        const auto found = children.find(path);
        const std::vector<const ImageEntry*>& inside = found == children.end() ? kNone : found->second;
        // An empty folder is a component of its own. It is removed first
        // on uninstall, so the folders above it are empty when Windows
        // Installer removes the folders its files leave.
        if (inside.empty()) {
            const std::string id = "c" + std::to_string(fileNumber++);
            out.line(level, "<Component Id=\"" + id + "\" Guid=\"" + componentGuid(path + "/") + "\" Win64=\"yes\">");
            out.line(level + 1, "<CreateFolder/>");
            out.line(level + 1, "<RemoveFolder Id=\"r" + id.substr(1) + "\" On=\"uninstall\"/>");
            out.line(level, "</Component>");
            components.push_back(id);
        }
        for (const ImageEntry* entry : inside) {
            if (entry->folder) continue;
            const bool executable = path.empty() && entry->path == launcher;
            const std::string component = executable ? kExecutableComponent : "c" + std::to_string(fileNumber);
            const std::string file = executable ? kExecutableId : "f" + std::to_string(fileNumber);
            if (!executable) ++fileNumber;
            out.line(level, "<Component Id=\"" + component + "\" Guid=\"" + componentGuid(entry->path) + "\" Win64=\"yes\">");
            out.line(level + 1, "<File Id=\"" + file + "\" Name=\"" + attribute(leafName(entry->path)) + "\" Source=\"" +
                                    attribute(entry->path) + "\" KeyPath=\"yes\"/>");
            if (executable) {
                // Shortcuts and associations belong to the executable: they
                // come and go with it.
                const auto shortcut = [&](const char* id, const char* folder) {
                    out.line(level + 1, std::string("<Shortcut Id=\"") + id + "\" Directory=\"" + folder + "\" Name=\"" +
                                            name + "\" Description=\"" + attribute(options.description) + "\" Target=\"[#" +
                                            kExecutableId + "]\" WorkingDirectory=\"INSTALLDIR\"/>");
                };
                if (options.startMenuShortcut) shortcut(kStartMenuShortcut, "ProgramMenuFolder");
                if (options.desktopShortcut) shortcut(kDesktopShortcut, "DesktopFolder");
                for (const FileAssociation& association : options.associations) {
                    const std::string progId = progIdStem + identifierPart(association.extension);
                    const auto value = [&](const std::string& key, const std::string& text) {
                        out.line(level + 1, "<RegistryValue Root=\"" + root + "\" Key=\"Software\\Classes\\" +
                                                attribute(key) + "\" Type=\"string\" Value=\"" + attribute(text) + "\"/>");
                    };
                    value("." + association.extension, progId);
                    value(progId, formatted(association.description));
                    value(progId + "\\DefaultIcon", std::string("[#") + kExecutableId + "],0");
                    value(progId + "\\shell\\open\\command", std::string("\"[#") + kExecutableId + "]\" \"%1\"");
                }
            }
            out.line(level, "</Component>");
            components.push_back(component);
        }
        for (const ImageEntry* entry : inside) {
            if (!entry->folder) continue;
            const std::string id = "d" + std::to_string(++folderNumber);
            out.line(level, "<Directory Id=\"" + id + "\" Name=\"" + attribute(leafName(entry->path)) + "\">");
            self(self, entry->path, level + 1);
            out.line(level, "</Directory>");
        }
    };
    writeFolder(writeFolder, "", depth + 1);
    out.line(depth, "</Directory>");
    while (depth > 3) out.line(--depth, "</Directory>");
    if (options.startMenuShortcut) out.line(3, "<Directory Id=\"ProgramMenuFolder\"/>");
    if (options.desktopShortcut) out.line(3, "<Directory Id=\"DesktopFolder\"/>");
    out.line(2, "</Directory>");
    out.line(2, "<Feature Id=\"Application\" Level=\"1\">");
    for (const std::string& component : components) out.line(3, "<ComponentRef Id=\"" + component + "\"/>");
    out.line(2, "</Feature>");
    out.line(1, "</Product>");
    out.line(0, "</Wix>");
    return out.text();
}

std::string shortcutPropertyTable(const PackOptions& options) {
    std::string table =
        "MsiShortcutProperty\tShortcut_\tPropertyKey\tPropVariantValue\r\n"
        "s72\ts72\ts255\ts255\r\n"
        "MsiShortcutProperty\tMsiShortcutProperty\r\n";
    const auto row = [&](const char* shortcut) {
        table += std::string(shortcut) + "AppUserModelId\t" + shortcut + "\t" + kAppUserModelIdKey + "\t" +
                 formatted(options.appUserModelId) + "\r\n";
    };
    if (options.startMenuShortcut) row(kStartMenuShortcut);
    if (options.desktopShortcut) row(kDesktopShortcut);
    return table;
}

}  // namespace corvid::pack
