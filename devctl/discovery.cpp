// Discovery and binding: the capture and audio device names from the
// registry, the search of one device category of the system device
// enumerator by friendly-name prefix, binding the capture driver's private
// interface, the presence probe, the driver's property pages and the audio
// filters.
#include <dshow.h>
#include <olectl.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "common/win32_owners.h"
#include "common/device_categories.h"
#include "devctl/device_control.h"
#include "devctl/device_lock.h"

using Microsoft::WRL::ComPtr;

namespace {

// Registry values are read with this capacity; a larger value counts as absent.
constexpr DWORD kValueCapacity = 256;

constexpr char kCaptureKey[] = "Software\\USB5170\\BDA";
constexpr char kAudioKey[] = "Software\\USB5170\\Audio";
constexpr char kDefaultCaptureName[] = "USB 7450 Device";
constexpr char kGenericAudioName[] = "USB Audio Device";
constexpr char kFallbackAudioName[] = "USB KXQ Audio Device";
constexpr char kAudioRendererName[] = "Default WaveOut Device";

// The capture device's categories, in the order they are searched.
const GUID kCaptureCategories[] = {CLSID_VideoInputDeviceCategory,
                                   KSCATEGORY_BDA_RECEIVER_COMPONENT};

// Friendly-name prefixes of the known capture models, searched in this order
// (not numeric) when neither the registry nor the default name finds a device.
constexpr const char* kKnownCaptureDeviceNames[] = {
    "USB 5170 Device",  "USB 5171 Device",  "USB 6240 Device",  "USB 6241 Device",
    "USB 5930 Device",  "USB 5931 Device",  "USB 6710 Device",  "USB 6711 Device",
    "USB 6712 Device",  "USB 6713 Device",  "USB 7450 Device",  "USB 7451 Device",
    "USB 7452 Device",  "USB 7453 Device",  "USB 7160 Device",  "USB 7163 Device",
    "USB 7806 Device",  "USB 7238 Device",  "USB 7045 Device",  "USB 7392 Device",
    "USB 7584 Device",  "USB 8027 Device",  "USB 8314 Device",  "USB 8356 Device",
    "USB 8473 Device",  "USB 8495 Device",  "USB 93120 Device", "USB 93124 Device",
    "USB 93128 Device", "USB 93134 Device", "USB 93138 Device",
};

// An 8-bit registry text read with the 256-byte capacity. The buffer has one
// byte more than the capacity and starts zeroed, so a value of exactly 256
// bytes, or one stored without its terminating zero, still reads as a
// terminated string.
struct RegistryText {
    char bytes[kValueCapacity + 1] = {};
};

bool ReadRegistryText(HKEY key, const char* valueName, RegistryText& text) {
    DWORD size = kValueCapacity;
    return RegQueryValueExA(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(text.bytes),
                            &size) == ERROR_SUCCESS;
}

// Copies a name of at most 256 bytes plus terminator into a caller buffer of
// at least kDeviceNameBufferSize bytes.
void CopyName(char* out, const char* name) {
    if (out) {
        std::memcpy(out, name, std::strlen(name) + 1);
    }
}

// Writes the text and its wide form (ANSI code page) to the outputs given.
void WriteNameOutputs(const char* name, char* out, wchar_t* wideOut) {
    CopyName(out, name);
    if (wideOut && MultiByteToWideChar(CP_ACP, 0, name, -1, wideOut, kDeviceNameBufferSize) == 0) {
        wideOut[0] = L'\0';
    }
}

// The device matches when its friendly name begins with the wanted name,
// compared case-sensitively byte by byte; an empty wanted name matches all.
bool NameMatches(const char* friendlyName, const char* wantedName) {
    return std::strncmp(friendlyName, wantedName, std::strlen(wantedName)) == 0;
}

// Converts a friendly name into the ANSI code page, true only when every
// character converted as itself and the name fits the buffer with its
// terminator. A character turned into '?', or into a look-alike (a fullwidth
// U into U), would let the name match another device's. UTF-8 takes neither
// check and loses nothing but lone surrogates, which it is told to refuse.
bool ToAnsiExactly(const wchar_t* wide, char (&name)[kDeviceNameBufferSize]) {
    if (GetACP() == CP_UTF8) {
        return WideCharToMultiByte(CP_ACP, WC_ERR_INVALID_CHARS, wide, -1, name, sizeof name,
                                   nullptr, nullptr) != 0;
    }
    BOOL usedDefault = FALSE;
    return WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, name, sizeof name, nullptr,
                               &usedDefault) != 0 &&
           !usedDefault;
}

