// The simulated EEPROM's backing file: a save that fails fails the I2C write
// with the file's error and leaves the file as it was, a save puts the new
// image in place whole, and bindings in separate processes share the file as
// programs share one device.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "common/win32_owners.h"
#include "devctl/device_control.h"
#include "simdevice/chip/eeprom_file.h"
#include "tests/common/run_process.h"
#include "tests/common/simtool_fixture.h"

using simtool::FileBytes;

namespace {

const sim::EepromImage kFresh = sim::FreshProductEeprom();
const sim::EepromImage kUpdated = sim::UpdatedProductEeprom();

// A folder of its own for a test's EEPROM file, so that the test sees every
// file a save leaves there. Emptied and removed at the end.
struct EepromFolder {
    EepromFolder() {
        folder = simtool::TempPath(L"velto1-eeprom-") + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(folder.c_str(), nullptr);
        simtool::EmptyFolder(folder);
    }
    ~EepromFolder() { simtool::RemoveFolder(folder); }
    std::wstring Path(const std::wstring& name = L"eeprom.bin") const {
        return folder + L"\\" + name;
    }
    // The names in the folder, sorted.
    std::vector<std::wstring> Files() const { return simtool::FilesMatching(folder + L"\\*"); }
    void Empty() const { simtool::EmptyFolder(folder); }

    std::wstring folder;
};

const std::vector<std::wstring> kEepromAndLock = {L"eeprom.bin", L"eeprom.bin.lock"};
// Beside them, a device's chip keeps its state (ChipStateFile).
const std::vector<std::wstring> kEepromLockAndChip = {L"eeprom.bin", L"eeprom.bin.chip",
                                                      L"eeprom.bin.lock"};

// Volume and index of the file: what tells one file from another.
std::pair<DWORD, ULONGLONG> FileIdentity(const std::wstring& path) {
    const velto1::UniqueHandle file(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                                nullptr));
    BY_HANDLE_FILE_INFORMATION info = {};
    EXPECT_TRUE(file.Valid());
    EXPECT_TRUE(GetFileInformationByHandle(file.Get(), &info));
    return {info.dwVolumeSerialNumber, (ULONGLONG{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

// A save puts a new file in place, even past a temporary file that a save
// killed halfway through writing it left behind.
TEST(EepromFile, ASavePutsANewFileInPlaceAndLeavesNoTemporaryFile) {
    EepromFolder folder;
    const std::wstring path = folder.Path();
    ASSERT_EQ(sim::SaveEepromFile(path, kFresh), S_OK);
    const auto before = FileIdentity(path);
    simtool::WriteFile(path + L".tmp", std::string(100, '\x55').data(), 100);
    sim::EepromImage image = {};
    EXPECT_EQ(sim::LoadEepromFile(path, image), S_OK);
    EXPECT_EQ(image, kFresh);
    ASSERT_EQ(sim::SaveEepromFile(path, kUpdated), S_OK);
    EXPECT_EQ(FileBytes(path), kUpdated);
    EXPECT_NE(FileIdentity(path), before) << "the old file was rewritten in place";
    EXPECT_EQ(folder.Files(), kEepromAndLock);
}

// The moment a crash between writing the new image and putting it in place
// would leave behind: the new image complete in a file of its own in the
// same folder, the old one untouched.
TEST(EepromFile, AFailureBeforeTheSwapLeavesTheOldFileWhole) {
    EepromFolder folder;
    const std::wstring path = folder.Path();
    ASSERT_EQ(sim::SaveEepromFile(path, kFresh), S_OK);
    const HRESULT diskFull = HRESULT_FROM_WIN32(ERROR_DISK_FULL);
    bool called = false;
    const HRESULT status = sim::SaveEepromFile(path, kUpdated, [&](const std::wstring& temporary) {
        called = true;
        EXPECT_EQ(temporary.substr(0, temporary.find_last_of(L'\\')), folder.folder);
        EXPECT_EQ(FileBytes(temporary), kUpdated);
        EXPECT_EQ(FileBytes(path), kFresh);
        return diskFull;
    });
    EXPECT_TRUE(called);
    EXPECT_EQ(status, diskFull);
    EXPECT_EQ(FileBytes(path), kFresh);
    EXPECT_EQ(folder.Files(), kEepromAndLock) << "the temporary file is removed";
}

// --- Through the registered device and the library ---------------------------

class EepromFileDeviceTest : public simbench::SimDeviceTest {
  protected:
    void SetUp() override {
        simbench::SimDeviceTest::SetUp();
        settings = simbench::Device(L"cam", L"USB 7450 Device");
        settings.eepromFile = folder.Path();
        Add(settings, /*resetEeprom=*/true);
    }
    void TearDown() override {
        device.Close();
        simbench::SimDeviceTest::TearDown();
    }
    // The option byte's read through the bound device, and on success the byte as before the
    // failed write.
    void ExpectOptionRead(HRESULT status) {
        DWORD option = 0;
        EXPECT_EQ(device.ReadI2c(0xA0, 0x08, 1, &option), status);
        if (status == S_OK) {
            EXPECT_EQ(option & 0xFF, 0x85u) << "the bound device claims the failed write";
        }
    }
    EepromFolder folder;
    sim::DeviceSettings settings;
    DeviceControl device;
};

// Each condition makes the file unwritable (the removal before a program
// binds the device, which then makes no fresh file of it); the write fails
// with the file's error, and neither the file nor the bound device claims
// the new value. Lifted again, the device works as before.
TEST_F(EepromFileDeviceTest, AFailedSaveFailsTheWriteWithTheFileErrorAndKeepsTheOldByte) {
    enum class Unwritable { ReadOnly, HeldOpen, Removed };
    // clang-format off
    const struct {
        Unwritable condition;
        const char* what;
        HRESULT writeStatus;
        HRESULT readStatusMeanwhile;
    } rows[] = {
        {Unwritable::ReadOnly, "read-only file", HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), S_OK},
        {Unwritable::HeldOpen, "held open without sharing", HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION), HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION)},
        {Unwritable::Removed, "removed", HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)},
    };
    // clang-format on
    const std::wstring path = folder.Path();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Add(settings, /*resetEeprom=*/true);
        if (row.condition == Unwritable::Removed) {
            ASSERT_TRUE(DeleteFileW(path.c_str()));
        }
        ASSERT_NE(device.Open(), nullptr);
        velto1::UniqueHandle held;
        if (row.condition == Unwritable::ReadOnly) {
            ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
        } else if (row.condition == Unwritable::HeldOpen) {
            held.Reset(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
            ASSERT_TRUE(held.Valid());
        }
        const BYTE cleared = 0x05;
        EXPECT_EQ(device.WriteI2c(0xA0, 0x08, 1, &cleared), row.writeStatus);
        EXPECT_EQ(device.GetLastResult(), row.writeStatus);
        ExpectOptionRead(row.readStatusMeanwhile);

        held.Reset();
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (row.condition == Unwritable::Removed) {
            EXPECT_EQ(folder.Files(),
                      (std::vector<std::wstring>{L"eeprom.bin.chip", L"eeprom.bin.lock"}));
            ASSERT_EQ(sim::SaveEepromFile(path, kFresh), S_OK);
        }
        EXPECT_EQ(FileBytes(path), kFresh);
        EXPECT_EQ(folder.Files(), kEepromLockAndChip);
        ExpectOptionRead(S_OK);
        EXPECT_EQ(device.WriteI2c(0xA0, 0x08, 1, &cleared), S_OK);
        EXPECT_EQ(FileBytes(path), kUpdated);
        device.Close();
    }
}

