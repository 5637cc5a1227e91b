// A foreign writer of a running first instance's shared block, for the Wine
// end-to-end tests of single-instance mode:
//
//   corvid_blockwriter NAME show            prints "ids THREAD PROCESS MESSAGE"
//   corvid_blockwriter NAME ids THREAD PROCESS
//                                           overwrites the two ids
//   corvid_blockwriter NAME self MS         names itself (a live process and a
//                                           thread of it with a queue) in the
//                                           ids, ignores every message for MS
//                                           milliseconds and ends with 42
//   corvid_blockwriter NAME fill BYTE       fills the argument list with BYTE
//                                           (no terminator anywhere), posts a
//                                           request and prints "reply N", or
//                                           "no reply" after 10 seconds
//   corvid_blockwriter NAME terminate       ends the process named in the
//                                           block with exit code 99
//
// Exit code 0, 42 for "self", or 1 with a line on standard error.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

#include "instance/instance_block.h"
#include "platform/windows_api.h"

namespace {

int failure(const char* what) {
    std::fprintf(stderr, "corvid_blockwriter: %s (error %lu)\n", what, GetLastError());
    return 1;
}

DWORD number(const wchar_t* text) { return static_cast<DWORD>(std::wcstoul(text, nullptr, 0)); }

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return failure("usage: corvid_blockwriter NAME show|ids|self|fill|terminate ...");
    const std::wstring name = argv[1];
    const std::wstring mode = argv[2];
    HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, name.c_str());
    if (!mapping) return failure("no block of that name");
    auto* block = static_cast<corvid::InstanceBlock*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(corvid::InstanceBlock)));
    if (!block) return failure("the block cannot be mapped");
    const UINT messageId = RegisterWindowMessageW(name.c_str());

    if (mode == L"show") {
        std::printf("ids %lu %lu %lu\n", static_cast<unsigned long>(block->listenerThreadId),
                    static_cast<unsigned long>(block->processId), static_cast<unsigned long>(block->messageId));
        return 0;
    }
    if (mode == L"ids" && argc == 5) {
        block->listenerThreadId = number(argv[3]);
        block->processId = number(argv[4]);
        return 0;
    }
    MSG message;
    PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    if (mode == L"self" && argc == 4) {
        block->listenerThreadId = GetCurrentThreadId();
        block->processId = GetCurrentProcessId();
        std::printf("self\n");
        std::fflush(stdout);
        const ULONGLONG end = GetTickCount64() + number(argv[3]);
        while (GetTickCount64() < end) {
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            }
            Sleep(10);
        }
        return 42;
    }
    if (mode == L"fill" && argc == 4) {
        std::memset(block->argumentList, static_cast<int>(number(argv[3])), sizeof block->argumentList);
        if (!PostThreadMessageW(block->listenerThreadId, messageId, GetCurrentThreadId(), 0)) return failure("post refused");
        const ULONGLONG end = GetTickCount64() + 10000;
        while (GetTickCount64() < end) {
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                if (message.message == messageId && message.lParam == 0) {
                    std::printf("reply %d\n", static_cast<int>(static_cast<std::int32_t>(message.wParam)));
                    return 0;
                }
            }
            Sleep(10);
        }
        std::printf("no reply\n");
        return 0;
    }
    if (mode == L"terminate") {
        HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, block->processId);
        if (!process || !TerminateProcess(process, 99)) return failure("cannot end the process");
        return 0;
    }
    return failure("unknown mode");
}