// Walks one category's devices in enumeration order and hands each with a
// friendly name to visit(moniker, name), which returns true to end the walk.
// record receives the status of every recorded step: creating the
// enumerators, binding a property bag and reading a name.
template <typename Record, typename Visit>
void VisitNamedDevices(GUID category, Record record, Visit visit) {
    ComPtr<ICreateDevEnum> systemEnum;
    if (record(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&systemEnum))) < 0 ||
        !systemEnum) {
        return;
    }
    ComPtr<IEnumMoniker> devices;
    const HRESULT listed = record(systemEnum->CreateClassEnumerator(category, &devices, 0));
    systemEnum.Reset();
    // S_FALSE with no enumerator: the category is empty or not registered.
    if (listed != S_OK || !devices) {
        return;
    }
    devices->Reset();
    for (ComPtr<IMoniker> device; devices->Next(1, &device, nullptr) == S_OK; device.Reset()) {
        if (!device) {
            continue;
        }
        ComPtr<IPropertyBag> bag;
        if (record(device->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(&bag))) < 0 || !bag) {
            continue;
        }
        velto1::UniqueVariant friendlyName;
        V_VT(friendlyName.Get()) = VT_BSTR;  // asks the bag for the name as a string
        V_BSTR(friendlyName.Get()) = nullptr;
        if (record(bag->Read(L"FriendlyName", friendlyName.Get(), nullptr)) != S_OK) {
            continue;
        }
        bag.Reset();
        if (friendlyName.String() && visit(device.Get(), friendlyName.String())) {
            return;
        }
    }
}

// The devices of one category whose friendly name, in the ANSI code page,
// matches wantedName; visit(moniker, name) as above.
template <typename Record, typename Visit>
void VisitMatchingDevices(GUID category, const char* wantedName, Record record, Visit visit) {
    VisitNamedDevices(category, record, [&](IMoniker* device, const wchar_t* wideName) {
        // A name that doesn't fit the buffer, or doesn't convert exactly, is no
        // match: only a whole, terminated name is compared.
        char name[kDeviceNameBufferSize];
        if (!ToAnsiExactly(wideName, name) || !NameMatches(name, wantedName)) {
            return false;
        }
        return visit(device, static_cast<const char*>(name));
    });
}

// Owns the page list that ISpecifyPropertyPages hands out.
class PageList {
  public:
    ~PageList() { CoTaskMemFree(pages_.pElems); }
    CAUUID* Get() { return &pages_; }

  private:
    CAUUID pages_ = {};
};

}  // namespace

BOOL ReadAudioDeviceName(char* name, wchar_t* wideName) {
    velto1::UniqueRegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kAudioKey, 0, KEY_READ, key.Put()) != ERROR_SUCCESS) {
        return FALSE;
    }
    RegistryText audioClass;
    if (!ReadRegistryText(key.Get(), "AudioClass", audioClass)) {
        return FALSE;
    }
    // Exactly four bytes: "Yes" and its terminator, case-sensitive.
    if (std::memcmp(audioClass.bytes, "Yes", 4) == 0) {
        WriteNameOutputs(kGenericAudioName, name, wideName);
        return TRUE;
    }
    RegistryText deviceName;
    if (ReadRegistryText(key.Get(), "DeviceName", deviceName)) {
        WriteNameOutputs(deviceName.bytes, name, wideName);
    } else {
        WriteNameOutputs(kFallbackAudioName, name, wideName);
    }
    return TRUE;
}

void GetAudioDeviceName(char* name) {
    char found[kDeviceNameBufferSize];
    if (!ReadAudioDeviceName(found, nullptr)) {
        CopyName(found, kGenericAudioName);
    }
    CopyName(name, found);
}

BOOL ReadCaptureDeviceName(char* name, wchar_t* wideName) {
    velto1::UniqueRegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kCaptureKey, 0, KEY_READ, key.Put()) != ERROR_SUCCESS) {
        return FALSE;
    }
    RegistryText captureName;
    if (!ReadRegistryText(key.Get(), "RealDSName", captureName) &&
        !ReadRegistryText(key.Get(), "DSName", captureName)) {
        return FALSE;
    }
    WriteNameOutputs(captureName.bytes, name, wideName);
    return TRUE;
}

void GetCaptureDeviceName(char* name) {
    char found[kDeviceNameBufferSize];
    if (!ReadCaptureDeviceName(found, nullptr)) {
        CopyName(found, kDefaultCaptureName);
    }
    CopyName(name, found);
}

