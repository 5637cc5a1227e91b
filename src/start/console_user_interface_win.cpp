#ifndef _WIN32
#error "console_user_interface_win.cpp is for the Windows build only"
#endif

#include <string>

#include "platform/windows_api.h"
#include "start/user_interface.h"

namespace corvid {

namespace {

// The executable's file name without folder and extension, as a console
// program names itself in its error lines.
WideString programName() {
    const ModulePath module = systemProcess().modulePath();
    const WideString& full = module.path;
    const std::size_t slash = full.find_last_of(u"\\/");
    WideString name = slash == WideString::npos ? full : full.substr(slash + 1);
    const std::size_t dot = name.rfind(u'.');
    if (dot != WideString::npos && dot > 0) name.resize(dot);
    return name.empty() ? WideString(u"corvid") : name;
}

class ConsoleUserInterface final : public UserInterface {
public:
    // A console shows the text as written (WriteConsoleW); a redirected
    // stream gets UTF-8, which no code page can garble.
    int showMessageBox(WindowHandle, const WideString& text) override {
        const WideString line = consoleErrorLine(programName(), text);
        const HANDLE stream = GetStdHandle(STD_ERROR_HANDLE);
        if (stream == nullptr || stream == INVALID_HANDLE_VALUE) return 0;
        DWORD mode = 0;
        DWORD written = 0;
        if (GetConsoleMode(stream, &mode)) {
            return WriteConsoleW(stream, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) ? 1 : 0;
        }
        const std::string bytes = toUtf8(line);
        return WriteFile(stream, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ? 1 : 0;
    }

    std::uint16_t threadLanguage() override { return systemUserInterface().threadLanguage(); }

    WideString loadString(std::uint16_t language, std::uint16_t id) override {
        return systemUserInterface().loadString(language, id);
    }
};

}  // namespace

UserInterface& consoleUserInterface() {
    static ConsoleUserInterface ui;
    return ui;
}

}  // namespace corvid
