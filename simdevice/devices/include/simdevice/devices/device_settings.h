// What describes one simulated device: its id, name, device category, the
// chip's identity and power-on state, the EEPROM file and injected faults; and
// the text forms of the settings that are lists.
#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "simdevice/chip/chip.h"
#include "simdevice/chip/remote_receiver.h"

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

constexpr DWORD kCodecBusyForever = 0xFFFFFFFF;

struct DeviceSettings {
    std::wstring id;  // instance key name: letters, digits and -_. only
    std::wstring friendlyName;
    DeviceCategory category = DeviceCategory::VideoInput;
    ChipIdentity identity;
    // The EEPROM's backing file; empty keeps the EEPROM in memory only.
    std::wstring eepromFile;
    // A recording whose calls the device's driver replays instead of the
    // chip's answers (empty: none), and the first call that differed from it,
    // as the replaying program left it.
    std::wstring replayFile;
    std::wstring replayDivergence;
    bool offersCustomProperty = true;
    // Injected driver faults, counted per bound filter.
    std::map<unsigned, HRESULT> failAtCall;
    std::map<DWORD, HRESULT> failOnProperty;
    std::map<DWORD, HRESULT> failOnI2cWrite;  // the Nth I2C data write (from 1)
    unsigned unplugFromCall = 0;              // 0: never
    // Another program's selection word, set before every call of a data
    // property (the key); kept as a fault map's "ID=WORD".
    std::map<DWORD, HRESULT> foreignSelection;
    unsigned shortReadBy = 0;  // every data Get delivers this many bytes fewer
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

// A 32-bit number, 0x and hexadecimal digits or decimal digits; false unless
// the whole text is one.
bool ParseNumber(const std::wstring& text, DWORD& number);
// "N=STATUS,N=STATUS": numbers as ParseNumber reads them.
std::wstring FormatFaults(const std::map<DWORD, HRESULT>& faults);
bool ParseFaults(const std::wstring& text, std::map<DWORD, HRESULT>& faults);
// "TOGGLE:ADDRESS:COMMAND,...": toggle 0 or 1, address and command 0 to 0xFF.
std::wstring FormatRemoteCodes(const std::vector<RemoteCode>& codes);
bool ParseRemoteCodes(const std::wstring& text, std::vector<RemoteCode>& codes);
// "INDEX=VALUE,...": codec register index 0 to 0x7F, 16-bit value.
std::wstring FormatAc97Registers(const std::map<BYTE, WORD>& registers);
bool ParseAc97Registers(const std::wstring& text, std::map<BYTE, WORD>& registers);

bool HasControlCharacter(const std::wstring& text);
// Numbers as the list shows them: 0x1A, and statuses as 0x8007000E.
std::wstring Hex(DWORD number);
std::wstring StatusText(HRESULT status);
// The full form of a path; nothing when it is empty or the system refuses it.
std::optional<std::wstring> FullPath(const std::wstring& path);

}  // namespace sim
