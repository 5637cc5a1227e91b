#include <gtest/gtest.h>

#include "start/messages.h"
#include "start/user_interface.h"
#include "support/fake_platform.h"

namespace corvid {
namespace {

TEST(MessageTable, EveryLanguageHasEveryIdAndPortugueseIsEnglish) {
    for (const std::uint16_t language : kTableLanguages) {
        for (std::uint16_t id = kFirstMessageId; id <= kLastMessageId; ++id) {
            EXPECT_FALSE(builtInMessageText(language, id).empty()) << language << " " << id;
            if (language == kLanguagePortuguese) {
                EXPECT_EQ(builtInMessageText(language, id), builtInMessageText(kLanguageEnglish, id)) << id;
            }
        }
    }
    EXPECT_TRUE(builtInMessageText(kLanguageEnglish, 201).empty());
    EXPECT_TRUE(builtInMessageText(1036, 202).empty());
}

TEST(MessageTable, TextsAreExact) {
    const struct {
        std::uint16_t language;
        std::uint16_t id;
        const char* utf8;
    } cases[] = {
        {kLanguageEnglish, 206,
         "The Java Runtime Environment (JRE) was not found. Please  download and install a JRE with a server JVM "
         "(%s) from:"},
        {kLanguageEnglish, 203, "JNI exception: %s\nReason: %s.\n"},
        {kLanguageGerman, 222, "Konnte Java VM Bibliothek: %s (Fehlernummer= %d) ncht laden.\n"},
        {kLanguageGerman, 230, "ung\xC3\xBCltige Argumente"},
        {kLanguageGerman, 203, "JNI exception: %s\nReason: %s.\n"},
        {kLanguageItalian, 217, "la versione pi\xC3\xB9 recente"},
        {kLanguageItalian, 228, "not enough memory"},
        {kLanguageSpanish, 202, "Excepci\xC3\xB3n de Windows: %s (n\xC3\xBAmero del error = %d).\n"},
        {kLanguageSpanish, 206,
         "El ambiente runtime de Java (JRE) no fue encontrado.  Descargue e instale por favor un JRE con un servidor "
         "JVM (%s) de:"},
        {kLanguagePortuguese, 210, "Main class was not specified in INI file."},
    };
    for (const auto& c : cases) EXPECT_EQ(toUtf8(builtInMessageText(c.language, c.id)), c.utf8) << c.id;
}

// The system's resource loader (the executable's string table under Wine)
// must hand out exactly the built-in texts: same source, no garbled umlauts.
TEST(MessageTable, SystemLoaderAgreesWithTheBuiltInTable) {
    UserInterface& ui = systemUserInterface();
    for (const std::uint16_t language : kTableLanguages) {
        for (std::uint16_t id = kFirstMessageId; id <= kLastMessageId; ++id) {
            EXPECT_EQ(toUtf8(ui.loadString(language, id)), toUtf8(builtInMessageText(language, id)))
                << language << " " << id;
        }
    }
}

TEST(MessageLanguage, ChosenByPrimaryLanguageWithEnglishOtherwise) {
    const struct {
        std::uint16_t thread;
        std::uint16_t table;
    } cases[] = {
        {0x0407, kLanguageGerman},  {0x0C07, kLanguageGerman},     {0x0807, kLanguageGerman},
        {0x0409, kLanguageEnglish}, {0x0809, kLanguageEnglish},    {0x0410, kLanguageItalian},
        {0x0816, kLanguagePortuguese}, {0x0416, kLanguagePortuguese}, {0x0C0A, kLanguageSpanish},
        {0x080A, kLanguageSpanish}, {0x040A, kLanguageSpanish},    {0x040C, kLanguageEnglish},
        {0x0411, kLanguageEnglish}, {0x0000, kLanguageEnglish},
    };
    for (const auto& c : cases) EXPECT_EQ(tableLanguageFor(c.thread), c.table) << c.thread;
}

TEST(Messages, ComposedInTheThreadsLanguage) {
    testing::FakeUserInterface ui;
    ui.language = 0x0410;  // Italian: the reason texts stay English inside an Italian frame
    EXPECT_EQ(toUtf8(formatText(loadMessage(ui, MessageId::JniExceptionWithReason),
                                {loadMessage(ui, MessageId::CreateJavaVmFailed), loadMessage(ui, MessageId::JniReasonNoMemory)})),
              "Eccezione JNI: non ha potuto creare Java VM\nReason: not enough memory.\n");
    ui.language = 0x0409;
    // An unknown JNI result has no reason text: the full stop follows at once.
    EXPECT_EQ(formatMessage(ui, MessageId::JniExceptionWithReason, {loadMessage(ui, MessageId::CreateJavaVmFailed), u""}),
              u"JNI exception: failed to create the Java VM\nReason: .\n");

    showErrorCode(ui, reinterpret_cast<WindowHandle>(0x10), loadMessage(ui, MessageId::JvmLibraryLoadFailed),
                  u"C:\\jre\\bin\\server\\jvm.dll", 126);
    showErrorText(ui, nullptr, loadMessage(ui, MessageId::MainClassNotFound), u"com/x/Main");
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].owner, reinterpret_cast<WindowHandle>(0x10));
    EXPECT_EQ(ui.boxes[0].text, u"Failed to load Java VM library: C:\\jre\\bin\\server\\jvm.dll (errno = 126).\n");
    EXPECT_EQ(ui.boxes[1].owner, nullptr);
    EXPECT_EQ(ui.boxes[1].text, u"Could not find the main class com/x/Main.\n");
}

}  // namespace
}  // namespace corvid
