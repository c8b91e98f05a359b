// velto1.exe as shipped: its resources, field by field, and its imports, read
// from the built file; and the main window's commands, run in the test process
// with the program's resources linked in.
#include <gmock/gmock.h>
#include <windows.h>

#include <fstream>
#include <iterator>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "appcore/app_device.h"
#include "common/module_folder.h"
#include "common/win32_owners.h"
#include "app/main_window.h"
#include "app/resource.h"
#include "tests/bench/sim_bench.h"
#include "tests/common/updater_texts.h"
#include "velto1_build_info.h"

namespace {

constexpr WORD kEnglishUs = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
constexpr WORD kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);
// velto1.exe beside the test (the program's folder is searched first),
// mapped as an image for reading only.
HMODULE Program() {
    static const HMODULE program =
        LoadLibraryExW(L"velto1.exe", nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    EXPECT_NE(program, nullptr) << "velto1.exe beside the test";
    return program;
}

// A resource's bytes in exactly this language; empty when there is none.
std::vector<BYTE> Resource(LPCTSTR type, WORD id, WORD language, HMODULE module = Program()) {
    const HRSRC found = FindResourceEx(module, type, MAKEINTRESOURCE(id), language);
    const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    return found ? std::vector<BYTE>(data, data + SizeofResource(module, found))
                 : std::vector<BYTE>();
}

// The expected bytes of a resource, built field by field.
struct Bytes : std::vector<BYTE> {
    template <typename T>
    Bytes& Put(const T* first, size_t count) {
        insert(end(), reinterpret_cast<const BYTE*>(first),
               reinterpret_cast<const BYTE*>(first + count));
        return *this;
    }
    Bytes& B(std::initializer_list<BYTE> fields) { return Put(fields.begin(), fields.size()); }
    Bytes& W(std::initializer_list<WORD> fields) { return Put(fields.begin(), fields.size()); }
    Bytes& D(std::initializer_list<DWORD> fields) { return Put(fields.begin(), fields.size()); }
    // UTF-16 text, with its terminating zero unless counted.
    Bytes& S(const std::wstring& text, bool counted = false) {
        return Put(text.c_str(), text.size() + !counted);
    }
    Bytes& Align() {
        resize((size() + 3) & ~size_t{3});
        return *this;
    }
};

TEST(ProgramFile, IconIsOne48By48ImageOf32Bits) {
    const std::vector<BYTE> image = Resource(RT_ICON, 1, kEnglishUs);
    EXPECT_EQ(Resource(RT_GROUP_ICON, IDI_VELTO1, kEnglishUs),
              Bytes().W({0, 1, 1}).B({48, 48, 0, 0}).W({1, 32}).D({DWORD(image.size())}).W({1}));
    ASSERT_GE(image.size(), 16u);  // its header: colour and mask, 32 bits
    EXPECT_EQ(std::vector<BYTE>(image.begin(), image.begin() + 16),
              Bytes().D({40, 48, 96}).W({1, 32}));
}

TEST(ProgramFile, MenuAcceleratorsAndStrings) {
    Bytes menu;
    menu.W({0, 0, MF_POPUP}).S(L"&File").W({MF_END, IDM_EXIT}).S(L"E&xit");
    menu.W({MF_POPUP | MF_END}).S(L"&Help").W({MF_END, IDM_ABOUT}).S(L"&About ...");
    EXPECT_EQ(Resource(RT_MENU, IDC_VELTO1, kEnglishUs), menu);
    // Alt with the characters "?" and "/", not virtual keys; the last entry ends the table.
    EXPECT_EQ(Resource(RT_ACCELERATOR, IDC_VELTO1, kJapanese),
              Bytes().W({FALT, '?', IDM_ABOUT, 0, FALT | 0x80, '/', IDM_ABOUT, 0}));
    Bytes strings;  // strings 96 to 111, each its length and its characters
    strings.W({0, 0, 0, 0, 0, 0, 0, 6}).S(L"velto1", true).W({0, 0, 12});
    strings.S(L"Hello World!", true).W({0, 0, 6}).S(L"VELTO1", true).W({0, 0});
    EXPECT_EQ(Resource(RT_STRING, IDS_APP_TITLE / 16 + 1, kEnglishUs), strings);
}

TEST(ProgramFile, AboutBoxTemplate) {
    Bytes about;
    about.W({1, 0xFFFF}).D({0, 0, WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT});
    about.W({3, 22, 17, 186, 61, 0, 0}).S(L"About").W({8, 0}).B({0, 1}).S(L"System");
    about.Align().D({0, 0, 0x50000003}).W({8, 8, 16, 16}).D({2}).W({0xFFFF, 0x82, 0xFFFF, 107, 0});
    about.Align().D({0, 0, 0x50020000}).W({8, 24, 175, 8}).D({0xFFFFFFFF}).W({0xFFFF, 0x82});
    about.S(std::wstring(updater_texts::kTitle) + L" Copyright (C) 2026 velto1 developers").W({0});
    about.Align().D({0, 0, 0x50030001}).W({144, 40, 30, 11}).D({IDOK}).W({0xFFFF, 0x80});
    about.S(L"OK").W({0});
    EXPECT_EQ(Resource(RT_DIALOG, IDD_ABOUTBOX, kJapanese), about);
}

// The update dialog in the program is the very template the dialog tests read.
TEST(ProgramFile, UpdateDialogIsTheTestedTemplate) {
    const std::vector<BYTE> shipped = Resource(RT_DIALOG, IDD_UPDATE, kJapanese);
    EXPECT_FALSE(shipped.empty());
    EXPECT_EQ(shipped, Resource(RT_DIALOG, IDD_UPDATE, kJapanese, GetModuleHandleW(nullptr)));
}

// The program is built for the architecture of this test, which runs it; it
// carries no build time (the same sources give the same bytes); and it imports
// only DLLs that every Windows has, so the one file runs as downloaded.
TEST(ProgramFile, HeadersAndImports) {
    const auto* image = reinterpret_cast<const BYTE*>(ULONG_PTR(Program()) & ~ULONG_PTR{3});
    const BYTE* nt = image + reinterpret_cast<const IMAGE_DOS_HEADER*>(image)->e_lfanew;
    const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(nt);
    EXPECT_EQ(headers->FileHeader.Machine,
              sizeof(void*) == 8 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386);
    ASSERT_EQ(headers->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR_MAGIC);
    EXPECT_EQ(headers->FileHeader.TimeDateStamp, 0u);
    const DWORD imports =
        headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    const std::string system =
        " advapi32.dll comctl32.dll gdi32.dll kernel32.dll msvcrt.dll"
        " ole32.dll oleaut32.dll shell32.dll user32.dll ";
    int count = 0;
    for (auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(image + imports);
         entry->Name != 0; ++entry, ++count) {
        std::string dll = reinterpret_cast<const char*>(image + entry->Name);
        CharLowerBuffA(&dll[0], static_cast<DWORD>(dll.size()));
        EXPECT_NE(system.find(" " + dll + " "), std::string::npos) << dll << " is no system DLL";
    }
    EXPECT_GT(count, 0);
}

// The program is built with the stack protector: a function that overruns a
// local buffer stops the program before it returns through the damage. With
// MinGW the protector's failure routine comes from libssp, linked in only
// when a protected function calls it, and carries its message; with MSVC
// (/GS) the load configuration names the security cookie.
TEST(ProgramFile, CarriesTheStackProtector) {
#ifdef _MSC_VER
    const auto* image = reinterpret_cast<const BYTE*>(ULONG_PTR(Program()) & ~ULONG_PTR{3});
    const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        image + reinterpret_cast<const IMAGE_DOS_HEADER*>(image)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& entry =
        headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG];
    ASSERT_NE(entry.VirtualAddress, 0u) << "no load configuration";
    const auto* config =
        reinterpret_cast<const IMAGE_LOAD_CONFIG_DIRECTORY*>(image + entry.VirtualAddress);
    EXPECT_NE(config->SecurityCookie, 0u) << "no security cookie: built without /GS";
#else
    std::ifstream file((velto1::ModuleFolder() + L"velto1.exe").c_str(), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    ASSERT_FALSE(bytes.empty()) << "velto1.exe beside the test";
    EXPECT_NE(bytes.find("*** stack smashing detected ***"), std::string::npos)
        << "no stack protector: built without -fstack-protector-strong";
#endif
}

// Every program's manifest and version resource, read back from the built
// file: the invoker's rights and no more, no side-by-side dependency, and
// Windows 7 to 11; and as the file's properties show it, the project's
// version, a product name of its own, and the architecture and commit it was
// built from.
TEST(ProgramFile, EveryProgramCarriesTheManifestAndItsVersion) {
    const char* const supportedOs[] = {
        "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // Windows 7
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // 8
        "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // 8.1
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // 10 and 11
    };
    const struct {
        const wchar_t* file;
        const char* productName;
    } programs[] = {
        {L"velto1.exe", "velto1"},
        {L"velto1cli.exe", "velto1cli"},
        {L"regconsole.exe", "velto1 register console"},
        {L"chipctl.exe", "chipctl"},
        {L"simdevctl.exe", "simdevctl"},
    };
    for (const auto& program : programs) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(program.file)));
        const std::wstring path = velto1::ModuleFolder() + program.file;
        const velto1::UniqueModule module(
            LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE));
        ASSERT_TRUE(module);
        const std::vector<BYTE> bytes = Resource(RT_MANIFEST, 1, kEnglishUs, module.Get());
        const std::string manifest(bytes.begin(), bytes.end());
        EXPECT_THAT(
            manifest,
            testing::HasSubstr(R"(<requestedExecutionLevel level="asInvoker" uiAccess="false"/>)"));
        EXPECT_THAT(manifest, testing::Not(testing::HasSubstr("dependency")));
        for (const char* id : supportedOs) {
            EXPECT_THAT(manifest,
                        testing::HasSubstr(std::string("<supportedOS Id=\"") + id + "\"/>"));
        }

        DWORD ignored = 0;
        std::vector<BYTE> info(GetFileVersionInfoSizeW(path.c_str(), &ignored));
        ASSERT_FALSE(info.empty()) << "no version resource";
        ASSERT_TRUE(
            GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));
        const auto query = [&info](const std::wstring& key) {
            void* value = nullptr;
            UINT length = 0;
            return VerQueryValueW(info.data(), key.c_str(), &value, &length) ? value : nullptr;
        };
        const auto text = [&query](const wchar_t* name) {
            const auto* value = static_cast<const wchar_t*>(
                query(std::wstring(L"\\StringFileInfo\\040904B0\\") + name));
            const std::wstring wide = value ? value : L"(none)";
            return std::string(wide.begin(), wide.end());
        };
        EXPECT_EQ(text(L"FileVersion"), VELTO1_VERSION);
        EXPECT_EQ(text(L"ProductVersion"), VELTO1_VERSION);
        EXPECT_EQ(text(L"ProductName"), program.productName);
        EXPECT_EQ(text(L"Comments"), std::string(VELTO1_ARCH) + ", commit " + VELTO1_COMMIT);
        EXPECT_THAT(text(L"FileDescription"),
                    testing::EndsWith(std::string(" (") + VELTO1_ARCH + ")"));
        const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(query(L"\\"));
        ASSERT_NE(fixed, nullptr);
        EXPECT_EQ(std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                      std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                      std::to_string(HIWORD(fixed->dwFileVersionLS)),
                  VELTO1_VERSION);
    }
}

