#include "jvm/jvm_loader.h"

#include <gtest/gtest.h>

#include "java/java_api.h"
#include "java/jvm_output.h"
#include "jvm/input_arguments.h"
#include "jvm/java_thread.h"
#include "start/launcher.h"
#include "support/fake_platform.h"

namespace corvid {
namespace {

using testing::FakePlatform;
using testing::nativePath;

// What the fake JVM library's exports last received, and what they answer.
struct FakeJvm {
    static inline jint createResult = JNI_ERR;
    static inline int createCalls = 0;
    static inline JavaVMInitArgs arguments{};
    static inline std::vector<std::string> options;
    // The launcher's hooks, apart from its options.
    static inline std::vector<std::string> hooks;
    // What creation prints through the vfprintf hook.
    static inline std::string says;
    static inline jint defaultsVersionSeen = 0;
    static inline jint defaultStackSize = 0;
    static inline int defaultsCalls = 0;
    // Whether a request for another version than 1.1 is answered, as by a
    // runtime of that version or later: what the launcher asks to learn
    // whether the JVM has unified logging.
    static inline jint highestVersion = JNI_VERSION_1_8;
    static inline std::vector<jint> versionsAsked;

    static jint JNICALL create(JavaVM** vm, void** env, void* args) {
        ++createCalls;
        arguments = *static_cast<JavaVMInitArgs*>(args);
        options.clear();
        hooks.clear();
        jint (*print)(std::FILE*, const char*, va_list) = nullptr;
        for (jint i = 0; i < arguments.nOptions; ++i) {
            const std::string option = arguments.options[i].optionString;
            if (option == "vfprintf") print = reinterpret_cast<decltype(print)>(arguments.options[i].extraInfo);
            (option == "vfprintf" || option == "exit" || option == "abort" ? hooks : options).push_back(option);
        }
        if (print && !says.empty()) printThrough(print, "%s", says.c_str());
        // Stand-ins that are never called: the tests stop after creation.
        static int placeholder;
        if (createResult == JNI_OK) {
            *vm = reinterpret_cast<JavaVM*>(&placeholder);
            *env = &placeholder;
        }
        return createResult;
    }
    static void printThrough(jint (*print)(std::FILE*, const char*, va_list), const char* format, ...) {
        va_list list;
        va_start(list, format);
        print(stderr, format, list);
        va_end(list);
    }
    static jint JNICALL defaults(void* args) {
        auto* record = static_cast<JDK1_1InitArgs*>(args);
        if (record->version != JNI_VERSION_1_1) {
            versionsAsked.push_back(record->version);
            return record->version <= highestVersion ? JNI_OK : JNI_EVERSION;
        }
        ++defaultsCalls;
        defaultsVersionSeen = record->version;
        record->javaStackSize = defaultStackSize;
        return JNI_ERR;  // as today's JVMs answer a 1.1 request
    }
    static void reset() {
        createResult = JNI_ERR;
        createCalls = defaultsCalls = 0;
        options.clear();
        says.clear();
        defaultStackSize = 0;
        highestVersion = JNI_VERSION_1_8;
        versionsAsked.clear();
    }
};

LibrarySymbol symbol(CreateJavaVmFunction function) { return reinterpret_cast<LibrarySymbol>(function); }
LibrarySymbol symbol(GetDefaultJavaVmInitArgsFunction function) { return reinterpret_cast<LibrarySymbol>(function); }

class JvmLoading : public ::testing::Test {
protected:
    JvmLoading() {
        FakeJvm::reset();
        launcher.jvmLibraryPath = library;
    }
    void installLibrary(bool withCreate, bool withDefaults) {
        auto& exports = fake.libraries.libraries[library].exports;
        if (withCreate) exports[kCreateJavaVmName] = symbol(&FakeJvm::create);
        if (withDefaults) exports[kDefaultInitArgsName] = symbol(&FakeJvm::defaults);
    }
    std::vector<WideString> boxTexts() const {
        std::vector<WideString> texts;
        for (const auto& box : fake.ui.boxes) texts.push_back(box.text);
        return texts;
    }

