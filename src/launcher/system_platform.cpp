#include "platform/platform.h"

#include "config/profile_store.h"
#include "runtime/runtime_prompt.h"
#include "runtime/runtime_registry.h"
#include "start/user_interface.h"

namespace corvid {

Platform& systemPlatform() {
    static Platform platform{systemProcess(), systemFileSystem(), systemEnvironment(), systemProfileStore(),
                             systemUserInterface(), systemRuntimeRegistry(), systemLibraries(), systemThreads(),
                             systemMemory(), systemRuntimePrompt(), systemShortPaths()};
    return platform;
}

}  // namespace corvid
