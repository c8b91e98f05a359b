#include "simdevice/devices/device_store.h"

#include <cwchar>
#include <memory>
#include <optional>

#include "common/win32_owners.h"
#include "simdevice/devices/device_ids.h"

using Microsoft::WRL::ComPtr;
using velto1::ComInitScope;
using velto1::UniqueRegKey;

namespace sim {

namespace {

constexpr wchar_t kReplayDivergenceValue[] = L"SimReplayDivergence";

std::wstring InstanceKeyPath(const GUID& category, const std::wstring& id) {
    return L"CLSID\\" + GuidText(category) + L"\\Instance\\" + id;
}

LONG SetValue(HKEY key, const wchar_t* name, const StoredValue& value) {
    if (value.type == StoredValue::Type::Dword) {
        return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value.number),
                              sizeof value.number);
    }
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.text.c_str()),
                          static_cast<DWORD>((value.text.size() + 1) * sizeof(wchar_t)));
}

HRESULT WriteSettingValues(HKEY key, const DeviceSettings& settings) {
    for (const auto& [name, value] : SettingValues(settings)) {
        const LONG result = SetValue(key, name, value);
        if (result != ERROR_SUCCESS) {
            return HRESULT_FROM_WIN32(result);
        }
    }
    return S_OK;
}

// An instance key's values, as settings read them.
class RegistrySource : public SettingsSource {
  public:
    explicit RegistrySource(HKEY key) : key_(key) {}
    std::optional<DWORD> Dword(const wchar_t* name) override {
        DWORD number = 0;
        DWORD size = sizeof number;
        DWORD type = 0;
        if (RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(&number), &size) !=
                ERROR_SUCCESS ||
            type != REG_DWORD) {
            return std::nullopt;
        }
        return number;
    }
    std::optional<std::wstring> String(const wchar_t* name) override {
        DWORD type = 0;
        DWORD size = 0;
        if (RegQueryValueExW(key_, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
            type != REG_SZ) {
            return std::nullopt;
        }
        // One character more than stored, zeroed: terminated even when stored without.
        std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
        size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        if (RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(&text[0]),
                             &size) != ERROR_SUCCESS ||
            type != REG_SZ) {
            return std::nullopt;
        }
        text.resize(std::wcslen(text.c_str()));
        return text;
    }

  private:
    HKEY key_;
};

bool IsSimDeviceInstance(HKEY instance) {
    wchar_t clsid[40] = {};
    DWORD size = sizeof clsid - sizeof(wchar_t);
    DWORD type = 0;
    return RegQueryValueExW(instance, L"CLSID", nullptr, &type, reinterpret_cast<BYTE*>(clsid),
                            &size) == ERROR_SUCCESS &&
           type == REG_SZ && _wcsicmp(clsid, GuidText(CLSID_SimCaptureFilter).c_str()) == 0;
}

// Removes one instance key of ours, through the filter mapper.
HRESULT RemoveInstance(IFilterMapper2* mapper, const GUID& category, const std::wstring& id) {
    UniqueRegKey instance;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, InstanceKeyPath(category, id).c_str(), 0, KEY_READ,
                      instance.Put()) != ERROR_SUCCESS ||
        !IsSimDeviceInstance(instance.Get())) {
        return S_FALSE;
    }
    instance.Reset();
    const HRESULT status = mapper->UnregisterFilter(&category, id.c_str(), CLSID_SimCaptureFilter);
    if (FAILED(status)) {
        const LONG deleted =
            RegDeleteTreeW(HKEY_CLASSES_ROOT, InstanceKeyPath(category, id).c_str());
        return deleted == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(deleted);
    }
    return S_OK;
}

std::vector<std::wstring> InstanceIds(const GUID& category) {
    std::vector<std::wstring> ids;
    UniqueRegKey instances;
    const std::wstring path = L"CLSID\\" + GuidText(category) + L"\\Instance";
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, instances.Put()) !=
        ERROR_SUCCESS) {
        return ids;
    }
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = 256;
        if (RegEnumKeyExW(instances.Get(), index, name, &length, nullptr, nullptr, nullptr,
                          nullptr) != ERROR_SUCCESS) {
            break;
        }
        UniqueRegKey instance;
        if (RegOpenKeyExW(instances.Get(), name, 0, KEY_READ, instance.Put()) == ERROR_SUCCESS &&
            IsSimDeviceInstance(instance.Get())) {
            ids.push_back(name);
        }
    }
    return ids;
}