// Runs an action on the next turn of whatever message loop runs (the modal
// loop of a dialog included).
std::function<void()> pendingAction;
void CALLBACK RunPendingAction(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    std::exchange(pendingAction, nullptr)();
}
void Soon(std::function<void()> action) {
    pendingAction = std::move(action);
    SetTimer(nullptr, 0, 50, RunPendingAction);
}

class MainWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        HINSTANCE instance = GetModuleHandleW(nullptr);
        LoadStringA(instance, IDS_APP_TITLE, AppTitle, kAppStringCapacity);
        // A class of this process's own: other tests show windows on the same display.
        wsprintfA(MainWindowClass, "VELTO1-%lu", GetCurrentProcessId());
        RegisterMainWindowClass(instance);
        ASSERT_TRUE(CreateMainWindow(instance, SW_SHOWNORMAL));
        window = FindWindowA(MainWindowClass, AppTitle);
    }
    void TearDown() override {
        DestroyWindow(window);  // then take its quit message off the queue
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    HWND window = nullptr;
};

// Exit destroys the window and posts a quit with exit code 0, whatever the
// notification code in the high word.
TEST_F(MainWindow, ExitDestroysAndQuits) {
    EXPECT_EQ(SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDM_EXIT, 1), 0), 0);
    EXPECT_FALSE(IsWindow(window));
    MSG quit;
    ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.wParam, 0u);
}

