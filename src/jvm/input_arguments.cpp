#include "jvm/input_arguments.h"

#include <algorithm>
#include <atomic>
#include <string_view>

#include "java/java_api.h"
#include "java/java_strings.h"

namespace corvid {

namespace {

// HotSpot keeps these out of its own list; java sets all three.
constexpr std::string_view kHiddenByTheJvm[] = {"-Djava.class.path=", "-Dsun.java.command=", "-Dsun.java.launcher="};

constexpr char16_t kManagementClass[] = u"sun.management.VMManagementImpl";
constexpr char kArgumentsMethod[] = "getVmArguments0";
constexpr char kArgumentsSignature[] = "()[Ljava/lang/String;";

// What the bound method answers with. It may be asked on any thread at any
// time, also while the process ends, so it is never freed.
std::atomic<const JvmOptionList*> boundList{nullptr};

// The native getVmArguments0: a new String[] of the list, each option decoded
// from the narrow form as the JVM decodes its own.
jobjectArray JNICALL boundInputArguments(JNIEnv* env, jobject) {
    const JvmOptionList* list = boundList.load();
    const jsize count = list ? static_cast<jsize>(list->size()) : 0;
    jclass stringClass = env->FindClass("java/lang/String");
    if (!stringClass) return nullptr;
    jobjectArray array = env->NewObjectArray(count, stringClass, nullptr);
    env->DeleteLocalRef(stringClass);
    for (jsize i = 0; array && i < count; ++i) {
        const WideString text = fromNarrow((*list)[static_cast<std::size_t>(i)]);
        jstring element = env->NewString(reinterpret_cast<const jchar*>(text.data()), static_cast<jsize>(text.size()));
        if (!element) {
            env->DeleteLocalRef(array);
            return nullptr;
        }
        env->SetObjectArrayElement(array, i, element);
        env->DeleteLocalRef(element);
    }
    return array;
}

template <typename... Pieces>
void traceLine(Launcher& launcher, const Pieces&... pieces) {
    if (launcher.trace.enabled()) launcher.trace.line("input arguments: ", pieces...);
}

}  // namespace

JvmOptionList inputArgumentsOf(const JvmOptionList& options) {
    JvmOptionList visible;
    for (const std::string& option : options) {
        const auto hides = [&](std::string_view prefix) { return startsWith(option, prefix); };
        if (std::none_of(std::begin(kHiddenByTheJvm), std::end(kHiddenByTheJvm), hides)) visible.push_back(option);
    }
    return visible;
}

bool jvmHasUnifiedLogging(Launcher& launcher) {
    if (!launcher.defaultInitArgsEntry) return false;
    JDK1_1InitArgs probe{};
    probe.version = JNI_VERSION_9;
    return asGetDefaultInitArgs(launcher.defaultInitArgsEntry)(&probe) == JNI_OK;
}

void bindInputArguments(Launcher& launcher) {
    if (!launcher.rebindInputArguments) {
        traceLine(launcher, "the JVM's own list (a runtime before 9)");
        return;
    }
    JNIEnv* env = launcher.jniEnv;
    // Loaded without being initialised, which FindClass would do: the
    // initialiser needs the management library, which only ManagementFactory
    // loads. Class.forName through JNI, with the boot loader.
    jclass classClass = env->FindClass("java/lang/Class");
    jmethodID forName =
        classClass ? env->GetStaticMethodID(classClass, "forName",
                                            "(Ljava/lang/String;ZLjava/lang/ClassLoader;)Ljava/lang/Class;")
                   : nullptr;
    jstring name = forName ? newJavaString(kManagementClass, env) : nullptr;
    auto management =
        name ? static_cast<jclass>(env->CallStaticObjectMethod(classClass, forName, name, JNI_FALSE, nullptr)) : nullptr;
    if (!management) env->ExceptionClear();
    jint registered = JNI_ERR;
    if (management) {
        delete boundList.exchange(new JvmOptionList(launcher.inputArguments));
        const JNINativeMethod method = {const_cast<char*>(kArgumentsMethod), const_cast<char*>(kArgumentsSignature),
                                        reinterpret_cast<void*>(&boundInputArguments)};
        registered = env->RegisterNatives(management, &method, 1);
        if (registered != JNI_OK) env->ExceptionClear();
    }
    for (jobject local : {jobject{management}, jobject{name}, jobject{classClass}}) {
        if (local) env->DeleteLocalRef(local);
    }
    if (registered == JNI_OK) {
        traceLine(launcher, launcher.inputArguments.size(), " options, bound to ", kManagementClass, ".", kArgumentsMethod);
    } else {
        traceLine(launcher, "the JVM's own list (", management ? u"cannot bind " : u"no class ", kManagementClass, ")");
    }
}

}  // namespace corvid
