// The device lock's kernel object names, made from moniker display names:
// the same name every time and in both builds, one of its own for each device,
// and a name the system takes for a mutex however long or odd the display name.
#include <gmock/gmock.h>
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "common/win32_owners.h"
#include "devctl/device_lock.h"

using devctl_internal::DeviceLockName;

namespace {

const std::wstring kPnpDevice =
    L"@device:pnp:\\\\?\\usb#vid_1b80&pid_e302&mi_00#6&2b1b8c7b&0&0000#"
    L"{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";
const std::wstring kLongCommonStart(250, L'x');

// Display names that an escape or a cut could make one.
// clang-format off
const std::vector<std::wstring> kDisplayNames = {
    L"@device:sw:{860BB310-5D01-11D0-BD3B-00A0C911CE86}\\{11111111-0000-0000-0000-000000000001}",
    L"@device:sw:{860BB310-5D01-11D0-BD3B-00A0C911CE86}\\{11111111-0000-0000-0000-000000000002}",
    kPnpDevice,
    L"@device:pnp:\\\\?\\usb#vid_1b80&pid_e302&mi_00#6&2b1b8c7b&0&0001#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global",
    L"a\\b",
    L"a/b",
    L"a%2Fb",
    L"a%b",
    L"a%25b",
    L"a~b",
    L"a%7Eb",
    kLongCommonStart + L"-first",
    kLongCommonStart + L"-second",
    std::wstring(1000, L'\\'),
    std::wstring(1000, L'/'),
    std::wstring(201, L'y'),
    std::wstring(200, L'y'),
    L"USB 7450 Device \u00C4\u4E2D\u00A0\"*?<>|:",
    L"unidentified ",
};
// clang-format on

TEST(DeviceLockNameTest, IsTheSameEveryTimeAndInBothBuilds) {
    // clang-format off
    const struct {
        std::wstring displayName;
        std::wstring lockName;
    } rows[] = {
        {L"@device:sw:{860BB310-5D01-11D0-BD3B-00A0C911CE86}\\{B0A1}", L"Global\\velto1-device-@device:sw:{860BB310-5D01-11D0-BD3B-00A0C911CE86}/{B0A1}"},
        {L"a/b%c~d", L"Global\\velto1-device-a%2Fb%25c%7Ed"},
        // The escaped name keeps its first 183 characters and ends with the hash.
        {kLongCommonStart + L"-first", L"Global\\velto1-device-" + std::wstring(183, L'x') + L"~AEEF197A0DB1D0AE"},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.displayName));
        EXPECT_EQ(DeviceLockName(row.displayName), row.lockName);
        EXPECT_EQ(DeviceLockName(std::wstring(row.displayName)), DeviceLockName(row.displayName));
    }
}

TEST(DeviceLockNameTest, DistinctDevicesHaveDistinctLocks) {
    std::set<std::wstring> names;
    for (const std::wstring& displayName : kDisplayNames) {
        names.insert(DeviceLockName(displayName));
    }
    EXPECT_EQ(names.size(), kDisplayNames.size());
    for (size_t slot = 0; slot < devctl_internal::kLockSlots; ++slot) {
        EXPECT_EQ(names.count(devctl_internal::LockSlotName(slot)), 0u);
    }
}

// Each name makes a mutex of its own: none of them names another's, nor a
// namespace (a backslash past Global\ would, and fail).
TEST(DeviceLockNameTest, EveryNameMakesAMutexOfItsOwn) {
    std::vector<velto1::UniqueHandle> mutexes;
    for (const std::wstring& displayName : kDisplayNames) {
        const std::wstring name = DeviceLockName(displayName);
        SCOPED_TRACE(testing::PrintToString(displayName));
        EXPECT_EQ(name.rfind(L"Global\\", 0), 0u);
        EXPECT_EQ(name.find(L'\\', 7), std::wstring::npos);
        EXPECT_LT(name.size(), size_t{MAX_PATH});
        SetLastError(ERROR_SUCCESS);
        mutexes.emplace_back(CreateMutexW(nullptr, FALSE, name.c_str()));
        EXPECT_TRUE(mutexes.back().Valid()) << GetLastError();
        EXPECT_EQ(GetLastError(), DWORD{ERROR_SUCCESS}) << "the name is another's";
    }
}

}  // namespace
