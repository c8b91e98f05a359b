// Friendly names under the UTF-8 code page, which a program can ask for in its
// manifest (this one does): the names match by their UTF-8 bytes, and only a
// name that UTF-8 can't carry (a lone surrogate) matches nothing.
#include <gtest/gtest.h>
#include <dshow.h>
#include <wrl/client.h>

#include <string>

#include "devctl/device_control.h"
#include "simdevice/filter/sim_device_ids.h"
#include "tests/bench/sim_bench.h"

using Microsoft::WRL::ComPtr;

namespace {

// The 8-bit form of a wide text in the ANSI code page.
std::string Ansi(const wchar_t* text) {
    char bytes[260] = {};
    WideCharToMultiByte(CP_ACP, 0, text, -1, bytes, sizeof bytes, nullptr, nullptr);
    return bytes;
}

// Which simulated device a filter that a search handed over is ("" for
// none); releases the filter.
std::wstring Found(IBaseFilter* filter) {
    ComPtr<IBaseFilter> owned;
    *owned.GetAddressOf() = filter;
    ComPtr<ISimDeviceInfo> info;
    sim::SimDeviceSnapshot snapshot = {};
    return filter && SUCCEEDED(filter->QueryInterface(IID_PPV_ARGS(&info))) &&
                   SUCCEEDED(info->GetSnapshot(&snapshot))
               ? snapshot.id
               : L"";
}

class Utf8CodePage : public simbench::SimDeviceTest {};

TEST_F(Utf8CodePage, FriendlyNamesMatchByTheirUtf8Bytes) {
    ASSERT_EQ(GetACP(), static_cast<UINT>(CP_UTF8)) << "the manifest asks for UTF-8";
    const struct {
        std::wstring friendlyName;
        std::string wanted;
        bool matches;
    } rows[] = {
        {L"\u30D3\u30C7\u30AA Device", Ansi(L"\u30D3\u30C7\u30AA"), true},   // "ビデオ"
        {L"\u30D3\u30C7\u30AA Device", Ansi(L"\u30AB\u30E1\u30E9"), false},  // "カメラ"
        {L"Cam\u00E9ra Device", Ansi(L"Cam\u00E9ra"), true},
        {L"\uFF35\uFF33\uFF22 7450 Device", "USB 7450 Device", false},         // fullwidth "USB"
        {std::wstring(L"Cam ") + wchar_t(0xD800) + L" Device", "Cam", false},  // lone surrogate
    };
    for (const auto& row : rows) {
        Add(simbench::Device(L"cam", row.friendlyName));
        DeviceControl device;
        EXPECT_EQ(Found(device.FindFilter(CLSID_VideoInputDeviceCategory, row.wanted.c_str())),
                  row.matches ? L"cam" : L"")
            << testing::PrintToString(row.friendlyName);
    }
}

}  // namespace
