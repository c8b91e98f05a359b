#include "simdevice/filter/filter.h"

#include <map>
#include <new>

#include "common/win32_owners.h"
#include "common/com_object.h"
#include "simdevice/chip/eeprom_file.h"
#include "simdevice/chip/replay_driver.h"
#include "simdevice/devices/device_store.h"
#include "simdevice/devices/settings_table.h"
#include "simdevice/filter/module.h"

using Microsoft::WRL::ComPtr;

namespace sim {

namespace {

// What the driver slots answer when the filter has no driver.
constexpr HRESULT kNoDriver = HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);

// Filters bound to the same device share its chip: in one process one SimChip,
// and between processes its state file (chip_memory.h), as handles on one
// piece of hardware would. The chip stays powered while the device is plugged
// in (simdevctl add powers it on); a process that finds no whole state in the
// file puts the chip in the device's power-on state.
class ChipTable {
  public:
    HRESULT ChipFor(const DeviceSettings& settings, const EepromImage& image,
                    std::shared_ptr<SimChip>& chip) {
        const velto1::ExclusiveLockScope lock(lock_);
        chip = settings.id.empty() ? nullptr : chips_[settings.id].lock();
        if (chip) {
            return S_OK;
        }
        if (settings.id.empty()) {
            chip = std::make_shared<SimChip>(settings.identity, image);
            PowerOnDevice(settings, image, *chip);
        } else {
            std::unique_ptr<ChipMemory> memory;
            const HRESULT status = ChipMemory::Shared(settings.id, ChipStateFile(settings), memory);
            if (FAILED(status)) {
                return status;
            }
            chip = std::make_shared<SimChip>(settings.identity, true, std::move(memory));
            // A chip already on is bound without waiting, as a driver opens a
            // device while another program's call is in it.
            if (!chip->PoweredOn()) {
                ChipCall call(chip->Memory(), kChipCallWaitMilliseconds);
                if (!call.Held()) {
                    chip.reset();
                    return kChipHeldTooLong;
                }
                if (!chip->PoweredOn()) {
                    PowerOnDevice(settings, image, *chip);
                    call.Commit();
                }
            }
            chips_[settings.id] = chip;
        }
        if (!settings.eepromFile.empty()) {
            // The file is the EEPROM: read on every read, changed by every
            // write, shared with every other process bound to the device.
            chip->Eeprom()->SetStore(std::make_shared<EepromFile>(settings.eepromFile));
        }
        return S_OK;
    }

  private:
    SRWLOCK lock_ = SRWLOCK_INIT;
    std::map<std::wstring, std::weak_ptr<SimChip>> chips_;
};

ChipTable& Chips() {
    static ChipTable table;
    return table;
}

// A device's replay goes on across the filters a process binds to it; it
// starts afresh in each process, as the recorded program's run did.
class ReplayTable {
  public:
    // The device's replay session, or null when its recording can't be read.
    std::shared_ptr<ReplaySession> SessionFor(const DeviceSettings& settings) {
        const velto1::ExclusiveLockScope lock(lock_);
        std::shared_ptr<ReplaySession>& session =
            sessions_[settings.id + L"|" + settings.replayFile];
        if (!session) {
            velto1::Recording recording;
            std::wstring problem;
            if (LoadRecording(settings.replayFile, &recording, &problem)) {
                const std::wstring id = settings.id;
                session = std::make_shared<ReplaySession>(
                    std::move(recording),
                    [id](const std::wstring& divergence) { KeepReplayDivergence(id, divergence); });
            }
        }
        return session;
    }

  private:
    SRWLOCK lock_ = SRWLOCK_INIT;
    std::map<std::wstring, std::shared_ptr<ReplaySession>> sessions_;
};

ReplayTable& Replays() {
    static ReplayTable table;
    return table;
}

// A filter without pins has nothing to enumerate.
class EmptyPinEnumerator : public velto1::ComObject<IEnumPins> {
  public:
    EmptyPinEnumerator() { ModuleObjectCreated(); }

