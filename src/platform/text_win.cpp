#ifndef _WIN32
#error "text_win.cpp is for the Windows build only"
#endif

#include "platform/windows_api.h"

namespace corvid {

// CP_THREAD_ACP: the code page follows the thread locale that the entry
// point sets to the system default, so every thread converts the same way.
std::string toNarrow(WideView text) {
    if (text.empty()) return {};
    const auto* source = reinterpret_cast<const wchar_t*>(text.data());
    const int length = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(CP_THREAD_ACP, 0, source, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_THREAD_ACP, 0, source, length, out.data(), size, nullptr, nullptr);
    return out;
}

WideString fromNarrow(std::string_view text) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int size = MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), length, nullptr, 0);
    if (size <= 0) return {};
    WideString out(static_cast<std::size_t>(size), u'\0');
    MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), length, wide(out.data()), size);
    return out;
}

}  // namespace corvid
