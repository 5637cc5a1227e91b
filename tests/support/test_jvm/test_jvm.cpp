// A stand-in JVM library for end-to-end tests of the launcher: it exports the
// two JNI entry points, serves the JavaVM and JNIEnv operations the launcher
// uses over the class world a test declares (world.h), and logs every call it
// receives. Any other JNI slot aborts the process, so unexpected use is loud.
// Built in three variants; CORVID_TEST_JVM_WITHOUT_CREATE or
// CORVID_TEST_JVM_WITHOUT_DEFAULTS leaves out one export.

#include <jni.h>

#include <array>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "os.h"
#include "text.h"
#include "world.h"

namespace corvid_test_jvm {

namespace {

// ---- log and world -------------------------------------------------------

std::mutex logMutex;

void logLine(const std::string& line) {
    static std::FILE* const file = [] {
        const std::optional<std::string> path = environmentVariable("CORVID_TEST_JVM_LOG");
        std::string error;
        return path ? openFile(*path, "ab", error) : nullptr;
    }();
    if (!file) return;
    std::lock_guard<std::mutex> lock(logMutex);
    std::fputs((line + "\n").c_str(), file);
    std::fflush(file);
}

std::string threadTag() { return "thread=" + std::to_string(currentThreadId()); }

// What a runtime that chooses no awareness itself would find on this thread.
void logDpiAwareness() {
    if (const auto awareness = currentThreadDpiAwareness()) {
        logLine("dpi awareness " + std::to_string(awareness->awareness) +
                (awareness->ownOfThread ? " thread's own " : " process default ") + threadTag());
    }
}

[[noreturn]] void fatal(const std::string& message) {
    logLine("fatal: " + message);
    std::fprintf(stderr, "corvid_test_jvm: %s\n", message.c_str());
    std::fflush(stderr);
    std::abort();
}

const World& world() {
    static const World loaded = [] {
        const std::optional<std::string> path = environmentVariable("CORVID_TEST_JVM_WORLD");
        if (!path) return World{};
        std::string error;
        std::FILE* file = openFile(*path, "rb", error);
        if (!file) fatal("cannot read the world file " + *path + ": " + error);
        std::string text;
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
        std::fclose(file);
        std::optional<World> parsed = parseWorld(text, error);
        if (!parsed) fatal("bad world file " + *path + ", " + error);
        return std::move(*parsed);
    }();
    return loaded;
}

// ---- objects ---------------------------------------------------------------

// The library's Java objects. They are never freed (the processes are short).
struct Object {
    enum Kind { Class, String, ByteArray, ObjectArray, FileStream, ByteStream, PrintStream, Throwable, FileDescriptor };
    Kind kind = Class;
    std::string name;              // Class: its name; Throwable: its class
    std::u16string text;           // String
    std::string bytes;             // ByteArray; String: the bytes it was made from; ByteStream; Throwable: its trace
    std::vector<Object*> elements; // ObjectArray
    std::FILE* file = nullptr;     // FileStream; null once closed
    std::int64_t descriptor = -1;  // FileDescriptor: its fd or handle field
    Object* target = nullptr;      // PrintStream: the stream it writes to
};

Object* make(Object::Kind kind, std::string name = {}) {
    Object* object = new Object;
    object->kind = kind;
    object->name = std::move(name);
    return object;
}

// A local reference: every jobject handed out is a new one, so that use of a
// reference after DeleteLocalRef is caught while the object itself lives on
// (in an array, say).
struct LocalRef {
    Object* object;
    bool deleted = false;
};

jobject ref(Object* object) { return object ? reinterpret_cast<jobject>(new LocalRef{object}) : nullptr; }

Object* use(jobject reference, const char* call) {
    LocalRef* local = reinterpret_cast<LocalRef*>(reference);
    if (!local) return nullptr;
    if (local->deleted) fatal(std::string(call) + " got a deleted local reference");
    return local->object;
}

Object* use(jobject reference, Object::Kind kind, const char* call) {
    Object* object = use(reference, call);
    if (!object || object->kind != kind) fatal(std::string(call) + " got a null or wrong kind of reference");
    return object;
}

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Classes the test world treats as Throwable and its subclasses.
bool isThrowableClass(const std::string& name) {
    return name == "java/lang/Throwable" || endsWith(name, "Exception") || endsWith(name, "Error");
}

std::string javaName(std::string name) {
    for (char& c : name) c = c == '/' ? '.' : c;
    return name;
}

// A trace's lines end in the platform's line separator, as a JVM writes them.
std::string withLineSeparators(const std::string& text) {
    std::string result;
    for (const char c : text) {
        if (c == '\n') result += kLineSeparator;
        else result += c;
    }
    return result;
}

Object* newThrowable(const std::string& className, const std::string& message) {
    Object* throwable = make(Object::Throwable, className);
    throwable->bytes = javaName(className) + ": " + message;
    return throwable;
}

// ---- threads and their JNIEnv ----------------------------------------------

struct ThreadEnv : JNIEnv_ {
    std::uint64_t owner = currentThreadId();
    Object* pending = nullptr;
    std::string threadName;
};

ThreadEnv* envOf(JNIEnv* env, const char* call, bool exceptionSafe = false) {
    ThreadEnv* self = static_cast<ThreadEnv*>(env);
    if (self->owner != currentThreadId()) logLine(std::string("misuse: ") + call + " on a JNIEnv of another thread");
    if (self->pending && !exceptionSafe) logLine(std::string("misuse: ") + call + " with an exception pending");
    return self;
}

JNIEnv* newEnv(const std::string& threadName);

std::mutex lingerMutex;
std::vector<std::thread> lingering;  // the simulated non-daemon threads

// ---- streams -----------------------------------------------------------------

std::mutex streamMutex;
Object* systemOut = nullptr;  // null: the process's own standard stream
Object* systemErr = nullptr;

// Writes through a PrintStream; null is the process's own out or err.
void write(Object* printStream, bool toErr, const std::string& bytes) {
    std::lock_guard<std::mutex> lock(streamMutex);
    Object* stream = printStream ? printStream->target : nullptr;
    if (!stream) {
        writeStandardStream(toErr, bytes);
    } else if (stream->kind == Object::ByteStream) {
        stream->bytes += bytes;
    } else if (stream->file) {
        std::fwrite(bytes.data(), 1, bytes.size(), stream->file);
        std::fflush(stream->file);
    }
}

void printLine(bool toErr, const std::u16string& text) {
    write(toErr ? systemErr : systemOut, toErr, encode(text, world().charset) + kLineSeparator);
}

void describe(ThreadEnv* env) {
    const std::string text = "Exception in thread \"" + env->threadName + "\" " + env->pending->bytes + kLineSeparator;
    write(systemErr, true, text);
    env->pending = nullptr;
}

// ---- class data archives ------------------------------------------------------
// As a real JVM does: -XX:ArchiveClassesAtExit=P writes P when the JVM ends
// (DestroyJavaVM or System.exit, before the "exit" hook runs); a
// -XX:SharedArchiveFile that starts like an archive is "mapped", which a cds
// log file (-Xlog:cds=info:file="P"...) is told.
struct ArchiveOptions {
    std::string writeAtExit;
    std::string mapped;
    std::string cdsLogFile;
    std::string aotMode, aotConfiguration, aotCache, aotLogFile;
    void (*exitHook)(jint) = nullptr;
};
ArchiveOptions archiveOptions;
constexpr char kArchiveMagic[] = "\xa8\xab\x0b\xf0";

constexpr char kAotMagic[] = "\xa2\xab\x0b\xf0";

// An AOT configuration or cache: 4,096 bytes that start like a static archive.
void writeAotFile(const std::string& path, const std::string& what) {
    std::string error;
    std::FILE* file = openFile(path, "wb", error);
    if (!file) {
        logLine(what + " not written: " + error);
        return;
    }
    std::string bytes(kAotMagic, 4);
    bytes.resize(4096, 'C');
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    logLine(what + " written " + escapeBytes(path));
}

void writeArchiveAtExit() {
    if (archiveOptions.aotMode == "record" && !archiveOptions.aotConfiguration.empty()) {
        writeAotFile(archiveOptions.aotConfiguration, "aot configuration");
    }
    if (archiveOptions.writeAtExit.empty()) return;
    std::string error;
    std::FILE* file = openFile(archiveOptions.writeAtExit, "wb", error);
    if (!file) {
        logLine("archive not written: " + error);
        return;
    }
    std::string bytes(kArchiveMagic, 4);
    bytes.resize(4096, 'A');
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    logLine("archive written " + escapeBytes(archiveOptions.writeAtExit));
}

[[maybe_unused]] void readArchiveOptions(const JavaVMInitArgs& arguments) {
    constexpr std::string_view kWrite = "-XX:ArchiveClassesAtExit=", kMap = "-XX:SharedArchiveFile=",
                               kLog = "-Xlog:cds=info:file=\"";
    for (jint i = 0; i < arguments.nOptions; ++i) {
        const std::string_view option = arguments.options[i].optionString;
        if (option == "exit") archiveOptions.exitHook = reinterpret_cast<void (*)(jint)>(arguments.options[i].extraInfo);
        if (option.substr(0, kWrite.size()) == kWrite) archiveOptions.writeAtExit = option.substr(kWrite.size());
        if (option.substr(0, kMap.size()) == kMap) archiveOptions.mapped = option.substr(kMap.size());
        if (option.substr(0, kLog.size()) == kLog) {
            const std::string_view rest = option.substr(kLog.size());
            archiveOptions.cdsLogFile = rest.substr(0, rest.find('"'));
        }
        constexpr std::string_view kMode = "-XX:AOTMode=", kConfiguration = "-XX:AOTConfiguration=",
                                   kCache = "-XX:AOTCache=", kAotLog = "-Xlog:aot=info:file=\"";
        if (option.substr(0, kMode.size()) == kMode) archiveOptions.aotMode = option.substr(kMode.size());
        if (option.substr(0, kConfiguration.size()) == kConfiguration) {
            archiveOptions.aotConfiguration = option.substr(kConfiguration.size());
        }
        if (option.substr(0, kCache.size()) == kCache) archiveOptions.aotCache = option.substr(kCache.size());
        if (option.substr(0, kAotLog.size()) == kAotLog) {
            const std::string_view rest = option.substr(kAotLog.size());
            archiveOptions.aotLogFile = rest.substr(0, rest.find('"'));
        }
    }
    // As the real create step: the cache is written and the process ends with 0, no main.
    if (archiveOptions.aotMode == "create") {
        logLine("aot create " + processFacts());
        writeAotFile(archiveOptions.aotCache, "aot cache");
        std::fflush(nullptr);
        std::exit(0);
    }
    if (!archiveOptions.aotCache.empty()) {
        std::string error;
        std::FILE* cache = openFile(archiveOptions.aotCache, "rb", error);
        char head[4] = {};
        const bool isCache = cache && std::fread(head, 1, 4, cache) == 4 && std::memcmp(head, kAotMagic, 4) == 0;
        if (cache) std::fclose(cache);
        logLine((isCache ? "aot cache mapped " : "aot cache refused ") + escapeBytes(archiveOptions.aotCache));
        std::FILE* log = isCache && !archiveOptions.aotLogFile.empty() ? openFile(archiveOptions.aotLogFile, "wb", error) : nullptr;
        if (log) {
            std::fputs("[0.010s][info][aot] Using AOT-linked classes: true (static archive: has aot-linked classes)\n", log);
            std::fclose(log);
        }
    }
    if (archiveOptions.mapped.empty()) return;
    std::string error;
    std::FILE* archive = openFile(archiveOptions.mapped, "rb", error);
    char head[4] = {};
    const bool isArchive = archive && std::fread(head, 1, 4, archive) == 4 && std::memcmp(head, kArchiveMagic, 4) == 0;
    if (archive) std::fclose(archive);
    logLine((isArchive ? "archive mapped " : "archive refused ") + escapeBytes(archiveOptions.mapped));
    if (!isArchive || archiveOptions.cdsLogFile.empty()) return;
    if (std::FILE* log = openFile(archiveOptions.cdsLogFile, "wb", error)) {
        std::fputs("[0.010s][info][cds] Mapped dynamic region #0 at base 0x0000000800000000\n", log);
        std::fclose(log);
    }
}

[[noreturn]] void systemExit(long code) {
    logLine("System.exit " + std::to_string(code));
    writeArchiveAtExit();
    if (archiveOptions.exitHook) {
        logLine("exit hook " + std::to_string(code));
        archiveOptions.exitHook(static_cast<jint>(code));
    }
    std::fflush(nullptr);
    {
        // The process ends with them, as a JVM's non-daemon threads do; a
        // joinable std::thread destroyed at exit would abort the process.
        std::lock_guard<std::mutex> lock(lingerMutex);
        for (std::thread& thread : lingering) thread.detach();
    }
    exitProcess(static_cast<int>(code));
}

// ---- the management interface's list of the JVM's options ------------------------
// Every option string JNI_CreateJavaVM was given, hooks included, as HotSpot
// lists them; and what sun.management.VMManagementImpl.getVmArguments0 was
// bound to with RegisterNatives, when it was.
std::vector<std::string> givenOptions;
using VmArgumentsFunction = jobjectArray(JNICALL*)(JNIEnv*, jobject);
VmArgumentsFunction boundVmArguments = nullptr;

// ---- methods -------------------------------------------------------------------

struct Method {
    std::string owner, name, signature;
    bool isStatic;
    const Steps* steps = nullptr;  // a world method's behaviour
};

// The platform methods the launcher calls, then the world's own.
const std::deque<Method>& methods() {
    static const std::deque<Method> all = [] {
        std::deque<Method> list = {
            {"java/lang/String", "<init>", "([B)V", false},
            {"java/io/FileOutputStream", "<init>", "(Ljava/lang/String;)V", false},
            {"java/io/PrintStream", "<init>", "(Ljava/io/OutputStream;)V", false},
            {"java/io/ByteArrayOutputStream", "<init>", "()V", false},
            {"java/io/ByteArrayOutputStream", "toString", "()Ljava/lang/String;", false},
            {"java/lang/System", "setOut", "(Ljava/io/PrintStream;)V", true},
            {"java/lang/System", "setErr", "(Ljava/io/PrintStream;)V", true},
            {"java/lang/System", "exit", "(I)V", true},
            {"java/lang/Throwable", "printStackTrace", "(Ljava/io/PrintStream;)V", false},
            {"java/io/FileDescriptor", "<init>", "()V", false},
            {"java/io/FileOutputStream", "<init>", "(Ljava/io/FileDescriptor;)V", false},
            {"java/io/PrintStream", "close", "()V", false},
            {"sun/launcher/LauncherHelper", "checkAndLoadMain", "(ZILjava/lang/String;)Ljava/lang/Class;", true},
            {"java/lang/Class", "forName", "(Ljava/lang/String;ZLjava/lang/ClassLoader;)Ljava/lang/Class;", true},
        };
        for (const auto& [name, declared] : world().classes) {
            if (declared.main) list.push_back({name, "main", "([Ljava/lang/String;)V", true, &*declared.main});
            if (declared.secondaryMain) list.push_back({name, "secondaryMain", "([Ljava/lang/String;)V", true, &*declared.secondaryMain});
            if (declared.secondaryMainInt) list.push_back({name, "secondaryMain", "([Ljava/lang/String;)I", true, &*declared.secondaryMainInt});
        }
        return list;
    }();
    return all;
}

const Method& methodOf(jmethodID id, bool isStatic, const char* call) {
    const Method* method = reinterpret_cast<const Method*>(id);
    if (!method || method->isStatic != isStatic) fatal(std::string(call) + " got a null or wrong kind of method id");
    return *method;
}

// Reads the arguments a signature declares from a va_list.
std::vector<jvalue> readArguments(const std::string& signature, va_list list) {
    std::vector<jvalue> values;
    for (std::size_t i = 1; i < signature.size() && signature[i] != ')'; ++i) {
        jvalue value{};
        char kind = signature[i];
        if (kind == '[' || kind == 'L') {
            while (signature[i] == '[') ++i;
            if (signature[i] == 'L') i = signature.find(';', i);
            kind = 'L';
        }
        switch (kind) {
            case 'L': value.l = va_arg(list, jobject); break;
            case 'J': value.j = va_arg(list, jlong); break;
            case 'F': value.f = static_cast<jfloat>(va_arg(list, double)); break;
            case 'D': value.d = va_arg(list, double); break;
            case 'I': value.i = va_arg(list, jint); break;
            default: value.i = va_arg(list, int); break;  // promoted Z, B, C, S
        }
        values.push_back(value);
    }
    return values;
}

std::vector<jvalue> copyArguments(const std::string& signature, const jvalue* list) {
    std::size_t count = 0;
    for (std::size_t i = 1; i < signature.size() && signature[i] != ')'; ++i, ++count) {
        while (signature[i] == '[') ++i;
        if (signature[i] == 'L') i = signature.find(';', i);
    }
    return std::vector<jvalue>(list, list + count);
}

// Runs a world method's steps; returns the value of its last return step.
jint runSteps(ThreadEnv* env, const Method& method, const std::vector<jvalue>& arguments) {
    Object* array = use(arguments.at(0).l, Object::ObjectArray, method.name.c_str());
    logLine(method.name + " " + threadTag() + " args=" + std::to_string(array->elements.size()));
    jint result = 0;
    for (const Step& step : *method.steps) {
        switch (step.kind) {
            case Step::Print:
                for (std::size_t i = 0; i < array->elements.size(); ++i) {
                    const Object* argument = array->elements[i];
                    if (!argument || argument->kind != Object::String) fatal("main got a String[] with a null or non-String element");
                    logLine("arg " + std::to_string(i) + " " + escapeBytes(argument->bytes));
                    printLine(false, argument->text);
                }
                printLine(true, u"arguments: " + decode(std::to_string(array->elements.size()), Charset::Latin1));
                break;
            case Step::Throw:
                env->pending = make(Object::Throwable, world().trace.substr(0, world().trace.find(':')));
                env->pending->bytes = withLineSeparators(world().trace);
                for (char& c : env->pending->name) c = c == '.' ? '/' : c;
                logLine(method.name + " throws " + env->pending->name);
                return result;
            case Step::Exit:
                systemExit(step.value);
            case Step::Linger: {
                const unsigned milliseconds = static_cast<unsigned>(step.value);
                std::lock_guard<std::mutex> lock(lingerMutex);
                lingering.emplace_back([milliseconds] {
                    logLine("lingering thread starts " + threadTag());
                    logDpiAwareness();
                    sleepMilliseconds(milliseconds);
                    printLine(false, u"lingering thread ends");
                    logLine("lingering thread ends " + threadTag());
                });
                break;
            }
            case Step::Return:
                result = static_cast<jint>(step.value);
                break;
            case Step::Sleep:
                sleepMilliseconds(static_cast<unsigned>(step.value));
                logLine(method.name + " slept " + std::to_string(step.value) + " ms");
                break;
            case Step::WaitStop: {
                const std::optional<std::string> stop = environmentVariable("CORVID_TEST_JVM_STOP");
                if (!stop) fatal("wait-stop without CORVID_TEST_JVM_STOP");
                for (std::string error;;) {
                    if (std::FILE* file = openFile(*stop, "rb", error)) {
                        std::fclose(file);
                        break;
                    }
                    sleepMilliseconds(10);
                }
                logLine(method.name + " stopped");
                break;
            }
            case Step::ReturnArgument: {
                const Object* first = array->elements.empty() ? nullptr : array->elements[0];
                result = first ? static_cast<jint>(std::strtol(first->bytes.c_str(), nullptr, 10)) : 0;
                break;
            }
            case Step::Inputs: {
                // As RuntimeMXBean.getInputArguments() asks.
                if (!boundVmArguments) {
                    logLine("input arguments: the JVM's own, " + std::to_string(givenOptions.size()));
                    for (const std::string& option : givenOptions) logLine("input argument " + escapeBytes(option));
                    break;
                }
                jobject self = ref(make(Object::Class, "sun/management/VMManagementImpl"));
                jobjectArray list = boundVmArguments(env, self);
                if (!list) fatal("the bound getVmArguments0 returned null");
                const Object* answered = use(list, Object::ObjectArray, "getVmArguments0");
                logLine("input arguments: bound, " + std::to_string(answered->elements.size()));
                for (const Object* element : answered->elements) {
                    if (!element || element->kind != Object::String) fatal("getVmArguments0 answered a null or non-String element");
                    logLine("input argument " + escapeBytes(encode(element->text, Charset::Utf8)));
                }
                break;
            }
        }
    }
    logLine(method.name + " returns");
    return result;
}

// As the runtime's launcher helper does for a class: the class, or its
// reason on System.err and System.exit(1).
jobject checkAndLoadMain(const std::u16string& target) {
    std::string name = encode(target, Charset::Utf8);
    for (char& c : name) c = c == '.' ? '/' : c;
    if (world().classes.count(name) != 0) return ref(make(Object::Class, name));
    const std::string dotted = javaName(name);
    write(systemErr, true, "Error: Could not find or load main class " + dotted + kLineSeparator +
                               "Caused by: java.lang.ClassNotFoundException: " + dotted + kLineSeparator);
    systemExit(1);
}

// Every call of a method lands here; the result of a void method is ignored.
jvalue invoke(ThreadEnv* env, const Method& method, Object* self, const std::vector<jvalue>& arguments) {
    jvalue result{};
    if (method.steps) {
        result.i = runSteps(env, method, arguments);
    } else if (method.name == "setOut" || method.name == "setErr") {
        Object* stream = use(arguments.at(0).l, Object::PrintStream, "System.setOut/setErr");
        std::lock_guard<std::mutex> lock(streamMutex);
        (method.name == "setOut" ? systemOut : systemErr) = stream;
    } else if (method.name == "exit") {
        systemExit(arguments.at(0).i);
    } else if (method.name == "printStackTrace") {
        Object* stream = use(arguments.at(0).l, Object::PrintStream, "printStackTrace");
        write(stream, true, self->bytes + kLineSeparator);
    } else if (method.name == "close") {
        std::lock_guard<std::mutex> lock(streamMutex);
        if (self->target && self->target->file) {
            std::fclose(self->target->file);
            self->target->file = nullptr;
        }
    } else if (method.name == "forName") {
        // Class.forName(name, initialize, loader): only the management class
        // of a world that has it; every other name is not found.
        const std::string name = encode(use(arguments.at(0).l, Object::String, "Class.forName")->text, Charset::Utf8);
        const bool initialize = (arguments.at(1).i & 0xFF) != 0;
        logLine("Class.forName " + name + " initialize=" + (initialize ? "true" : "false") +
                (arguments.at(2).l ? " with a loader" : " boot loader"));
        if (name == "sun.management.VMManagementImpl" && world().management) {
            result.l = ref(make(Object::Class, "sun/management/VMManagementImpl"));
        } else {
            env->pending = newThrowable("java/lang/ClassNotFoundException", name);
        }
    } else if (method.name == "checkAndLoadMain") {
        result.l = checkAndLoadMain(use(arguments.at(2).l, Object::String, "checkAndLoadMain")->text);
    } else if (method.name == "toString") {
        Object* string = make(Object::String);
        string->bytes = self->bytes;
        string->text = decode(self->bytes, world().charset);
        result.l = ref(string);
    } else {
        fatal("the test world cannot call " + method.owner + "." + method.name);
    }
    return result;
}

// ---- JNIEnv operations ---------------------------------------------------------

jclass JNICALL FindClass(JNIEnv* jni, const char* name) {
    ThreadEnv* env = envOf(jni, "FindClass");
    logLine(std::string("FindClass ") + escapeBytes(name));
    const bool platform = name == std::string("java/lang/String") || name == std::string("java/lang/System") ||
                          name == std::string("java/io/PrintStream") || name == std::string("java/io/FileOutputStream") ||
                          name == std::string("java/io/ByteArrayOutputStream") || name == std::string("java/lang/Throwable") ||
                          name == std::string("java/io/FileDescriptor") || name == std::string("java/lang/Class") ||
                          (name == std::string("sun/launcher/LauncherHelper") && world().launcherHelper);
    if ((!platform && world().classes.count(name) == 0) || world().missingClasses.count(name) > 0) {
        env->pending = newThrowable("java/lang/NoClassDefFoundError", name);
        return nullptr;
    }
    return static_cast<jclass>(ref(make(Object::Class, name)));
}

jthrowable JNICALL ExceptionOccurred(JNIEnv* jni) {
    ThreadEnv* env = envOf(jni, "ExceptionOccurred", true);
    logLine(std::string("ExceptionOccurred ") + (env->pending ? env->pending->name : "none"));
    return static_cast<jthrowable>(ref(env->pending));
}

void JNICALL ExceptionDescribe(JNIEnv* jni) {
    ThreadEnv* env = envOf(jni, "ExceptionDescribe", true);
    logLine(std::string("ExceptionDescribe ") + (env->pending ? env->pending->name : "none"));
    if (env->pending) describe(env);
}

void JNICALL ExceptionClear(JNIEnv* jni) {
    ThreadEnv* env = envOf(jni, "ExceptionClear", true);
    logLine(std::string("ExceptionClear ") + (env->pending ? env->pending->name : "none"));
    env->pending = nullptr;
}

void JNICALL DeleteLocalRef(JNIEnv* jni, jobject reference) {
    envOf(jni, "DeleteLocalRef", true);
    Object* object = use(reference, "DeleteLocalRef");
    if (object) reinterpret_cast<LocalRef*>(reference)->deleted = true;
    static const char* const kKindNames[] = {"class", "String", "byte[]", "Object[]", "FileOutputStream", "ByteArrayOutputStream", "PrintStream", "Throwable", "FileDescriptor"};
    logLine(std::string("DeleteLocalRef ") + (object ? kKindNames[object->kind] : "null"));
}

jclass JNICALL GetObjectClass(JNIEnv* jni, jobject reference) {
    envOf(jni, "GetObjectClass");
    Object* object = use(reference, "GetObjectClass");
    if (!object) fatal("GetObjectClass of null");
    const std::string name = object->kind == Object::Throwable    ? object->name
                             : object->kind == Object::ByteStream ? "java/io/ByteArrayOutputStream"
                             : object->kind == Object::PrintStream ? "java/io/PrintStream"
                                                                   : "java/lang/Object";
    logLine("GetObjectClass " + name);
    return static_cast<jclass>(ref(make(Object::Class, name)));
}

jmethodID lookUp(JNIEnv* jni, jclass cls, const char* name, const char* signature, bool isStatic, const char* call) {
    ThreadEnv* env = envOf(jni, call);
    Object* owner = use(cls, Object::Class, call);
    logLine(std::string(call) + " " + owner->name + " " + name + " " + signature);
    const std::string searched = isThrowableClass(owner->name) ? "java/lang/Throwable" : owner->name;
    for (const Method& method : methods()) {
        if (method.owner == searched && method.name == name && method.signature == signature && method.isStatic == isStatic) {
            return reinterpret_cast<jmethodID>(const_cast<Method*>(&method));
        }
    }
    if (world().lookupExceptions) env->pending = newThrowable("java/lang/NoSuchMethodError", name);
    return nullptr;
}

jmethodID JNICALL GetMethodID(JNIEnv* jni, jclass cls, const char* name, const char* signature) {
    return lookUp(jni, cls, name, signature, false, "GetMethodID");
}

jmethodID JNICALL GetStaticMethodID(JNIEnv* jni, jclass cls, const char* name, const char* signature) {
    return lookUp(jni, cls, name, signature, true, "GetStaticMethodID");
}

// The fields the launcher reads or sets: the descriptor a FileDescriptor
// holds (fd on POSIX, handle on Windows) and System.err.
struct Field {
    std::string owner, name, signature;
    bool isStatic;
};

const std::deque<Field>& fields() {
    static const std::deque<Field> all = {
        {"java/io/FileDescriptor", "fd", "I", false},
        {"java/io/FileDescriptor", "handle", "J", false},
        {"java/lang/System", "err", "Ljava/io/PrintStream;", true},
    };
    return all;
}

jfieldID lookUpField(JNIEnv* jni, jclass cls, const char* name, const char* signature, bool isStatic, const char* call) {
    ThreadEnv* env = envOf(jni, call);
    Object* owner = use(cls, Object::Class, call);
    logLine(std::string(call) + " " + owner->name + " " + name + " " + signature);
    for (const Field& field : fields()) {
        if (field.owner == owner->name && field.name == name && field.signature == signature && field.isStatic == isStatic) {
            return reinterpret_cast<jfieldID>(const_cast<Field*>(&field));
        }
    }
    if (world().lookupExceptions) env->pending = newThrowable("java/lang/NoSuchFieldError", name);
    return nullptr;
}

jfieldID JNICALL GetFieldID(JNIEnv* jni, jclass cls, const char* name, const char* signature) {
    return lookUpField(jni, cls, name, signature, false, "GetFieldID");
}

jfieldID JNICALL GetStaticFieldID(JNIEnv* jni, jclass cls, const char* name, const char* signature) {
    return lookUpField(jni, cls, name, signature, true, "GetStaticFieldID");
}

const Field& fieldOf(jfieldID id, const char* call) {
    const Field* field = reinterpret_cast<const Field*>(id);
    if (!field) fatal(std::string(call) + " got a null field id");
    return *field;
}

void setDescriptor(JNIEnv* jni, jobject self, jfieldID id, std::int64_t value, const char* call) {
    envOf(jni, call);
    Object* descriptor = use(self, Object::FileDescriptor, call);
    const Field& field = fieldOf(id, call);
    if (field.isStatic || field.owner != "java/io/FileDescriptor") fatal(std::string(call) + " of another field");
    logLine(std::string(call) + " FileDescriptor." + field.name);
    descriptor->descriptor = value;
}

void JNICALL SetIntField(JNIEnv* jni, jobject self, jfieldID id, jint value) {
    setDescriptor(jni, self, id, value, "SetIntField");
}

void JNICALL SetLongField(JNIEnv* jni, jobject self, jfieldID id, jlong value) {
    setDescriptor(jni, self, id, value, "SetLongField");
}

// System.err: the PrintStream set last, or one over the process's own.
jobject JNICALL GetStaticObjectField(JNIEnv* jni, jclass cls, jfieldID id) {
    envOf(jni, "GetStaticObjectField");
    use(cls, Object::Class, "GetStaticObjectField");
    const Field& field = fieldOf(id, "GetStaticObjectField");
    logLine("GetStaticObjectField " + field.owner + " " + field.name);
    static Object* const standardErr = make(Object::PrintStream);
    std::lock_guard<std::mutex> lock(streamMutex);
    return ref(systemErr ? systemErr : standardErr);
}

jobject construct(JNIEnv* jni, jclass cls, jmethodID id, const std::vector<jvalue>& arguments) {
    ThreadEnv* env = envOf(jni, "NewObject");
    use(cls, Object::Class, "NewObject");
    const Method& constructor = methodOf(id, false, "NewObject");
    logLine("NewObject " + constructor.owner);
    if (constructor.owner == "java/lang/String") {
        Object* string = make(Object::String);
        string->bytes = use(arguments.at(0).l, Object::ByteArray, "String(byte[])")->bytes;
        string->text = decode(string->bytes, world().charset);
        return ref(string);
    }
    if (constructor.owner == "java/io/FileDescriptor") return ref(make(Object::FileDescriptor));
    if (constructor.owner == "java/io/FileOutputStream" && constructor.signature == "(Ljava/io/FileDescriptor;)V") {
        const Object* descriptor = use(arguments.at(0).l, Object::FileDescriptor, "FileOutputStream(FileDescriptor)");
        std::string error;
        Object* stream = make(Object::FileStream);
        stream->file = openDescriptor(descriptor->descriptor, error);
        if (!stream->file) fatal("FileOutputStream over descriptor " + std::to_string(descriptor->descriptor) + ": " + error);
        return ref(stream);
    }
    if (constructor.owner == "java/io/FileOutputStream") {
        const std::string path = encode(use(arguments.at(0).l, Object::String, "FileOutputStream")->text, Charset::Utf8);
        std::string error;
        Object* stream = make(Object::FileStream);
        stream->file = openFile(path, "wb", error);
        if (stream->file) return ref(stream);
        env->pending = newThrowable("java/io/FileNotFoundException", path + " (" + error + ")");
        return nullptr;
    }
    if (constructor.owner == "java/io/PrintStream") {
        Object* stream = make(Object::PrintStream);
        stream->target = use(arguments.at(0).l, "PrintStream");
        if (!stream->target || (stream->target->kind != Object::FileStream && stream->target->kind != Object::ByteStream)) {
            fatal("PrintStream over something that is no stream");
        }
        return ref(stream);
    }
    return ref(make(Object::ByteStream));
}

jobject JNICALL NewObjectV(JNIEnv* jni, jclass cls, jmethodID id, va_list list) {
    return construct(jni, cls, id, readArguments(methodOf(id, false, "NewObjectV").signature, list));
}

jobject JNICALL NewObjectA(JNIEnv* jni, jclass cls, jmethodID id, const jvalue* list) {
    return construct(jni, cls, id, copyArguments(methodOf(id, false, "NewObjectA").signature, list));
}

jobject JNICALL NewObject(JNIEnv* jni, jclass cls, jmethodID id, ...) {
    va_list list;
    va_start(list, id);
    jobject result = NewObjectV(jni, cls, id, list);
    va_end(list);
    return result;
}

jvalue callStatic(JNIEnv* jni, jclass cls, jmethodID id, const std::vector<jvalue>& arguments, const char* call) {
    ThreadEnv* env = envOf(jni, call);
    use(cls, Object::Class, call);
    const Method& method = methodOf(id, true, call);
    logLine(std::string(call) + " " + method.owner + " " + method.name + " " + method.signature);
    return invoke(env, method, nullptr, arguments);
}

void JNICALL CallStaticVoidMethodV(JNIEnv* jni, jclass cls, jmethodID id, va_list list) {
    callStatic(jni, cls, id, readArguments(methodOf(id, true, "CallStaticVoidMethodV").signature, list), "CallStaticVoidMethod");
}

void JNICALL CallStaticVoidMethodA(JNIEnv* jni, jclass cls, jmethodID id, const jvalue* list) {
    callStatic(jni, cls, id, copyArguments(methodOf(id, true, "CallStaticVoidMethodA").signature, list), "CallStaticVoidMethod");
}

void JNICALL CallStaticVoidMethod(JNIEnv* jni, jclass cls, jmethodID id, ...) {
    va_list list;
    va_start(list, id);
    CallStaticVoidMethodV(jni, cls, id, list);
    va_end(list);
}

jint JNICALL CallStaticIntMethodV(JNIEnv* jni, jclass cls, jmethodID id, va_list list) {
    return callStatic(jni, cls, id, readArguments(methodOf(id, true, "CallStaticIntMethodV").signature, list), "CallStaticIntMethod").i;
}

jint JNICALL CallStaticIntMethodA(JNIEnv* jni, jclass cls, jmethodID id, const jvalue* list) {
    return callStatic(jni, cls, id, copyArguments(methodOf(id, true, "CallStaticIntMethodA").signature, list), "CallStaticIntMethod").i;
}

jint JNICALL CallStaticIntMethod(JNIEnv* jni, jclass cls, jmethodID id, ...) {
    va_list list;
    va_start(list, id);
    const jint result = CallStaticIntMethodV(jni, cls, id, list);
    va_end(list);
    return result;
}

jobject JNICALL CallStaticObjectMethodV(JNIEnv* jni, jclass cls, jmethodID id, va_list list) {
    return callStatic(jni, cls, id, readArguments(methodOf(id, true, "CallStaticObjectMethodV").signature, list), "CallStaticObjectMethod").l;
}

jobject JNICALL CallStaticObjectMethodA(JNIEnv* jni, jclass cls, jmethodID id, const jvalue* list) {
    return callStatic(jni, cls, id, copyArguments(methodOf(id, true, "CallStaticObjectMethodA").signature, list), "CallStaticObjectMethod").l;
}

jobject JNICALL CallStaticObjectMethod(JNIEnv* jni, jclass cls, jmethodID id, ...) {
    va_list list;
    va_start(list, id);
    jobject result = CallStaticObjectMethodV(jni, cls, id, list);
    va_end(list);
    return result;
}

jvalue callInstance(JNIEnv* jni, jobject self, jmethodID id, const std::vector<jvalue>& arguments, const char* call) {
    ThreadEnv* env = envOf(jni, call);
    Object* object = use(self, call);
    const Method& method = methodOf(id, false, call);
    logLine(std::string(call) + " " + method.owner + " " + method.name + " " + method.signature);
    if (!object) fatal(std::string(call) + " on null");
    return invoke(env, method, object, arguments);
}

jobject callObject(JNIEnv* jni, jobject self, jmethodID id, const std::vector<jvalue>& arguments) {
    return callInstance(jni, self, id, arguments, "CallObjectMethod").l;
}

void JNICALL CallVoidMethodV(JNIEnv* jni, jobject self, jmethodID id, va_list list) {
    callInstance(jni, self, id, readArguments(methodOf(id, false, "CallVoidMethodV").signature, list), "CallVoidMethod");
}

void JNICALL CallVoidMethodA(JNIEnv* jni, jobject self, jmethodID id, const jvalue* list) {
    callInstance(jni, self, id, copyArguments(methodOf(id, false, "CallVoidMethodA").signature, list), "CallVoidMethod");
}

void JNICALL CallVoidMethod(JNIEnv* jni, jobject self, jmethodID id, ...) {
    va_list list;
    va_start(list, id);
    CallVoidMethodV(jni, self, id, list);
    va_end(list);
}

jobject JNICALL CallObjectMethodV(JNIEnv* jni, jobject self, jmethodID id, va_list list) {
    return callObject(jni, self, id, readArguments(methodOf(id, false, "CallObjectMethodV").signature, list));
}

jobject JNICALL CallObjectMethodA(JNIEnv* jni, jobject self, jmethodID id, const jvalue* list) {
    return callObject(jni, self, id, copyArguments(methodOf(id, false, "CallObjectMethodA").signature, list));
}

jobject JNICALL CallObjectMethod(JNIEnv* jni, jobject self, jmethodID id, ...) {
    va_list list;
    va_start(list, id);
    jobject result = CallObjectMethodV(jni, self, id, list);
    va_end(list);
    return result;
}

std::mutex charsMutex;
std::set<const char*> charsHandedOut;

const char* JNICALL GetStringUTFChars(JNIEnv* jni, jstring reference, jboolean* isCopy) {
    ThreadEnv* env = envOf(jni, "GetStringUTFChars");
    Object* string = use(reference, Object::String, "GetStringUTFChars");
    logLine("GetStringUTFChars " + escapeBytes(toModifiedUtf8(string->text)));
    if (world().failUtfChars) {
        env->pending = newThrowable("java/lang/OutOfMemoryError", "test world refuses UTF chars");
        return nullptr;
    }
    const std::string utf = toModifiedUtf8(string->text);
    char* chars = new char[utf.size() + 1];
    std::memcpy(chars, utf.c_str(), utf.size() + 1);
    if (isCopy) *isCopy = JNI_TRUE;
    std::lock_guard<std::mutex> lock(charsMutex);
    charsHandedOut.insert(chars);
    return chars;
}

void JNICALL ReleaseStringUTFChars(JNIEnv* jni, jstring reference, const char* chars) {
    envOf(jni, "ReleaseStringUTFChars", true);
    use(reference, Object::String, "ReleaseStringUTFChars");
    logLine("ReleaseStringUTFChars");
    std::lock_guard<std::mutex> lock(charsMutex);
    if (charsHandedOut.erase(chars) == 0) fatal("ReleaseStringUTFChars of characters never handed out");
    delete[] chars;
}

jobjectArray JNICALL NewObjectArray(JNIEnv* jni, jsize length, jclass cls, jobject initial) {
    envOf(jni, "NewObjectArray");
    Object* elementClass = use(cls, Object::Class, "NewObjectArray");
    logLine("NewObjectArray " + std::to_string(length) + " " + elementClass->name);
    if (length < 0) fatal("NewObjectArray with a negative length");
    Object* array = make(Object::ObjectArray);
    array->elements.assign(static_cast<std::size_t>(length), use(initial, "NewObjectArray"));
    return static_cast<jobjectArray>(ref(array));
}

void JNICALL SetObjectArrayElement(JNIEnv* jni, jobjectArray reference, jsize index, jobject value) {
    envOf(jni, "SetObjectArrayElement");
    Object* array = use(reference, Object::ObjectArray, "SetObjectArrayElement");
    logLine("SetObjectArrayElement " + std::to_string(index));
    if (index < 0 || static_cast<std::size_t>(index) >= array->elements.size()) fatal("SetObjectArrayElement out of bounds");
    array->elements[static_cast<std::size_t>(index)] = use(value, "SetObjectArrayElement");
}

jbyteArray JNICALL NewByteArray(JNIEnv* jni, jsize length) {
    envOf(jni, "NewByteArray");
    logLine("NewByteArray " + std::to_string(length));
    if (length < 0) fatal("NewByteArray with a negative length");
    Object* array = make(Object::ByteArray);
    array->bytes.assign(static_cast<std::size_t>(length), '\0');
    return static_cast<jbyteArray>(ref(array));
}

void JNICALL SetByteArrayRegion(JNIEnv* jni, jbyteArray reference, jsize start, jsize length, const jbyte* bytes) {
    envOf(jni, "SetByteArrayRegion");
    Object* array = use(reference, Object::ByteArray, "SetByteArrayRegion");
    if (start < 0 || length < 0 || static_cast<std::size_t>(start) + static_cast<std::size_t>(length) > array->bytes.size()) {
        fatal("SetByteArrayRegion out of bounds");
    }
    array->bytes.replace(static_cast<std::size_t>(start), static_cast<std::size_t>(length), reinterpret_cast<const char*>(bytes),
                         static_cast<std::size_t>(length));
    logLine("SetByteArrayRegion " + std::to_string(start) + " " + escapeBytes(array->bytes));
}

jstring JNICALL NewString(JNIEnv* jni, const jchar* chars, jsize length) {
    envOf(jni, "NewString");
    if (length < 0 || (length > 0 && !chars)) fatal("NewString with a negative length or no characters");
    Object* string = make(Object::String);
    string->text.assign(reinterpret_cast<const char16_t*>(chars), static_cast<std::size_t>(length));
    string->bytes = encode(string->text, Charset::Utf8);
    logLine("NewString " + escapeBytes(string->bytes));
    return static_cast<jstring>(ref(string));
}

// Binds the one native method the launcher may bind: the management
// interface's list of the JVM's options.
jint JNICALL RegisterNatives(JNIEnv* jni, jclass cls, const JNINativeMethod* natives, jint count) {
    ThreadEnv* env = envOf(jni, "RegisterNatives");
    Object* owner = use(cls, Object::Class, "RegisterNatives");
    for (jint i = 0; i < count; ++i) {
        const std::string name = natives[i].name, signature = natives[i].signature;
        logLine("RegisterNatives " + owner->name + " " + name + " " + signature);
        if (owner->name != "sun/management/VMManagementImpl" || name != "getVmArguments0" ||
            signature != "()[Ljava/lang/String;" || !natives[i].fnPtr) {
            env->pending = newThrowable("java/lang/NoSuchMethodError", name);
            return JNI_ERR;
        }
        boundVmArguments = reinterpret_cast<VmArgumentsFunction>(natives[i].fnPtr);
    }
    return JNI_OK;
}

// ---- the tables ------------------------------------------------------------------

using Slot = void (*)();

template <int Table, std::size_t Index>
void JNICALL unexpectedCall() {
    fatal(std::string("unexpected JNI call ") + (Table == 0 ? "JNIEnv" : "JavaVM") + " slot " + std::to_string(Index));
}

// A table whose every slot aborts with the slot's index.
template <typename T, int Table, std::size_t... Index>
T unexpectedTable(std::index_sequence<Index...>) {
    const std::array<Slot, sizeof...(Index)> slots = {reinterpret_cast<Slot>(&unexpectedCall<Table, Index>)...};
    static_assert(sizeof(T) == sizeof(slots), "a JNI table is an array of function pointers");
    T table;
    std::memcpy(static_cast<void*>(&table), slots.data(), sizeof table);
    return table;
}

const JNINativeInterface_ envTable = [] {
    auto table = unexpectedTable<JNINativeInterface_, 0>(std::make_index_sequence<sizeof(JNINativeInterface_) / sizeof(Slot)>());
    table.FindClass = FindClass;
    table.ExceptionOccurred = ExceptionOccurred;
    table.ExceptionDescribe = ExceptionDescribe;
    table.ExceptionClear = ExceptionClear;
    table.DeleteLocalRef = DeleteLocalRef;
    table.GetObjectClass = GetObjectClass;
    table.GetMethodID = GetMethodID;
    table.GetStaticMethodID = GetStaticMethodID;
    table.NewObject = NewObject;
    table.NewObjectV = NewObjectV;
    table.NewObjectA = NewObjectA;
    table.CallObjectMethod = CallObjectMethod;
    table.CallObjectMethodV = CallObjectMethodV;
    table.CallObjectMethodA = CallObjectMethodA;
    table.CallVoidMethod = CallVoidMethod;
    table.CallVoidMethodV = CallVoidMethodV;
    table.CallVoidMethodA = CallVoidMethodA;
    table.CallStaticVoidMethod = CallStaticVoidMethod;
    table.CallStaticVoidMethodV = CallStaticVoidMethodV;
    table.CallStaticVoidMethodA = CallStaticVoidMethodA;
    table.CallStaticIntMethod = CallStaticIntMethod;
    table.CallStaticObjectMethod = CallStaticObjectMethod;
    table.CallStaticObjectMethodV = CallStaticObjectMethodV;
    table.CallStaticObjectMethodA = CallStaticObjectMethodA;
    table.GetFieldID = GetFieldID;
    table.GetStaticFieldID = GetStaticFieldID;
    table.SetIntField = SetIntField;
    table.SetLongField = SetLongField;
    table.GetStaticObjectField = GetStaticObjectField;
    table.CallStaticIntMethodV = CallStaticIntMethodV;
    table.CallStaticIntMethodA = CallStaticIntMethodA;
    table.GetStringUTFChars = GetStringUTFChars;
    table.ReleaseStringUTFChars = ReleaseStringUTFChars;
    table.NewObjectArray = NewObjectArray;
    table.SetObjectArrayElement = SetObjectArrayElement;
    table.NewByteArray = NewByteArray;
    table.SetByteArrayRegion = SetByteArrayRegion;
    table.NewString = NewString;
    table.RegisterNatives = RegisterNatives;
    return table;
}();

JNIEnv* newEnv(const std::string& threadName) {
    ThreadEnv* env = new ThreadEnv;
    env->functions = &envTable;
    env->threadName = threadName;
    return env;
}

// ---- JavaVM operations -----------------------------------------------------------

thread_local JNIEnv* attachedEnv = nullptr;
int attachCount = 0;
// Threads attached and not yet detached: non-daemon threads, which a real
// JVM's DestroyJavaVM waits for as it does for the program's own.
std::mutex attachedMutex;
std::condition_variable attachedChanged;
int attachedThreads = 0;

jint JNICALL DestroyJavaVM(JavaVM*) {
    std::vector<std::thread> waitFor;
    {
        std::lock_guard<std::mutex> lock(lingerMutex);
        waitFor.swap(lingering);
    }
    logLine("DestroyJavaVM " + threadTag() + " waits for " + std::to_string(waitFor.size()) + " threads");
    for (std::thread& thread : waitFor) thread.join();
    {
        std::unique_lock<std::mutex> lock(attachedMutex);
        if (attachedThreads > 0) logLine("DestroyJavaVM waits for " + std::to_string(attachedThreads) + " attached threads");
        attachedChanged.wait(lock, [] { return attachedThreads <= 0; });
    }
    std::lock_guard<std::mutex> lock(charsMutex);
    writeArchiveAtExit();
    logLine("DestroyJavaVM returns; unreleased UTF chars: " + std::to_string(charsHandedOut.size()));
    return JNI_OK;
}

jint JNICALL AttachCurrentThread(JavaVM*, void** penv, void* arguments) {
    logLine("AttachCurrentThread " + threadTag() + (arguments ? " with arguments" : ""));
    if (!attachedEnv) {
        std::lock_guard<std::mutex> lock(attachedMutex);
        attachedEnv = newEnv("Thread-" + std::to_string(++attachCount));
        ++attachedThreads;
    }
    *penv = attachedEnv;
    return JNI_OK;
}

jint JNICALL DetachCurrentThread(JavaVM*) {
    logLine("DetachCurrentThread " + threadTag());
    logDpiAwareness();
    if (attachedEnv) {
        // Leaving, whatever the world makes the call return.
        std::lock_guard<std::mutex> lock(attachedMutex);
        --attachedThreads;
        attachedChanged.notify_all();
    }
    if (world().failDetach) return JNI_ERR;
    attachedEnv = nullptr;
    return JNI_OK;
}

const JNIInvokeInterface_ vmTable = [] {
    auto table = unexpectedTable<JNIInvokeInterface_, 1>(std::make_index_sequence<sizeof(JNIInvokeInterface_) / sizeof(Slot)>());
    table.DestroyJavaVM = DestroyJavaVM;
    table.AttachCurrentThread = AttachCurrentThread;
    table.DetachCurrentThread = DetachCurrentThread;
    return table;
}();

#ifndef CORVID_TEST_JVM_WITHOUT_CREATE
JavaVM theVm{&vmTable};
bool created = false;

void logEnvironment() {
    for (const char* name : {"TAV_JVM_PATH", "TAV_JVM_HOME", kPathVariable}) {
        const std::optional<std::string> value = environmentVariable(name);
        logLine(std::string("env ") + name + (value ? "=" + escapeBytes(*value) : " unset"));
    }
}
#endif

}  // namespace

}  // namespace corvid_test_jvm

