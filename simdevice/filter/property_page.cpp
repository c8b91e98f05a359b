// The simulated device's property page: a read-only view of the chip
// identity and the EEPROM option byte, as a dialog from this module's
// resources inside the system's property frame.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>
#include <wrl/client.h>

#include <cstring>
#include <cwchar>
#include <new>

#include "common/com_object.h"
#include "simdevice/filter/resource.h"
#include "simdevice/devices/device_ids.h"
#include "simdevice/filter/filter.h"
#include "simdevice/filter/module.h"

using Microsoft::WRL::ComPtr;

namespace sim {

namespace {

class SimDevicePropertyPage : public velto1::ComObject<IPropertyPage> {
  public:
    SimDevicePropertyPage() { ModuleObjectCreated(); }

    HRESULT STDMETHODCALLTYPE SetPageSite(IPropertyPageSite* site) override {
        site_ = site;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Activate(HWND parent, LPCRECT rect, BOOL) override {
        if (!rect) {
            return E_POINTER;
        }
        if (dialog_) {
            return E_UNEXPECTED;
        }
        dialog_ = CreatePageDialog(parent);
        if (!dialog_) {
            return HRESULT_FROM_WIN32(GetLastError());
        }
        Move(rect);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Deactivate() override {
        if (dialog_) {
            DestroyWindow(dialog_);
            dialog_ = nullptr;
        }
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetPageInfo(PROPPAGEINFO* info) override {
        if (!info) {
            return E_POINTER;
        }
        // The page's size in pixels: the template measured as a hidden window.
        SIZE size = {400, 250};
        if (HWND measure = CreatePageDialog(GetDesktopWindow())) {
            RECT rect;
            GetWindowRect(measure, &rect);
            size = {rect.right - rect.left, rect.bottom - rect.top};
            DestroyWindow(measure);
        }
        wchar_t title[64] = {};
        LoadStringW(ModuleInstance(), IDS_PAGE_TITLE, title, 64);
        const size_t bytes = (wcslen(title) + 1) * sizeof(wchar_t);
        info->pszTitle = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
        if (!info->pszTitle) {
            return E_OUTOFMEMORY;
        }
        std::memcpy(info->pszTitle, title, bytes);
        info->cb = sizeof *info;
        info->size = size;
        info->pszDocString = nullptr;
        info->pszHelpFile = nullptr;
        info->dwHelpContext = 0;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE SetObjects(ULONG count, IUnknown** objects) override {
        device_.Reset();
        if (count == 0) {
            return S_OK;
        }
        if (!objects || !objects[0]) {
            return E_POINTER;
        }
        const HRESULT status = objects[0]->QueryInterface(IID_PPV_ARGS(&device_));
        if (dialog_) {
            Fill(dialog_);
        }
        return FAILED(status) ? E_NOINTERFACE : S_OK;
    }

    HRESULT STDMETHODCALLTYPE Show(UINT command) override {
        if (!dialog_) {
            return E_UNEXPECTED;
        }
        ShowWindow(dialog_, command);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Move(LPCRECT rect) override {
        if (!rect) {
            return E_POINTER;
        }
        if (!dialog_) {
            return E_UNEXPECTED;
        }
        MoveWindow(dialog_, rect->left, rect->top, rect->right - rect->left,
                   rect->bottom - rect->top, TRUE);
        return S_OK;
    }

    // Nothing on the page can be changed.
    HRESULT STDMETHODCALLTYPE IsPageDirty() override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE Apply() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Help(LPCOLESTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*) override { return S_FALSE; }

  private:
    ~SimDevicePropertyPage() override {
        Deactivate();
        ModuleObjectDestroyed();
    }

    HWND CreatePageDialog(HWND parent) {
        return CreateDialogParamW(ModuleInstance(), MAKEINTRESOURCEW(IDD_SIMDEVICE_PAGE), parent,
                                  DialogProc, reinterpret_cast<LPARAM>(this));
    }

    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
        switch (message) {
            case WM_INITDIALOG:
                reinterpret_cast<SimDevicePropertyPage*>(lParam)->Fill(dialog);
                return TRUE;
            case WM_SIZE:
                FitToWidth(dialog, LOWORD(lParam));
                return TRUE;
            default:
                return FALSE;
        }
    }

    // The frame may give the page less room than it asked for: the group box
    // and the value column follow the page's width.
    static void FitToWidth(HWND dialog, int width) {
        RECT margin = {0, 0, 7, 0};
        MapDialogRect(dialog, &margin);
        const int controls[] = {IDC_GROUP,        IDC_DEVICE_NAME,    IDC_CHIP_ID,
                                IDC_CHIP_CONFIG,  IDC_BOARD_CONFIG,   IDC_OPTION_BYTE,
                                IDC_UPDATE_STATE, IDC_PRODUCT_MARKER, IDC_CUSTOM_PROPERTY,
                                IDC_EEPROM_FILE};
        for (int id : controls) {
            HWND control = GetDlgItem(dialog, id);
            RECT rect;
            if (!control || !GetWindowRect(control, &rect)) {
                continue;
            }
            MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
            const int right = width - (id == IDC_GROUP ? 1 : 2) * margin.right;
            SetWindowPos(control, nullptr, 0, 0, right > rect.left ? right - rect.left : 0,
                         rect.bottom - rect.top, SWP_NOMOVE | SWP_NOZORDER);
        }
    }

    void Fill(HWND dialog) {
        SimDeviceSnapshot snapshot = {};
        if (!device_ || FAILED(device_->GetSnapshot(&snapshot))) {
            return;
        }
        SetDlgItemTextW(dialog, IDC_DEVICE_NAME, snapshot.friendlyName);
        SetNumber(dialog, IDC_CHIP_ID, L"0x%lX", snapshot.chipId);
        SetNumber(dialog, IDC_CHIP_CONFIG, L"0x%08lX", snapshot.chipConfig);
        SetNumber(dialog, IDC_BOARD_CONFIG, L"0x%08lX", snapshot.boardConfig);
        SetNumber(dialog, IDC_OPTION_BYTE, L"0x%02lX", snapshot.optionByte);
        SetDlgItemTextW(dialog, IDC_UPDATE_STATE,
                        (snapshot.optionByte & kNotUpdatedBit) ? L"not applied (bit 7 set)"
                                                               : L"applied (bit 7 clear)");
        SetNumber(dialog, IDC_PRODUCT_MARKER, L"0x%02lX", snapshot.productMarker);
        SetDlgItemTextW(dialog, IDC_CUSTOM_PROPERTY,
                        snapshot.offersCustomProperty ? L"offered" : L"not offered");
        SetDlgItemTextW(dialog, IDC_EEPROM_FILE,
                        snapshot.eepromFile[0] ? snapshot.eepromFile : L"(in memory)");
    }

    static void SetNumber(HWND dialog, int control, const wchar_t* format, DWORD number) {
        wchar_t text[32];
        swprintf(text, 32, format, static_cast<unsigned long>(number));
        SetDlgItemTextW(dialog, control, text);
    }

    ComPtr<IPropertyPageSite> site_;
    ComPtr<ISimDeviceInfo> device_;
    HWND dialog_ = nullptr;
};

}  // namespace

HRESULT CreateSimDevicePropertyPage(REFIID iid, void** object) {
    auto* page = new (std::nothrow) SimDevicePropertyPage();
    if (!page) {
        return E_OUTOFMEMORY;
    }
    const HRESULT status = page->QueryInterface(iid, object);
    page->Release();
    return status;
}

}  // namespace sim
