#include "simdevice/chip/driver.h"

#include <algorithm>
#include <cstring>

namespace sim {

namespace {

LONG liveDrivers = 0;

DWORD LeadingWord(const void* data, size_t size) {
    DWORD word = 0;
    if (data) {
        std::memcpy(&word, data, std::min(size, sizeof word));
    }
    return word;
}

}  // namespace

SimDriver::SimDriver(std::shared_ptr<SimChip> chip) : chip_(std::move(chip)) {
    InterlockedIncrement(&liveDrivers);
}

SimDriver::~SimDriver() {
    InterlockedDecrement(&liveDrivers);
}

LONG SimDriver::LiveObjects() {
    return liveDrivers;
}

SimDriver* CreateSimDriver(std::shared_ptr<SimChip> chip) {
    return new SimDriver(std::move(chip));
}

std::optional<HRESULT> SimDriver::InjectedFault(DriverSlot slot, DWORD id) {
    const unsigned call = ++callCount_;
    const unsigned nth = ++callsOf_[{slot, id}];
    if (auto it = faults_.foreignSelectionBefore.find({slot, id, nth});
        it != faults_.foreignSelectionBefore.end()) {
        if (const std::optional<DWORD> select = SelectionPropertyOf(id)) {
            chip_->Set(*select, &it->second);
        }
    }
    if (auto it = faults_.foreignSelectionOn.find(id);
        it != faults_.foreignSelectionOn.end() &&
        (slot == DriverSlot::Get || slot == DriverSlot::Set)) {
        if (const std::optional<DWORD> select = SelectionPropertyOf(id)) {
            chip_->Set(*select, &it->second);
        }
    }
    if (faults_.unplugFromCall && call >= *faults_.unplugFromCall) {
        return faults_.unpluggedStatus;
    }
    if (auto it = faults_.atCall.find(call); it != faults_.atCall.end()) {
        return it->second;
    }
    if (auto it = faults_.onCall.find({slot, id, nth}); it != faults_.onCall.end()) {
        return it->second;
    }
    const bool property =
        slot == DriverSlot::Set || slot == DriverSlot::Get || slot == DriverSlot::SetDirect;
    if (property) {
        if (auto it = faults_.onProperty.find(id); it != faults_.onProperty.end()) {
            return it->second;
        }
    }
    return std::nullopt;
}

HRESULT SimDriver::Log(DriverSlot slot, DWORD id, DWORD word, HRESULT status) {
    calls_.push_back({slot, id, word, status});
    return status;
}

HRESULT SimDriver::ReservedSlot3() {
    return E_NOTIMPL;
}

// Each call holds the chip, which other processes may share, from its first
// look at the chip to its last, and leaves what it changed as the chip's state.
template <typename Call>
HRESULT SimDriver::OnChip(DriverSlot slot, DWORD id, Call call) {
    ChipCall onChip(chip_->Memory(), kChipCallWaitMilliseconds);
    if (!onChip.Held()) {
        return Log(slot, id, 0, kChipHeldTooLong);
    }
    const HRESULT status = call();
    onChip.Commit();
    return status;
}

HRESULT SimDriver::Set(DWORD id, const void* data) {
    return OnChip(DriverSlot::Set, id, [&] {
        const DWORD word = LeadingWord(data, chip_->DataSize(id));
        if (auto fault = InjectedFault(DriverSlot::Set, id)) {
            return Log(DriverSlot::Set, id, word, *fault);
        }
        return Log(DriverSlot::Set, id, word, chip_->Set(id, data));
    });
}

HRESULT SimDriver::Get(DWORD id, void* data) {
    return OnChip(DriverSlot::Get, id, [&] {
        if (auto fault = InjectedFault(DriverSlot::Get, id)) {
            return Log(DriverSlot::Get, id, 0, *fault);
        }
        const size_t size = chip_->DataSize(id);
        if (faults_.shortReadBy && SelectionPropertyOf(id) && data) {
            // The chip fills a buffer of its own; the caller gets the shorter part.
            std::vector<BYTE> full(std::max<size_t>(size, sizeof(DWORD)));
            const HRESULT status = chip_->Get(id, full.data());
            std::memcpy(data, full.data(), size - std::min<size_t>(size, faults_.shortReadBy));
            return Log(DriverSlot::Get, id, SUCCEEDED(status) ? LeadingWord(data, size) : 0,
                       status);
        }
        const HRESULT status = chip_->Get(id, data);
        return Log(DriverSlot::Get, id, SUCCEEDED(status) ? LeadingWord(data, size) : 0, status);
    });
}

HRESULT SimDriver::Invoke(DWORD first, DWORD second, DWORD third) {
    return OnChip(DriverSlot::Invoke, 0, [&] {
        if (auto fault = InjectedFault(DriverSlot::Invoke, 0)) {
            return Log(DriverSlot::Invoke, 0, first, *fault);
        }
        return Log(DriverSlot::Invoke, 0, first, chip_->Invoke(first, second, third));
    });
}

HRESULT SimDriver::Transfer(DWORD target, DWORD writeLength, const void* writeData,
                            DWORD readLength, void* readData) {
    return OnChip(DriverSlot::Transfer, target, [&] {
        const DWORD word = writeLength ? LeadingWord(writeData, 1) : 0;
        if (auto fault = InjectedFault(DriverSlot::Transfer, target)) {
            return Log(DriverSlot::Transfer, target, word, *fault);
        }
        return Log(DriverSlot::Transfer, target, word,
                   chip_->Transfer(target, writeLength, writeData, readLength, readData));
    });
}

HRESULT SimDriver::SetDirect(DWORD id, DWORD value) {
    return OnChip(DriverSlot::SetDirect, id, [&] {
        if (auto fault = InjectedFault(DriverSlot::SetDirect, id)) {
            return Log(DriverSlot::SetDirect, id, value, *fault);
        }
        return Log(DriverSlot::SetDirect, id, value, chip_->SetDirect(id, value));
    });
}

}  // namespace sim
