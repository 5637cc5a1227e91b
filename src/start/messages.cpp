#include "start/messages.h"

#include "start/user_interface.h"

namespace corvid {

namespace {

struct TableEntry {
    std::uint16_t language;
    std::uint16_t id;
    const char16_t* text;
};

// Generated at build time from resources/strings.rc, so the Linux build, the
// tests and the Windows resources share one source of texts.
constexpr TableEntry kTable[] = {
#include "message_table.inc"
};

}  // namespace

std::uint16_t tableLanguageFor(std::uint16_t threadLanguage) {
    const std::uint16_t primary = threadLanguage & 0x3FF;
    for (const std::uint16_t language : kTableLanguages) {
        if ((language & 0x3FF) == primary) return language;
    }
    return kLanguageEnglish;
}

WideView builtInMessageText(std::uint16_t language, std::uint16_t id) {
    for (const TableEntry& entry : kTable) {
        if (entry.language == language && entry.id == id) return entry.text;
    }
    return {};
}

WideString loadMessage(UserInterface& ui, MessageId id) {
    return ui.loadString(tableLanguageFor(ui.threadLanguage()), static_cast<std::uint16_t>(id));
}

WideString formatMessage(UserInterface& ui, MessageId id, std::initializer_list<FormatArg> args) {
    return formatText(loadMessage(ui, id), args);
}

int showError(UserInterface& ui, WindowHandle owner, const WideString& text) { return ui.showMessageBox(owner, text); }

void showErrorText(UserInterface& ui, WindowHandle owner, WideView format, WideView argument) {
    showError(ui, owner, formatText(format, {argument}));
}

void showErrorCode(UserInterface& ui, WindowHandle owner, WideView format, WideView argument, std::uint32_t code) {
    showError(ui, owner, formatText(format, {argument, static_cast<std::int32_t>(code)}));
}

}  // namespace corvid