HRESULT PrepareEepromFile(const std::wstring& path, bool reset, EepromImage& image) {
    image = FreshProductEeprom();
    if (path.empty()) {
        return S_OK;
    }
    if (reset) {
        return SaveEepromFile(path, image);
    }
    return OpenEepromFile(path, image);
}

// Plugs the device in: its chip powers on, in the file that keeps its state
// until the device is removed or added again. A program still bound to the
// chip finds it so at its next call.
HRESULT PowerOnChip(const DeviceSettings& settings, const EepromImage& eeprom) {
    std::unique_ptr<ChipMemory> memory;
    const HRESULT status = ChipMemory::Shared(settings.id, ChipStateFile(settings), memory);
    if (FAILED(status)) {
        return status;
    }
    SimChip chip(settings.identity, true, std::move(memory));
    ChipCall call(chip.Memory(), kChipCallWaitMilliseconds);
    if (!call.Held()) {
        return kChipHeldTooLong;
    }
    PowerOnDevice(settings, eeprom, chip);
    call.Commit();
    return S_OK;
}

std::optional<DeviceSettings> FindDevice(const std::wstring& id) {
    for (DeviceSettings& settings : ListDevices()) {
        if (_wcsicmp(settings.id.c_str(), id.c_str()) == 0) {
            return std::move(settings);
        }
    }
    return std::nullopt;
}

// Removes the device's instance keys; S_FALSE when there were none. Its chip
// stays as it is.
HRESULT Unregister(const std::wstring& id) {
    const ComInitScope com;
    const RegistrationRoot root;
    ComPtr<IFilterMapper2> mapper;
    HRESULT status = CreateFilterMapper(mapper);
    if (FAILED(status)) {
        return status;
    }
    HRESULT result = S_FALSE;
    for (const CategoryInfo& info : DeviceCategories()) {
        status = RemoveInstance(mapper.Get(), info.guid, id);
        if (FAILED(status)) {
            return status;
        }
        if (status == S_OK) {
            result = S_OK;
        }
    }
    return result;
}

// Unplugs the chip: its state file goes (a program still bound keeps the
// chip it has until it lets go). A file already gone is no failure.
HRESULT RemoveChipState(const std::wstring& path) {
    if (DeleteFileW(path.c_str())) {
        return S_OK;
    }
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
               ? S_OK
               : HRESULT_FROM_WIN32(error);
}

}  // namespace

HRESULT AddDevice(const DeviceSettings& settings, bool resetEeprom) {
    if (!ValidDeviceId(settings.id) || settings.friendlyName.empty()) {
        return E_INVALIDARG;
    }
    if (DeviceSharingEepromFile(settings)) {
        return HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION);
    }
    EepromImage eeprom;
    HRESULT status = PrepareEepromFile(settings.eepromFile, resetEeprom, eeprom);
    if (FAILED(status)) {
        return status;
    }
    // Added again: unplugged and plugged in. Its chip powers on in place, so
    // that a program still bound to it sees the new chip.
    const std::optional<DeviceSettings> old = FindDevice(settings.id);
    status = Unregister(settings.id);
    if (FAILED(status)) {
        return status;
    }
    if (old && _wcsicmp(ChipStateFile(*old).c_str(), ChipStateFile(settings).c_str()) != 0) {
        status = RemoveChipState(ChipStateFile(*old));
        if (FAILED(status)) {
            return status;
        }
    }
    status = PowerOnChip(settings, eeprom);
    if (FAILED(status)) {
        return status;
    }
    const ComInitScope com;
    const RegistrationRoot root;
    ComPtr<IFilterMapper2> mapper;
    status = CreateFilterMapper(mapper);
    if (FAILED(status)) {
        return status;
    }
    const GUID& category = CategoryOf(settings.category).guid;
    const REGFILTER2 registration = PinlessFilterRegistration();
    status = mapper->RegisterFilter(CLSID_SimCaptureFilter, settings.friendlyName.c_str(), nullptr,
                                    &category, settings.id.c_str(), &registration);
    if (FAILED(status)) {
        return status;
    }
    UniqueRegKey instance;
    const LONG opened =
        RegOpenKeyExW(HKEY_CLASSES_ROOT, InstanceKeyPath(category, settings.id).c_str(), 0,
                      KEY_SET_VALUE, instance.Put());
    if (opened != ERROR_SUCCESS) {
        return HRESULT_FROM_WIN32(opened);
    }
    status = WriteSettingValues(instance.Get(), settings);
    if (FAILED(status)) {
        instance.Reset();
        RemoveInstance(mapper.Get(), category, settings.id);
    }
    return status;
}