// Two writer processes and this one write their own bytes at the same time,
// each 200 times; every write is there in the end, and this process, bound
// before they started, reads theirs.
TEST_F(EepromFileDeviceTest, ThreeProcessesWritingAtOnceLoseNoWrite) {
    const std::wstring prefix = L"velto1-eeprom-test-" + std::to_wstring(GetCurrentProcessId());
    const velto1::UniqueHandle go(CreateEventW(nullptr, TRUE, FALSE, (prefix + L"-go").c_str()));
    std::vector<velto1::UniqueHandle> ready;  // each writer's, set once it is bound
    std::vector<std::unique_ptr<testsupport::RunningProcess>> processes;
    for (const DWORD offset : {0x20u, 0x21u}) {
        const std::wstring readyName = prefix + L"-ready-" + std::to_wstring(offset);
        ready.emplace_back(CreateEventW(nullptr, TRUE, FALSE, readyName.c_str()));
        processes.push_back(std::make_unique<testsupport::RunningProcess>(
            simtool::Beside(L"simdevice_eeprom_writer.exe"),
            L"\"USB 7450 Device\" " + std::to_wstring(offset) + L" 1 200 " + readyName + L" " +
                prefix + L"-go"));
        ASSERT_TRUE(processes.back()->Started());
    }
    ASSERT_NE(device.Open(), nullptr);
    WORD read = 0;
    ASSERT_EQ(device.ReadI2c(0xA0, 0x20, 2, &read), S_OK);
    EXPECT_EQ(read, 0xFFFF);
    for (const velto1::UniqueHandle& bound : ready) {
        EXPECT_EQ(WaitForSingleObject(bound.Get(), 60000), WAIT_OBJECT_0)
            << "a writer did not bind";
    }
    SetEvent(go.Get());
    for (DWORD i = 0; i < 200; ++i) {
        const BYTE value = static_cast<BYTE>(i + 1);
        ASSERT_EQ(device.WriteI2c(0xA0, 0x22, 1, &value), S_OK) << "write " << i;
    }
    for (const auto& process : processes) {
        const testsupport::ProcessRun run = process->Wait();
        EXPECT_EQ(run.exitCode, 0u) << run.output;
    }
    ASSERT_EQ(device.ReadI2c(0xA0, 0x20, 2, &read), S_OK);
    EXPECT_EQ(read, 200 * 0x101);
    EXPECT_EQ(FileBytes(folder.Path()), sim::EepromWith({{0x20, 200}, {0x21, 200}, {0x22, 200}}));
}

}  // namespace