BOOL TryFindCaptureDeviceOfOtherBitness(const wchar_t* wantedName) {
    if (!wantedName) {
        return FALSE;
    }
    REGSAM otherView = KEY_WOW64_32KEY;
#ifndef _WIN64
    BOOL underWow64 = FALSE;
    if (!IsWow64Process(GetCurrentProcess(), &underWow64) || !underWow64) {
        return FALSE;
    }
    otherView = KEY_WOW64_64KEY;
#endif
    std::vector<std::wstring> names = {wantedName};
    for (const char* name : kKnownCaptureDeviceNames) {
        names.emplace_back(name, name + std::strlen(name));
    }
    // The devices a filter registration lists in a category: CLSID\{category}\Instance.
    for (const GUID& category : kCaptureCategories) {
        wchar_t guid[40] = L"";
        StringFromGUID2(category, guid, 40);
        const std::wstring path = std::wstring(L"CLSID\\") + guid + L"\\Instance";
        velto1::UniqueRegKey instances;
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ | otherView,
                          instances.Put()) != ERROR_SUCCESS) {
            continue;
        }
        wchar_t id[256];
        for (DWORD index = 0;; ++index) {
            DWORD idSize = static_cast<DWORD>(std::size(id));
            if (RegEnumKeyExW(instances.Get(), index, id, &idSize, nullptr, nullptr, nullptr,
                              nullptr) != ERROR_SUCCESS) {
                break;
            }
            // A name the search takes and its terminator, and one zeroed character
            // more than the value may take: always terminated.
            wchar_t friendlyName[kDeviceNameBufferSize + 1] = {};
            DWORD size = sizeof friendlyName - sizeof(wchar_t);
            if (RegGetValueW(instances.Get(), id, L"FriendlyName", RRF_RT_REG_SZ, nullptr,
                             friendlyName, &size) != ERROR_SUCCESS) {
                continue;
            }
            const std::wstring found = friendlyName;
            for (const std::wstring& name : names) {
                if (found.compare(0, name.size(), name) == 0) {
                    return TRUE;
                }
            }
        }
    }
    return FALSE;
}

IBaseFilter* DeviceControl::FindFilter(GUID category, const char* wantedName, char* foundName) {
    return FindFilterOf(category, wantedName, foundName, nullptr);
}

IBaseFilter* DeviceControl::FindFilterOf(GUID category, const char* wantedName, char* foundName,
                                         IMoniker** device) {
    if (!wantedName) {
        return nullptr;
    }
    ComPtr<IBaseFilter> filter;
    VisitMatchingDevices(
        category, wantedName, [this](HRESULT status) { return Record(status); },
        [&](IMoniker* found, const char* name) {
            if (Record(found->BindToObject(nullptr, nullptr, IID_PPV_ARGS(&filter))) >= 0 &&
                filter) {
                if (device) {
                    found->AddRef();
                    *device = found;
                }
                CopyName(foundName, name);
                return true;
            }
            filter.Reset();
            return false;
        });
    return filter.Detach();
}

IBaseFilter* DeviceControl::FindCaptureFilterByName(const char* wantedName, char* foundName) {
    return FindCaptureFilterByNameOf(wantedName, foundName, nullptr);
}

IBaseFilter* DeviceControl::FindCaptureFilterByNameOf(const char* wantedName, char* foundName,
                                                      IMoniker** device) {
    for (const GUID& category : kCaptureCategories) {
        if (IBaseFilter* filter = FindFilterOf(category, wantedName, foundName, device)) {
            return filter;
        }
    }
    return nullptr;
}

IBaseFilter* DeviceControl::FindKnownCaptureFilter(char* foundName) {
    return FindKnownCaptureFilterOf(foundName, nullptr);
}

IBaseFilter* DeviceControl::FindKnownCaptureFilterOf(char* foundName, IMoniker** device) {
    for (const char* name : kKnownCaptureDeviceNames) {
        if (IBaseFilter* filter = FindCaptureFilterByNameOf(name, foundName, device)) {
            return filter;
        }
    }
    return nullptr;
}

IBaseFilter* DeviceControl::FindCaptureFilter() {
    char name[kDeviceNameBufferSize];
    GetCaptureDeviceName(name);
    return FindCaptureDeviceOf(name, nullptr, nullptr, nullptr);
}

IBaseFilter* DeviceControl::FindCaptureDevice(const char* wantedName, char* foundName,
                                              DWORD* match) {
    ForgetFoundDevice();
    ComPtr<IMoniker> device;
    IBaseFilter* filter = FindCaptureDeviceOf(wantedName, foundName, match, &device);
    // Kept, so that BindFilter knows the device of this filter: while this
    // object holds it, its address names no other.
    const std::wstring displayName = devctl_internal::DisplayNameOf(device.Get());
    if (filter && !displayName.empty()) {
        const size_t bytes = (displayName.size() + 1) * sizeof(wchar_t);
        foundDevice = static_cast<wchar_t*>(CoTaskMemAlloc(bytes));
        if (foundDevice) {
            std::memcpy(foundDevice, displayName.c_str(), bytes);
            filter->AddRef();
            foundFilter = filter;
        }
    }
    return filter;
}

