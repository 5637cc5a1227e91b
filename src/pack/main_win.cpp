#ifndef _WIN32
#error "main_win.cpp is for the Windows build only"
#endif

#include <cstdio>

#include "pack/pack.h"
#include "platform/text.h"

// Wide arguments, so names and texts in any script arrive whole; messages
// are written as UTF-8.
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.push_back(corvid::toUtf8(reinterpret_cast<const char16_t*>(argv[i])));
    }
    std::string messages;
    const int status = corvid::pack::runPack(arguments, messages);
    std::fputs(messages.c_str(), status == 0 ? stdout : stderr);
    return status;
}