// The About box, opened by the menu command (high word set) or directly, is
// owned by the main window and ends with OK (1) or Cancel (2), not other ids.
TEST_F(MainWindow, AboutBoxEndsWithOkOrCancel) {
    for (int run = 0; run < 3; ++run) {
        const WPARAM button = run < 2 ? IDOK : IDCANCEL;
        HWND owner = nullptr;
        Soon([&] {
            HWND about = FindWindowA(nullptr, "About");
            owner = GetWindow(about, GW_OWNER);
            SendMessageW(about, WM_COMMAND, 3, 0);  // would end it with 3
            PostMessageW(about, WM_COMMAND, button, 0);
        });
        if (run == 0) {
            EXPECT_EQ(SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDM_ABOUT, 1), 0), 0);
        } else {
            EXPECT_EQ(DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUTBOX),
                                      window, AboutDialogProc, 0),
                      INT_PTR(button));
        }
        EXPECT_EQ(owner, window);
    }
}

// OpenAppDevice and CloseAppDevice leave the thread's COM initialisation as
// they found it, whether a device opened or not: on a thread without COM
// CoInitialize returns S_OK afterwards. A thread already in the multithreaded
// apartment, where their CoInitialize fails, is left in it. The rows run on
// the test's own thread with the bench's initialisation taken away for the
// while (32-bit Wine under qemu crashes now and then with COM on a thread of
// its own).
class AppDeviceTest : public simbench::SimDeviceTest {};

