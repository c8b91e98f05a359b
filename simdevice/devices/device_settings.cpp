#include "simdevice/devices/device_settings.h"

#include <dshow.h>

#include <cerrno>
#include <cwchar>
#include <cwctype>

#include "common/hex_text.h"
#include "common/device_categories.h"
#include "devctl/custom_property.h"
#include "simdevice/chip/codec.h"

namespace sim {

namespace {

// The items of a comma-separated list; "" has none.
std::vector<std::wstring> ListItems(const std::wstring& text, wchar_t separator) {
    std::vector<std::wstring> items;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(separator, start);
        if (end == std::wstring::npos) {
            end = text.size();
        }
        items.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return items;
}

bool ParseBounded(const std::wstring& text, DWORD maximum, DWORD& number) {
    return ParseNumber(text, number) && number <= maximum;
}

}  // namespace

std::wstring ChipStateFile(const DeviceSettings& settings) {
    if (!settings.eepromFile.empty()) {
        return settings.eepromFile + kChipStateSuffix;
    }
    wchar_t folder[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    return std::wstring(folder, length <= MAX_PATH ? length : 0) + L"velto1-simchip-" +
           settings.id + kChipStateSuffix;
}

void PowerOnDevice(const DeviceSettings& settings, const EepromImage& eeprom, SimChip& chip) {
    chip.PowerOn(eeprom);
    for (const RemoteCode& code : settings.remoteCodes) {
        chip.RemoteReceiver().Queue(code);
    }
    if (settings.codecBusyPolls == kCodecBusyForever) {
        chip.Codec().HoldBusyForever();
    } else {
        chip.Codec().HoldBusy(settings.codecBusyPolls);
    }
    for (const auto& [index, word] : settings.ac97Registers) {
        chip.Codec().SetRegister(index, word);
    }
    chip.SetValue(CPROP_CONFIG_103E, settings.config103E);
}

bool ValidDeviceId(const std::wstring& id) {
    if (id.empty() || id.size() > kMaxDeviceIdLength) {
        return false;
    }
    for (wchar_t c : id) {
        const bool letterOrDigit =
            (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9');
        if (!letterOrDigit && c != L'-' && c != L'_' && c != L'.') {
            return false;
        }
    }
    return true;
}

const std::vector<CategoryInfo>& DeviceCategories() {
    static const std::vector<CategoryInfo> categories = {
        {DeviceCategory::VideoInput, L"video", CLSID_VideoInputDeviceCategory},
        {DeviceCategory::BdaReceiver, L"bda", KSCATEGORY_BDA_RECEIVER_COMPONENT},
        {DeviceCategory::AudioInput, L"audio", CLSID_AudioInputDeviceCategory},
        {DeviceCategory::KsAudio, L"ksaudio", KSCATEGORY_AUDIO},
        {DeviceCategory::AudioRenderer, L"renderer", CLSID_AudioRendererCategory},
    };
    return categories;
}

const CategoryInfo& CategoryOf(DeviceCategory category) {
    return DeviceCategories()[static_cast<size_t>(category)];
}

const CategoryInfo* FindCategory(const std::wstring& name) {
    for (const CategoryInfo& info : DeviceCategories()) {
        if (name == info.name) {
            return &info;
        }
    }
    return nullptr;
}

bool ParseNumber(const std::wstring& text, DWORD& number) {
    std::string ascii;
    return velto1::AsciiOf(text, &ascii) &&
           velto1::ParseHexOrDecimalNumber(ascii, MAXDWORD, &number);
}

std::wstring FormatFaults(const std::map<DWORD, HRESULT>& faults) {
    std::wstring text;
    for (const auto& [key, status] : faults) {
        wchar_t item[40];
        swprintf(item, 40, L"%s0x%lX=0x%08lX", text.empty() ? L"" : L",",
                 static_cast<unsigned long>(key), static_cast<unsigned long>(status));
        text += item;
    }
    return text;
}

bool ParseFaults(const std::wstring& text, std::map<DWORD, HRESULT>& faults) {
    std::map<DWORD, HRESULT> parsed;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L',', start);
        if (end == std::wstring::npos) {
            end = text.size();
        }
        const std::wstring item = text.substr(start, end - start);
        const size_t equals = item.find(L'=');
        DWORD key = 0;
        DWORD status = 0;
        if (equals == std::wstring::npos || !ParseNumber(item.substr(0, equals), key) ||
            !ParseNumber(item.substr(equals + 1), status)) {
            return false;
        }
        parsed[key] = static_cast<HRESULT>(status);
        start = end + 1;
    }
    faults = std::move(parsed);
    return true;
}

std::wstring FormatRemoteCodes(const std::vector<RemoteCode>& codes) {
    std::wstring text;
    for (const RemoteCode& code : codes) {
        wchar_t item[24];
        swprintf(item, 24, L"%s%d:0x%02X:0x%02X", text.empty() ? L"" : L",", code.toggle ? 1 : 0,
                 static_cast<unsigned>(code.address), static_cast<unsigned>(code.command));
        text += item;
    }
    return text;
}

bool ParseRemoteCodes(const std::wstring& text, std::vector<RemoteCode>& codes) {
    std::vector<RemoteCode> parsed;
    for (const std::wstring& item : ListItems(text, L',')) {
        const std::vector<std::wstring> fields = ListItems(item, L':');
        DWORD toggle = 0;
        DWORD address = 0;
        DWORD command = 0;
        if (fields.size() != 3 || !ParseBounded(fields[0], 1, toggle) ||
            !ParseBounded(fields[1], 0xFF, address) || !ParseBounded(fields[2], 0xFF, command)) {
            return false;
        }
        RemoteCode code;
        code.toggle = toggle != 0;
        code.address = static_cast<BYTE>(address);
        code.command = static_cast<BYTE>(command);
        parsed.push_back(code);
    }
    codes = std::move(parsed);
    return true;
}

std::wstring FormatAc97Registers(const std::map<BYTE, WORD>& registers) {
    std::wstring text;
    for (const auto& [index, word] : registers) {
        wchar_t item[24];
        swprintf(item, 24, L"%s0x%02X=0x%04X", text.empty() ? L"" : L",",
                 static_cast<unsigned>(index), static_cast<unsigned>(word));
        text += item;
    }
    return text;
}

bool ParseAc97Registers(const std::wstring& text, std::map<BYTE, WORD>& registers) {
    std::map<BYTE, WORD> parsed;
    for (const std::wstring& item : ListItems(text, L',')) {
        const size_t equals = item.find(L'=');
        DWORD index = 0;
        DWORD word = 0;
        if (equals == std::wstring::npos || !ParseBounded(item.substr(0, equals), 0x7F, index) ||
            !ParseBounded(item.substr(equals + 1), 0xFFFF, word)) {
            return false;
        }
        parsed[static_cast<BYTE>(index)] = static_cast<WORD>(word);
    }
    registers = std::move(parsed);
    return true;
}

bool HasControlCharacter(const std::wstring& text) {
    for (wchar_t c : text) {
        if (std::iswcntrl(c)) {
            return true;
        }
    }
    return false;
}

std::wstring Hex(DWORD number) {
    return velto1::HexText<wchar_t>(number, 1);
}

std::wstring StatusText(HRESULT status) {
    return velto1::StatusWordText<wchar_t>(status);
}

std::optional<std::wstring> FullPath(const std::wstring& path) {
    if (path.empty()) {
        return std::nullopt;
    }
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) {
        return std::nullopt;
    }
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), size, &full[0], nullptr);
    if (length == 0 || length >= size) {
        return std::nullopt;
    }
    full.resize(length);
    return full;
}

}  // namespace sim
