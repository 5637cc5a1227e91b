#ifndef _WIN32
#error "dpi_awareness_win.cpp is for the Windows build only"
#endif

#include "platform/dpi_awareness_win.h"

#include "platform/windows_api.h"

namespace corvid {

namespace {

// DPI_AWARENESS_CONTEXT values, spelt out for headers that lack them.
void* const kPerMonitorAwareV2 = reinterpret_cast<void*>(static_cast<INT_PTR>(-4));
void* const kPerMonitorAware = reinterpret_cast<void*>(static_cast<INT_PTR>(-3));

using SetThreadDpiAwarenessContextFunction = void*(WINAPI*)(void*);

// Looked up at run time: Windows 10 1607 brought it.
SetThreadDpiAwarenessContextFunction setThreadAwareness() {
    static const auto function = reinterpret_cast<SetThreadDpiAwarenessContextFunction>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetThreadDpiAwarenessContext")));
    return function;
}

}  // namespace

PerMonitorDpiScope::PerMonitorDpiScope() noexcept {
    const auto set = setThreadAwareness();
    if (!set) return;
    // Version 2 also scales dialogs and the non-client area; 1607 has only 1.
    previous_ = set(kPerMonitorAwareV2);
    if (!previous_) previous_ = set(kPerMonitorAware);
}

PerMonitorDpiScope::~PerMonitorDpiScope() {
    if (previous_) setThreadAwareness()(previous_);
}

}  // namespace corvid