TEST_F(AppDeviceTest, OpenAndCloseLeaveComInitialisationBalanced) {
    const struct {
        const char* what;
        bool present;        // a device named as the updater looks for it
        bool opens;          // else it lacks the driver's interface
        bool multithreaded;  // the thread joined the MTA before
    } rows[] = {
        {"a device", true, true, false},
        {"a device without the interface", true, false, false},
        {"no device", false, false, false},
        {"a device, MTA thread", true, true, true},
        {"a device without the interface, MTA thread", true, false, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        sim::DeviceSettings device = simbench::Device(L"cam", L"USB 7450 Device");
        device.offersCustomProperty = row.opens;
        if (row.present) {
            Add(device);
        }
        CoUninitialize();  // the bench's
        const HRESULT joined =
            row.multithreaded ? CoInitializeEx(nullptr, COINIT_MULTITHREADED) : S_OK;
        OpenAppDevice();
        const bool opened = AppDevice != nullptr;
        CloseAppDevice();
        EXPECT_EQ(AppDevice, nullptr);
        // S_FALSE: still in the MTA it joined; S_OK: nothing was left initialised.
        const HRESULT after = row.multithreaded ? CoInitializeEx(nullptr, COINIT_MULTITHREADED)
                                                : CoInitialize(nullptr);
        CoUninitialize();
        if (row.multithreaded) {
            CoUninitialize();
        }
        ASSERT_EQ(CoInitialize(nullptr), S_OK) << "the bench's again";
        EXPECT_EQ(opened, row.opens);
        EXPECT_EQ(joined, S_OK);
        EXPECT_EQ(after, row.multithreaded ? S_FALSE : S_OK);
        EXPECT_EQ(sim::RemoveAllDevices(), S_OK);
    }
}

}  // namespace
