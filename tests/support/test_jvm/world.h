// The class world a test declares for the test JVM library, read from the
// file named by CORVID_TEST_JVM_WORLD. One declaration per line; '#' starts a
// comment line. See README.md beside this file for the format.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace corvid_test_jvm {

// One thing a simulated Java method does, in order.
struct Step {
    enum Kind { Print, Throw, Exit, Linger, Return, Sleep, WaitStop, ReturnArgument, Inputs } kind;
    long value = 0;  // exit code, milliseconds to linger or sleep, or the int returned
};
using Steps = std::vector<Step>;

struct WorldClass {
    std::optional<Steps> main;               // static void main(String[])
    std::optional<Steps> secondaryMain;      // static void secondaryMain(String[])
    std::optional<Steps> secondaryMainInt;   // static int secondaryMain(String[])
};

enum class Charset { Utf8, Cp1252, Latin1 };

struct World {
    int createResult = 0;
    long createDelay = 0;  // milliseconds JNI_CreateJavaVM takes
    std::string creationText;  // what JNI_CreateJavaVM prints through the vfprintf hook
    long defaultStackSize = 0;
#ifdef _WIN32
    Charset charset = Charset::Cp1252;
#else
    Charset charset = Charset::Utf8;
#endif
    std::string trace = "java.lang.IllegalStateException: thrown by the test world\n\tat app.Main.main(Main.java:1)";
    bool lookupExceptions = true;
    bool failDetach = false;
    bool failUtfChars = false;
    bool launcherHelper = false;  // sun/launcher/LauncherHelper exists
    bool management = false;      // sun/management/VMManagementImpl exists
    // The highest JNI version JNI_GetDefaultJavaVMInitArgs answers (as a
    // runtime of version 21 does); 1.1 is always answered.
    long jniVersion = 0x00150000;
    std::set<std::string> missingClasses;
    std::map<std::string, WorldClass> classes;
};

// Parses the world text; on a malformed line returns nullopt and describes it.
std::optional<World> parseWorld(const std::string& text, std::string& error);

}  // namespace corvid_test_jvm
