#ifndef _WIN32
#error "user_interface_win.cpp is for the Windows build only"
#endif

#include "platform/dpi_awareness_win.h"
#include "platform/windows_api.h"
#include "start/user_interface.h"

namespace corvid {

namespace {

class Win32UserInterface final : public UserInterface {
public:
    int showMessageBox(WindowHandle owner, const WideString& text) override {
        // Any thread may report, the Java thread among them.
        const PerMonitorDpiScope dpi;
        // No title of our own: the system shows its default "Error" caption.
        return MessageBoxW(static_cast<HWND>(owner), wide(text), nullptr, MB_OK | MB_ICONERROR);
    }

    std::uint16_t threadLanguage() override { return LANGIDFROMLCID(GetThreadLocale()); }

    // Looks the entry up in exactly the requested language. The resource
    // loader's own fallback between sub-languages differs between systems
    // (Wine has none), so the caller chooses the table itself.
    WideString loadString(std::uint16_t language, std::uint16_t id) override {
        const HMODULE module = GetModuleHandleW(nullptr);
        const HRSRC block = FindResourceExW(module, MAKEINTRESOURCEW(6) /* RT_STRING */,
                                            MAKEINTRESOURCEW(id / 16 + 1), language);
        if (!block) return {};
        const HGLOBAL loaded = LoadResource(module, block);
        const auto* data = static_cast<const WORD*>(loaded ? LockResource(loaded) : nullptr);
        if (!data) return {};
        const DWORD size = SizeofResource(module, block) / sizeof(WORD);
        // A block holds 16 counted strings; walk to ours, never past the end.
        DWORD pos = 0;
        for (unsigned index = 0; index < id % 16u; ++index) {
            if (pos >= size) return {};
            pos += 1u + data[pos];
        }
        if (pos >= size || pos + 1u + data[pos] > size) return {};
        return WideString(reinterpret_cast<const char16_t*>(data + pos + 1), data[pos]);
    }
};

}  // namespace

UserInterface& systemUserInterface() {
    static Win32UserInterface ui;
    return ui;
}

}  // namespace corvid
