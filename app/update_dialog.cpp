#include "app/update_dialog.h"

#include "appcore/app_device.h"
#include "appcore/outcome_table.h"
#include "appcore/platform.h"

namespace {

// The dialog's own title, also the caption of every outcome message.
constexpr wchar_t kCaption[] = L"ラピコ(映像版)アップデート";

BOOL OnCommand(HWND dialog, WORD id) {
    switch (id) {
        case IDOK:
            RunUpdate(dialog);
            return TRUE;
        case IDCANCEL:
            AppPlatform().EndDialog(dialog, IDCANCEL);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void RunUpdate(HWND dialog) {
    UpdateResult result = RunUpdateProcedure(AppDevice, UpdateMode::Apply);
    if (!AppDevice && FAILED(AppDeviceBindStatus())) {
        result.outcome = BindFailureOutcome(AppDeviceBindStatus());  // a busy device is no W001
    }
    AppPlatform().ShowMessageBoxW(dialog, DescribeOutcome(result.outcome).message, kCaption,
                                  MB_OK | MB_ICONWARNING);
    AppPlatform().EndDialog(dialog, IDOK);
}

INT_PTR CALLBACK UpdateDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            // The dialog manager puts the focus on OK, the first tab stop.
            return TRUE;
        case WM_COMMAND:
            return OnCommand(dialog, LOWORD(wParam));
        default:
            return FALSE;
    }
}
