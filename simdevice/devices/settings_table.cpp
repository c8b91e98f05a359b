#include "simdevice/devices/settings_table.h"

#include <iterator>

#include "common/hex_text.h"
#include "simdevice/chip/eeprom_file.h"
#include "simdevice/chip/replay_driver.h"

namespace sim {

namespace {

using Type = StoredValue::Type;

// A friendly name that the device's property page shows whole.
constexpr size_t kMaxFriendlyNameLength = 259;
// The EEPROM file's full path within MAX_PATH, with room for the lock file.
constexpr size_t kMaxEepromPathLength = MAX_PATH - 1 - (std::size(kEepromLockSuffix) - 1);

std::wstring Needs(const std::wstring& option, const wchar_t* what, const std::wstring& value) {
    return option + L" needs " + what + L", not " + velto1::Quoted(value);
}

StoredValue Number(DWORD number) {
    return {Type::Dword, number, {}};
}

StoredValue Text(std::wstring text) {
    return {Type::Text, 0, std::move(text)};
}

// Shown only when not left at the default of 0.
std::wstring HexUnlessZero(DWORD number) {
    return number ? Hex(number) : std::wstring();
}

std::map<DWORD, HRESULT> AtCall(const DeviceSettings& settings) {
    return {settings.failAtCall.begin(), settings.failAtCall.end()};
}

// Adds one "N=STATUS" to a fault map; the first one given for N stays.
template <typename Key>
bool AddFault(const std::wstring& text, std::map<Key, HRESULT>& faults) {
    std::map<DWORD, HRESULT> one;
    if (!ParseFaults(text, one) || one.size() != 1) {
        return false;
    }
    faults.insert({static_cast<Key>(one.begin()->first), one.begin()->second});
    return true;
}

// The five numbers of the chip's identity: parsed whole, always listed.
template <DWORD ChipIdentity::*field>
const SettingForm kIdentityNumber = {
    Type::Dword,
    [](const std::wstring& option, const std::wstring& value, DeviceSettings& settings) {
        return ParseNumber(value, settings.identity.*field) ? std::wstring()
                                                            : Needs(option, L"a number", value);
    },
    [](const DeviceSettings& settings) { return Number(settings.identity.*field); },
    [](const StoredValue& value, DeviceSettings& settings) {
        settings.identity.*field = value.number;
    },
    [](const DeviceSettings& settings) { return Hex(settings.identity.*field); },
};

// Name and category are kept by the filter mapper (FriendlyName, the
// category's key): they have no value of their own and a column in the list.
const SettingForm kFriendlyName = {
    Type::Text,
    [](const std::wstring&, const std::wstring& value, DeviceSettings& settings) {
        if (value.empty()) {
            return std::wstring(L"--name needs a name");
        }
        if (value.size() > kMaxFriendlyNameLength) {
            return std::wstring(L"--name is longer than 259 characters");
        }
        if (HasControlCharacter(value)) {
            return L"--name holds a control character: " + velto1::Quoted(value);
        }
        settings.friendlyName = value;
        return std::wstring();
    },
    nullptr,
    nullptr,
    nullptr,
};

const SettingForm kCategory = {
    Type::Text,
    [](const std::wstring&, const std::wstring& value, DeviceSettings& settings) {
        const CategoryInfo* category = FindCategory(value);
        if (!category) {
            return L"unknown category: " + velto1::Quoted(value);
        }
        settings.category = category->category;
        return std::wstring();
    },
    nullptr,
    nullptr,
    nullptr,
};

const SettingForm kCustomProperty = {
    Type::Dword,
    [](const std::wstring&, const std::wstring&, DeviceSettings& settings) {
        settings.offersCustomProperty = false;
        return std::wstring();
    },
    [](const DeviceSettings& settings) { return Number(settings.offersCustomProperty ? 1 : 0); },
    [](const StoredValue& value, DeviceSettings& settings) {
        settings.offersCustomProperty = value.number != 0;
    },
    [](const DeviceSettings& settings) {
        return std::wstring(settings.offersCustomProperty ? L"yes" : L"no");
    },
};

const SettingForm kFailCall = {
    Type::Text,
    [](const std::wstring& option, const std::wstring& value, DeviceSettings& settings) {
        return AddFault(value, settings.failAtCall) ? std::wstring()
                                                    : Needs(option, L"N=STATUS", value);
    },
    [](const DeviceSettings& settings) { return Text(FormatFaults(AtCall(settings))); },
    [](const StoredValue& value, DeviceSettings& settings) {
        std::map<DWORD, HRESULT> faults;
        if (ParseFaults(value.text, faults)) {
            settings.failAtCall.clear();
            settings.failAtCall.insert(faults.begin(), faults.end());
        }
    },
    [](const DeviceSettings& settings) { return FormatFaults(AtCall(settings)); },
};

constexpr wchar_t kPropertyStatus[] = L"ID=STATUS";
constexpr wchar_t kNthStatus[] = L"N=STATUS";
constexpr wchar_t kPropertyWord[] = L"ID=WORD";

// A map of faults keyed by property or by call number, one "KEY=STATUS" per
// option given.
template <std::map<DWORD, HRESULT> DeviceSettings::*field, const wchar_t* argument>
const SettingForm kFaultMap = {
    Type::Text,
    [](const std::wstring& option, const std::wstring& value, DeviceSettings& settings) {
        return AddFault(value, settings.*field) ? std::wstring() : Needs(option, argument, value);
    },
    [](const DeviceSettings& settings) { return Text(FormatFaults(settings.*field)); },
    [](const StoredValue& value, DeviceSettings& settings) {
        ParseFaults(value.text, settings.*field);
    },
    [](const DeviceSettings& settings) { return FormatFaults(settings.*field); },
};

const SettingForm kUnplugFrom = {
    Type::Dword,
    [](const std::wstring& option, const std::wstring& value, DeviceSettings& settings) {
        DWORD call = 0;
        if (!ParseNumber(value, call) || call == 0) {
            return Needs(option, L"a call number from 1", value);
        }
        settings.unplugFromCall = call;
        return std::wstring();
    },
    [](const DeviceSettings& settings) { return Number(settings.unplugFromCall); },
    [](const StoredValue& value, DeviceSettings& settings) {
        settings.unplugFromCall = value.number;
    },
    [](const DeviceSettings& settings) {
        return settings.unplugFromCall ? std::to_wstring(settings.unplugFromCall) : std::wstring();
    },
};

const SettingForm kShortRead = {
    Type::Dword,
    [](const std::wstring& option, const std::wstring& value, DeviceSettings& settings) {
        DWORD bytes = 0;
        if (!ParseNumber(value, bytes) || bytes == 0 || bytes > 0xFFFF) {
            return Needs(option, L"a byte count from 1 to 0xFFFF", value);
        }
        settings.shortReadBy = bytes;
        return std::wstring();
    },
    [](const DeviceSettings& settings) { return Number(settings.shortReadBy); },
    [](const StoredValue& value, DeviceSettings& settings) { settings.shortReadBy = value.number; },
    [](const DeviceSettings& settings) {
        return settings.shortReadBy ? std::to_wstring(settings.shortReadBy) : std::wstring();
    },
};

const SettingForm kFailBind = {
    Type::Dword,
    [](const std::wstring& option, const std::wstring& value, DeviceSettings& settings) {
        DWORD status = 0;
        if (!ParseNumber(value, status) || !FAILED(static_cast<HRESULT>(status))) {
            return Needs(option, L"a failure status", value);
        }
        settings.bindStatus = static_cast<HRESULT>(status);
        return std::wstring();
    },
    [](const DeviceSettings& settings) { return Number(static_cast<DWORD>(settings.bindStatus)); },
    [](const StoredValue& value, DeviceSettings& settings) {
        settings.bindStatus = static_cast<HRESULT>(value.number);
    },
    [](const DeviceSettings& settings) {
        return FAILED(settings.bindStatus) ? StatusText(settings.bindStatus) : std::wstring();
    },
};

const SettingForm kRemoteCode = {
    Type::Text,
    [](const std::wstring& option, const std::wstring& value, DeviceSettings& settings) {
        std::vector<RemoteCode> code;
        if (!ParseRemoteCodes(value, code) || code.size() != 1) {
            return Needs(option, L"TOGGLE:ADDRESS:COMMAND", value);
        }
        settings.remoteCodes.push_back(code[0]);
        return std::wstring();
    },
    [](const DeviceSettings& settings) { return Text(FormatRemoteCodes(settings.remoteCodes)); },
    [](const StoredValue& value, DeviceSettings& settings) {
        ParseRemoteCodes(value.text, settings.remoteCodes);
    },
    [](const DeviceSettings& settings) { return FormatRemoteCodes(settings.remoteCodes); },
};

const SettingForm kCodecBusy = {
    Type::Dword,
    [](const std::wstring& option, const std::wstring& value, DeviceSettings& settings) {
        DWORD polls = 0;
        if (value == L"forever") {
            settings.codecBusyPolls = kCodecBusyForever;
        } else if (ParseNumber(value, polls) && polls != kCodecBusyForever) {
            settings.codecBusyPolls = polls;
        } else {
            return Needs(option, L"a number of polls or forever", value);
        }
        return std::wstring();
    },
    [](const DeviceSettings& settings) { return Number(settings.codecBusyPolls); },
    [](const StoredValue& value, DeviceSettings& settings) {
        settings.codecBusyPolls = value.number;
    },
    [](const DeviceSettings& settings) {
        if (settings.codecBusyPolls == kCodecBusyForever) {
            return std::wstring(L"forever");
        }
        return settings.codecBusyPolls ? std::to_wstring(settings.codecBusyPolls) : std::wstring();
    },
};

const SettingForm kAc97 = {
    Type::Text,
    [](const std::wstring& option, const std::wstring& value, DeviceSettings& settings) {
        std::map<BYTE, WORD> one;
        if (!ParseAc97Registers(value, one) || one.size() != 1) {
            return Needs(option, L"INDEX=VALUE (index up to 0x7F)", value);
        }
        settings.ac97Registers[one.begin()->first] = one.begin()->second;
        return std::wstring();
    },
    [](const DeviceSettings& settings) {
        return Text(FormatAc97Registers(settings.ac97Registers));
    },
    [](const StoredValue& value, DeviceSettings& settings) {
        ParseAc97Registers(value.text, settings.ac97Registers);
    },
    [](const DeviceSettings& settings) { return FormatAc97Registers(settings.ac97Registers); },
};

const SettingForm kConfig103E = {
    Type::Dword,
    [](const std::wstring& option, const std::wstring& value, DeviceSettings& settings) {
        return ParseNumber(value, settings.config103E) ? std::wstring()
                                                       : Needs(option, L"a number", value);
    },
    [](const DeviceSettings& settings) { return Number(settings.config103E); },
    [](const StoredValue& value, DeviceSettings& settings) { settings.config103E = value.number; },
    [](const DeviceSettings& settings) { return HexUnlessZero(settings.config103E); },
};

const SettingForm kEepromFile = {
    Type::Text,
    [](const std::wstring&, const std::wstring& value, DeviceSettings& settings) {
        const std::optional<std::wstring> full = FullPath(value);
        if (!full || HasControlCharacter(value)) {
            return L"--eeprom needs a file path, not " + velto1::Quoted(value);
        }
        if (full->size() > kMaxEepromPathLength) {
            return L"--eeprom path is longer than 254 characters: " + velto1::Quoted(*full);
        }
        settings.eepromFile = *full;
        return std::wstring();
    },
    [](const DeviceSettings& settings) { return Text(settings.eepromFile); },
    [](const StoredValue& value, DeviceSettings& settings) { settings.eepromFile = value.text; },
    [](const DeviceSettings& settings) {
        return settings.eepromFile.empty() ? std::wstring(L"(memory)")
                                           : L"\"" + settings.eepromFile + L"\"";
    },
};

// The recording is read whole when the device is added: one that would not
// replay is refused with its line and reason, and nothing is registered.
const SettingForm kReplayFile = {
    Type::Text,
    [](const std::wstring&, const std::wstring& value, DeviceSettings& settings) {
        const std::optional<std::wstring> full = FullPath(value);
        if (!full || HasControlCharacter(value) || full->size() >= MAX_PATH) {
            return L"--replay needs a file path, not " + velto1::Quoted(value);
        }
        velto1::Recording recording;
        std::wstring problem;
        if (!LoadRecording(*full, &recording, &problem)) {
            return L"--replay " + velto1::Quoted(*full) + L" refused: " + problem;
        }
        settings.replayFile = *full;
        return std::wstring();
    },
    [](const DeviceSettings& settings) { return Text(settings.replayFile); },
    [](const StoredValue& value, DeviceSettings& settings) { settings.replayFile = value.text; },
    [](const DeviceSettings& settings) {
        if (settings.replayFile.empty()) {
            return std::wstring();
        }
        std::wstring shown = L"\"" + settings.replayFile + L"\"";
        if (!settings.replayDivergence.empty()) {
            shown += L" replay-diverged=\"" + settings.replayDivergence + L"\"";
        }
        return shown;
    },
};

}  // namespace

const std::vector<Setting>& Settings() {
    // clang-format off
    static const std::vector<Setting> settings = {
        // option                argument   usage                                                       instance key value      list name              form
        {L"--name",              L"NAME",   "the device's friendly name (required)",                    nullptr,                nullptr,               &kFriendlyName},
        {L"--category",          L"video|bda|audio|ksaudio|renderer", "device category (video)",       nullptr,                nullptr,               &kCategory},
        {L"--chip-id",           L"N",      "chip code the driver reports (0x24)",                      L"SimChipId",           L"chip-id",            &kIdentityNumber<&ChipIdentity::chipId>},
        {L"--chip-config",       L"N",      "chip configuration the driver reports (0)",                L"SimChipConfig",       L"chip-config",        &kIdentityNumber<&ChipIdentity::chipConfig>},
        {L"--board-config",      L"N",      "board configuration the driver reports (2)",               L"SimBoardConfig",      L"board-config",       &kIdentityNumber<&ChipIdentity::boardConfig>},
        {L"--remote-address",    L"N",      "remote-control address the driver reports (0)",            L"SimRemoteAddress",    L"remote-address",     &kIdentityNumber<&ChipIdentity::remoteAddress>},
        {L"--remote-i2c-address",L"N",      "remote receiver's I2C address the driver reports (0)",     L"SimRemoteI2cAddress", L"remote-i2c-address", &kIdentityNumber<&ChipIdentity::remoteI2cAddress>},
        {L"--no-custom-property",nullptr,   "the filter does not offer the driver interface",           L"SimCustomProperty",   L"custom-property",    &kCustomProperty},
        {L"--fail-call",         L"N=STATUS", "the Nth driver call returns STATUS (repeatable)",        L"SimFailAtCall",       L"fail-call",          &kFailCall},
        {L"--fail-property",     L"ID=STATUS", "every call on property ID returns STATUS",              L"SimFailOnProperty",   L"fail-property",      &kFaultMap<&DeviceSettings::failOnProperty, kPropertyStatus>},
        {L"--fail-i2c-write",    L"N=STATUS", "the Nth I2C data write returns STATUS (repeatable)",     L"SimFailOnI2cWrite",   L"fail-i2c-write",     &kFaultMap<&DeviceSettings::failOnI2cWrite, kNthStatus>},
        {L"--unplug-from",       L"N",      "from the Nth driver call on: device unplugged",            L"SimUnplugFromCall",   L"unplug-from",        &kUnplugFrom},
        {L"--foreign-selection", L"ID=WORD", "before every call of data property ID another program selects WORD", L"SimForeignSelection", L"foreign-selection", &kFaultMap<&DeviceSettings::foreignSelection, kPropertyWord>},
        {L"--short-read",        L"N",      "every data Get delivers N bytes fewer than selected",      L"SimShortRead",        L"short-read",         &kShortRead},
        {L"--fail-bind",         L"STATUS", "binding the device's filter fails with STATUS",            L"SimBindStatus",       L"fail-bind",          &kFailBind},
        {L"--remote-code",       L"T:A:C",  "remote-control frame waiting: toggle 0|1, address, key (repeatable)", L"SimRemoteCodes", L"remote-code", &kRemoteCode},
        {L"--codec-busy",        L"N|forever", "the codec reads busy for N polls, or always",           L"SimCodecBusy",        L"codec-busy",         &kCodecBusy},
        {L"--ac97",              L"INDEX=VALUE", "initial value of an AC97 codec register (repeatable)", L"SimAc97Registers",  L"ac97",               &kAc97},
        {L"--config-103e",       L"N",      "initial configuration word (property 0x103E)",             L"SimConfig103E",       L"config-103e",        &kConfig103E},
        {L"--eeprom",            L"FILE",   "EEPROM backing file, 256 bytes, made fresh by add when missing", L"SimEepromFile", L"eeprom",             &kEepromFile},
        {L"--replay",            L"FILE",   "the driver answers every call from this recording, in order", L"SimReplayFile",    L"replay",             &kReplayFile},
    };
    // clang-format on
    return settings;
}

const Setting* FindSetting(const std::wstring& option) {
    for (const Setting& setting : Settings()) {
        if (option == setting.option) {
            return &setting;
        }
    }
    return nullptr;
}

void ReadSettingValues(SettingsSource& source, DeviceSettings& settings) {
    if (auto id = source.String(kIdValueName)) {
        settings.id = *id;
    }
    for (const Setting& setting : Settings()) {
        if (!setting.valueName) {
            continue;
        }
        StoredValue value;
        value.type = setting.form->stored;
        if (value.type == Type::Dword) {
            const std::optional<DWORD> number = source.Dword(setting.valueName);
            if (!number) {
                continue;
            }
            value.number = *number;
        } else {
            std::optional<std::wstring> text = source.String(setting.valueName);
            if (!text) {
                continue;
            }
            value.text = std::move(*text);
        }
        setting.form->load(value, settings);
    }
}

std::vector<std::pair<const wchar_t*, StoredValue>> SettingValues(const DeviceSettings& settings) {
    std::vector<std::pair<const wchar_t*, StoredValue>> values = {
        {kIdValueName, Text(settings.id)}};
    for (const Setting& setting : Settings()) {
        if (setting.valueName) {
            values.emplace_back(setting.valueName, setting.form->save(settings));
        }
    }
    return values;
}

std::string OptionsUsage() {
    constexpr size_t kHelpColumn = 30;
    std::string usage;
    for (const Setting& setting : Settings()) {
        std::wstring head = L"      " + std::wstring(setting.option);
        if (setting.argument) {
            head += L" " + std::wstring(setting.argument);
        }
        std::string line;
        for (const wchar_t c : head) {
            line += static_cast<char>(c);  // the options are plain ASCII
        }
        line += line.size() < kHelpColumn ? std::string(kHelpColumn - line.size(), ' ') : "  ";
        usage += line + setting.help + "\n";
    }
    return usage;
}

std::wstring ListedSettings(const DeviceSettings& settings) {
    std::wstring text;
    for (const Setting& setting : Settings()) {
        if (!setting.listName) {
            continue;
        }
        const std::wstring shown = setting.form->show(settings);
        if (!shown.empty()) {
            text += (text.empty() ? L"" : L" ") + std::wstring(setting.listName) + L"=" + shown;
        }
    }
    return text;
}

}  // namespace sim
