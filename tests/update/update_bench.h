// Benches for the update tests: a simulated chip bound to a DeviceControl, and
// on top of it the update dialog with AppDevice pointing at that object and a
// recorder in place of the platform calls.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/platform.h"
#include "devctl/device_control.h"
#include "simdevice/sim_chip.h"
#include "simdevice/sim_driver.h"

// A DeviceControl bound to a SimDriver over a SimChip, as Bind leaves it
// (identity read, generation set). The driver's log starts empty after binding.
class DeviceBench {
  public:
    explicit DeviceBench(const sim::ChipIdentity& identity = {},
                         std::optional<sim::EepromImage> eeprom = sim::FreshProductEeprom());
    virtual ~DeviceBench();
    DeviceBench(const DeviceBench&) = delete;
    DeviceBench& operator=(const DeviceBench&) = delete;

    sim::SimChip& Chip() { return *chip_; }
    sim::SimDriver& Driver() { return *driver_; }
    DeviceControl& Device() { return device_; }
    sim::SimEeprom& Eeprom() { return *chip_->Eeprom(); }

    // Fault injection with calls numbered from 1 after binding.
    void FailCall(unsigned call, HRESULT status);
    void UnplugFromCall(unsigned call);
    unsigned CallsMade() const { return driver_->CallCount() - callsBeforeStart_; }

  private:
    std::shared_ptr<sim::SimChip> chip_;
    sim::SimDriver* driver_;
    DeviceControl device_;
    unsigned callsBeforeStart_ = 0;
};

// Register traffic in the driver's log, one token per data transfer:
// "R08=5A" for a read of register 0x08 that delivered 0x5A, "W80=31" for a
// write; a failed transfer ends in "!" ("R08!").
std::vector<std::string> RegisterTraffic(const std::vector<sim::DriverCall>& calls);

struct ShownMessage {
    HWND owner;
    std::wstring text;
    std::wstring caption;
    UINT flags;
};

class UpdateBench : public DeviceBench, public Platform {
  public:
    // AppDevice points at the bench's bound DeviceControl until destruction.
    explicit UpdateBench(std::optional<sim::EepromImage> eeprom = sim::FreshProductEeprom());
    ~UpdateBench() override;

    static HWND Dialog() { return reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1020)); }
    // Delivers a message to UpdateDialogProc and returns its result.
    INT_PTR Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    INT_PTR PressOk() { return Send(WM_COMMAND, IDOK); }

    // Everything that happened, in order: device operations told from the
    // driver's log ("SetGpioBits", "GetVendorProductIds", "ReadI2c A0:7A",
    // "WriteI2c A0:08 <- 05"), "pause 500", "MessageBoxW", "EndDialog 1".
    std::vector<std::string> Events();
    const std::vector<ShownMessage>& Messages() const { return messages_; }
    const std::vector<INT_PTR>& DialogResults() const { return dialogResults_; }
    void ForgetEvents();

    // Platform
    int ShowMessageBoxW(HWND owner, const wchar_t* text, const wchar_t* caption,
                        UINT flags) override;
    int ShowMessageBoxA(HWND owner, const char* text, const char* caption, UINT flags) override;
    BOOL EndDialog(HWND dialog, INT_PTR result) override;
    void Sleep(DWORD milliseconds) override;

  private:
    void TakeDeviceOperations();

    std::vector<std::string> events_;
    size_t callsTaken_ = 0;
    std::vector<ShownMessage> messages_;
    std::vector<INT_PTR> dialogResults_;
};
