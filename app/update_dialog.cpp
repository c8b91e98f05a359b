#include "app/update_dialog.h"

#include "app/app_device.h"
#include "app/platform.h"
#include "common/eeprom_layout.h"

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

// The EEPROM layout the update relies on.
using velto1::eeprom::kMarkerOffset;
using velto1::eeprom::kNotUpdatedBit;
using velto1::eeprom::kOptionByteOffset;
using velto1::eeprom::kSupportedProductMarker;
constexpr DWORD kEepromAddress = velto1::eeprom::kBusAddress;
constexpr DWORD kOptionBitsKept = 0x7F;  // bits 0 to 6 are written back as read

// Gives the device time between steps (the EEPROM's write cycle among them).
constexpr DWORD kStepPauseMilliseconds = 500;

void PauseBetweenSteps() {
    AppPlatform().Sleep(kStepPauseMilliseconds);
}

// The update proper; returns the text that tells its outcome. Only status 0
// counts as success: the library's own positive codes (6 when unbound, for
// one) fail a step just as a driver failure does.
const wchar_t* UpdateOptionByte(DeviceControl& device) {
    // Neither result is examined: the marker alone tells a supported device.
    device.SetGpioBits(0);
    DWORD vendor = 0;
    DWORD product = 0;
    device.GetVendorProductIds(&vendor, &product);

    // One word carries every transfer; a one-byte transfer uses its low byte.
    DWORD word = 0;
    PauseBetweenSteps();
    if (device.ReadI2c(kEepromAddress, kMarkerOffset, 1, &word) != S_OK) {
        return kMarkerReadFailed;
    }
    // All 32 bits: a read that left anything in the upper part is not a marker.
    if (word != kSupportedProductMarker) {
        return kNotSupportedProduct;
    }

    PauseBetweenSteps();
    if (device.ReadI2c(kEepromAddress, kOptionByteOffset, 1, &word) != S_OK) {
        return kOptionReadFailed;
    }
    // A lying read (0, no data) leaves the marker here: "already updated", data-safe.
    if (!(word & kNotUpdatedBit)) {
        return kAlreadyUpdated;
    }
    word &= kOptionBitsKept;

    PauseBetweenSteps();
    if (device.WriteI2c(kEepromAddress, kOptionByteOffset, 1, &word) != S_OK) {
        return kOptionWriteFailed;
    }

    PauseBetweenSteps();
    word = kNotUpdatedBit;  // a read-back that answers 0 and delivers nothing ends in E005
    if (device.ReadI2c(kEepromAddress, kOptionByteOffset, 1, &word) != S_OK) {
        return kReadBackFailed;
    }
    return (word & kNotUpdatedBit) ? kBitStillSet : kUpdateCompleted;
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
    DeviceControl* device = AppDevice;
    const wchar_t* text = device ? UpdateOptionByte(*device) : kDeviceNotOpened;
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