    HRESULT STDMETHODCALLTYPE Next(ULONG count, IPin** pins, ULONG* fetched) override {
        if (!pins || (count != 1 && !fetched)) {
            return E_POINTER;
        }
        if (fetched) {
            *fetched = 0;
        }
        return count == 0 ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override { return count == 0 ? S_OK : S_FALSE; }
    HRESULT STDMETHODCALLTYPE Reset() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Clone(IEnumPins** clone) override {
        if (!clone) {
            return E_POINTER;
        }
        *clone = new (std::nothrow) EmptyPinEnumerator();
        return *clone ? S_OK : E_OUTOFMEMORY;
    }

  private:
    ~EmptyPinEnumerator() override { ModuleObjectDestroyed(); }
};

// Reads the instance's settings from the property bag DirectShow hands over.
class BagSource : public SettingsSource {
  public:
    explicit BagSource(IPropertyBag* bag) : bag_(bag) {}
    std::optional<DWORD> Dword(const wchar_t* name) override {
        velto1::UniqueVariant value;
        V_VT(value.Get()) = VT_I4;
        if (FAILED(bag_->Read(name, value.Get(), nullptr))) {
            return std::nullopt;
        }
        if (V_VT(value.Get()) == VT_I4) {
            return static_cast<DWORD>(V_I4(value.Get()));
        }
        if (V_VT(value.Get()) == VT_UI4) {
            return V_UI4(value.Get());
        }
        return std::nullopt;
    }
    std::optional<std::wstring> String(const wchar_t* name) override {
        velto1::UniqueVariant value;
        V_VT(value.Get()) = VT_BSTR;
        V_BSTR(value.Get()) = nullptr;
        if (FAILED(bag_->Read(name, value.Get(), nullptr)) || !value.String()) {
            return std::nullopt;
        }
        return std::wstring(value.String());
    }

  private:
    IPropertyBag* bag_;
};

void CopyText(wchar_t* out, size_t capacity, const std::wstring& text) {
    const size_t length = text.size() < capacity ? text.size() : capacity - 1;
    text.copy(out, length);
    out[length] = L'\0';
}

}  // namespace

SimCaptureFilter::SimCaptureFilter() {
    ModuleObjectCreated();
}

SimCaptureFilter::~SimCaptureFilter() {
    ModuleObjectDestroyed();
}

HRESULT CreateSimCaptureFilter(REFIID iid, void** object) {
    auto* filter = new (std::nothrow) SimCaptureFilter();
    if (!filter) {
        return E_OUTOFMEMORY;
    }
    const HRESULT status = filter->QueryInterface(iid, object);
    filter->Release();
    return status;
}

HRESULT SimCaptureFilter::QueryInterface(REFIID iid, void** object) {
    if (!object) {
        return E_POINTER;
    }
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IPersist) || iid == __uuidof(IMediaFilter) ||
        iid == __uuidof(IBaseFilter)) {
        *object = static_cast<IBaseFilter*>(this);
    } else if (iid == __uuidof(ICustomProperty) && settings_.offersCustomProperty) {
        *object = static_cast<ICustomProperty*>(this);
    } else if (iid == __uuidof(IPersistPropertyBag)) {
        *object = static_cast<IPersistPropertyBag*>(this);
    } else if (iid == __uuidof(ISpecifyPropertyPages)) {
        *object = static_cast<ISpecifyPropertyPages*>(this);
    } else if (iid == __uuidof(ISimDeviceInfo)) {
        *object = static_cast<ISimDeviceInfo*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG SimCaptureFilter::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

ULONG SimCaptureFilter::Release() {
    const LONG refs = InterlockedDecrement(&refs_);
    if (refs == 0) {
        delete this;
    }
    return static_cast<ULONG>(refs);
}

HRESULT SimCaptureFilter::GetClassID(CLSID* clsid) {
    if (!clsid) {
        return E_POINTER;
    }
    *clsid = CLSID_SimCaptureFilter;
    return S_OK;
}

HRESULT SimCaptureFilter::Stop() {
    state_ = State_Stopped;
    return S_OK;
}

HRESULT SimCaptureFilter::Pause() {
    state_ = State_Paused;
    return S_OK;
}

HRESULT SimCaptureFilter::Run(REFERENCE_TIME) {
    state_ = State_Running;
    return S_OK;
}

HRESULT SimCaptureFilter::GetState(DWORD, FILTER_STATE* state) {
    if (!state) {
        return E_POINTER;
    }
    *state = state_;
    return S_OK;
}

HRESULT SimCaptureFilter::SetSyncSource(IReferenceClock* clock) {
    clock_ = clock;
    return S_OK;
}

HRESULT SimCaptureFilter::GetSyncSource(IReferenceClock** clock) {
    if (!clock) {
        return E_POINTER;
    }
    return clock_.CopyTo(clock);
}

HRESULT SimCaptureFilter::EnumPins(IEnumPins** pins) {
    if (!pins) {
        return E_POINTER;
    }
    *pins = new (std::nothrow) EmptyPinEnumerator();
    return *pins ? S_OK : E_OUTOFMEMORY;
}

HRESULT SimCaptureFilter::FindPin(LPCWSTR, IPin** pin) {
    if (!pin) {
        return E_POINTER;
    }
    *pin = nullptr;
    return VFW_E_NOT_FOUND;
}

HRESULT SimCaptureFilter::QueryFilterInfo(FILTER_INFO* info) {
    if (!info) {
        return E_POINTER;
    }
    CopyText(info->achName, MAX_FILTER_NAME, graphName_);
    info->pGraph = graph_;
    if (graph_) {
        graph_->AddRef();
    }
    return S_OK;
}

HRESULT SimCaptureFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
    graph_ = graph;
    graphName_ = name ? name : L"";
    return S_OK;
}

