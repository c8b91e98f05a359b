// A second program on the simulated device: binds the capture device of the
// given name through the library and writes one EEPROM byte COUNT times
// (FIRST, FIRST+1, ...), reading it back after each write. It signals the
// ready event once bound and waits for the go event before the first write,
// so that several writers run at once. Exit 0 when every write and read-back
// succeeded, else 1 with the failure on stderr; 2 on bad arguments.
//
//   simdevice_eeprom_writer NAME OFFSET FIRST COUNT READY_EVENT GO_EVENT
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "common/win32_owners.h"
#include "devctl/device_control.h"

namespace {

constexpr DWORD kEepromAddress = 0xA0;

bool ParseNumber(const char* text, DWORD& number) {
    char* end = nullptr;
    number = std::strtoul(text, &end, 0);
    return *text != '\0' && *end == '\0';
}

bool WaitForGo(const char* readyName, const char* goName) {
    const velto1::UniqueHandle ready(OpenEventA(EVENT_MODIFY_STATE, FALSE, readyName));
    const velto1::UniqueHandle go(OpenEventA(SYNCHRONIZE, FALSE, goName));
    return ready.Valid() && go.Valid() && SetEvent(ready.Get()) &&
           WaitForSingleObject(go.Get(), 60000) == WAIT_OBJECT_0;
}

int WriteBytes(DeviceControl& device, DWORD offset, DWORD first, DWORD count) {
    for (DWORD i = 0; i < count; ++i) {
        const BYTE value = static_cast<BYTE>(first + i);
        HRESULT status = device.WriteI2c(kEepromAddress, offset, 1, &value);
        if (status != S_OK) {
            std::fprintf(stderr, "write %lu: status 0x%08lX\n", i,
                         static_cast<unsigned long>(status));
            return 1;
        }
        DWORD read = ~DWORD{value};  // fails the check unless the read delivers the byte
        status = device.ReadI2c(kEepromAddress, offset, 1, &read);
        if (status != S_OK || (read & 0xFF) != value) {
            std::fprintf(stderr, "read-back %lu: status 0x%08lX, 0x%02lX instead of 0x%02X\n", i,
                         static_cast<unsigned long>(status), read & 0xFF, unsigned{value});
            return 1;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    DWORD offset = 0;
    DWORD first = 0;
    DWORD count = 0;
    if (argc != 7 || !ParseNumber(argv[2], offset) || offset > 0xFF ||
        !ParseNumber(argv[3], first) || !ParseNumber(argv[4], count)) {
        std::fputs("usage: simdevice_eeprom_writer NAME OFFSET FIRST COUNT READY GO\n", stderr);
        return 2;
    }
    const velto1::ComInitScope com;
    if (!com.Initialised()) {
        return 1;
    }
    DeviceControl device;
    int result = 1;
    if (!device.Bind(argv[1])) {
        std::fprintf(stderr, "not bound: last result 0x%08lX\n",
                     static_cast<unsigned long>(device.GetLastResult()));
    } else if (!WaitForGo(argv[5], argv[6])) {
        std::fputs("no go\n", stderr);
    } else {
        result = WriteBytes(device, offset, first, count);
    }
    device.Close();
    return result;
}
