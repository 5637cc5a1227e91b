#include "runtime/runtime_prompt.h"

#include "start/user_interface.h"

namespace corvid {

RuntimePromptResult ConsoleRuntimePrompt::ask(const WideString& message, const WideString& downloadUrl, JvmType,
                                              FileSystem&) {
    const WideString url = downloadUrl.empty() ? WideString(kDefaultDownloadUrl) : downloadUrl;
    ui_.showMessageBox(nullptr, message + u" " + url);
    return {};
}

}  // namespace corvid
