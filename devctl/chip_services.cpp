// Chip services built on the property channel: the AC97 codec behind the
// bridge chip, the remote-control receiver of both chip generations, board
// information, single-register operations and the packed configuration word.
//
// Not bound, each operation returns DEVCTL_S_NOT_BOUND where it would make its
// first driver call, without recording it and without writing any output or
// field from there on; argument checks that come before still apply.
#include "devctl/device_control.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "devctl/operation_hold.h"

namespace {

// Register map (main space, one byte per access unless counted).
constexpr DWORD kRegister04 = 0x04;
constexpr DWORD kRegister0C = 0x0C;
constexpr DWORD kRegister0D = 0x0D;
constexpr DWORD kCodecData = 0x40;     // 16-bit data word, low byte first (0x40, 0x41)
constexpr DWORD kCodecCommand = 0x42;  // codec register index; bit 7 requests a read
constexpr DWORD kCodecStatus = 0x43;   // bit 0: busy
constexpr DWORD kRemoteCodeOld = 0x45;
constexpr DWORD kRemoteAckOld = 0x44;  // read after every code read on the older chip
constexpr DWORD kRemoteCodeNew = 0x51;

constexpr BYTE kCodecBusy = 0x01;
constexpr BYTE kCodecReadRequest = 0x80;
constexpr int kCodecMaxPolls = 2000;

constexpr BYTE kRegister0DValue = 0x88;
constexpr BYTE kRegister0CBit5 = 0x20;

constexpr DWORD kRemoteCodeBytes = 4;
constexpr BYTE kToggleBit = 0x80;
constexpr DWORD kRegisterWindowTarget = 0xFF;   // Transfer target of the chip's own registers
constexpr size_t kRegisterWindowBytes = 0x100;  // the window's 8-bit index reaches this far
constexpr DWORD kLongCodeBytes = 5;
// The board type is the low 4 bits of the board configuration; boards of
// these types send remote-control codes kLongCodeBytes long, all others
// kShortCodeBytes.
constexpr DWORD kBoardTypeMask = 0xF;
constexpr DWORD kLongCodeBoardTypes[] = {4, 6};
constexpr DWORD kShortCodeBytes = 3;

// Configuration word: mode in bits 31-24, flags in bits 5 and 4, value in 3-0.
constexpr DWORD kConfigModeShift = 24;
constexpr DWORD kConfigSecondFlag = 1u << 5;
constexpr DWORD kConfigFirstFlag = 1u << 4;
constexpr DWORD kConfigValueMask = 0x0F;

// Bytes 0 to 2 of a code, byte 0 lowest.
DWORD Code24(const BYTE* code) {
    return code[0] | (code[1] << 8) | (code[2] << 16);
}

}  // namespace

// Polls the codec's busy bit: S_OK once it reads idle; 5 when a poll read
// fails or 2000 polls in a row all found it busy.
HRESULT DeviceControl::WaitForCodec() {
    if (!driver) {
        return DEVCTL_S_NOT_BOUND;
    }
    for (int poll = 0; poll < kCodecMaxPolls; ++poll) {
        DWORD status = 0;
        if (ReadRegisters(kCodecStatus, 1, &status) < 0) {
            return DEVCTL_S_BUSY;
        }
        if ((status & kCodecBusy) == 0) {
            return S_OK;
        }
    }
    return DEVCTL_S_BUSY;
}

HRESULT DeviceControl::ReadAc97(DWORD index, WORD* value) {
    if (!driver) {
        return DEVCTL_S_NOT_BOUND;
    }
    const devctl_internal::OperationHold hold(*this);
    if (const HRESULT wait = WaitForCodec(); wait != S_OK) {
        return wait;
    }
    const BYTE command = static_cast<BYTE>(index | kCodecReadRequest);
    if (const HRESULT status = WriteRegisters(kCodecCommand, 1, &command); status < 0) {
        return status;
    }
    DWORD word = *value;  // a read delivers a whole 32-bit word; the caller's is 16 bits
    const HRESULT status = ReadRegistersWithEffect(kCodecData, sizeof *value, &word);
    *value = LOWORD(word);
    return status;
}

