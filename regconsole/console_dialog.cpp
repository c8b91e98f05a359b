#include "regconsole/console_dialog.h"

#include <iterator>
#include <memory>

#include "appcore/app_device.h"
#include "regconsole/console_helpers.h"
#include "appcore/platform.h"
#include "regconsole/device_operations.h"
#include "regconsole/field_input.h"
#include "regconsole/resource.h"

namespace regconsole {

namespace {

// Controls that need a device; Find device is their opposite.
constexpr int kDeviceControls[] = {
    IDC_REG_SPACE,     IDC_REG_INDEX,      IDC_REG_COUNT, IDC_REG_VALUE,  IDC_REG_READ,
    IDC_REG_WRITE,     IDC_I2C_ADDRESS,    IDC_I2C_PROBE, IDC_I2C_LAYOUT, IDC_I2C_SUBADDRESS,
    IDC_I2C_COUNT,     IDC_I2C_DATA,       IDC_I2C_READ,  IDC_I2C_WRITE,  IDC_GPIO_MASK,
    IDC_GPIO_SET_MASK, IDC_GPIO_VALUE,     IDC_GPIO_READ, IDC_GPIO_WRITE, IDC_EEPROM_READ,
    IDC_EEPROM_SAVE,   IDC_EEPROM_RESTORE,
};

constexpr const char* kSpaceNames[] = {"Main (16-bit index)", "Alternate (8-bit index)"};
constexpr const char* kLayoutNames[] = {"Direct", "8-bit sub-address", "16-bit sub-address",
                                        "Long (16-bit length)"};

constexpr char kNoDevice[] =
    "No device: no capture device with the driver's interface was found.\r\n"
    "Attach the device, then press Find device.";

void AddComboItems(HWND dialog, int id, const char* const* items, size_t count, size_t selected) {
    for (size_t i = 0; i < count; ++i) {
        SendDlgItemMessageA(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(items[i]));
    }
    SendDlgItemMessageA(dialog, id, CB_SETCURSEL, selected, 0);
}

size_t ComboSelection(HWND dialog, int id) {
    const LRESULT selected = SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0);
    return selected < 0 ? 0 : static_cast<size_t>(selected);
}

void ShowDeviceState(HWND dialog) {
    ConsoleState& state = StateOf(dialog);
    const bool present = AppDevice != nullptr;
    if (present) {
        SetDlgItemTextA(dialog, IDC_DEVICE_TEXT, DescribeDevice(*AppDevice, state.log).c_str());
    } else {
        SetDlgItemTextA(dialog, IDC_DEVICE_TEXT, kNoDevice);
        state.log.Add("device: none found");
    }
    for (int id : kDeviceControls) {
        EnableWindow(GetDlgItem(dialog, id), present);
    }
    EnableWindow(GetDlgItem(dialog, IDC_FIND_DEVICE), !present);
    ShowLog(dialog);
    if (present) {
        OnEepromRead(dialog);  // the view starts with what the device holds
    }
}

bool ReadRegisterAccess(HWND dialog, RegisterAccess* access) {
    access->alternate = ComboSelection(dialog, IDC_REG_SPACE) == 1;
    access->count = static_cast<DWORD>(ComboSelection(dialog, IDC_REG_COUNT)) + 1;
    return ReadRegisterIndex(dialog, IDC_REG_INDEX, MaxRegisterIndex(access->alternate),
                             &access->index);
}

bool ReadI2cAccess(HWND dialog, I2cAccess* access) {
    access->layout = static_cast<I2cLayout>(ComboSelection(dialog, IDC_I2C_LAYOUT));
    access->subAddress = 0;
    if (!ReadNumberField(dialog, IDC_I2C_ADDRESS, "I2C address", 0xFF, &access->address)) {
        return false;
    }
    if (access->layout != I2cLayout::Direct &&
        !ReadNumberField(dialog, IDC_I2C_SUBADDRESS, "Sub-address",
                         I2cLayoutMaxSubAddress(access->layout), &access->subAddress)) {
        return false;
    }
    if (!ReadNumberField(dialog, IDC_I2C_COUNT, "Bytes", kMaxI2cBytes, &access->count)) {
        return false;
    }
    if (access->count == 0) {
        ShowMessage(dialog, "Bytes: a transfer moves 1 to " + Hex(kMaxI2cBytes, 1) +
                                " bytes (hexadecimal). Nothing was sent.");
        return false;
    }
    if (const std::string problem = AmbiguousWordProblem(*access); !problem.empty()) {
        ShowMessage(dialog, "Refused: the " + problem + ".");
        return false;
    }
    return true;
}

void OnInitDialog(HWND dialog) {
    auto* state = new ConsoleState();
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
    const char* counts[] = {"1", "2", "3", "4"};
    AddComboItems(dialog, IDC_REG_SPACE, kSpaceNames, std::size(kSpaceNames), 0);
    AddComboItems(dialog, IDC_REG_COUNT, counts, std::size(counts), 0);
    AddComboItems(dialog, IDC_I2C_LAYOUT, kLayoutNames, std::size(kLayoutNames), 1);
    SetDlgItemTextA(dialog, IDC_I2C_ADDRESS, "A0");
    SetDlgItemTextA(dialog, IDC_I2C_SUBADDRESS, "00");
    SetDlgItemTextA(dialog, IDC_I2C_COUNT, "1");
    SetDlgItemTextA(dialog, IDC_GPIO_MASK, "00");
    // EM_SETCUEBANNER: what the field beside Record calls is for, while it is empty.
    SendDlgItemMessageW(dialog, IDC_RECORD_FILE, 0x1501, FALSE,
                        reinterpret_cast<LPARAM>(L"recording file"));
    state->viewFont = CreateFontW(-10, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                  FIXED_PITCH | FF_MODERN, L"Courier New");
    SendDlgItemMessageW(dialog, IDC_EEPROM_VIEW, WM_SETFONT,
                        reinterpret_cast<WPARAM>(state->viewFont), FALSE);
    ShowDeviceState(dialog);
}

void OnDestroy(HWND dialog) {
    std::unique_ptr<ConsoleState> state(
        reinterpret_cast<ConsoleState*>(GetWindowLongPtrW(dialog, DWLP_USER)));
    SetWindowLongPtrW(dialog, DWLP_USER, 0);
    if (state && state->viewFont) {
        DeleteObject(state->viewFont);
    }
}

void OnFindDevice(HWND dialog) {
    if (!AppDevice) {
        OpenAppDevice();
    }
    ShowDeviceState(dialog);
}

void OnRegisterRead(HWND dialog) {
    RegisterAccess access = {};
    if (!ReadRegisterAccess(dialog, &access)) {
        return;
    }
    std::vector<BYTE> bytes;
    const HRESULT status = ReadRegisterBytes(*AppDevice, access, &bytes, StateOf(dialog).log);
    ShowLog(dialog);
    if (!ReportStatus(dialog, "Register read", status)) {
        SetDlgItemTextA(dialog, IDC_REG_VALUE, BytesAsNumber(bytes).c_str());
    }
}

void OnRegisterWrite(HWND dialog) {
    RegisterAccess access = {};
    std::vector<BYTE> bytes;
    if (!ReadRegisterAccess(dialog, &access) ||
        !ReadValueField(dialog, IDC_REG_VALUE, "Value", access.count, &bytes)) {
        return;
    }
    const HRESULT status = WriteRegisterBytes(*AppDevice, access, bytes, StateOf(dialog).log);
    ShowLog(dialog);
    ReportStatus(dialog, "Register write", status);
}

void OnI2cProbe(HWND dialog) {
    DWORD address = 0;
    if (!ReadNumberField(dialog, IDC_I2C_ADDRESS, "I2C address", 0xFF, &address)) {
        return;
    }
    DWORD probeState = 0;
    // The helper warns about a device that is not there or not ready.
    const HRESULT status = CheckI2cDevice(dialog, address, &probeState);
    std::string line = "I2C probe " + Hex(address);
    if (status == S_OK) {
        line += ": state " + Hex(probeState, 8);
    }
    StateOf(dialog).log.AddResult(line, status);
    ShowLog(dialog);
    if (status < 0) {
        ReportFatalError(dialog, IDCANCEL);
    }
}

void OnI2cRead(HWND dialog) {
    I2cAccess access = {};
    if (!ReadI2cAccess(dialog, &access)) {
        return;
    }
    std::vector<BYTE> bytes;
    const HRESULT status = ReadI2cBytes(*AppDevice, access, &bytes, StateOf(dialog).log);
    ShowLog(dialog);
    if (!ReportStatus(dialog, "I2C read", status)) {
        SetDlgItemTextA(dialog, IDC_I2C_DATA, BytesAsNumber(bytes).c_str());
    }
}

void OnI2cWrite(HWND dialog) {
    I2cAccess access = {};
    std::vector<BYTE> bytes;
    if (!ReadI2cAccess(dialog, &access) ||
        !ReadValueField(dialog, IDC_I2C_DATA, "Data", access.count, &bytes)) {
        return;
    }
    const HRESULT status = WriteI2cBytes(*AppDevice, access, bytes, StateOf(dialog).log);
    ShowLog(dialog);
    ReportStatus(dialog, "I2C write", status);
}

void OnGpioSetMask(HWND dialog) {
    DWORD mask = 0;
    if (!ReadNumberField(dialog, IDC_GPIO_MASK, "GPIO input mask", 0xFF, &mask)) {
        return;
    }
    const HRESULT status = SetGpioMask(*AppDevice, mask, StateOf(dialog).log);
    ShowLog(dialog);
    ReportStatus(dialog, "GPIO input mask", status);
}

void OnGpioRead(HWND dialog) {
    BYTE value = 0;
    const HRESULT status = ReadGpioByte(*AppDevice, &value, StateOf(dialog).log);
    ShowLog(dialog);
    if (!ReportStatus(dialog, "GPIO read", status)) {
        SetDlgItemTextA(dialog, IDC_GPIO_VALUE, Hex(value).c_str());
    }
}

void OnGpioWrite(HWND dialog) {
    std::vector<BYTE> value;
    if (!ReadValueField(dialog, IDC_GPIO_VALUE, "GPIO value", 1, &value)) {
        return;
    }
    const HRESULT status = WriteGpioByte(*AppDevice, value[0], StateOf(dialog).log);
    ShowLog(dialog);
    ReportStatus(dialog, "GPIO write", status);
}

// Recording for support: the device is opened afresh, so that the recording
// starts where a replay starts, at the binding; a second press writes it to
// the file typed beside the button. A recording that can't be written is said
// in the log and changes nothing else.
void OnRecord(HWND dialog) {
    ConsoleState& state = StateOf(dialog);
    if (!AppRecording()) {
        CloseAppDevice();
        StartAppRecording("regconsole");
        state.log.Add("recording the driver's calls from the device's binding on");
        OpenAppDevice();
        SetDlgItemTextA(dialog, IDC_RECORD, "Stop && sa&ve");
        ShowDeviceState(dialog);
        return;
    }
    wchar_t path[MAX_PATH] = L"";
    GetDlgItemTextW(dialog, IDC_RECORD_FILE, path, MAX_PATH);
    if (!path[0]) {
        ShowMessage(dialog, "Recording: type the file to save it to beside the button.");
        return;
    }
    const DWORD error = SaveAppRecording(path);
    state.log.Add(error == ERROR_SUCCESS ? std::string("recording saved")
                                         : "recording not saved: error " + std::to_string(error));
    StopAppRecording();
    SetDlgItemTextA(dialog, IDC_RECORD, "Rec&ord calls");
    ShowLog(dialog);
}

// One handler per command; false for an id that is not the console's.
bool OnCommand(HWND dialog, int id) {
    struct Command {
        int id;
        void (*handler)(HWND);
    };
    static const Command commands[] = {
        {IDC_FIND_DEVICE, OnFindDevice},
        {IDC_REG_READ, OnRegisterRead},
        {IDC_REG_WRITE, OnRegisterWrite},
        {IDC_I2C_PROBE, OnI2cProbe},
        {IDC_I2C_READ, OnI2cRead},
        {IDC_I2C_WRITE, OnI2cWrite},
        {IDC_GPIO_SET_MASK, OnGpioSetMask},
        {IDC_GPIO_READ, OnGpioRead},
        {IDC_GPIO_WRITE, OnGpioWrite},
        {IDC_EEPROM_READ, OnEepromRead},
        {IDC_EEPROM_BROWSE, OnEepromBrowse},
        {IDC_EEPROM_SAVE, OnEepromSave},
        {IDC_EEPROM_RESTORE, OnEepromRestore},
        {IDC_LOG_COPY, OnCopyLog},
        {IDC_RECORD, OnRecord},
    };
    for (const Command& command : commands) {
        if (command.id == id) {
            command.handler(dialog);
            return true;
        }
    }
    if (id == IDCANCEL) {
        AppPlatform().EndDialog(dialog, IDCANCEL);
        return true;
    }
    return false;
}

}  // namespace

