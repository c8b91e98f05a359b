#include "app/update_dialog.h"

#include "appcore/app_device.h"
#include "appcore/platform.h"
#include "appcore/update_procedure.h"

namespace {

// The dialog's own title, also the caption of every outcome message.
constexpr wchar_t kCaption[] = L"ラピコ(映像版)アップデート";

// Outcome texts. W001: no device was opened; W002: a device answered but is
// not one the update is for; E001 to E005 name the step that failed.
constexpr wchar_t kDeviceNotOpened[] = L"W001:デバイスが見つかりません。";
constexpr wchar_t kNotSupportedProduct[] = L"W002:デバイスが見つかりません。";
constexpr wchar_t kMarkerReadFailed[] = L"E001:不明なエラーにより書込みに失敗しました。";
constexpr wchar_t kOptionReadFailed[] = L"E002:不明なエラーにより書込みに失敗しました。";
constexpr wchar_t kOptionWriteFailed[] = L"E003:不明なエラーにより書込みに失敗しました。";
constexpr wchar_t kReadBackFailed[] = L"E004:不明なエラーにより書込みに失敗しました。";
constexpr wchar_t kBitStillSet[] = L"E005:不明なエラーにより書込みに失敗しました。";
constexpr wchar_t kUpdateCompleted[] = L"アップデートが完了しました。";
constexpr wchar_t kAlreadyUpdated[] = L"デバイスは既にアップデート済みです。";

// The text that tells an outcome. The dialog runs the whole update, so it
// never sees a check's "update needed"; were it to, bit 7 is set: E005.
const wchar_t* MessageText(UpdateOutcome outcome) {
    switch (outcome) {
        case UpdateOutcome::Completed:
            return kUpdateCompleted;
        case UpdateOutcome::AlreadyUpdated:
            return kAlreadyUpdated;
        case UpdateOutcome::DeviceNotOpened:
            return kDeviceNotOpened;
        case UpdateOutcome::NotSupportedProduct:
            return kNotSupportedProduct;
        case UpdateOutcome::DeviceBusy:  // the step that could not start: the first
        case UpdateOutcome::MarkerReadFailed:
            return kMarkerReadFailed;
        case UpdateOutcome::OptionReadFailed:
            return kOptionReadFailed;
        case UpdateOutcome::OptionWriteFailed:
            return kOptionWriteFailed;
        case UpdateOutcome::ReadBackFailed:
            return kReadBackFailed;
        case UpdateOutcome::UpdateNeeded:
        case UpdateOutcome::BitStillSet:
            break;
    }
    return kBitStillSet;
}

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
    const UpdateResult result = RunUpdateProcedure(AppDevice, UpdateMode::Apply);
    const wchar_t* text = MessageText(result.outcome);
    AppPlatform().ShowMessageBoxW(dialog, text, kCaption, MB_OK | MB_ICONWARNING);
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
