#include "appcore/platform.h"

namespace {

class WindowsPlatform final : public Platform {
  public:
    int ShowMessageBoxW(HWND owner, const wchar_t* text, const wchar_t* caption,
                        UINT flags) override {
        return ::MessageBoxW(owner, text, caption, flags);
    }
    int ShowMessageBoxA(HWND owner, const char* text, const char* caption, UINT flags) override {
        return ::MessageBoxA(owner, text, caption, flags);
    }
    BOOL EndDialog(HWND dialog, INT_PTR result) override { return ::EndDialog(dialog, result); }
    void Sleep(DWORD milliseconds) override { ::Sleep(milliseconds); }
};

WindowsPlatform windowsPlatform;
Platform* currentPlatform = &windowsPlatform;

}  // namespace

Platform& AppPlatform() {
    return *currentPlatform;
}

void SetAppPlatform(Platform* platform) {
    currentPlatform = platform ? platform : &windowsPlatform;
}
