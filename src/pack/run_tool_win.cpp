#ifndef _WIN32
#error "run_tool_win.cpp is for the Windows build only"
#endif

#include "pack/run_tool.h"
#include "platform/text.h"
#include "platform/win_handles.h"

namespace corvid::pack {

namespace {

std::wstring toWide(const std::string& utf8) {
    const WideString text = fromUtf8(utf8);
    return std::wstring(text.begin(), text.end());
}

// One argument as the C runtime's command-line parser reads it back:
// backslashes before a quote, and at the end, are doubled.
std::wstring quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, L'\\');
    return out + L"\"";
}

}  // namespace

std::string findOnPath(const std::string& program) {
    wchar_t found[MAX_PATH];
    const DWORD length = SearchPathW(nullptr, toWide(program).c_str(), L".exe", MAX_PATH, found, nullptr);
    if (length == 0 || length >= MAX_PATH) return {};
    return toUtf8(fromWide(found, length));
}

ToolRun runTool(const std::string& program, const std::vector<std::string>& arguments, const std::string& folder) {
    ToolRun run;
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    UniqueKernelHandle reading;
    UniqueKernelHandle writing;
    if (!CreatePipe(reading.put(), writing.put(), &inheritable, 0)) return run;
    SetHandleInformation(reading.get(), HANDLE_FLAG_INHERIT, 0);
    const UniqueFileHandle input(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                             OPEN_EXISTING, 0, nullptr));
    std::wstring commandLine = quoted(toWide(program));
    for (const std::string& argument : arguments) commandLine += L" " + quoted(toWide(argument));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input.get();
    startup.hStdOutput = writing.get();
    startup.hStdError = writing.get();
    PROCESS_INFORMATION info{};
    const std::wstring directory = toWide(folder);
    if (!CreateProcessW(toWide(program).c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                        directory.c_str(), &startup, &info)) {
        return run;
    }
    const UniqueKernelHandle process(info.hProcess);
    CloseHandle(info.hThread);
    // The child holds the writing end now; ours would keep the pipe open.
    writing.reset();
    run.started = true;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(reading.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) run.output.append(buffer, got);
    WaitForSingleObject(process.get(), INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.get(), &code);
    run.exitCode = static_cast<int>(code);
    return run;
}

}  // namespace corvid::pack
