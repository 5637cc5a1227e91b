#include "jvm/process_environment.h"

#include "config/config_file.h"
#include "config/config_keys.h"
#include "java/jvm_path.h"
#include "jvm/jvm_options.h"
#include "runtime/runtime_search.h"
#include "start/launcher.h"

namespace corvid {

namespace {

WideString inheritedSearchPathReference() { return u"%" + WideString(kSearchPathVariable) + u"%"; }

void appendSeparatorUnlessPresent(WideString& text) {
    if (!endsWith(text, kSearchPathSeparator)) text += kSearchPathSeparator;
}

}  // namespace

WideString buildLibraryPath(Environment& environment, const WideString& configured, const WideString& moduleFolder,
                            WideView jvmLibraryPath) {
    // Two folders glued into one name are never what the user meant, so the
    // pieces get a separator where the one before lacks it.
    WideString head = configured;
    if (!moduleFolder.empty()) {
        appendSeparatorUnlessPresent(head);
        head += moduleFolder;
    }
    head += kSearchPathSeparator;
    head += u".";
    head += kSearchPathSeparator;
    head += inheritedSearchPathReference();
    expandEnvironment(environment, head);
    WideString libFolder = runtimeHomeFolder(jvmLibraryPath) + kPathSeparator + u"lib";
    expandEnvironment(environment, libFolder);
    appendSeparatorUnlessPresent(head);
    return head + libFolder;
}

WideString buildSearchPath(Environment& environment, const WideString& systemPath, WideView jvmLibraryPath) {
    WideString path = systemPath;
    if (!path.empty()) appendSeparatorUnlessPresent(path);
    path += inheritedSearchPathReference();
    path += kSearchPathSeparator;
    path += runtimeBinFolder(jvmLibraryPath);
    expandEnvironment(environment, path);
    return path;
}

namespace {

// Each folder in the form the JVM can open. The list holds the inherited
// Path, whose folders need not exist: one with no such form is left out
// rather than ending the start, as the JVM could not have opened it either.
WideString libraryPathForJvm(Launcher& launcher, WideView list) {
    WideString result;
    bool kept = false;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = list.find(kSearchPathSeparator, start);
        if (end == WideView::npos) end = list.size();
        const WideView entry = list.substr(start, end - start);
        if (const auto mapped = jvmOpenablePath(launcher.platform.shortPaths, entry)) {
            if (kept) result += kSearchPathSeparator;
            result += *mapped;
            kept = true;
        } else if (launcher.trace.enabled()) {
            launcher.trace.line("library path entry left out, its name cannot be passed to Java: ", entry);
        }
        if (end == list.size()) return result;
        start = end + 1;
    }
}

}  // namespace

void publishExecutableFolder(Launcher& launcher) {
    const ModulePath module = launcher.platform.process.modulePath();
    const std::size_t slash = module.ok ? module.path.rfind(kPathSeparator) : WideString::npos;
    if (slash == WideString::npos) return;
    const WideString folder = module.path.substr(0, slash);
    launcher.platform.environment.set(kExecutableFolderVariable, folder);
    if (launcher.trace.enabled()) launcher.trace.line(kExecutableFolderVariable, "=", folder);
}

void prepareEnvironment(Launcher& launcher) {
    Environment& environment = launcher.platform.environment;
    Trace& trace = launcher.trace;
    const WideString& library = launcher.jvmLibraryPath;
    const WideString home = runtimeHomeFolder(library);
    environment.set(kJvmPathVariable, library);
    environment.set(kJvmHomeVariable, home);
    if (trace.enabled()) trace.line("TAV_JVM_PATH=", library, " TAV_JVM_HOME=", home);

    if (!launcher.libraryPath.empty()) {
        // A failed module path has shown its message; the folder is then empty.
        const WideString moduleFolder = getModuleFolder(launcher).value_or(WideString());
        // Built before Path changes, so it holds the Path the process started with.
        const WideString value = buildLibraryPath(environment, launcher.libraryPath, moduleFolder, library);
        launcher.jvmOptions.push_back(toNarrow(u"-Djava.library.path=" + libraryPathForJvm(launcher, value)));
    }

    const WideString searchPath = buildSearchPath(environment, launcher.systemPath, library);
    environment.set(kSearchPathVariable, searchPath);
    if (trace.enabled()) trace.line(kSearchPathVariable, "=", searchPath);
}

}  // namespace corvid
