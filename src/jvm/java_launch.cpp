#include "jvm/java_launch.h"

#include "launcher/launcher.h"

namespace corvid {

// JVM hosting is not built yet. Runtime selection finds nothing before it is,
// so none of these runs in a start; none of them claims success either.
void prepareEnvironment(Launcher&) {}
bool loadJvmLibrary(Launcher&) { return false; }
bool buildJvmOptions(Launcher&) { return false; }
std::int32_t runJavaThread(Launcher&) { return 1; }
void destroyJavaVm(Launcher&) {}

}  // namespace corvid
