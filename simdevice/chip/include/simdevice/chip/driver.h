// SimDriver: the simulated capture driver's ICustomProperty. It forwards every
// call to a SimChip, holding the chip for the call (other processes may share
// it), can inject driver failures, and logs each call the library makes. A COM
// object with its own reference count; several drivers may share one chip.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <optional>
#include <tuple>
#include <vector>

#include "common/call_recording.h"
#include "devctl/custom_property.h"
#include "common/com_object.h"
#include "simdevice/chip/chip.h"

namespace sim {

// The driver's five call slots, as recordings name them.
using DriverSlot = velto1::CallSlot;

// One call as the driver saw it. word: for Set the first (up to four) bytes
// passed; for Get the bytes delivered; for SetDirect the value; for Invoke the
// first value; for Transfer the first byte written. id: the property id, the
// Transfer target, or 0 for Invoke.
struct DriverCall {
    DriverSlot slot;
    DWORD id;
    DWORD word;
    HRESULT status;
    bool operator==(const DriverCall& other) const {
        return slot == other.slot && id == other.id && word == other.word && status == other.status;
    }
};

// A call picked by what it is: the nth (from 1, counted since the log was
// last cleared) call of this slot with this id (as in DriverCall), e.g. the
// third Get of CPROP_I2C_DATA.
struct CallOf {
    DriverSlot slot;
    DWORD id;
    unsigned nth;
    bool operator<(const CallOf& other) const {
        return std::tie(slot, id, nth) < std::tie(other.slot, other.id, other.nth);
    }
};

// Failures to inject. Calls are numbered from 1 over the driver's lifetime;
// a failed call does nothing but return its status, so status 0 makes a
// driver that answers success and does nothing (delivers no data).
struct FaultPlan {
    std::map<unsigned, HRESULT> atCall;      // the Nth call returns this status
    std::map<CallOf, HRESULT> onCall;        // the call so described returns this status
    std::map<DWORD, HRESULT> onProperty;     // every Set/Get/SetDirect of this id
    std::optional<unsigned> unplugFromCall;  // from this call on: unpluggedStatus
    HRESULT unpluggedStatus = DEVCTL_E_UNPLUGGED;
    // Just before the call so described, another program on the same driver
    // sets the selection that the call's data property moves by (the register
    // select, the alternate select or the I2C descriptor) to this word.
    std::map<CallOf, DWORD> foreignSelectionBefore;
    // The same before every Get and Set of the data property (the key).
    std::map<DWORD, DWORD> foreignSelectionOn;
    // Every data Get delivers this many bytes fewer than its selection counts.
    unsigned shortReadBy = 0;
};

class SimDriver : public velto1::ComObject<ICustomProperty> {
  public:
    explicit SimDriver(std::shared_ptr<SimChip> chip);

    // ICustomProperty
    HRESULT STDMETHODCALLTYPE ReservedSlot3() override;
    HRESULT STDMETHODCALLTYPE Set(DWORD id, const void* data) override;
    HRESULT STDMETHODCALLTYPE Get(DWORD id, void* data) override;
    HRESULT STDMETHODCALLTYPE Invoke(DWORD first, DWORD second, DWORD third) override;
    HRESULT STDMETHODCALLTYPE Transfer(DWORD target, DWORD writeLength, const void* writeData,
                                       DWORD readLength, void* readData) override;
    HRESULT STDMETHODCALLTYPE SetDirect(DWORD id, DWORD value) override;

    SimChip& Chip() { return *chip_; }
    FaultPlan& Faults() { return faults_; }
    const std::vector<DriverCall>& Calls() const { return calls_; }
    unsigned CallCount() const { return callCount_; }
    // Empties the log and starts the counts of CallOf afresh.
    void ClearLog() {
        calls_.clear();
        callsOf_.clear();
    }

    // Objects of this class alive in the process.
    static LONG LiveObjects();

  private:
    ~SimDriver() override;
    std::optional<HRESULT> InjectedFault(DriverSlot slot, DWORD id);
    template <typename Call>
    HRESULT OnChip(DriverSlot slot, DWORD id, Call call);
    HRESULT Log(DriverSlot slot, DWORD id, DWORD word, HRESULT status);

    std::shared_ptr<SimChip> chip_;
    FaultPlan faults_;
    std::vector<DriverCall> calls_;
    unsigned callCount_ = 0;
    std::map<std::pair<DriverSlot, DWORD>, unsigned> callsOf_;  // per slot and property id
};

// Creates a driver over the chip; the caller owns the one reference.
SimDriver* CreateSimDriver(std::shared_ptr<SimChip> chip);

}  // namespace sim
