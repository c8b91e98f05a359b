#include "simdevice/filter/sim_registration.h"

#include <dshow.h>
#include <wrl/client.h>

#include <cerrno>
#include <cwchar>
#include <cwctype>

#include "devctl/device_categories.h"
#include "simdevice/filter/sim_device_ids.h"

using Microsoft::WRL::ComPtr;

namespace sim {

namespace {

constexpr wchar_t kFilterName[] = L"Velto1 Simulated Capture Device";
constexpr wchar_t kPageName[] = L"Velto1 Simulated Device Page";
constexpr wchar_t kUserClassesKey[] = L"Software\\Classes";
constexpr wchar_t kProbeKey[] = L"Velto1SimDeviceClassesProbe";

class UniqueKey {
  public:
    UniqueKey() = default;
    ~UniqueKey() { Reset(); }
    UniqueKey(const UniqueKey&) = delete;
    UniqueKey& operator=(const UniqueKey&) = delete;
    HKEY Get() const { return key_; }
    HKEY* Put() {
        Reset();
        return &key_;
    }
    void Reset() {
        if (key_) {
            RegCloseKey(key_);
            key_ = nullptr;
        }
    }

  private:
    HKEY key_ = nullptr;
};

// Initialises COM for the calls inside, when the caller hasn't.
class ComScope {
  public:
    ComScope() : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComScope() {
        if (initialised_) {
            CoUninitialize();
        }
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

  private:
    bool initialised_;
};

// Whether HKEY_CLASSES_ROOT shows what is written under HKCU\Software\Classes.
bool ClassesRootMergesUserClasses(HKEY userClasses) {
    UniqueKey probe;
    if (RegCreateKeyExW(userClasses, kProbeKey, 0, nullptr, REG_OPTION_VOLATILE, KEY_READ, nullptr,
                        probe.Put(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    UniqueKey seen;
    const bool merged =
        RegOpenKeyExW(HKEY_CLASSES_ROOT, kProbeKey, 0, KEY_READ, seen.Put()) == ERROR_SUCCESS;
    seen.Reset();
    probe.Reset();
    RegDeleteKeyW(userClasses, kProbeKey);
    return merged;
}

// While alive, HKEY_CLASSES_ROOT in this process names the place where
// registration goes: the per-user classes where the system merges them into
// the class root, else the class root itself.
class RegistrationRoot {
  public:
    RegistrationRoot() {
        if (RegCreateKeyExW(HKEY_CURRENT_USER, kUserClassesKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, userClasses_.Put(), nullptr) == ERROR_SUCCESS &&
            ClassesRootMergesUserClasses(userClasses_.Get())) {
            overridden_ =
                RegOverridePredefKey(HKEY_CLASSES_ROOT, userClasses_.Get()) == ERROR_SUCCESS;
        }
    }
    ~RegistrationRoot() {
        if (overridden_) {
            RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
        }
    }
    RegistrationRoot(const RegistrationRoot&) = delete;
    RegistrationRoot& operator=(const RegistrationRoot&) = delete;
    bool PerUser() const { return overridden_; }

  private:
    UniqueKey userClasses_;
    bool overridden_ = false;
};

std::wstring GuidText(const GUID& guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

std::wstring InstanceKeyPath(const GUID& category, const std::wstring& id) {
    return L"CLSID\\" + GuidText(category) + L"\\Instance\\" + id;
}

LONG SetString(HKEY key, const wchar_t* name, const std::wstring& text) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

LONG SetDword(HKEY key, const wchar_t* name, DWORD number) {
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                          sizeof number);
}

HRESULT RegisterClass(const CLSID& clsid, const wchar_t* name, const std::wstring& dllPath) {
    UniqueKey server;
    const std::wstring path = L"CLSID\\" + GuidText(clsid) + L"\\InprocServer32";
    LONG status = RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, server.Put(), nullptr);
    if (status == ERROR_SUCCESS) {
        status = SetString(server.Get(), nullptr, dllPath);
    }
    if (status == ERROR_SUCCESS) {
        status = SetString(server.Get(), L"ThreadingModel", L"Both");
    }
    UniqueKey classKey;
    if (status == ERROR_SUCCESS) {
        status = RegOpenKeyExW(HKEY_CLASSES_ROOT, (L"CLSID\\" + GuidText(clsid)).c_str(), 0,
                               KEY_SET_VALUE, classKey.Put());
    }
    if (status == ERROR_SUCCESS) {
        status = SetString(classKey.Get(), nullptr, name);
    }
    return HRESULT_FROM_WIN32(status);
}

void DeleteClass(const CLSID& clsid) {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + GuidText(clsid)).c_str());
}

HRESULT CreateFilterMapper(ComPtr<IFilterMapper2>& mapper) {
    return CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER,
                            IID_PPV_ARGS(&mapper));
}

// A filter without pins, never chosen by graph building on its own.
REGFILTER2 FilterRegistration() {
    REGFILTER2 registration = {};
    registration.dwVersion = 1;
    registration.dwMerit = MERIT_DO_NOT_USE;
    registration.cPins = 0;
    registration.rgPins = nullptr;
    return registration;
}

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
    UniqueKey instance;
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
    UniqueKey instances;
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
        UniqueKey instance;
        if (RegOpenKeyExW(instances.Get(), name, 0, KEY_READ, instance.Put()) == ERROR_SUCCESS &&
            IsSimDeviceInstance(instance.Get())) {
            ids.push_back(name);
        }
    }
    return ids;
}

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