HRESULT SimCaptureFilter::QueryVendorInfo(LPWSTR*) {
    return E_NOTIMPL;
}

// Made on first use for a filter created without a property bag (a default
// device, EEPROM in memory); null when it can't be made, which the driver
// slots report as a device that is not there.
SimDriver* SimCaptureFilter::Driver() {
    if (!driver_) {
        Configure(settings_, friendlyName_);
    }
    return driver_.Get();
}

ICustomProperty* SimCaptureFilter::Answering() {
    SimDriver* driver = Driver();
    if (replay_) {
        return replay_.Get();
    }
    return driver;
}

HRESULT SimCaptureFilter::ReservedSlot3() {
    return E_NOTIMPL;
}
HRESULT SimCaptureFilter::Set(DWORD id, const void* data) {
    ICustomProperty* driver = Answering();
    return driver ? driver->Set(id, data) : kNoDriver;
}
HRESULT SimCaptureFilter::Get(DWORD id, void* data) {
    ICustomProperty* driver = Answering();
    return driver ? driver->Get(id, data) : kNoDriver;
}
HRESULT SimCaptureFilter::Invoke(DWORD first, DWORD second, DWORD third) {
    ICustomProperty* driver = Answering();
    return driver ? driver->Invoke(first, second, third) : kNoDriver;
}
HRESULT SimCaptureFilter::Transfer(DWORD target, DWORD writeLength, const void* writeData,
                                   DWORD readLength, void* readData) {
    ICustomProperty* driver = Answering();
    return driver ? driver->Transfer(target, writeLength, writeData, readLength, readData)
                  : kNoDriver;
}
HRESULT SimCaptureFilter::SetDirect(DWORD id, DWORD value) {
    ICustomProperty* driver = Answering();
    return driver ? driver->SetDirect(id, value) : kNoDriver;
}

