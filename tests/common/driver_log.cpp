#include "tests/common/driver_log.h"

#include <cstdio>

namespace {

const char* PropertyName(DWORD id) {
    switch (id) {
        // clang-format off
#define VELTO1_NAME(name) case CPROP_##name: return #name;
        VELTO1_NAME(CHIP_CONFIG) VELTO1_NAME(REG_SELECT) VELTO1_NAME(REG_DATA)
        VELTO1_NAME(I2C_TRANSFER) VELTO1_NAME(I2C_DATA) VELTO1_NAME(I2C_DEVICE)
        VELTO1_NAME(I2C_DEVICE_STATE) VELTO1_NAME(I2C_DEVICE_READY) VELTO1_NAME(VALUE_1019)
        VELTO1_NAME(CHIP_ID) VELTO1_NAME(REMOTE_ADDRESS) VELTO1_NAME(REMOTE_I2C_ADDRESS)
        VELTO1_NAME(ALT_REG_SELECT) VELTO1_NAME(ALT_REG_DATA) VELTO1_NAME(VALUE_1034)
        VELTO1_NAME(VALUE_1035) VELTO1_NAME(BOARD_CONFIG) VELTO1_NAME(VALUE_103C)
        VELTO1_NAME(VALUE_103D) VELTO1_NAME(CONFIG_103E)
#undef VELTO1_NAME
            // clang-format on
            default : return nullptr;
    }
}

std::string Hex(DWORD value, int digits = 1) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*lX", digits, static_cast<unsigned long>(value));
    return text;
}

std::string Status(HRESULT status) {
    switch (status) {
        case S_OK:
            return "";
        case S_FALSE:
            return "!S_FALSE";
        case E_FAIL:
            return "!E_FAIL";
        case DEVCTL_E_UNPLUGGED:
            return "!UNPLUGGED";
        case sim::kNoDeviceAtAddress:
            return "!NO_DEVICE";
        default:
            return "!" + Hex(static_cast<DWORD>(status));
    }
}

std::string EveryCallForm(const sim::DriverCall& call) {
    static const char* const kSlot[] = {"Set", "Get", "Invoke", "Transfer", "SetDirect"};
    std::string text = kSlot[static_cast<int>(call.slot)];
    if (call.slot == sim::DriverSlot::Transfer) {
        text += ":" + Hex(call.id, 2);
    } else if (call.slot != sim::DriverSlot::Invoke) {
        const char* name = PropertyName(call.id);
        text += ":" + (name ? std::string(name) : Hex(call.id));
    }
    return text + "=" + Hex(call.word) + Status(call.status);
}

// The data call's token with its select folded in ("" if it is none).
std::string TransferForm(const sim::DriverCall& select, const sim::DriverCall& data) {
    if (select.slot != sim::DriverSlot::Set || data.slot == sim::DriverSlot::Invoke ||
        data.slot == sim::DriverSlot::Transfer || data.slot == sim::DriverSlot::SetDirect) {
        return "";
    }
    const std::string direction = data.slot == sim::DriverSlot::Get ? "R" : "W";
    const std::string value = "=" + Hex(data.word, 2) + Status(data.status);
    if (select.id == CPROP_REG_SELECT && data.id == CPROP_REG_DATA) {
        return direction + Hex(select.word >> 8 & 0xFFFF, 2) + value;
    }
    if (select.id == CPROP_I2C_TRANSFER && data.id == CPROP_I2C_DATA) {
        const sim::I2cTransfer transfer = sim::DecodeI2cDescriptor(select.word);
        return direction + Hex(transfer.address, 2) +
               (transfer.subAddress ? ":" + Hex(*transfer.subAddress, 2) : "") + value;
    }
    return "";
}

}  // namespace

std::string DescribeDriverLog(const std::vector<sim::DriverCall>& calls, LogForm form) {
    std::string text;
    for (size_t i = 0; i < calls.size(); ++i) {
        std::string token;
        if (form == LogForm::Transfers && i + 1 < calls.size() && calls[i].status == S_OK) {
            token = TransferForm(calls[i], calls[i + 1]);
            i += token.empty() ? 0 : 1;
        }
        if (token.empty()) {
            token = EveryCallForm(calls[i]);
        }
        text += (text.empty() ? "" : " ") + token;
    }
    return text;
}
