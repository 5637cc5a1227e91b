#ifdef _WIN32
#error "runtime_prompt_posix.cpp is for the POSIX build only"
#endif

#include "runtime/runtime_prompt.h"
#include "start/user_interface.h"

namespace corvid {

namespace {

// No dialog: the message and where to get a runtime, as one error line; the
// start then ends as after Cancel.
class ConsoleRuntimePrompt final : public RuntimePrompt {
public:
    RuntimePromptResult ask(const WideString& message, const WideString& downloadUrl, JvmType,
                            FileSystem&) override {
        const WideString url = downloadUrl.empty() ? WideString(kDefaultDownloadUrl) : downloadUrl;
        systemUserInterface().showMessageBox(nullptr, message + u" " + url);
        return {};
    }
};

}  // namespace

RuntimePrompt& systemRuntimePrompt() {
    static ConsoleRuntimePrompt prompt;
    return prompt;
}

}  // namespace corvid