ConsoleState& StateOf(HWND dialog) {
    return *reinterpret_cast<ConsoleState*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

void ShowLog(HWND dialog) {
    const std::string text = StateOf(dialog).log.Text();
    SetDlgItemTextA(dialog, IDC_LOG, text.c_str());
    const WPARAM end = text.size();
    SendDlgItemMessageA(dialog, IDC_LOG, EM_SETSEL, end, static_cast<LPARAM>(end));
    SendDlgItemMessageA(dialog, IDC_LOG, EM_SCROLLCARET, 0, 0);
}

void ShowMessage(HWND dialog, const std::string& text, UINT icon) {
    AppPlatform().ShowMessageBoxA(dialog, text.c_str(), kConsoleCaption, icon | MB_OK);
}

bool ReportStatus(HWND dialog, const char* operation, HRESULT status) {
    if (status < 0) {
        ReportFatalError(dialog, IDCANCEL);
        return true;
    }
    if (status != S_OK) {
        ShowMessage(dialog, std::string(operation) + " not done: status " + StatusText(status));
        return true;
    }
    return false;
}

}  // namespace regconsole

INT_PTR CALLBACK ConsoleDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            regconsole::OnInitDialog(dialog);
            return TRUE;
        case WM_COMMAND:
            // Buttons only: the edits' and combo boxes' notifications are not commands.
            return HIWORD(wParam) == BN_CLICKED && regconsole::OnCommand(dialog, LOWORD(wParam))
                       ? TRUE
                       : FALSE;
        case WM_DESTROY:
            regconsole::OnDestroy(dialog);
            return TRUE;
        default:
            return FALSE;
    }
}

int RunRegisterConsole(HINSTANCE instance) {
    OpenAppDevice();
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_CONSOLE), nullptr, ConsoleDialogProc, 0);
    CloseAppDevice();
    StopAppRecording();  // a recording not saved is dropped
    return 0;
}
