#include "launcher/platform.h"

#include "config/profile_store.h"
#include "launcher/user_interface.h"

namespace corvid {

Platform& systemPlatform() {
    static Platform platform{systemProcess(), systemFileSystem(), systemEnvironment(), systemProfileStore(),
                             systemUserInterface()};
    return platform;
}

}  // namespace corvid
