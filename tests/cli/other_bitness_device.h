// A capture device in the registry view of the other bitness only, as a
// driver that serves the other build's programs leaves it, for as long as
// the owner lives.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <string>

#include <gtest/gtest.h>

#include "common/win32_owners.h"

namespace clitest {

class OtherBitnessDevice {
  public:
    explicit OtherBitnessDevice(const std::wstring& name = L"USB 7450 Device") {
        velto1::UniqueRegKey key;
        EXPECT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, Path().c_str(), 0, nullptr, 0,
                                  KEY_WRITE | kOtherView, nullptr, key.Put(), nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key.Get(), L"FriendlyName", 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(name.c_str()),
                       static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t)));
    }
    ~OtherBitnessDevice() { RegDeleteKeyExW(HKEY_CLASSES_ROOT, Path().c_str(), kOtherView, 0); }

  private:
    static constexpr REGSAM kOtherView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    static std::wstring Path() {
        wchar_t category[40] = L"";
        StringFromGUID2(CLSID_VideoInputDeviceCategory, category, 40);
        return std::wstring(L"CLSID\\") + category + L"\\Instance\\velto1-other-bitness-test";
    }
};

}  // namespace clitest
