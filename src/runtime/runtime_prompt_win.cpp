#ifndef _WIN32
#error "runtime_prompt_win.cpp is for the Windows build only"
#endif

#include <objbase.h>

#include "platform/dpi_awareness_win.h"
#include "resources/resource_ids.h"
#include "runtime/jre_not_found_dialog_win.h"
#include "runtime/runtime_prompt.h"
#include "start/messages.h"
#include "start/user_interface.h"

namespace corvid {

namespace {

class DialogRuntimePrompt final : public RuntimePrompt {
public:
    RuntimePromptResult ask(const WideString& message, const WideString& downloadUrl, JvmType type,
                            FileSystem& files) override {
        // The folder picker's new style needs an apartment-threaded COM on
        // the thread that opens it; nothing else on the main thread uses COM.
        const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        RuntimePromptResult result;
        {
            const PerMonitorDpiScope dpi;
            JreNotFoundDialog dialog(message, type, downloadUrl, files);
            const INT_PTR answer = dialog.showModal(GetActiveWindow(), IDD_JRE_NOT_FOUND,
                                                    tableLanguageFor(systemUserInterface().threadLanguage()));
            if (answer == IDOK) {
                result.outcome = RuntimePromptResult::Outcome::Chosen;
                result.folder = dialog.chosenFolder();
                result.library = dialog.jvmLibraryPath();
            } else if (answer == IDCANCEL) {
                result.outcome = RuntimePromptResult::Outcome::Cancelled;
            } else {
                result.outcome = RuntimePromptResult::Outcome::Failed;
            }
        }
        if (SUCCEEDED(com)) CoUninitialize();
        if (result.outcome == RuntimePromptResult::Outcome::Failed) SetLastError(ERROR_OUTOFMEMORY);
        return result;
    }
};

}  // namespace

RuntimePrompt& systemRuntimePrompt() {
    static DialogRuntimePrompt prompt;
    return prompt;
}

}  // namespace corvid
