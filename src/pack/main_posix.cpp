#ifdef _WIN32
#error "main_posix.cpp is for the POSIX build only"
#endif

#include <cstdio>

#include "pack/pack.h"

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    std::string messages;
    const int status = corvid::pack::runPack(arguments, messages);
    std::fputs(messages.c_str(), status == 0 ? stdout : stderr);
    return status;
}
