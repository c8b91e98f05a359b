#include "cli/outcomes.h"

#include "common/hex_text.h"

namespace cli {

int ExitCode(UpdateOutcome outcome) {
    switch (outcome) {
        case UpdateOutcome::Completed:
        case UpdateOutcome::AlreadyUpdated:
            return kExitSuccess;
        case UpdateOutcome::UpdateNeeded:
            return kExitUpdateNeeded;
        case UpdateOutcome::DeviceNotOpened:
            return kExitNoDevice;
        case UpdateOutcome::NotSupportedProduct:
            return kExitNotSupported;
        case UpdateOutcome::DeviceBusy:
            return kExitDeviceBusy;
        case UpdateOutcome::MarkerReadFailed:
            return kExitMarkerRead;
        case UpdateOutcome::OptionReadFailed:
            return kExitOptionRead;
        case UpdateOutcome::OptionWriteFailed:
            return kExitOptionWrite;
        case UpdateOutcome::ReadBackFailed:
            return kExitReadBack;
        case UpdateOutcome::BitStillSet:
            break;
    }
    return kExitBitStillSet;
}

std::string HexByte(DWORD value) {
    return velto1::HexText(value, value > 0xFF ? 8 : 2);
}

std::string StatusText(HRESULT status) {
    return velto1::StatusWordText(status);
}

std::string OutcomeText(const UpdateResult& result, HRESULT bindStatus) {
    const std::string failed = " failed, status " + StatusText(result.status);
    switch (result.outcome) {
        case UpdateOutcome::Completed:
            return "updated";
        case UpdateOutcome::AlreadyUpdated:
            return "already updated";
        case UpdateOutcome::UpdateNeeded:
            return "update needed";
        case UpdateOutcome::DeviceNotOpened:
            return bindStatus == S_OK ? "W001 device not found"
                                      : "W001 device not opened: its driver interface could not be "
                                        "bound, status " +
                                            StatusText(bindStatus);
        case UpdateOutcome::NotSupportedProduct:
            return "W002 not a supported product (marker " + HexByte(result.marker) + ")";
        case UpdateOutcome::DeviceBusy:
            return "busy: another program held the device longer than " +
                   std::to_string(kDeviceWaitMilliseconds / 1000) + " s, status " +
                   StatusText(result.status) + "; nothing was sent";
        case UpdateOutcome::MarkerReadFailed:
            return "E001 reading the product marker" + failed;
        case UpdateOutcome::OptionReadFailed:
            return "E002 reading the option byte" + failed;
        case UpdateOutcome::OptionWriteFailed:
            return "E003 writing the option byte" + failed;
        case UpdateOutcome::ReadBackFailed:
            return "E004 reading the option byte back" + failed;
        case UpdateOutcome::BitStillSet:
            break;
    }
    return "E005 bit 7 still set after the write";
}

}  // namespace cli
