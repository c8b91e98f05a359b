#include "appcore/update_procedure.h"

#include "appcore/platform.h"
#include "common/eeprom_layout.h"

namespace {

// The EEPROM layout the update relies on.
using velto1::eeprom::kMarkerOffset;
using velto1::eeprom::kNotUpdatedBit;
using velto1::eeprom::kOptionByteOffset;
using velto1::eeprom::kSupportedProductMarker;
constexpr DWORD kEepromAddress = velto1::eeprom::kBusAddress;
constexpr DWORD kOptionBitsKept = 0x7F;  // bits 0 to 6 are written back as read

// Gives the device time between steps (the EEPROM's write cycle among them).
constexpr DWORD kStepPauseMilliseconds = 500;

void PauseBetweenSteps() {
    AppPlatform().Sleep(kStepPauseMilliseconds);
}

UpdateResult Ended(UpdateResult result, UpdateOutcome outcome, HRESULT status = S_OK) {
    result.outcome = outcome;
    result.status = status;
    return result;
}

}  // namespace

UpdateResult RunUpdateProcedure(DeviceControl* device, UpdateMode mode) {
    UpdateResult result = {UpdateOutcome::DeviceNotOpened, S_OK, false, 0, false, 0, false, 0};
    if (!device) {
        return result;
    }
    const DeviceHold hold(*device);
    if (hold.Status() == DEVCTL_E_DEVICE_BUSY) {
        return Ended(result, UpdateOutcome::DeviceBusy, hold.Status());
    }
    // Neither result is examined: the marker alone tells a supported device.
    // A check writes nothing at all, the GPIO register included.
    if (mode == UpdateMode::Apply) {
        device->SetGpioBits(0);
    }
    DWORD vendor = 0;
    DWORD product = 0;
    device->GetVendorProductIds(&vendor, &product);

    // One word carries every transfer; a one-byte transfer uses its low byte.
    DWORD word = 0;
    PauseBetweenSteps();
    HRESULT status = device->ReadI2c(kEepromAddress, kMarkerOffset, 1, &word);
    if (status != S_OK) {
        return Ended(result, UpdateOutcome::MarkerReadFailed, status);
    }
    result.markerRead = true;
    result.marker = word;
    // All 32 bits: a read that left anything in the upper part is not a marker.
    if (word != kSupportedProductMarker) {
        return Ended(result, UpdateOutcome::NotSupportedProduct);
    }

    PauseBetweenSteps();
    status = device->ReadI2c(kEepromAddress, kOptionByteOffset, 1, &word);
    if (status != S_OK) {
        return Ended(result, UpdateOutcome::OptionReadFailed, status);
    }
    result.optionRead = true;
    result.optionBefore = word;
    if (!(word & kNotUpdatedBit)) {
        return Ended(result, UpdateOutcome::AlreadyUpdated);
    }
    if (mode == UpdateMode::CheckOnly) {
        return Ended(result, UpdateOutcome::UpdateNeeded);
    }
    word &= kOptionBitsKept;

    PauseBetweenSteps();
    status = device->WriteI2c(kEepromAddress, kOptionByteOffset, 1, &word);
    if (status != S_OK) {
        return Ended(result, UpdateOutcome::OptionWriteFailed, status);
    }

    PauseBetweenSteps();
    word = kNotUpdatedBit;  // a verifying read starts from a value that fails the check
    status = device->ReadI2c(kEepromAddress, kOptionByteOffset, 1, &word);
    if (status != S_OK) {
        return Ended(result, UpdateOutcome::ReadBackFailed, status);
    }
    result.optionReadBack = true;
    result.optionAfter = word;
    return Ended(result,
                 (word & kNotUpdatedBit) ? UpdateOutcome::BitStillSet : UpdateOutcome::Completed);
}
