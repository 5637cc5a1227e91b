#ifndef _WIN32
#error "exception_dialog_win.cpp is for the Windows build only"
#endif

#include "jvm/exception_dialog.h"

#include "platform/dpi_awareness_win.h"
#include "resources/resource_ids.h"
#include "ui/dialog.h"
#include "ui/dialog_layout.h"

namespace corvid {

namespace {

using F = ResizeFlags;

constexpr ResizeMapItem kResizeMap[] = {
    {IDC_EXCEPTION_GROUP, F::SizeX | F::SizeY},
    {IDC_EXCEPTION_INTRO, F::SizeX},
    {IDC_EXCEPTION_TRACE, F::SizeX | F::SizeY},
    {IDC_EXCEPTION_ADVICE, F::SizeX | F::MoveY},
    {IDC_EXCEPTION_WARNING, F::SizeX | F::MoveY},
    {IDOK, F::MoveX | F::MoveY},
    {IDCANCEL, F::MoveX | F::MoveY},
};

class ExceptionDialog final : public Dialog {
public:
    explicit ExceptionDialog(const WideString& traceText) : traceText_(traceText) {}

private:
    INT_PTR handleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept override {
        switch (message) {
        case WM_INITDIALOG:
            initialize();
            // The system is not asked to set the default focus.
            return FALSE;
        case WM_COMMAND:
            // Enter reaches here as IDOK through the default button; Esc and
            // the close box as IDCANCEL.
            if (LOWORD(wParam) == IDOK) {
                EndDialog(window(), kExceptionDialogIgnore);
                return TRUE;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                EndDialog(window(), kExceptionDialogStop);
                return TRUE;
            }
            return FALSE;
        case WM_SIZE:
            resizer_.onSize(wParam, LOWORD(lParam), HIWORD(lParam));
            return TRUE;
        case WM_GETMINMAXINFO:
            resizer_.onGetMinMaxInfo(*reinterpret_cast<MINMAXINFO*>(lParam));
            return TRUE;
        default:
            return FALSE;
        }
    }

    void initialize() noexcept {
        const HWND dialog = window();
        SetDlgItemTextW(dialog, IDC_EXCEPTION_TRACE, wide(traceText_));
        SendDlgItemMessageW(dialog, IDC_EXCEPTION_TRACE, EM_SETREADONLY, TRUE, 0);
        // A shared system icon: never destroyed.
        SendDlgItemMessageW(dialog, IDC_EXCEPTION_ICON, STM_SETICON,
                            reinterpret_cast<WPARAM>(LoadIconW(nullptr, IDI_HAND)), 0);
        centerWindow(dialog);
        resizer_.initialize(dialog, kResizeMap, true, true, WS_CLIPCHILDREN);
    }

    WideString traceText_;
    DialogResizer resizer_;
};

}  // namespace

int showExceptionDialog(const WideString& traceText, std::uint16_t language) {
    // This is the Java thread: it gets its own awareness back afterwards.
    const PerMonitorDpiScope dpi;
    ExceptionDialog dialog(traceText);
    return static_cast<int>(dialog.showModal(GetActiveWindow(), IDD_EXCEPTION, language));
}

}  // namespace corvid