HRESULT WriteSettingValues(HKEY key, const DeviceSettings& settings) {
    std::map<DWORD, HRESULT> atCall(settings.failAtCall.begin(), settings.failAtCall.end());
    std::map<DWORD, HRESULT> onI2cWrite(settings.failOnI2cWrite.begin(),
                                        settings.failOnI2cWrite.end());
    const LONG results[] = {
        SetString(key, value::kId, settings.id),
        SetDword(key, value::kChipId, settings.identity.chipId),
        SetDword(key, value::kChipConfig, settings.identity.chipConfig),
        SetDword(key, value::kBoardConfig, settings.identity.boardConfig),
        SetDword(key, value::kRemoteAddress, settings.identity.remoteAddress),
        SetDword(key, value::kRemoteI2cAddress, settings.identity.remoteI2cAddress),
        SetString(key, value::kEepromFile, settings.eepromFile),
        SetDword(key, value::kCustomProperty, settings.offersCustomProperty ? 1 : 0),
        SetString(key, value::kFailAtCall, FormatFaults(atCall)),
        SetString(key, value::kFailOnProperty, FormatFaults(settings.failOnProperty)),
        SetString(key, value::kFailOnI2cWrite, FormatFaults(onI2cWrite)),
        SetDword(key, value::kUnplugFromCall, settings.unplugFromCall),
        SetDword(key, value::kBindStatus, static_cast<DWORD>(settings.bindStatus)),
        SetString(key, value::kRemoteCodes, FormatRemoteCodes(settings.remoteCodes)),
        SetDword(key, value::kCodecBusy, settings.codecBusyPolls),
        SetString(key, value::kAc97Registers, FormatAc97Registers(settings.ac97Registers)),
        SetDword(key, value::kConfig103E, settings.config103E),
    };
    for (LONG result : results) {
        if (result != ERROR_SUCCESS) {
            return HRESULT_FROM_WIN32(result);
        }
    }
    return S_OK;
}

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

HRESULT PrepareEepromFile(const std::wstring& path, bool reset) {
    if (path.empty()) {
        return S_OK;
    }
    if (reset) {
        return SaveEepromFile(path, FreshProductEeprom());
    }
    EepromImage image;
    return OpenEepromFile(path, image);
}

}  // namespace

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
    if (text.empty() || text[0] == L'-' || iswspace(text[0])) {
        return false;
    }
    wchar_t* end = nullptr;
    errno = 0;
    const unsigned long long parsed = std::wcstoull(text.c_str(), &end, 0);
    if (errno != 0 || *end != L'\0' || parsed > 0xFFFFFFFFull) {
        return false;
    }
    number = static_cast<DWORD>(parsed);
    return true;
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

