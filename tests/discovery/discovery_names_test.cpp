// The device names in the registry and their defaults, the audio filters, and
// the property pages of the device a name finds.
#include "tests/discovery/discovery_bench.h"

using namespace discovery;

namespace {

// --- Names in the registry --------------------------------------------------

TEST_F(DiscoveryTest, RegistryNamesAndTheirDefaults) {
    const std::string k256(256, 'A');
    const struct {
        const char* key;
        const char* first;  // value names (nullptr: absent) and their bytes
        std::string firstBytes;
        const char* second;
        std::string secondBytes;
        BOOL read;
        std::string name;               // what Get...DeviceName gives, and Read... when it reads
        const wchar_t* wide = nullptr;  // the wide form, where checked
    } rows[] = {
        // clang-format off
        {kAudioKey, "AudioClass", Text("Yes"), "DeviceName", Text("Cam"), TRUE, "USB Audio Device", L"USB Audio Device"},
        {kAudioKey, "AudioClass", Text("yes"), "DeviceName", Text("Cam"), TRUE, "Cam"},
        {kAudioKey, "AudioClass", Text("Yes sir"), "DeviceName", Text("Cam"), TRUE, "Cam"},
        {kAudioKey, "AudioClass", Text("No"), nullptr, "", TRUE, "USB KXQ Audio Device"},
        {kAudioKey, nullptr, "", "DeviceName", Text("Cam"), FALSE, "USB Audio Device"},
        {kCaptureKey, nullptr, "", nullptr, "", FALSE, "USB 7450 Device"},
        {kCaptureKey, "RealDSName", Text("Real"), "DSName", Text("Cam"), TRUE, "Real"},
        {kCaptureKey, "RealDSName", std::string(257, 'B'), "DSName", Text("Cam"), TRUE, "Cam"},
        {kCaptureKey, "RealDSName", k256, nullptr, "", TRUE, k256},  // no terminator
        {kCaptureKey, "RealDSName", Text("Cam\xE9ra"), nullptr, "", TRUE, "Cam\xE9ra", L"Caméra"},  // in the ANSI code page (1252 here)
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name + " from " + (row.first ? row.first : "-") + "," +
                     (row.second ? row.second : "-"));
        RegDeleteTreeW(machine.Get(), nullptr);
        for (const auto& [name, bytes] :
             {std::pair(row.first, row.firstBytes), std::pair(row.second, row.secondBytes)}) {
            if (name) {
                SetName(row.key, name, bytes);
            }
        }
        const bool audio = row.key == kAudioKey;
        char name[260] = "untouched";
        wchar_t wide[260] = L"untouched";
        EXPECT_EQ((audio ? ReadAudioDeviceName : ReadCaptureDeviceName)(name, wide), row.read);
        EXPECT_EQ(std::string(name), row.read ? row.name : "untouched");
        if (row.wide) {
            EXPECT_STREQ(wide, row.wide);
        }
        (audio ? GetAudioDeviceName : GetCaptureDeviceName)(name);
        EXPECT_EQ(std::string(name), row.name);
    }
}

// --- Audio filters ----------------------------------------------------------

TEST_F(DiscoveryTest, OpenAudioFiltersIsAllOrNothingAndReleasesWhatItHeld) {
    SetName(kAudioKey, "AudioClass", Text("No"));
    SetName(kAudioKey, "DeviceName", Text("Lab Audio"));
    Add(Device(L"ks", L"Lab Audio KS", DeviceCategory::KsAudio));
    Add(Device(L"out", L"Default WaveOut Device", DeviceCategory::AudioRenderer));
    IBaseFilter* capture = nullptr;
    IBaseFilter* ks = nullptr;
    IBaseFilter* renderer = nullptr;
    EXPECT_EQ(device.OpenAudioFilters(nullptr, &capture, &ks, &renderer), FALSE);
    EXPECT_EQ(ks, nullptr) << "no pointer to a released filter is handed out";
    EXPECT_EQ(renderer, nullptr);
    EXPECT_EQ(simbench::LiveObjects(), 0);

    Add(Device(L"mic", L"Lab Audio In", DeviceCategory::AudioInput));
    char name[260] = {};
    ASSERT_EQ(device.OpenAudioFilters(name, &capture, &ks, &renderer), TRUE);
    EXPECT_STREQ(name, "Lab Audio");
    EXPECT_EQ(Id(capture) + L"," + Id(ks) + L"," + Id(renderer), L"mic,ks,out");
    const LONG heldByOneCall = simbench::LiveObjects();
    ASSERT_EQ(device.OpenAudioFilters(nullptr, &capture, &ks, &renderer), TRUE);
    EXPECT_EQ(simbench::LiveObjects(), heldByOneCall) << "the second call let the first's go";
}

// --- Property pages ---------------------------------------------------------

BOOL CALLBACK FindVisible(HWND window, LPARAM found) {
    if (!IsWindowVisible(window)) {
        return TRUE;
    }
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// Appends the texts of the page's device name and chip id fields.
BOOL CALLBACK ReadPage(HWND control, LPARAM shown) {
    const int id = GetDlgCtrlID(control);
    if (id == IDC_DEVICE_NAME || id == IDC_CHIP_ID) {
        wchar_t text[128] = {};
        GetWindowTextW(control, text, 128);
        *reinterpret_cast<std::wstring*>(shown) += std::wstring(text) + L";";
    }
    return TRUE;
}

TEST_F(DiscoveryTest, ShowPropertyPagesShowsThePageOfTheCaptureNamesDevice) {
    if (GetEnvironmentVariableW(L"DISPLAY", nullptr, 0) == 0) {
        GTEST_SKIP() << "no X display: run the tests through scripts/test.sh";
    }
    SetName(kCaptureKey, "RealDSName", Text("Lab Camera"));
    Add(Device(L"other", L"USB 7450 Device"));
    Add(Chip(L"lab", L"Lab Camera", {0x141}));
    // A helper thread waits for the frame, reads the page and closes it as a user would.
    std::wstring shown;
    bool closed = false;
    const DWORD uiThread = GetCurrentThreadId();
    std::thread user([&] {
        HWND frame = nullptr;
        for (int attempt = 0; attempt < 200 && !frame; ++attempt) {
            Sleep(50);
            EnumThreadWindows(uiThread, FindVisible, reinterpret_cast<LPARAM>(&frame));
        }
        Sleep(200);  // let the page fill in
        EnumChildWindows(frame, ReadPage, reinterpret_cast<LPARAM>(&shown));
        closed = frame && PostMessageW(frame, WM_COMMAND, IDCANCEL, 0);
    });
    device.ShowPropertyPages(nullptr);
    user.join();
    EXPECT_TRUE(closed) << "no property frame appeared";
    EXPECT_EQ(shown, L"Lab Camera;0x141;");
}

}  // namespace
