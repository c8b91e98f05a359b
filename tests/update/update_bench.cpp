#include "tests/update/update_bench.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "app/app_device.h"
#include "app/update_dialog.h"
#include "tests/common/test_support.h"

using sim::DriverCall;
using sim::DriverSlot;

DeviceBench::DeviceBench(const sim::ChipIdentity& identity, std::optional<sim::EepromImage> eeprom)
    : chip_(std::make_shared<sim::SimChip>(identity, eeprom)),
      driver_(sim::CreateSimDriver(chip_)) {
    auto* filter = new FakeCaptureFilter(driver_);
    EXPECT_NE(device_.BindFilter(filter), nullptr);
    filter->Release();
    callsBeforeStart_ = driver_->CallCount();
    driver_->ClearLog();
}

DeviceBench::~DeviceBench() {
    device_.Close();
    EXPECT_EQ(driver_->RefCount(), 1u) << "the device kept or dropped a driver reference";
    driver_->Release();
}

void DeviceBench::FailCall(unsigned call, HRESULT status) {
    driver_->Faults().atCall[callsBeforeStart_ + call] = status;
}

void DeviceBench::UnplugFromCall(unsigned call) {
    driver_->Faults().unplugFromCall = callsBeforeStart_ + call;
}

namespace {

std::string Format(const char* format, unsigned first, unsigned second = 0, unsigned third = 0) {
    char text[64];
    std::snprintf(text, sizeof text, format, first, second, third);
    return text;
}

bool IsSetOf(const DriverCall* call, DWORD id) {
    return call && call->slot == DriverSlot::Set && call->id == id;
}

// The device operation a driver call belongs to, or "" for a call that only
// completes or resets the one before it.
std::string DeviceOperationOf(const DriverCall& call, const DriverCall* next) {
    switch (call.id) {
        case CPROP_REG_SELECT:
        case CPROP_REG_DATA:
            return "SetGpioBits";
        case CPROP_I2C_DEVICE:
        case CPROP_CHIP_CONFIG:
        case CPROP_CHIP_ID:
            return "GetVendorProductIds";
        case CPROP_I2C_TRANSFER: {
            const DWORD descriptor = call.word;
            if (descriptor == 0) {
                return "";  // reset after a failure
            }
            const unsigned address = (descriptor >> 16) & 0xFF;
            const unsigned subAddress = (descriptor >> 8) & 0xFF;
            if (address == 0xA0 && subAddress == 4) {
                return "GetVendorProductIds";  // the identifiers at bytes 4 to 7
            }
            if (IsSetOf(next, CPROP_I2C_DATA)) {
                return Format("WriteI2c %02X:%02X <- %02X", address, subAddress, next->word);
            }
            return Format("ReadI2c %02X:%02X", address, subAddress);
        }
        case CPROP_I2C_DATA:
            return "";
        default:
            return Format("driver call 0x%04X", call.id);
    }
}

}  // namespace

std::vector<std::string> RegisterTraffic(const std::vector<DriverCall>& calls) {
    std::vector<std::string> traffic;
    unsigned index = 0;
    for (const DriverCall& call : calls) {
        if (IsSetOf(&call, CPROP_REG_SELECT)) {
            index = call.word >> 8;
        } else if (call.id == CPROP_REG_DATA) {
            const bool read = call.slot == DriverSlot::Get;
            traffic.push_back(call.status < 0
                                  ? Format(read ? "R%02X!" : "W%02X!", index)
                                  : Format(read ? "R%02X=%02X" : "W%02X=%02X", index, call.word));
        }
    }
    return traffic;
}

UpdateBench::UpdateBench(std::optional<sim::EepromImage> eeprom) : DeviceBench({}, eeprom) {
    AppDevice = &Device();
    SetAppPlatform(this);
}

UpdateBench::~UpdateBench() {
    SetAppPlatform(nullptr);
    AppDevice = nullptr;
}

INT_PTR UpdateBench::Send(UINT message, WPARAM wParam, LPARAM lParam) {
    return UpdateDialogProc(Dialog(), message, wParam, lParam);
}

void UpdateBench::TakeDeviceOperations() {
    const std::vector<DriverCall>& calls = Driver().Calls();
    for (; callsTaken_ < calls.size(); ++callsTaken_) {
        const DriverCall* next = callsTaken_ + 1 < calls.size() ? &calls[callsTaken_ + 1] : nullptr;
        std::string operation = DeviceOperationOf(calls[callsTaken_], next);
        if (!operation.empty() && (events_.empty() || events_.back() != operation)) {
            events_.push_back(std::move(operation));
        }
    }
}

std::vector<std::string> UpdateBench::Events() {
    TakeDeviceOperations();
    return events_;
}

void UpdateBench::ForgetEvents() {
    TakeDeviceOperations();
    events_.clear();
    messages_.clear();
    dialogResults_.clear();
}

int UpdateBench::ShowMessageBoxW(HWND owner, const wchar_t* text, const wchar_t* caption,
                                 UINT flags) {
    TakeDeviceOperations();
    events_.push_back("MessageBoxW");
    messages_.push_back({owner, text ? text : L"(null)", caption ? caption : L"(null)", flags});
    return IDOK;
}

int UpdateBench::ShowMessageBoxA(HWND, const char* text, const char*, UINT) {
    ADD_FAILURE() << "the update shows no 8-bit message, got: " << (text ? text : "(null)");
    return IDOK;
}

BOOL UpdateBench::EndDialog(HWND dialog, INT_PTR result) {
    TakeDeviceOperations();
    EXPECT_EQ(dialog, Dialog());
    events_.push_back(Format("EndDialog %u", static_cast<unsigned>(result)));
    dialogResults_.push_back(result);
    return TRUE;
}

void UpdateBench::Sleep(DWORD milliseconds) {
    TakeDeviceOperations();
    events_.push_back(Format("pause %u", milliseconds));
}
