// The one object that holds the state of a start, and its three phases.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/text.h"
#include "platform/trace.h"
#include "start/command_line.h"
#include "start/java_version.h"
#include "start/restart_state.h"
#include "start/startup_cache_state.h"

// jni.h's own names for the JVM and a thread's JNI environment, declared so
// that only the JVM hosting code needs jni.h itself.
struct JavaVM_;
struct JNIEnv_;

namespace corvid {

class InstanceChannel;  // instance/instance_host.h
class SplashScreenWindow;  // the platform's splash window file

// Deletes the native splash window object, whose type only the platform's
// splash file knows.
struct SplashWindowDeleter {
    void operator()(SplashScreenWindow* window) const noexcept;
};

// The option strings handed to the JVM, in order, each in the narrow form.
using JvmOptionList = std::vector<std::string>;

enum class JvmType { Default, ServerOnly, FavorServer };

// How the program is named, as java takes it: a class on the class path, a
// runnable jar (-jar), or a module with its main class (-m).
enum class MainForm { Class, Jar, Module };

// Which registered runtimes may be searched and which are favoured.
struct RuntimeSearchPolicy {
    bool allowJdk = false;
    bool allowJre = false;
    bool favorSource = true;
    bool allowJRockit = false;
    bool allowSun = true;
    bool favorJRockit = false;
    bool favorSun = true;
};

class Launcher {
public:
    Launcher(Platform& platform, Trace& trace, ProcessArguments processArguments);
    Launcher(const Launcher&) = delete;
    Launcher& operator=(const Launcher&) = delete;

    // False abandons the start; the reason has been shown where one is shown.
    bool initialize();
    // The exit code of a start whose initialisation succeeded.
    std::int32_t run();
    // Always runs, after any early end.
    void shutdown();

    // Error boxes are owned by the splash window once it exists.
    WindowHandle owner() const { return ownerWindow.load(); }

    Platform& platform;
    Trace& trace;
    ProcessArguments processArguments;

    WideString splashImagePath;
    WideString splashShadow;
    JvmType jvmType = JvmType::Default;
    WideString jvmLibraryPath;
    JavaVM_* javaVm = nullptr;
    // Belongs to the Java thread; used on no other thread.
    JNIEnv_* jniEnv = nullptr;
    WideString mainClass;
    // "Main Module" (module or module/class) and "Main Jar" as written; the
    // jar's %NAME% references are expanded with the JVM options.
    WideString mainModule;
    WideString mainJar;
    // The first configured of "Main Module", "Main Jar", "Main Class".
    MainForm mainForm() const {
        return !mainModule.empty() ? MainForm::Module : !mainJar.empty() ? MainForm::Jar : MainForm::Class;
    }
    JavaVersion minVersion;
    JavaVersion maxVersion;
    WideList arguments;
    std::atomic<WindowHandle> ownerWindow{nullptr};
    bool isService = false;
    RuntimeSearchPolicy policy;
    WideString productName;
    WideString productCode;
    JvmOptionList jvmOptions;
    // What the program reads as its JVM's options (the configured ones, as
    // java would hand them over), set before the start-up cache adds its own;
    // and whether the JVM's list can be bound to it (runtimes 9 and later).
    JvmOptionList inputArguments;
    bool rebindInputArguments = false;
    WideList preferredVersions;
    WideString jrePath;
    WideString libraryPath;
    bool isFirstInstance = false;
    bool singleInstance = false;
    // The single-instance channel while it is open.
    std::shared_ptr<InstanceChannel> instanceChannel;
    WideString outputFile;
    WideString errorFile;
    WideString systemPath;
    bool failureCheck = false;
    bool overrideWorkingDir = false;
    WideString appUserModelId;  // [Application] "App User Model ID"
    std::uint64_t threadStackSize = 0;
    // Closes the Java runtime's own splash screen when it was used.
    void (*closeJavaSplashHook)() = nullptr;
    // The JVM library's JNI_CreateJavaVM and JNI_GetDefaultJavaVMInitArgs.
    LibrarySymbol createJavaVmEntry = nullptr;
    LibrarySymbol defaultInitArgsEntry = nullptr;
    // The native splash window, its thread (a platform thread handle) and
    // the thread's id; the thread writes ownerWindow.
    std::unique_ptr<SplashScreenWindow, SplashWindowDeleter> splashWindow;
    void* splashThread = nullptr;
    std::uint32_t splashThreadId = 0;
    // The start-up cache: what this start decided, and the JVM's exit hook
    // while an archive is made.
    StartupCacheState startupCache;
    void (*jvmExitHook)(int exitCode) = nullptr;
    RestartState restart;
};

}  // namespace corvid
