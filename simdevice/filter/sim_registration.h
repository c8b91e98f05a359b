// Registration of the simulated device's COM server and of its device
// instances with the system device enumerator.
//
// Each device instance is a key that IFilterMapper2 creates in a device
// category (HKCR\CLSID\{category}\Instance\{id}); the instance's settings are
// extra values in that key, which DirectShow hands to the filter through its
// property bag when the device is bound.
//
// Registration is per user where the system merges per-user classes into
// HKEY_CLASSES_ROOT (Windows: HKCU\Software\Classes, no administrator rights
// needed). Wine's device enumerator reads only the machine's classes, so there
// registration goes to HKEY_CLASSES_ROOT itself, which the prefix's owner may
// write.
#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "simdevice/sim_chip.h"
#include "simdevice/sim_eeprom_file.h"
#include "simdevice/sim_remote.h"

namespace sim {

enum class DeviceCategory { VideoInput, BdaReceiver, AudioInput, KsAudio, AudioRenderer };

struct CategoryInfo {
    DeviceCategory category;
    const wchar_t* name;  // as on the command line
    GUID guid;
};

// The five categories, in the order above.
const std::vector<CategoryInfo>& DeviceCategories();
const CategoryInfo& CategoryOf(DeviceCategory category);
const CategoryInfo* FindCategory(const std::wstring& name);

// Device ids: letters, digits and -_. only, at most 100 of them.
constexpr size_t kMaxDeviceIdLength = 100;
bool ValidDeviceId(const std::wstring& id);

// Everything that describes one simulated device.
struct DeviceSettings {
    std::wstring id;  // instance key name: letters, digits and -_. only
    std::wstring friendlyName;
    DeviceCategory category = DeviceCategory::VideoInput;
    ChipIdentity identity;
    // The EEPROM's backing file; empty keeps the EEPROM in memory only.
    std::wstring eepromFile;
    bool offersCustomProperty = true;
    // Injected driver faults, counted per bound filter.
    std::map<unsigned, HRESULT> failAtCall;
    std::map<DWORD, HRESULT> failOnProperty;
    std::map<unsigned, HRESULT> failOnI2cWrite;  // the Nth I2C data write (from 1)
    unsigned unplugFromCall = 0;                 // 0: never
    // A failure status makes binding the device's filter fail.
    HRESULT bindStatus = S_OK;
    // The chip's state when a binding creates it (filters of one device alive
    // in one process share the chip, so a second binding finds it as the first
    // left it): remote-control frames waiting in arrival order, the codec's
    // busy bit held for that many polls of its status (kCodecBusyForever: it
    // never clears), AC97 codec registers (index 0x00 to 0x7F) and the
    // configuration word CPROP_CONFIG_103E.
    std::vector<RemoteCode> remoteCodes;
    DWORD codecBusyPolls = 0;
    std::map<BYTE, WORD> ac97Registers;
    DWORD config103E = 0;
};

constexpr DWORD kCodecBusyForever = 0xFFFFFFFF;

// Instance key values beside FriendlyName and CLSID.
namespace value {
constexpr wchar_t kId[] = L"SimId";
constexpr wchar_t kChipId[] = L"SimChipId";
constexpr wchar_t kChipConfig[] = L"SimChipConfig";
constexpr wchar_t kBoardConfig[] = L"SimBoardConfig";
constexpr wchar_t kRemoteAddress[] = L"SimRemoteAddress";
constexpr wchar_t kRemoteI2cAddress[] = L"SimRemoteI2cAddress";
constexpr wchar_t kEepromFile[] = L"SimEepromFile";
constexpr wchar_t kCustomProperty[] = L"SimCustomProperty";
constexpr wchar_t kFailAtCall[] = L"SimFailAtCall";
constexpr wchar_t kFailOnProperty[] = L"SimFailOnProperty";
constexpr wchar_t kFailOnI2cWrite[] = L"SimFailOnI2cWrite";
constexpr wchar_t kUnplugFromCall[] = L"SimUnplugFromCall";
constexpr wchar_t kBindStatus[] = L"SimBindStatus";
constexpr wchar_t kRemoteCodes[] = L"SimRemoteCodes";
constexpr wchar_t kCodecBusy[] = L"SimCodecBusy";
constexpr wchar_t kAc97Registers[] = L"SimAc97Registers";
constexpr wchar_t kConfig103E[] = L"SimConfig103E";
}  // namespace value

// Where a device's settings are read from: the registry or a property bag.
class SettingsSource {
  public:
    virtual ~SettingsSource() = default;
    virtual std::optional<DWORD> Dword(const wchar_t* name) = 0;
    virtual std::optional<std::wstring> String(const wchar_t* name) = 0;
};
// Fills the settings kept in the instance key (all but id, name and category,
// which the caller knows). Malformed lists (faults, remote codes, codec
// registers) are ignored.
void ReadSettingValues(SettingsSource& source, DeviceSettings& settings);

// "N=STATUS,N=STATUS": numbers in C notation (0x.. hexadecimal).
std::wstring FormatFaults(const std::map<DWORD, HRESULT>& faults);
bool ParseFaults(const std::wstring& text, std::map<DWORD, HRESULT>& faults);
// A 32-bit number in C notation; false unless the whole text is one.
bool ParseNumber(const std::wstring& text, DWORD& number);
// "TOGGLE:ADDRESS:COMMAND,...": toggle 0 or 1, address and command 0 to 0xFF.
std::wstring FormatRemoteCodes(const std::vector<RemoteCode>& codes);
bool ParseRemoteCodes(const std::wstring& text, std::vector<RemoteCode>& codes);
// "INDEX=VALUE,...": codec register index 0 to 0x7F, 16-bit value.
std::wstring FormatAc97Registers(const std::map<BYTE, WORD>& registers);
bool ParseAc97Registers(const std::wstring& text, std::map<BYTE, WORD>& registers);

// The server's COM classes and its filter entry. dllPath is the full path of
// simdevice.dll.
HRESULT RegisterServer(const std::wstring& dllPath);
// Removes the device instances, the filter entry and the COM classes.
HRESULT UnregisterServer();
// Whether registration here goes to the per-user classes.
bool RegistersPerUser();

// Adds the device, replacing one with the same id. With an EEPROM file, the
// file is created from the fresh-product image when missing, or when
// resetEeprom is set; an existing file of the wrong size is refused.
HRESULT AddDevice(const DeviceSettings& settings, bool resetEeprom);
// S_OK when removed, S_FALSE when there was no such device.
HRESULT RemoveDevice(const std::wstring& id);
HRESULT RemoveAllDevices();
std::vector<DeviceSettings> ListDevices();

}  // namespace sim
