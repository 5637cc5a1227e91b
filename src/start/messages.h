// The localized string table and the error message boxes built from it.
// Every failure the launcher reports goes through showError and friends.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "platform/text.h"

namespace corvid {

class UserInterface;

enum class MessageId : std::uint16_t {
    WindowsException = 202,
    JniExceptionWithReason = 203,
    ComError = 204,
    JniException = 205,
    JreNotFoundServer = 206,
    JreNotFound = 207,
    ModulePathFailed = 208,
    ClassPathMissing = 209,
    MainClassMissing = 210,
    MainClassLoadFailed = 211,
    CreateJavaVmMissing = 212,
    CreateJavaVmFailed = 213,
    BrowseForJreFolder = 214,
    MainClassNotFound = 215,
    MainMethodMissing = 216,
    LatestVersion = 217,
    MaximumVersion = 218,
    MinimumVersion = 219,
    VersionRequired = 220,
    VersionBetween = 221,
    JvmLibraryLoadFailed = 222,
    InitializeFailed = 223,
    ModuleInitializeFailed = 224,
    JniReasonUnknown = 225,
    JniReasonDetached = 226,
    JniReasonVersion = 227,
    JniReasonNoMemory = 228,
    JniReasonExists = 229,
    JniReasonInvalid = 230,
    ConfigFileMissing = 231,
    JvmLibraryWrongMachine = 232,
    PathNotPassable = 233,
    OptionValueMissing = 234,
    JarNotAccessible = 235,
};

inline constexpr std::uint16_t kFirstMessageId = 202;
inline constexpr std::uint16_t kLastMessageId = 235;

// The five languages of the table, as Windows language identifiers.
inline constexpr std::uint16_t kLanguageGerman = 1031;
inline constexpr std::uint16_t kLanguageEnglish = 1033;
inline constexpr std::uint16_t kLanguageItalian = 1040;
inline constexpr std::uint16_t kLanguagePortuguese = 2070;
inline constexpr std::uint16_t kLanguageSpanish = 3082;
inline constexpr std::uint16_t kTableLanguages[] = {kLanguageGerman, kLanguageEnglish, kLanguageItalian,
                                                    kLanguagePortuguese, kLanguageSpanish};

// The table to use for a thread language: chosen by the primary language so
// that every regional variant gets its language's table; English otherwise.
std::uint16_t tableLanguageFor(std::uint16_t threadLanguage);

// The text compiled into the program for (language, id); empty when absent.
// The same texts are the string-table resources of the Windows executable.
WideView builtInMessageText(std::uint16_t language, std::uint16_t id);

WideString loadMessage(UserInterface& ui, MessageId id);
WideString formatMessage(UserInterface& ui, MessageId id, std::initializer_list<FormatArg> args);

int showError(UserInterface& ui, WindowHandle owner, const WideString& text);
void showErrorText(UserInterface& ui, WindowHandle owner, WideView format, WideView argument);
// The code is a system error code, printed through "%d" as a signed number.
void showErrorCode(UserInterface& ui, WindowHandle owner, WideView format, WideView argument, std::uint32_t code);

}  // namespace corvid
