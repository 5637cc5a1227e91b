#include "pack/msi.h"

#include "pack/image.h"
#include "pack/run_tool.h"
#include "pack/wix_source.h"

namespace corvid::pack {

namespace fs = std::filesystem;

namespace {

// The last lines a tool wrote, on one line, for the message.
std::string lastWords(std::string output) {
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
    std::size_t start = output.size();
    for (int lines = 0; lines < 3 && start > 0; ++lines) {
        const std::size_t at = output.rfind('\n', start - 1);
        start = at == std::string::npos ? 0 : at;
    }
    std::string words = output.substr(start);
    for (char& c : words) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    while (!words.empty() && words.front() == ' ') words.erase(0, 1);
    return words.empty() ? "no output" : words;
}

bool run(const std::string& tool, const std::vector<std::string>& arguments, const fs::path& folder, std::string& error) {
    const ToolRun result = runTool(tool, arguments, shownPath(folder));
    if (!result.started) {
        error = tool + ": cannot be started";
        return false;
    }
    if (result.exitCode != 0) {
        error = fs::path(tool).filename().u8string() + " failed with exit code " + std::to_string(result.exitCode) + ": " +
                lastWords(result.output);
        return false;
    }
    return true;
}

}  // namespace

int findMsiTools(std::string& wixl, std::string& msibuild, std::string& error) {
    wixl = findOnPath("wixl");
    msibuild = findOnPath("msibuild");
    if (wixl.empty() || msibuild.empty()) {
        error = std::string(wixl.empty() ? "wixl" : "msibuild") +
                ": not found on PATH; --type msi needs msitools (Debian and Ubuntu: apt install wixl msitools)";
        return 1;
    }
    return 0;
}

int buildMsi(const PackOptions& options, const std::string& wixl, const std::string& msibuild, const fs::path& image,
             const fs::path& work, const fs::path& output, std::string& error) {
    std::vector<ImageEntry> entries;
    if (!listImage(image, entries, error)) return 1;
    const fs::path source = fs::absolute(work / "application.wxs");
    if (!writeText(source, wixSource(options, entries), error)) return 1;
    const fs::path target = fs::absolute(output);
    if (!run(wixl, {"-a", "x64", "-D", "Dollar=$", "-o", shownPath(target), shownPath(source)}, image, error)) return 1;
    if (options.startMenuShortcut || options.desktopShortcut) {
        const fs::path table = fs::absolute(work / "MsiShortcutProperty.idt");
        if (!writeText(table, shortcutPropertyTable(options), error)) return 1;
        if (!run(msibuild, {shownPath(target), "-i", shownPath(table)}, work, error)) return 1;
    }
    return 0;
}

}  // namespace corvid::pack
