#include "regconsole/console_log.h"

#include "common/hex_text.h"
#include "devctl/device_control.h"

namespace regconsole {

std::string Hex(DWORD value, int digits) {
    return velto1::HexText(value, digits, false);
}

std::string StatusText(HRESULT status) {
    std::string text = velto1::StatusWordText(status);
    switch (status) {
        case S_OK:
            return text + " (ok)";
        case DEVCTL_E_UNPLUGGED:
            return text + " (device unplugged)";
        case DEVCTL_S_BUSY:
            return text + " (refused: an input bit would be driven)";
        case DEVCTL_S_NOT_BOUND:
            return text + " (no device)";
        case DEVCTL_S_NOT_READY:
            return text + " (I2C device powered down or not ready)";
        case DEVCTL_S_NOT_SUPPORTED:
            return text + " (not supported on this chip)";
        default:
            return text;
    }
}

std::string BytesAsNumber(const std::vector<BYTE>& bytes) {
    std::string text;
    for (auto it = bytes.rbegin(); it != bytes.rend(); ++it) {
        text += Hex(*it);
    }
    return text;
}

void ConsoleLog::AddResult(const std::string& operation, HRESULT status) {
    Add(operation + ": " + StatusText(status));
}

std::string ConsoleLog::Text() const {
    std::string text;
    for (const std::string& line : lines_) {
        text += line;
        text += "\r\n";
    }
    return text;
}

}  // namespace regconsole
