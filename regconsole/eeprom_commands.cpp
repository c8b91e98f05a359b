// The EEPROM part of the console's dialog: read all into the view, save to a
// file, restore from a file, and copying the log.
#include <windows.h>
// commdlg.h needs the types of windows.h
#include <commdlg.h>

#include <cstring>

#include "appcore/app_device.h"
#include "regconsole/console_helpers.h"
#include "appcore/platform.h"
#include "common/eeprom_layout.h"
#include "regconsole/console_dialog.h"
#include "regconsole/eeprom_tools.h"
#include "regconsole/resource.h"

namespace regconsole {

namespace {

std::wstring WideFieldText(HWND dialog, int id) {
    HWND field = GetDlgItem(dialog, id);
    const int length = GetWindowTextLengthW(field);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(field, &text[0], length + 1)));
    return text;
}

std::string Narrow(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(size > 0 ? static_cast<size_t>(size) : 1, '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, &narrow[0], size, nullptr, nullptr);
    narrow.resize(narrow.size() - 1);
    return narrow;
}

// The file named in the file field; warns and gives an empty path when none is.
std::wstring ImagePath(HWND dialog) {
    std::wstring path = WideFieldText(dialog, IDC_EEPROM_FILE);
    if (path.empty()) {
        ShowMessage(dialog, "EEPROM file: type a file name or choose one with Browse.");
    }
    return path;
}

std::string FileProblem(const char* what, const std::wstring& path, DWORD error) {
    return std::string(what) + " " + Narrow(path) + ": Windows error " + std::to_string(error) +
           ".";
}

// Reads the whole EEPROM into image and the view; false (reported) when it failed.
bool ReadIntoView(HWND dialog, EepromImage* image) {
    const HRESULT status = ReadEeprom(*AppDevice, image, StateOf(dialog).log);
    ShowLog(dialog);
    if (ReportStatus(dialog, "EEPROM read", status)) {
        return false;
    }
    SetDlgItemTextA(dialog, IDC_EEPROM_VIEW, EepromDumpText(*image).c_str());
    return true;
}

// The restore's image from the file; false (reported) when it can't be used.
bool LoadRestoreImage(HWND dialog, const std::wstring& path, EepromImage* image) {
    DWORD error = 0;
    if (!LoadImageFile(path, image, &error)) {
        ShowMessage(dialog, FileProblem("Can't read", path, error));
        return false;
    }
    if (image->size() != velto1::eeprom::kSize) {
        StateOf(dialog).log.Add("EEPROM restore refused: " + Narrow(path) + " holds " +
                                std::to_string(image->size()) + " bytes");
        ShowLog(dialog);
        ShowMessage(dialog, Narrow(path) + " holds " + std::to_string(image->size()) +
                                " bytes; an EEPROM image is exactly 256 bytes.\n"
                                "Nothing was written.");
        return false;
    }
    return true;
}

bool ConfirmRestore(HWND dialog, size_t count) {
    const std::string question =
        std::to_string(count) + (count == 1 ? " byte differs" : " bytes differ") +
        " from the file.\nWrite " + (count == 1 ? "it" : "them") + " to the EEPROM?";
    return AppPlatform().ShowMessageBoxA(dialog, question.c_str(), kConsoleCaption,
                                         MB_ICONQUESTION | MB_YESNO) == IDYES;
}

}  // namespace

void OnEepromRead(HWND dialog) {
    EepromImage image;
    ReadIntoView(dialog, &image);
}

void OnEepromBrowse(HWND dialog) {
    wchar_t path[MAX_PATH] = L"";
    GetDlgItemTextW(dialog, IDC_EEPROM_FILE, path, MAX_PATH);
    OPENFILENAMEW choice = {};
    choice.lStructSize = sizeof choice;
    choice.hwndOwner = dialog;
    choice.lpstrFilter = L"EEPROM images (*.bin)\0*.bin\0All files\0*.*\0";
    choice.lpstrFile = path;
    choice.nMaxFile = MAX_PATH;
    choice.lpstrTitle = L"EEPROM image file";
    choice.lpstrDefExt = L"bin";
    choice.Flags = OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (GetOpenFileNameW(&choice)) {
        SetDlgItemTextW(dialog, IDC_EEPROM_FILE, path);
    }
}

void OnEepromSave(HWND dialog) {
    const std::wstring path = ImagePath(dialog);
    EepromImage image;
    if (path.empty() || !ReadIntoView(dialog, &image)) {
        return;
    }
    DWORD error = 0;
    if (!SaveImageFile(path, image, &error)) {
        ShowMessage(dialog, FileProblem("Can't write", path, error));
        return;
    }
    StateOf(dialog).log.Add("EEPROM saved to " + Narrow(path) + " (256 bytes)");
    ShowLog(dialog);
}

void OnEepromRestore(HWND dialog) {
    const std::wstring path = ImagePath(dialog);
    EepromImage file;
    EepromImage device;
    if (path.empty() || !LoadRestoreImage(dialog, path, &file) || !ReadIntoView(dialog, &device)) {
        return;
    }
    ConsoleLog& log = StateOf(dialog).log;
    const std::vector<DWORD> offsets = DifferingOffsets(device, file);
    log.Add("EEPROM restore from " + Narrow(path) + ": " + std::to_string(offsets.size()) +
            " bytes differ");
    ShowLog(dialog);
    if (offsets.empty()) {
        ShowMessage(dialog, "The EEPROM already holds the file's 256 bytes. Nothing was written.",
                    MB_ICONINFORMATION);
        return;
    }
    if (!ConfirmRestore(dialog, offsets.size())) {
        log.Add("EEPROM restore cancelled");
        ShowLog(dialog);
        return;
    }
    const RestoreResult result =
        WriteAndVerify(*AppDevice, AppPlatform(), file, offsets, log, [&](HRESULT) {
            ShowLog(dialog);
            ReportFatalError(dialog, IDCANCEL);
        });
    if (result.deviceGone) {
        return;  // the dialog has ended
    }
    const std::string report = RestoreReport(offsets.size(), result);
    log.Add(report.substr(0, report.find('\n')));
    ShowLog(dialog);
    ShowMessage(
        dialog, report,
        result.failures.empty() && !result.deviceBusy ? MB_ICONINFORMATION : MB_ICONWARNING);
    EepromImage after;
    ReadIntoView(dialog, &after);
}

void OnCopyLog(HWND dialog) {
    const std::string text = StateOf(dialog).log.Text();
    if (!OpenClipboard(dialog)) {
        return;
    }
    EmptyClipboard();
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1)) {
        if (void* data = GlobalLock(memory)) {
            std::memcpy(data, text.c_str(), text.size() + 1);
            GlobalUnlock(memory);
            if (!SetClipboardData(CF_TEXT, memory)) {
                GlobalFree(memory);
            }
        } else {
            GlobalFree(memory);
        }
    }
    CloseClipboard();
}

}  // namespace regconsole