HRESULT DeviceControl::WriteAc97(DWORD index, const WORD* value) {
    if (!driver) {
        return DEVCTL_S_NOT_BOUND;
    }
    const devctl_internal::OperationHold hold(*this);
    if (const HRESULT wait = WaitForCodec(); wait != S_OK) {
        return wait;
    }
    if (const HRESULT status = WriteRegisters(kCodecData, sizeof *value, value); status < 0) {
        return status;
    }
    const BYTE command = static_cast<BYTE>(index);
    const HRESULT status = WriteRegisters(kCodecCommand, 1, &command);
    return status < 0 ? status : S_OK;
}

// Reads the four code bytes. A failed read goes on as "no key" under the
// current toggle, so that a driver error never shows as a key press nor
// moves the toggle.
HRESULT DeviceControl::ReadRemoteCodeRegister(DWORD index, BYTE* code) {
    const HRESULT status = ReadRegistersWithEffect(index, kRemoteCodeBytes, code);
    if (status < 0) {
        std::memset(code, 0, kRemoteCodeBytes);
        code[0] = static_cast<BYTE>(remoteToggle);
    }
    return status;
}

HRESULT DeviceControl::ReadRemoteCode(DWORD* code) {
    if (!driver) {
        return DEVCTL_S_NOT_BOUND;
    }
    const devctl_internal::OperationHold hold(*this);
    BYTE bytes[kRemoteCodeBytes] = {};
    const HRESULT status =
        ReadRemoteCodeRegister(newGeneration ? kRemoteCodeNew : kRemoteCodeOld, bytes);
    remoteToggle = bytes[0] & kToggleBit;
    *code = Code24(bytes);
    if (newGeneration) {
        return status;
    }
    DWORD acknowledge = 0;
    ReadRegistersWithEffect(kRemoteAckOld, 1, &acknowledge);
    return lastResult;
}

HRESULT DeviceControl::ReadRemoteKey(DWORD* key) {
    if (newGeneration) {
        return DEVCTL_S_NOT_SUPPORTED;
    }
    if (!driver) {
        return DEVCTL_S_NOT_BOUND;
    }
    const devctl_internal::OperationHold hold(*this);
    BYTE bytes[kRemoteCodeBytes] = {};
    ReadRemoteCodeRegister(kRemoteCodeOld, bytes);
    const BYTE toggle = bytes[0] & kToggleBit;
    const BYTE address = bytes[1];
    const BYTE command = bytes[2];
    if (remoteAddress != 0 && address != remoteAddress) {
        *key = kRemoteNoKey;  // another remote control's code
    } else if (toggle == remoteToggle) {
        *key = (bytes[0] & ~kToggleBit) ? kRemoteKeyHeld : kRemoteNoKey;
    } else {
        // 254 and 255 would read as held and no key: a new press of them is no key.
        *key = command >= kRemoteKeyHeld ? kRemoteNoKey : command;
        remoteToggle = toggle;
    }
    DWORD acknowledge = 0;
    ReadRegistersWithEffect(kRemoteAckOld, 1, &acknowledge);
    return lastResult;
}

// The driver writes the code into a window as large as the register window
// can answer, so that one writing past the five bytes asked for never reaches
// past the caller's buffer; the caller gets the five.
HRESULT DeviceControl::ReadRemoteCode5(void* buffer) {
    if (!driver) {
        return DEVCTL_S_NOT_BOUND;
    }
    BYTE window[kRegisterWindowBytes];
    std::memcpy(window, buffer, kLongCodeBytes);
    const BYTE request = static_cast<BYTE>(kRemoteCodeNew);
    const HRESULT status = TransferRaw(kRegisterWindowTarget, 1, &request, kLongCodeBytes, window);
    std::memcpy(buffer, window, kLongCodeBytes);
    // A failed read keeps the toggle, as for the register reads.
    if (status >= 0) {
        remoteToggle = window[0] & kToggleBit;
    }
    return status;
}

// The remote-control alias of the I2C reads: the key goes into the first
// min(count, 4) bytes of data, little-endian, and nothing beyond count bytes is
// written. Bytes the key read doesn't reach (not bound, later generation)
// keep what the caller had there.
HRESULT DeviceControl::ReadRemoteKeyInto(DWORD count, void* data) {
    const size_t size = std::min<size_t>(count, sizeof(DWORD));
    DWORD key = 0;
    std::memcpy(&key, data, size);
    const HRESULT status = ReadRemoteKey(&key);
    std::memcpy(data, &key, size);
    return status;
}

