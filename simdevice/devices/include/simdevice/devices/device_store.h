// The store of simulated device instances: each device is a key that
// IFilterMapper2 creates in its device category
// (HKCR\CLSID\{category}\Instance\{id}), and its settings are further values
// in that key (settings_table.h), which DirectShow hands to the filter through
// its property bag when the device is bound. Registration goes where
// registration_root.h says.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "simdevice/chip/eeprom_file.h"
#include "simdevice/devices/device_settings.h"
#include "simdevice/devices/registration_root.h"
#include "simdevice/devices/settings_table.h"

namespace sim {

// Adds the device, replacing one with the same id. With an EEPROM file, the
// file is created from the fresh-product image when missing, or when
// resetEeprom is set; an existing file of the wrong size is refused. The
// device is plugged in: its chip powers on in its state file
// (ChipStateFile), where it stays powered until the device is removed or
// added again. An EEPROM file already another device's is refused
// (ERROR_SHARING_VIOLATION), before anything is written to it.
HRESULT AddDevice(const DeviceSettings& settings, bool resetEeprom);
// S_OK when removed, with its chip's state file, S_FALSE when there was no
// such device.
HRESULT RemoveDevice(const std::wstring& id);
HRESULT RemoveAllDevices();
// The devices with their settings, and the replay's first divergence.
std::vector<DeviceSettings> ListDevices();
// The device other than settings.id whose EEPROM file is settings' own: a
// file, and the chip state beside it, belong to one device.
std::optional<std::wstring> DeviceSharingEepromFile(const DeviceSettings& settings);
// Keeps the first divergence of the device's replay in its instance key
// (AddDevice starts afresh); a later one leaves it as it is.
HRESULT KeepReplayDivergence(const std::wstring& id, const std::wstring& divergence);

}  // namespace sim