void ReadSettingValues(SettingsSource& source, DeviceSettings& settings) {
    const struct {
        const wchar_t* name;
        DWORD* field;
    } numbers[] = {
        {value::kChipId, &settings.identity.chipId},
        {value::kChipConfig, &settings.identity.chipConfig},
        {value::kBoardConfig, &settings.identity.boardConfig},
        {value::kRemoteAddress, &settings.identity.remoteAddress},
        {value::kRemoteI2cAddress, &settings.identity.remoteI2cAddress},
    };
    for (const auto& number : numbers) {
        if (auto read = source.Dword(number.name)) {
            *number.field = *read;
        }
    }
    if (auto id = source.String(value::kId)) {
        settings.id = *id;
    }
    if (auto file = source.String(value::kEepromFile)) {
        settings.eepromFile = *file;
    }
    if (auto offers = source.Dword(value::kCustomProperty)) {
        settings.offersCustomProperty = *offers != 0;
    }
    std::map<DWORD, HRESULT> faults;
    if (auto text = source.String(value::kFailAtCall); text && ParseFaults(*text, faults)) {
        settings.failAtCall.clear();
        for (const auto& [call, status] : faults) {
            settings.failAtCall[call] = status;
        }
    }
    if (auto text = source.String(value::kFailOnProperty); text && ParseFaults(*text, faults)) {
        settings.failOnProperty = faults;
    }
    if (auto text = source.String(value::kFailOnI2cWrite); text && ParseFaults(*text, faults)) {
        settings.failOnI2cWrite.clear();
        for (const auto& [nth, status] : faults) {
            settings.failOnI2cWrite[nth] = status;
        }
    }
    if (auto call = source.Dword(value::kUnplugFromCall)) {
        settings.unplugFromCall = *call;
    }
    if (auto status = source.Dword(value::kBindStatus)) {
        settings.bindStatus = static_cast<HRESULT>(*status);
    }
    if (auto text = source.String(value::kRemoteCodes)) {
        ParseRemoteCodes(*text, settings.remoteCodes);
    }
    if (auto polls = source.Dword(value::kCodecBusy)) {
        settings.codecBusyPolls = *polls;
    }
    if (auto text = source.String(value::kAc97Registers)) {
        ParseAc97Registers(*text, settings.ac97Registers);
    }
    if (auto word = source.Dword(value::kConfig103E)) {
        settings.config103E = *word;
    }
}

bool RegistersPerUser() {
    return RegistrationRoot().PerUser();
}

HRESULT RegisterServer(const std::wstring& dllPath) {
    ComScope com;
    RegistrationRoot root;
    HRESULT status = RegisterClass(CLSID_SimCaptureFilter, kFilterName, dllPath);
    if (SUCCEEDED(status)) {
        status = RegisterClass(CLSID_SimDevicePropertyPage, kPageName, dllPath);
    }
    ComPtr<IFilterMapper2> mapper;
    if (SUCCEEDED(status)) {
        status = CreateFilterMapper(mapper);
    }
    if (SUCCEEDED(status)) {
        const REGFILTER2 registration = FilterRegistration();
        status = mapper->RegisterFilter(CLSID_SimCaptureFilter, kFilterName, nullptr,
                                        &CLSID_LegacyAmFilterCategory, nullptr, &registration);
    }
    return status;
}

HRESULT UnregisterServer() {
    ComScope com;
    HRESULT status = RemoveAllDevices();
    RegistrationRoot root;
    ComPtr<IFilterMapper2> mapper;
    if (SUCCEEDED(CreateFilterMapper(mapper))) {
        mapper->UnregisterFilter(&CLSID_LegacyAmFilterCategory, nullptr, CLSID_SimCaptureFilter);
    }
    DeleteClass(CLSID_SimDevicePropertyPage);
    DeleteClass(CLSID_SimCaptureFilter);
    return FAILED(status) ? status : S_OK;
}

HRESULT AddDevice(const DeviceSettings& settings, bool resetEeprom) {
    if (!ValidDeviceId(settings.id) || settings.friendlyName.empty()) {
        return E_INVALIDARG;
    }
    HRESULT status = PrepareEepromFile(settings.eepromFile, resetEeprom);
    if (FAILED(status)) {
        return status;
    }
    status = RemoveDevice(settings.id);
    if (FAILED(status)) {
        return status;
    }
    ComScope com;
    RegistrationRoot root;
    ComPtr<IFilterMapper2> mapper;
    status = CreateFilterMapper(mapper);
    if (FAILED(status)) {
        return status;
    }
    const GUID& category = CategoryOf(settings.category).guid;
    const REGFILTER2 registration = FilterRegistration();
    status = mapper->RegisterFilter(CLSID_SimCaptureFilter, settings.friendlyName.c_str(), nullptr,
                                    &category, settings.id.c_str(), &registration);
    if (FAILED(status)) {
        return status;
    }
    UniqueKey instance;
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
    ComScope com;
    RegistrationRoot root;
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

HRESULT RemoveAllDevices() {
    for (const DeviceSettings& settings : ListDevices()) {
        const HRESULT status = RemoveDevice(settings.id);
        if (FAILED(status)) {
            return status;
        }
    }
    return S_OK;
}

std::vector<DeviceSettings> ListDevices() {
    RegistrationRoot root;
    std::vector<DeviceSettings> devices;
    for (const CategoryInfo& info : DeviceCategories()) {
        for (const std::wstring& id : InstanceIds(info.guid)) {
            UniqueKey instance;
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
            devices.push_back(std::move(settings));
        }
    }
    return devices;
}

}  // namespace sim
