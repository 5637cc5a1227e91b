// The last source of a runtime: asking the user. On Windows this is the
// modal runtime-not-found dialog; on Linux and in the Windows console
// variant, which show no dialog, one line on standard error and a refusal.
#pragma once

#include "platform/text.h"
#include "resources/resource_ids.h"
#include "start/launcher.h"

namespace corvid {

class FileSystem;

// The address the runtime-not-found dialog links to unless the configuration
// names another ("Download URL"). The dialog template carries the same text.
inline constexpr WideView kDefaultDownloadUrl = u"" CORVID_DEFAULT_DOWNLOAD_URL;

struct RuntimePromptResult {
    enum class Outcome {
        Chosen,     // OK: folder and library are set
        Cancelled,  // Cancel, Escape or the close box
        Failed,     // the dialog could not be set up; the last error is 14
    };
    Outcome outcome = Outcome::Cancelled;
    WideString folder;   // the folder the user picked, ending in the path separator
    WideString library;  // the JVM library found in it
};

class RuntimePrompt {
public:
    virtual ~RuntimePrompt() = default;
    // Shows `message` (206 or 207 with the requirement text) and the download
    // link, `downloadUrl` or the default when empty, owned by the thread's
    // active window; a picked folder is checked with findJvmLibrary(files,
    // folder, type).
    virtual RuntimePromptResult ask(const WideString& message, const WideString& downloadUrl, JvmType type,
                                    FileSystem& files) = 0;
};

RuntimePrompt& systemRuntimePrompt();

// No dialog: the message and where to get a runtime, as one error line
// through `ui`; the start then ends as after Cancel. Linux's prompt, and the
// Windows console variant's.
class ConsoleRuntimePrompt final : public RuntimePrompt {
public:
    explicit ConsoleRuntimePrompt(UserInterface& ui) : ui_(ui) {}
    RuntimePromptResult ask(const WideString& message, const WideString& downloadUrl, JvmType type,
                            FileSystem& files) override;

private:
    UserInterface& ui_;
};

}  // namespace corvid
