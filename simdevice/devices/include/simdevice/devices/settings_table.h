// The simulator's settings table: one row per setting of a simulated device,
// naming its simdevctl option and usage line, the value that keeps it in the
// device's instance key, its name in simdevctl's list, and how it is parsed,
// stored, read back and shown. simdevctl's add, list and usage, the registry
// store and the filter all go through these rows, so they cannot drift apart.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "simdevice/devices/device_settings.h"

namespace sim {

// A setting as the instance key keeps it: a REG_DWORD or a REG_SZ value.
struct StoredValue {
    enum class Type { Dword, Text };
    Type type = Type::Dword;
    DWORD number = 0;
    std::wstring text;
};

// How one setting is parsed, stored, read back and shown. parse reads the
// option's value (empty for a flag) into the settings and returns the usage
// error, or an empty text; load ignores a stored value it can't read.
struct SettingForm {
    StoredValue::Type stored;
    std::wstring (*parse)(const std::wstring& option, const std::wstring& value,
                          DeviceSettings& settings);
    StoredValue (*save)(const DeviceSettings& settings);
    void (*load)(const StoredValue& value, DeviceSettings& settings);
    // The value as simdevctl's list shows it; empty when it is not shown.
    std::wstring (*show)(const DeviceSettings& settings);
};

struct Setting {
    const wchar_t* option;     // simdevctl add's option
    const wchar_t* argument;   // its value in the usage; null for a flag, which takes none
    const char* help;          // the usage's description
    const wchar_t* valueName;  // value in the instance key; null when kept elsewhere
    const wchar_t* listName;   // name in simdevctl's list; null when shown in a column
    const SettingForm* form;
};

// Every setting, in the order of the usage and the list.
const std::vector<Setting>& Settings();
const Setting* FindSetting(const std::wstring& option);

// Value that repeats the device id inside its instance key, for the filter,
// which sees only the key's values.
constexpr wchar_t kIdValueName[] = L"SimId";

// Where a device's stored settings are read from: its instance key, or the
// property bag DirectShow hands the filter.
class SettingsSource {
  public:
    virtual ~SettingsSource() = default;
    virtual std::optional<DWORD> Dword(const wchar_t* name) = 0;
    virtual std::optional<std::wstring> String(const wchar_t* name) = 0;
};
// Fills every setting the instance key keeps, the id included; name and
// category are the caller's (the key's FriendlyName and place).
void ReadSettingValues(SettingsSource& source, DeviceSettings& settings);
// The values the instance key keeps, the id included.
std::vector<std::pair<const wchar_t*, StoredValue>> SettingValues(const DeviceSettings& settings);

// simdevctl's usage lines for the options of add.
std::string OptionsUsage();
// The settings as simdevctl's list shows them: "chip-id=0x24 ... eeprom=...".
std::wstring ListedSettings(const DeviceSettings& settings);
}  // namespace sim