HRESULT RemoveDevice(const std::wstring& id) {
    if (!ValidDeviceId(id)) {
        return S_FALSE;
    }
    const std::optional<DeviceSettings> device = FindDevice(id);
    const HRESULT status = Unregister(id);
    if (FAILED(status) || !device) {
        return status;
    }
    const HRESULT removed = RemoveChipState(ChipStateFile(*device));
    return FAILED(removed) ? removed : status;
}

HRESULT RemoveAllDevices() {
    for (const DeviceSettings& settings : ListDevices()) {
        const HRESULT status = RemoveDevice(settings.id);
        if (FAILED(status)) {
            return status;
        }
    }
    return S_OK;
}

HRESULT KeepReplayDivergence(const std::wstring& id, const std::wstring& divergence) {
    if (!ValidDeviceId(id)) {
        return E_INVALIDARG;
    }
    // The filter knows its id, not its category: the id is unique across them.
    UniqueRegKey instance;
    LONG opened = ERROR_FILE_NOT_FOUND;
    for (const CategoryInfo& info : DeviceCategories()) {
        opened = RegOpenKeyExW(HKEY_CLASSES_ROOT, InstanceKeyPath(info.guid, id).c_str(), 0,
                               KEY_QUERY_VALUE | KEY_SET_VALUE, instance.Put());
        if (opened == ERROR_SUCCESS) {
            break;
        }
    }
    if (opened != ERROR_SUCCESS) {
        return HRESULT_FROM_WIN32(opened);
    }
    if (RegQueryValueExW(instance.Get(), kReplayDivergenceValue, nullptr, nullptr, nullptr,
                         nullptr) == ERROR_SUCCESS) {
        return S_FALSE;
    }
    return HRESULT_FROM_WIN32(
        SetValue(instance.Get(), kReplayDivergenceValue, {StoredValue::Type::Text, 0, divergence}));
}

std::vector<DeviceSettings> ListDevices() {
    const RegistrationRoot root;
    std::vector<DeviceSettings> devices;
    for (const CategoryInfo& info : DeviceCategories()) {
        for (const std::wstring& id : InstanceIds(info.guid)) {
            UniqueRegKey instance;
            if (RegOpenKeyExW(HKEY_CLASSES_ROOT, InstanceKeyPath(info.guid, id).c_str(), 0,
                              KEY_READ, instance.Put()) != ERROR_SUCCESS) {
                continue;
            }
            DeviceSettings settings;
            RegistrySource source(instance.Get());
            ReadSettingValues(source, settings);
            settings.id = id;
            settings.category = info.category;
            settings.friendlyName = source.String(L"FriendlyName").value_or(L"");
            settings.replayDivergence = source.String(kReplayDivergenceValue).value_or(L"");
            devices.push_back(std::move(settings));
        }
    }
    return devices;
}

std::optional<std::wstring> DeviceSharingEepromFile(const DeviceSettings& settings) {
    if (settings.eepromFile.empty()) {
        return std::nullopt;
    }
    for (const DeviceSettings& other : ListDevices()) {
        if (_wcsicmp(other.id.c_str(), settings.id.c_str()) != 0 &&
            _wcsicmp(other.eepromFile.c_str(), settings.eepromFile.c_str()) == 0) {
            return other.id;
        }
    }
    return std::nullopt;
}

}  // namespace sim
