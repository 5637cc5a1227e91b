#ifdef _WIN32
#error "user_interface_posix.cpp is for the POSIX build only"
#endif

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "start/messages.h"
#include "start/user_interface.h"

namespace corvid {

// Windows language identifiers for the locale names Linux uses, by the
// two-letter language code; only the primary language matters to the table.
std::uint16_t languageFromLocaleName(std::string_view locale) {
    struct Code {
        std::string_view name;
        std::uint16_t language;
    };
    static constexpr Code kCodes[] = {{"de", 0x0407}, {"en", 0x0409}, {"it", 0x0410}, {"pt", 0x0816},
                                      {"es", 0x0C0A}, {"fr", 0x040C}, {"nl", 0x0413}, {"ja", 0x0411}};
    const std::string_view code = locale.substr(0, locale.find_first_of("_.@"));
    for (const Code& entry : kCodes) {
        if (entry.name == code) return entry.language;
    }
    return 0;  // neutral: the English table
}

namespace {

class ConsoleUserInterface final : public UserInterface {
public:
    // A windowless stand-in for the message box: one line on standard error.
    int showMessageBox(WindowHandle, const WideString& text) override {
        const std::string out = toUtf8(consoleErrorLine(fromNarrow(program_invocation_short_name), text));
        return std::fwrite(out.data(), 1, out.size(), stderr) == out.size() ? 1 : 0;
    }

    // The locale the C library would choose for messages: LC_ALL, then
    // LC_MESSAGES, then LANG.
    std::uint16_t threadLanguage() override {
        for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
            const char* value = std::getenv(variable);
            if (value && *value) return languageFromLocaleName(value);
        }
        return 0;
    }

    WideString loadString(std::uint16_t language, std::uint16_t id) override {
        return WideString(builtInMessageText(language, id));
    }
};

}  // namespace

UserInterface& systemUserInterface() {
    static ConsoleUserInterface ui;
    return ui;
}

}  // namespace corvid