IBaseFilter* DeviceControl::FindCaptureDeviceOf(const char* wantedName, char* foundName,
                                                DWORD* match, IMoniker** device) {
    IBaseFilter* filter = FindCaptureFilterByNameOf(wantedName, foundName, device);
    DWORD how = kMatchedByName;
    if (!filter) {
        filter = FindKnownCaptureFilterOf(foundName, device);
        how = kMatchedKnownModel;
    }
    if (filter && match) {
        *match = how;
    }
    return filter;
}

DWORD DeviceControl::ForEachCaptureFilter(const char* wantedName, CaptureFilterFound found,
                                          void* context) {
    if (!wantedName || !found) {
        return 0;
    }
    // A device that several names match (the wanted name and its own model's)
    // is handed out once: by its display name.
    std::vector<std::wstring> handedOut;
    DWORD count = 0;
    bool ended = false;
    const auto search = [&](const char* name, DWORD match) {
        for (const GUID& category : kCaptureCategories) {
            if (ended) {
                return;
            }
            VisitMatchingDevices(
                category, name, [this](HRESULT status) { return Record(status); },
                [&](IMoniker* device, const char* friendlyName) {
                    std::wstring id = devctl_internal::DisplayNameOf(device);
                    if (!id.empty() &&
                        std::find(handedOut.begin(), handedOut.end(), id) != handedOut.end()) {
                        return false;
                    }
                    ComPtr<IBaseFilter> filter;
                    if (Record(device->BindToObject(nullptr, nullptr, IID_PPV_ARGS(&filter))) < 0 ||
                        !filter) {
                        return false;
                    }
                    handedOut.push_back(std::move(id));
                    ++count;
                    const devctl_internal::HandingOut handing(filter.Get(), handedOut.back());
                    ended = !found(context, filter.Get(), friendlyName, match);
                    return ended;
                });
        }
    };
    search(wantedName, kMatchedByName);
    for (const char* name : kKnownCaptureDeviceNames) {
        search(name, kMatchedKnownModel);
    }
    return count;
}

DWORD DeviceControl::ForEachCaptureDeviceW(const wchar_t* wantedName, CaptureDeviceFoundW found,
                                           void* context) {
    if (!wantedName || !found) {
        return 0;
    }
    // Each category is listed once; the names are then matched in the
    // search's order against the list, which keeps the enumeration's order.
    struct Listed {
        ComPtr<IMoniker> device;
        std::wstring name;
        std::wstring id;  // the display name: one device, however many names match it
        bool handedOut;
    };
    std::vector<Listed> lists[std::size(kCaptureCategories)];
    for (size_t i = 0; i < std::size(kCaptureCategories); ++i) {
        VisitNamedDevices(
            kCaptureCategories[i], [this](HRESULT status) { return Record(status); },
            [&](IMoniker* device, const wchar_t* friendlyName) {
                lists[i].push_back(
                    {device, friendlyName, devctl_internal::DisplayNameOf(device), false});
                return false;
            });
    }
    std::vector<std::wstring> handedOut;
    DWORD count = 0;
    const auto search = [&](const std::wstring& name, DWORD match) {
        for (std::vector<Listed>& list : lists) {
            for (Listed& entry : list) {
                if (entry.handedOut || entry.name.compare(0, name.size(), name) != 0 ||
                    (!entry.id.empty() &&
                     std::find(handedOut.begin(), handedOut.end(), entry.id) != handedOut.end())) {
                    continue;
                }
                ComPtr<IBaseFilter> filter;
                HRESULT status =
                    Record(entry.device->BindToObject(nullptr, nullptr, IID_PPV_ARGS(&filter)));
                if (status >= 0 && !filter) {
                    status = E_NOINTERFACE;  // success with nothing is no filter either
                }
                if (status < 0) {
                    filter.Reset();
                }
                entry.handedOut = true;
                handedOut.push_back(entry.id);
                ++count;
                const devctl_internal::HandingOut handing(filter.Get(), entry.id);
                if (!found(context, filter.Get(), status, entry.name.c_str(), match)) {
                    return false;
                }
            }
        }
        return true;
    };
    if (search(wantedName, kMatchedByName)) {
        for (const char* name : kKnownCaptureDeviceNames) {
            if (!search(std::wstring(name, name + std::strlen(name)), kMatchedKnownModel)) {
                break;
            }
        }
    }
    return count;
}

