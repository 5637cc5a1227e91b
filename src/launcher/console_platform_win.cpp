#ifndef _WIN32
#error "console_platform_win.cpp is for the Windows build only"
#endif

#include "config/profile_store.h"
#include "launcher/entry.h"
#include "runtime/runtime_prompt.h"
#include "runtime/runtime_registry.h"
#include "start/user_interface.h"

namespace corvid {

Platform& consolePlatform() {
    static ConsoleRuntimePrompt prompt(consoleUserInterface());
    static Platform platform{systemProcess(), systemFileSystem(), systemEnvironment(), systemProfileStore(),
                             consoleUserInterface(), systemRuntimeRegistry(), systemLibraries(), systemThreads(),
                             systemMemory(), prompt, systemShortPaths()};
    return platform;
}

}  // namespace corvid
