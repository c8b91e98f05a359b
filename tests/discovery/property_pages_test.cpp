// ShowPropertyPages: the simulated device's page in the system's property
// frame. A helper thread waits for the frame, reads what the page shows, and
// closes the frame as a user would.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include "devctl/device_control.h"
#include "simdevice/filter/resource.h"
#include "tests/bench/sim_bench.h"
#include "tests/common/test_support.h"

using simbench::Device;

namespace {

struct FrameSearch {
    DWORD threadId;
    HWND frame;
};

BOOL CALLBACK FindFrame(HWND window, LPARAM lParam) {
    auto* search = reinterpret_cast<FrameSearch*>(lParam);
    if (IsWindowVisible(window)) {
        search->frame = window;
        return FALSE;
    }
    return TRUE;
}

struct ChildSearch {
    int id;
    HWND found;
};

BOOL CALLBACK FindControl(HWND window, LPARAM lParam) {
    auto* search = reinterpret_cast<ChildSearch*>(lParam);
    if (GetDlgCtrlID(window) == search->id && !search->found) {
        search->found = window;
    }
    return TRUE;
}

std::wstring ControlText(HWND frame, int id) {
    ChildSearch search = {id, nullptr};
    EnumChildWindows(frame, FindControl, reinterpret_cast<LPARAM>(&search));
    wchar_t text[128] = {};
    if (search.found) {
        GetWindowTextW(search.found, text, 128);
    }
    return text;
}

// What the page showed, read from another thread while the frame is up.
struct PageReading {
    std::wstring chipId;
    std::wstring optionByte;
    std::wstring updateState;
    std::wstring deviceName;
    bool closed = false;
};

class PropertyPagesTest : public simbench::SimDeviceTest {
  protected:
    void SetUp() override {
        simbench::SimDeviceTest::SetUp();
        HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                     nullptr, nullptr);
        if (!probe) {
            GTEST_SKIP() << "no display to show windows on";
        }
        DestroyWindow(probe);
    }

    // Shows the pages on this thread; a helper thread reads and closes them.
    PageReading ShowAndRead(const char* wantedName) {
        PageReading reading;
        const DWORD uiThread = GetCurrentThreadId();
        std::atomic<bool> done{false};
        std::thread closer([&] {
            FrameSearch search = {uiThread, nullptr};
            for (int attempt = 0; attempt < 200 && !search.frame && !done; ++attempt) {
                Sleep(50);
                EnumThreadWindows(uiThread, FindFrame, reinterpret_cast<LPARAM>(&search));
            }
            if (!search.frame) {
                return;
            }
            Sleep(200);  // let the page fill in
            reading.chipId = ControlText(search.frame, IDC_CHIP_ID);
            reading.optionByte = ControlText(search.frame, IDC_OPTION_BYTE);
            reading.updateState = ControlText(search.frame, IDC_UPDATE_STATE);
            reading.deviceName = ControlText(search.frame, IDC_DEVICE_NAME);
            reading.closed = PostMessageW(search.frame, WM_COMMAND, IDCANCEL, 0) != FALSE;
        });
        device.ShowPropertyPagesByName(nullptr, wantedName);
        done = true;
        closer.join();
        return reading;
    }

    DeviceControl device;
};

TEST_F(PropertyPagesTest, ShowsTheChipIdentityAndTheOptionByte) {
    sim::DeviceSettings settings = Device(L"cam", L"USB 7450 Device");
    settings.identity.chipId = 0x141;
    Add(settings);
    const PageReading reading = ShowAndRead("USB 7450 Device");
    EXPECT_TRUE(reading.closed) << "no property frame appeared";
    EXPECT_EQ(reading.deviceName, L"USB 7450 Device");
    EXPECT_EQ(reading.chipId, L"0x141");
    EXPECT_EQ(reading.optionByte, L"0x85");
    EXPECT_EQ(reading.updateState, L"not applied (bit 7 set)");
    EXPECT_EQ(device.GetLastResult(), S_OK);
}

TEST_F(PropertyPagesTest, NoDeviceShowsNothing) {
    const PageReading reading = ShowAndRead("USB 7450 Device");
    EXPECT_FALSE(reading.closed);
}

TEST_F(PropertyPagesTest, ShowPropertyPagesUsesTheCaptureName) {
    simbench::MachineKeyRedirect machine;
    machine.SetString("Software\\USB5170\\BDA", "RealDSName", "Lab Camera");
    Add(Device(L"other", L"USB 7450 Device"));
    Add(Device(L"lab", L"Lab Camera"));
    PageReading reading;
    const DWORD uiThread = GetCurrentThreadId();
    std::thread closer([&] {
        FrameSearch search = {uiThread, nullptr};
        for (int attempt = 0; attempt < 200 && !search.frame; ++attempt) {
            Sleep(50);
            EnumThreadWindows(uiThread, FindFrame, reinterpret_cast<LPARAM>(&search));
        }
        if (search.frame) {
            Sleep(200);
            reading.deviceName = ControlText(search.frame, IDC_DEVICE_NAME);
            reading.closed = PostMessageW(search.frame, WM_CLOSE, 0, 0) != FALSE;
        }
    });
    device.ShowPropertyPages(nullptr);
    closer.join();
    EXPECT_TRUE(reading.closed);
    EXPECT_EQ(reading.deviceName, L"Lab Camera");
}

}  // namespace