    const WideString library = nativePath(u"C:/Runtime/bin/server/jvm.dll");
    FakePlatform fake;
    Trace trace;
    Launcher launcher{fake.platform, trace, {}};
};

TEST_F(JvmLoading, LoadsTheLibraryAndResolvesBothEntries) {
    installLibrary(true, true);
    EXPECT_TRUE(loadJvmLibrary(launcher));
    EXPECT_EQ(fake.libraries.loaded, (std::vector<WideString>{library}));
    EXPECT_EQ(launcher.createJavaVmEntry, symbol(&FakeJvm::create));
    EXPECT_EQ(launcher.defaultInitArgsEntry, symbol(&FakeJvm::defaults));
    EXPECT_TRUE(fake.ui.boxes.empty());
}

TEST_F(JvmLoading, EachFailureShowsItsMessage) {
    struct Case {
        bool present, withCreate, withDefaults;
        WideString message;
    };
    const Case cases[] = {
        {false, false, false, u"Failed to load Java VM library: " + library + u" (errno = 126).\n"},
        {true, false, true, u"Windows exception: cannot find CreateJavaVM JNI (errno = 127).\n"},
        {true, true, false, u"Windows exception: cannot find CreateJavaVM JNI (errno = 127).\n"},
    };
    for (const Case& c : cases) {
        fake.libraries.libraries.clear();
        fake.ui.boxes.clear();
        if (c.present) installLibrary(c.withCreate, c.withDefaults);
        EXPECT_FALSE(loadJvmLibrary(launcher));
        EXPECT_EQ(boxTexts(), (std::vector<WideString>{c.message}));
    }
}

TEST_F(JvmLoading, ErrorCodesWithTheTopBitSetPrintNegative) {
    fake.libraries.loadError = 0xC0000135;
    EXPECT_FALSE(loadJvmLibrary(launcher));
    EXPECT_EQ(boxTexts(), (std::vector<WideString>{u"Failed to load Java VM library: " + library +
                                                   u" (errno = -1073741515).\n"}));
}

TEST_F(JvmLoading, CreationFailuresNameTheirReason) {
    installLibrary(true, true);
    ASSERT_TRUE(loadJvmLibrary(launcher));
    const std::pair<jint, WideString> cases[] = {
        {-1, u"unknown"}, {-2, u"thread detached from VM"}, {-3, u"JNI version error"},
        {-4, u"not enough memory"}, {-5, u"VM already created"}, {-6, u"invalid arguments"},
        {-7, u""}, {1, u""}, {42, u""},
    };
    for (const auto& [result, reason] : cases) {
        fake.ui.boxes.clear();
        FakeJvm::createResult = result;
        EXPECT_FALSE(createJavaVm(launcher));
        EXPECT_EQ(boxTexts(), (std::vector<WideString>{u"JNI exception: failed to create the Java VM\nReason: " +
                                                       reason + u".\n"}))
            << result;
        EXPECT_EQ(launcher.javaVm, nullptr);
    }
}

TEST_F(JvmLoading, EachLanguageKeepsItsLeadTextBeforeTheJvmsWords) {
    const std::pair<std::uint16_t, WideString> cases[] = {
        {0x0407, u"JNI exception: konnte die Java VM nicht erzeugen\nReason: Too small maximum heap.\n"},
        {0x0410, u"Eccezione JNI: non ha potuto creare Java VM\nReason: Too small maximum heap.\n"},
        {0x0C0A, u"Excepci\u00F3n de JNI: no cre\u00F3 el Java VM\nReason: Too small maximum heap.\n"},
        {0x0816, u"JNI exception: failed to create the Java VM\nReason: Too small maximum heap.\n"},
    };
    for (const auto& [language, text] : cases) {
        fake.ui.language = language;
        EXPECT_EQ(creationFailureMessage(fake.ui, MessageId::JniReasonUnknown, "Too small maximum heap\n"), text)
            << language;
    }
    fake.ui.language = 0x0407;
    EXPECT_EQ(creationFailureMessage(fake.ui, MessageId::JniReasonUnknown, "\r\n"),
              u"JNI exception: konnte die Java VM nicht erzeugen\nReason: unbekannt.\n");
}

TEST_F(JvmLoading, ReasonsStayEnglishInsideAnItalianFrame) {
    installLibrary(true, true);
    ASSERT_TRUE(loadJvmLibrary(launcher));
    fake.ui.language = 0x0410;
    FakeJvm::createResult = JNI_ENOMEM;
    EXPECT_FALSE(createJavaVm(launcher));
    EXPECT_EQ(boxTexts(),
              (std::vector<WideString>{u"Eccezione JNI: non ha potuto creare Java VM\nReason: not enough memory.\n"}));
}

TEST_F(JvmLoading, OptionsGoOverInOrderAndUnknownOnesAreNotIgnored) {
    installLibrary(true, true);
    ASSERT_TRUE(loadJvmLibrary(launcher));
    launcher.jvmOptions = {"-Djava.library.path=x", "-Djava.class.path=a.jar", "-Xfoo"};
    createJavaVm(launcher);
    EXPECT_EQ(FakeJvm::options, launcher.jvmOptions);
    EXPECT_EQ(FakeJvm::arguments.version, JNI_VERSION_1_2);
    EXPECT_EQ(FakeJvm::arguments.ignoreUnrecognized, JNI_FALSE);
}

// The option that keeps HotSpot's warning about the rebound input arguments
// quiet exists from 9 on, which the JVM tells by answering JNI 9; an older
// one would refuse it, and keeps its own list.
TEST_F(JvmLoading, TheQuietRebindingOptionGoesFirstToAJvmOf9OrLater) {
    const std::string quiet = "-Xlog:jni+resolve=off";
    const struct {
        jint highest;
        bool withDefaults;
        bool rebind;
    } cases[] = {
        {JNI_VERSION_9, true, true},
        {0x00190000, true, true},
        {JNI_VERSION_1_8, true, false},
        {JNI_VERSION_9, false, false},
    };
    for (const auto& c : cases) {
        FakeJvm::reset();
        FakeJvm::highestVersion = c.highest;
        fake.libraries.libraries.clear();
        installLibrary(true, c.withDefaults);
        launcher.defaultInitArgsEntry = nullptr;
        ASSERT_TRUE(loadJvmLibrary(launcher) || !c.withDefaults);
        if (!c.withDefaults) launcher.createJavaVmEntry = symbol(&FakeJvm::create);
        launcher.jvmOptions = {"-Djava.class.path=a.jar", "-Xlog:jni+resolve=warning"};
        launcher.rebindInputArguments = !c.rebind;
        createJavaVm(launcher);
        JvmOptionList expected = launcher.jvmOptions;
        if (c.rebind) expected.insert(expected.begin(), quiet);
        EXPECT_EQ(FakeJvm::options, expected) << c.highest;
        EXPECT_EQ(FakeJvm::hooks, (std::vector<std::string>{"vfprintf", "exit", "abort"})) << c.highest;
        EXPECT_EQ(launcher.rebindInputArguments, c.rebind) << c.highest;
        EXPECT_EQ(FakeJvm::versionsAsked, c.withDefaults ? std::vector<jint>{JNI_VERSION_9} : std::vector<jint>{});
        fake.ui.boxes.clear();
    }
}

TEST(InputArguments, AllOptionsButThoseTheJvmHidesItself) {
    EXPECT_EQ(inputArgumentsOf({"-Djava.library.path=x", "-Djava.class.path=a.jar", "-Xmx1g", "--add-opens=a/b=c",
                                "-Dsun.java.command=app.Main a", "-Dsun.java.launcher=SUN_STANDARD",
                                "-Dcorvid.executable=/x", "-Djava.class.pathology=1", "-Dsun.java.launcher.diag=true",
                                "-Dsun.java.commander=1", "-Djdk.module.main=m"}),
              (JvmOptionList{"-Djava.library.path=x", "-Xmx1g", "--add-opens=a/b=c", "-Dcorvid.executable=/x",
                             "-Djava.class.pathology=1", "-Dsun.java.launcher.diag=true", "-Dsun.java.commander=1",
                             "-Djdk.module.main=m"}));
    EXPECT_EQ(inputArgumentsOf({}), JvmOptionList{});
}

TEST_F(JvmLoading, AnEmptyListCreatesWithTheHooksAlone) {
    installLibrary(true, true);
    ASSERT_TRUE(loadJvmLibrary(launcher));
    createJavaVm(launcher);
    EXPECT_EQ(FakeJvm::createCalls, 1);
    EXPECT_TRUE(FakeJvm::options.empty());
    EXPECT_EQ(FakeJvm::hooks, (std::vector<std::string>{"vfprintf", "exit", "abort"}));
}

TEST_F(JvmLoading, WhatTheJvmSaysWhileCreatingFollowsTheMessageOnceOrPassesOn) {
    installLibrary(true, true);
    ASSERT_TRUE(loadJvmLibrary(launcher));
    const WideString refused = u"JNI exception: failed to create the Java VM\nReason: ";
    struct Case {
        jint result;
        std::string says;
        std::vector<WideString> boxes;
        std::string passedOn;
    };
    const Case cases[] = {
        {JNI_ERR, "", {refused + u"unknown.\n"}, ""},
        // The JVM's words are the reason where the code gives none.
        {JNI_ERR, "Unrecognized option: --foo\n", {refused + u"Unrecognized option: --foo.\n"}, ""},
        {JNI_ERR, "\nError occurred during initialization of VM\nToo small maximum heap\n\n",
         {refused + u"Error occurred during initialization of VM\nToo small maximum heap.\n"}, ""},
        {JNI_ERR, "Invalid maximum heap size\nThe size exceeds the maximum.\n",
         {refused + u"Invalid maximum heap size\nThe size exceeds the maximum.\n"}, ""},
        {JNI_ERR, std::string(5000, 'x') + "\n", {refused + u"\u2026" + WideString(4000, u'x') + u".\n"}, ""},
        // A code with a reason of its own keeps it; the words follow.
        {JNI_ENOMEM, "Could not reserve enough space\n", {refused + u"not enough memory.\nCould not reserve enough space"}, ""},
        {-7, "odd\n", {refused + u".\nodd"}, ""},
        {JNI_OK, "warning: printed once\n", {}, "warning: printed once\n"},
    };
    for (const Case& c : cases) {
        fake.ui.boxes.clear();
        FakeJvm::createResult = c.result;
        FakeJvm::says = c.says;
        ::testing::internal::CaptureStderr();
        createJavaVm(launcher);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.passedOn) << c.says;
        EXPECT_EQ(boxTexts(), c.boxes) << c.says;
        launcher.javaVm = nullptr;
        launcher.jniEnv = nullptr;
    }
}

// The JVM's format strings follow its own C runtime: C99 sizes, 64-bit
// integers, doubles, and texts longer than the first try's buffer.
TEST(JvmOutput, FormatsTheWayTheJvmsRuntimeDoes) {
    setJvmOutputMode(JvmOutputMode::Capture);
    const std::string longText(3000, 'y');
    FakeJvm::printThrough(jvmVfprintfHook, "%s=%zu %lld %d%%\n", "size", std::size_t{4096}, -5000000000LL, 7);
    FakeJvm::printThrough(jvmVfprintfHook, "%.2f %g|\n", 0.5, 1e20);
    FakeJvm::printThrough(jvmVfprintfHook, "[%s]", longText.c_str());
    EXPECT_EQ(takeCapturedJvmOutput(), "size=4096 -5000000000 7%\n0.50 1e+20|\n[" + longText + "]");
    setJvmOutputMode(JvmOutputMode::PassThrough);
}

TEST_F(JvmLoading, JavaThreadStackSizeFromTheConfigurationOrTheJvmDefault) {
    installLibrary(true, true);
    ASSERT_TRUE(loadJvmLibrary(launcher));
    struct Case {
        std::uint64_t configured;
        jint jvmDefault;
        std::uint64_t expected;
        int defaultsCalls;
    };
    const Case cases[] = {
        {0, 1048576, 1048576, 1},
        {0, -5, 0, 1},
        {2097152, 1048576, 2097152, 0},
    };
    for (const Case& c : cases) {
        FakeJvm::reset();
        fake.threads.stackSizes.clear();
        launcher.threadStackSize = c.configured;
        FakeJvm::defaultStackSize = c.jvmDefault;
        // The JVM is not created, so the thread fails; only the stack matters here.
        EXPECT_EQ(runJavaThread(launcher), 1);
        EXPECT_EQ(fake.threads.stackSizes, (std::vector<std::uint64_t>{c.expected}));
        EXPECT_EQ(FakeJvm::defaultsCalls, c.defaultsCalls);
        if (c.defaultsCalls) {
            EXPECT_EQ(FakeJvm::defaultsVersionSeen, JNI_VERSION_1_1);
        }
        EXPECT_EQ(FakeJvm::createCalls, 1);
    }
}

TEST_F(JvmLoading, ThreadThatCannotStartRunsOnTheCallingThread) {
    installLibrary(true, true);
    ASSERT_TRUE(loadJvmLibrary(launcher));
    fake.threads.creationFails = true;
    FakeJvm::createResult = JNI_EINVAL;
    EXPECT_EQ(runJavaThread(launcher), 1);
    EXPECT_EQ(FakeJvm::createCalls, 1);
    EXPECT_EQ(boxTexts(), (std::vector<WideString>{u"JNI exception: failed to create the Java VM\nReason: invalid arguments.\n"}));
}

}  // namespace
}  // namespace corvid