HRESULT DeviceControl::GetRemoteCode(void* buffer, DWORD* length) {
    if (*length < kShortCodeBytes) {
        return DEVCTL_S_BUFFER_SMALL;
    }
    if (newGeneration && *length >= kLongCodeBytes) {
        *length = kLongCodeBytes;
        return ReadRemoteCode5(buffer);
    }
    if (!driver) {
        return DEVCTL_S_NOT_BOUND;
    }
    DWORD code = 0;
    const HRESULT status = Record(ReadRemoteCode(&code));
    std::memcpy(buffer, &code, kShortCodeBytes);
    *length = kShortCodeBytes;
    return status;
}

HRESULT DeviceControl::GetBoardInfo(DWORD* boardType, DWORD* codeLength) {
    *boardType = boardConfig & kBoardTypeMask;
    const bool longCode = std::find(std::begin(kLongCodeBoardTypes), std::end(kLongCodeBoardTypes),
                                    *boardType) != std::end(kLongCodeBoardTypes);
    *codeLength = longCode ? kLongCodeBytes : kShortCodeBytes;
    return S_OK;
}

HRESULT DeviceControl::ReadRegister04(BYTE* data) {
    DWORD word = *data;  // a read delivers a whole 32-bit word; the caller's is one byte
    const HRESULT status = ReadRegisters(kRegister04, 1, &word);
    *data = LOBYTE(word);
    return status;
}

HRESULT DeviceControl::WriteRegister04(const BYTE* data) {
    return WriteRegisters(kRegister04, 1, data);
}

HRESULT DeviceControl::SetRegister0D() {
    const BYTE value = kRegister0DValue;
    return WriteRegisters(kRegister0D, 1, &value);
}

BOOL DeviceControl::ClearRegister0CBit5() {
    if (!driver) {
        return FALSE;
    }
    const devctl_internal::OperationHold hold(*this);
    DWORD value = 0;
    if (ReadRegisters(kRegister0C, 1, &value) < 0 || (value & kRegister0CBit5) == 0) {
        return FALSE;
    }
    value &= ~DWORD{kRegister0CBit5};
    WriteRegisters(kRegister0C, 1, &value);
    return TRUE;
}

HRESULT DeviceControl::GetConfig103E(BYTE* mode, BYTE* value, DWORD* firstFlag, DWORD* secondFlag) {
    *value = 0;
    *firstFlag = 0;
    *secondFlag = 0;
    if (!driver) {
        return DEVCTL_S_NOT_BOUND;
    }
    DWORD word = 0;
    if (Record(GetProperty(CPROP_CONFIG_103E, &word)) < 0) {
        return lastResult;
    }
    *mode = static_cast<BYTE>(word >> kConfigModeShift);
    *value = static_cast<BYTE>(word & kConfigValueMask);
    *firstFlag = (word & kConfigFirstFlag) ? 1 : 0;
    *secondFlag = (word & kConfigSecondFlag) ? 1 : 0;
    return lastResult;
}

// Not recorded. The value field is four bits wide: a value above 15 is
// refused rather than sent cut. A flag counts as set when it is non-zero, so
// that it can't spill into the reserved bits.
HRESULT DeviceControl::SetConfig103E(DWORD mode, DWORD value, DWORD firstFlag, DWORD secondFlag) {
    const BYTE modeByte = static_cast<BYTE>(mode);
    const BYTE valueByte = static_cast<BYTE>(value);
    if (modeByte != 1 && modeByte != 2) {
        return DEVCTL_S_OUT_OF_RANGE;
    }
    if (valueByte > kConfigValueMask) {
        return DEVCTL_S_OUT_OF_RANGE;
    }
    const DWORD word = (DWORD{modeByte} << kConfigModeShift) |
                       (secondFlag ? kConfigSecondFlag : 0) | (firstFlag ? kConfigFirstFlag : 0) |
                       valueByte;
    return SetProperty(CPROP_CONFIG_103E, &word);
}
