#ifndef _WIN32
#error "win_test_tool.cpp is for the Windows build only"
#endif

#include "support/win_test_tool.h"

#include "platform/win_handles.h"

namespace corvid::testing {

void writeUtf8(DWORD stream, const std::wstring& text) {
    if (text.empty()) return;
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(stream), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

bool processImageIs(DWORD pid, const std::wstring& image) {
    const UniqueKernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process) return false;
    wchar_t path[MAX_PATH * 2];
    DWORD size = MAX_PATH * 2;
    if (!QueryFullProcessImageNameW(process.get(), 0, path, &size)) return false;
    const wchar_t* name = path;
    for (const wchar_t* c = path; *c; ++c) {
        if (*c == L'\\' || *c == L'/') name = c + 1;
    }
    return CompareStringOrdinal(name, -1, image.c_str(), -1, TRUE) == CSTR_EQUAL;
}

}  // namespace corvid::testing