HRESULT SimCaptureFilter::Configure(const DeviceSettings& settings,
                                    const std::wstring& friendlyName) {
    EepromImage image = FreshProductEeprom();
    if (!settings.eepromFile.empty()) {
        // Adding the device made the file: one removed since is an EEPROM that
        // can't be written or read (its transfers fail), never a fresh one.
        const HRESULT status = LoadEepromFile(settings.eepromFile, image);
        if (FAILED(status) && status != HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) &&
            status != HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)) {
            return status;
        }
    }
    std::shared_ptr<SimChip> chip;
    const HRESULT status = Chips().ChipFor(settings, image, chip);
    if (FAILED(status)) {
        return status;
    }
    // The ComPtr takes over the one reference CreateSimDriver hands back.
    ComPtr<SimDriver> driver;
    *driver.GetAddressOf() = CreateSimDriver(std::move(chip));
    driver->Faults().atCall = settings.failAtCall;
    driver->Faults().onProperty = settings.failOnProperty;
    for (const auto& [nth, status] : settings.failOnI2cWrite) {
        driver->Faults().onCall[{DriverSlot::Set, CPROP_I2C_DATA, static_cast<unsigned>(nth)}] =
            status;
    }
    for (const auto& [id, word] : settings.foreignSelection) {
        driver->Faults().foreignSelectionOn[id] = static_cast<DWORD>(word);
    }
    driver->Faults().shortReadBy = settings.shortReadBy;
    if (settings.unplugFromCall != 0) {
        driver->Faults().unplugFromCall = settings.unplugFromCall;
    }
    if (!settings.replayFile.empty()) {
        std::shared_ptr<ReplaySession> session = Replays().SessionFor(settings);
        if (!session) {
            return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
        }
        *replay_.ReleaseAndGetAddressOf() = new ReplayDriver(std::move(session));
    }
    driver_ = std::move(driver);
    settings_ = settings;
    friendlyName_ = friendlyName;
    return S_OK;
}

HRESULT SimCaptureFilter::InitNew() {
    return Configure(DeviceSettings(), L"");
}

HRESULT SimCaptureFilter::Load(IPropertyBag* bag, IErrorLog*) {
    if (!bag) {
        return E_POINTER;
    }
    BagSource source(bag);
    DeviceSettings settings;
    ReadSettingValues(source, settings);
    if (FAILED(settings.bindStatus)) {
        return settings.bindStatus;
    }
    return Configure(settings, source.String(L"FriendlyName").value_or(L""));
}

HRESULT SimCaptureFilter::Save(IPropertyBag*, BOOL, BOOL) {
    return E_NOTIMPL;
}

HRESULT SimCaptureFilter::GetPages(CAUUID* pages) {
    if (!pages) {
        return E_POINTER;
    }
    pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
    if (!pages->pElems) {
        pages->cElems = 0;
        return E_OUTOFMEMORY;
    }
    pages->cElems = 1;
    pages->pElems[0] = CLSID_SimDevicePropertyPage;
    return S_OK;
}

HRESULT SimCaptureFilter::GetSnapshot(SimDeviceSnapshot* snapshot) {
    if (!snapshot) {
        return E_POINTER;
    }
    SimDriver* driver = Driver();
    if (!driver) {
        return kNoDriver;
    }
    SimChip& chip = driver->Chip();
    const ChipCall call(chip.Memory(), kChipCallWaitMilliseconds);
    if (!call.Held()) {
        return kChipHeldTooLong;
    }
    CopyText(snapshot->id, 128, settings_.id);
    CopyText(snapshot->friendlyName, 260, friendlyName_);
    CopyText(snapshot->eepromFile, MAX_PATH, settings_.eepromFile);
    snapshot->chipId = chip.Identity().chipId;
    snapshot->chipConfig = chip.Identity().chipConfig;
    snapshot->boardConfig = chip.Identity().boardConfig;
    chip.Eeprom()->Refresh();  // unreadable now: the bytes last seen
    const EepromImage& eeprom = chip.Eeprom()->Bytes();
    snapshot->optionByte = eeprom[kOptionByteOffset];
    snapshot->productMarker = eeprom[kMarkerOffset];
    snapshot->optionByteWrites = chip.Eeprom()->CellWriteCount(kOptionByteOffset);
    snapshot->offersCustomProperty = settings_.offersCustomProperty ? TRUE : FALSE;
    return S_OK;
}

}  // namespace sim