using namespace corvid_test_jvm;

#ifndef CORVID_TEST_JVM_WITHOUT_CREATE
using VfprintfHook = jint (*)(std::FILE*, const char*, va_list);

void printThrough(VfprintfHook hook, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    if (hook) {
        hook(stdout, format, arguments);
    } else {
        std::vfprintf(stdout, format, arguments);
    }
    va_end(arguments);
}

// As a JVM prints: through the vfprintf hook when there is one, to standard
// output otherwise.
void sayThroughHook(VfprintfHook hook, const std::string& text) {
    logLine("says " + escapeBytes(text));
    printThrough(hook, "%s", text.c_str());
}

extern "C" JNIEXPORT jint JNICALL JNI_CreateJavaVM(JavaVM** pvm, void** penv, void* vmArguments) {
    const auto* arguments = static_cast<const JavaVMInitArgs*>(vmArguments);
    char version[32];
    std::snprintf(version, sizeof version, "0x%08lx", static_cast<unsigned long>(arguments->version));
    // The hooks are logged apart, so the count and the "option" lines are the
    // launcher's real options.
    VfprintfHook vfprintfHook = nullptr;
    std::vector<std::string> hooks;
    std::vector<const JavaVMOption*> options;
    for (jint i = 0; i < arguments->nOptions; ++i) {
        const JavaVMOption& option = arguments->options[i];
        const std::string_view name = option.optionString;
        givenOptions.emplace_back(name);
        if (name == "vfprintf" || name == "exit" || name == "abort") {
            hooks.emplace_back(name);
            if (name == "vfprintf") vfprintfHook = reinterpret_cast<decltype(vfprintfHook)>(option.extraInfo);
        } else {
            options.push_back(&option);
        }
    }
    logLine("JNI_CreateJavaVM " + threadTag() + " version=" + version + " nOptions=" + std::to_string(options.size()) +
            " ignoreUnrecognized=" + std::to_string(arguments->ignoreUnrecognized));
    for (const std::string& hook : hooks) logLine("hook " + hook);
    for (const JavaVMOption* option : options) {
        logLine("option " + escapeBytes(option->optionString) + (option->extraInfo ? " (extraInfo set)" : ""));
    }
    if (!world().creationText.empty()) sayThroughHook(vfprintfHook, world().creationText);
    logEnvironment();
    readArchiveOptions(*arguments);
    logLine("stack " + std::to_string(currentThreadStackSize()));
    logDpiAwareness();
    if (world().createDelay > 0) {
        logLine("JNI_CreateJavaVM delays " + std::to_string(world().createDelay) + " ms");
        sleepMilliseconds(static_cast<unsigned>(world().createDelay));
    }
    const jint result = created ? JNI_EEXIST : world().createResult;
    logLine("JNI_CreateJavaVM result " + std::to_string(result));
    *pvm = nullptr;
    *penv = nullptr;
    if (result != JNI_OK) return result;
    created = true;
    *pvm = &theVm;
    *penv = newEnv("main");
    return JNI_OK;
}
#endif

#ifndef CORVID_TEST_JVM_WITHOUT_DEFAULTS
// The JNI 1.1 arguments record, up to the one field ever written here.
struct DefaultArgumentsPrefix {
    jint version;
    char** properties;
    jint checkSource;
    jint nativeStackSize;
    jint javaStackSize;
};

extern "C" JNIEXPORT jint JNICALL JNI_GetDefaultJavaVMInitArgs(void* record) {
    auto* arguments = static_cast<DefaultArgumentsPrefix*>(record);
    char version[32];
    std::snprintf(version, sizeof version, "0x%08lx", static_cast<unsigned long>(arguments->version));
    logLine("JNI_GetDefaultJavaVMInitArgs " + threadTag() + " version=" + version);
    // Any other version is only asked whether it is spoken.
    if (arguments->version != 0x00010001) return arguments->version <= world().jniVersion ? JNI_OK : JNI_EVERSION;
    arguments->javaStackSize = static_cast<jint>(world().defaultStackSize);
    return JNI_OK;
}
#endif