ICustomProperty* DeviceControl::Bind(const char* wantedName) {
    ComPtr<IMoniker> device;
    ComPtr<IBaseFilter> filter;
    *filter.ReleaseAndGetAddressOf() = FindCaptureDeviceOf(wantedName, nullptr, nullptr, &device);
    if (!filter) {
        return nullptr;
    }
    return BindFilter(filter.Get(), device.Get());
}

ICustomProperty* DeviceControl::Open() {
    char name[kDeviceNameBufferSize];
    GetCaptureDeviceName(name);
    return Bind(name);
}

BOOL DeviceControl::CanBind(const char* wantedName) {
    ICustomProperty* const held = driver;
    devctl_internal::DeviceLock* const heldLock = deviceLock;
    // The filter FindCaptureDevice returned stays known for its BindFilter.
    IUnknown* const heldFound = std::exchange(foundFilter, nullptr);
    wchar_t* const heldFoundDevice = std::exchange(foundDevice, nullptr);
    // The bound device's facts, put back with its driver so that the chip
    // services keep addressing the register map of the device they talk to.
    const DWORD heldFacts[] = {boardConfig, remoteAddress, remoteI2cAddress, chipId, newGeneration};
    driver = nullptr;
    deviceLock = nullptr;
    const bool bound = Bind(wantedName) != nullptr;
    Close();
    driver = held;
    deviceLock = heldLock;
    foundFilter = heldFound;
    foundDevice = heldFoundDevice;
    if (held) {
        boardConfig = heldFacts[0];
        remoteAddress = heldFacts[1];
        remoteI2cAddress = heldFacts[2];
        chipId = heldFacts[3];
        newGeneration = heldFacts[4];
    }
    return bound ? TRUE : FALSE;
}

BOOL DeviceControl::IsDevicePresent() {
    char name[kDeviceNameBufferSize];
    GetCaptureDeviceName(name);
    return CanBind(name);
}

void DeviceControl::ShowPropertyPagesByName(HWND owner, const char* wantedName) {
    ComPtr<IBaseFilter> filter;
    *filter.ReleaseAndGetAddressOf() = FindCaptureDeviceOf(wantedName, nullptr, nullptr, nullptr);
    if (!filter) {
        return;
    }
    ComPtr<ISpecifyPropertyPages> specify;
    if (Record(filter.As(&specify)) < 0 || !specify) {
        return;
    }
    // A page list the filter failed to supply has no defined content: no frame.
    PageList pages;
    if (FAILED(specify->GetPages(pages.Get()))) {
        pages.Get()->pElems = nullptr;
        return;
    }
    IUnknown* objects[] = {filter.Get()};
    OleCreatePropertyFrame(owner, 0, 0, nullptr, 1, objects, pages.Get()->cElems,
                           pages.Get()->pElems, 0, 0, nullptr);
}

void DeviceControl::ShowPropertyPages(HWND owner) {
    char name[kDeviceNameBufferSize];
    GetCaptureDeviceName(name);
    ShowPropertyPagesByName(owner, name);
}

BOOL DeviceControl::OpenAudioFilters(char* audioDeviceName, IBaseFilter** audioCaptureFilterOut,
                                     IBaseFilter** audioDeviceFilterOut,
                                     IBaseFilter** audioRendererFilterOut) {
    char name[kDeviceNameBufferSize];
    GetAudioDeviceName(name);
    CopyName(audioDeviceName, name);
    // Filters from an earlier call are let go, not overwritten.
    ReleaseAudioFilters();

    struct Request {
        IBaseFilter** out;
        IBaseFilter** field;
        GUID category;
        const char* name;
    };
    const Request requests[] = {
        {audioCaptureFilterOut, &audioCaptureFilter, CLSID_AudioInputDeviceCategory, name},
        {audioDeviceFilterOut, &audioDeviceFilter, KSCATEGORY_AUDIO, name},
        {audioRendererFilterOut, &audioRendererFilter, CLSID_AudioRendererCategory,
         kAudioRendererName},
    };
    bool allFound = true;
    for (const Request& request : requests) {
        if (request.out) {
            *request.field = FindFilter(request.category, request.name);
            *request.out = *request.field;
            allFound = allFound && *request.field;
        }
    }
    if (allFound) {
        return TRUE;
    }
    // All or nothing; the caller gets no pointer to a released filter.
    ReleaseAudioFilters();
    for (const Request& request : requests) {
        if (request.out) {
            *request.out = nullptr;
        }
    }
    return FALSE;
}
