// The commands on the chip itself: find, info, pages, reg, codec, remote.
#include <algorithm>
#include <vector>

#include "tools/chipctl/arguments.h"
#include "tools/chipctl/commands.h"
#include "tools/chipctl/console_io.h"
#include "tools/chipctl/device_session.h"

namespace chipctl {

namespace {

constexpr DWORD kMaxRegisterBytes = 4;
constexpr DWORD kMaxMainIndex = 0xFFFF;
constexpr DWORD kMaxAltIndex = 0xFF;
constexpr DWORD kMaxCodecIndex = 0x7F;
constexpr DWORD kBoardTypeMask = 0xF;

void Line(const wchar_t* name, const std::wstring& value) {
    Out(std::wstring(name) + L"=" + value + L"\n");
}

// Register bytes as one number, lowest byte first in the chip.
DWORD ValueOf(const BYTE* bytes, DWORD count) {
    DWORD value = 0;
    for (DWORD i = count; i-- > 0;) {
        value = (value << 8) | bytes[i];
    }
    return value;
}

// For the commands that take no argument: kSuccess when there is none, else
// the refusal's exit code.
int RefuseAnyArgument(const Words& words) {
    Arguments args(words, {}, {});
    args.ExpectWords(0, 0, L"no argument");
    return args.Ok() ? kSuccess : args.Refuse();
}

// One of the chip's 32-bit properties; false after printing the failure.
bool ReadProperty(DeviceControl& device, DWORD id, const wchar_t* what, DWORD* value) {
    *value = 0;
    const HRESULT status = device.GetProperty(id, value);
    if (status < 0) {
        DeviceFailure(std::wstring(L"reading the ") + what + L" (property " + Hex(id, 4) + L")",
                      status);
        return false;
    }
    return true;
}

}  // namespace

int RunFind(const WantedName& name, const Words& words) {
    if (const int refused = RefuseAnyArgument(words)) {
        return refused;
    }
    return OnBoundDevice(name, [&](DeviceSession& session) {
        Line(L"name", WidenAnsi(session.WantedName()));
        Line(L"name-source", session.NameSource());
        Line(L"match", WidenAnsi(session.Match()));
        Line(L"device", WidenAnsi(session.FriendlyName()));
        return kSuccess;
    });
}

int RunInfo(const WantedName& name, const Words& words) {
    if (const int refused = RefuseAnyArgument(words)) {
        return refused;
    }
    return OnBoundDevice(name, [&](DeviceSession& session) {
        DeviceControl& device = session.Device();
        DWORD chipId = 0, chipConfig = 0, boardConfig = 0, remoteAddress = 0, remoteI2cAddress = 0;
        if (!ReadProperty(device, CPROP_CHIP_ID, L"chip id", &chipId) ||
            !ReadProperty(device, CPROP_CHIP_CONFIG, L"chip configuration", &chipConfig) ||
            !ReadProperty(device, CPROP_BOARD_CONFIG, L"board configuration", &boardConfig) ||
            !ReadProperty(device, CPROP_REMOTE_ADDRESS, L"remote-control address",
                          &remoteAddress) ||
            !ReadProperty(device, CPROP_REMOTE_I2C_ADDRESS, L"remote-control I2C address",
                          &remoteI2cAddress)) {
            return kDeviceFailure;
        }
        DWORD vendor = 0, product = 0;
        const HRESULT ids = device.GetVendorProductIds(&vendor, &product);
        if (ids < 0) {
            return DeviceFailure(L"reading the vendor and product ids", ids);
        }
        Line(L"device", WidenAnsi(session.FriendlyName()));
        Line(L"chip-id", Hex(chipId, 8));
        Line(L"generation", IsNewGenerationChip(chipId & 0xFF) ? L"later" : L"earlier");
        Line(L"chip-config", Hex(chipConfig, 8));
        Line(L"board-config", Hex(boardConfig, 8));
        Line(L"board-type", Hex(boardConfig & kBoardTypeMask, 1));
        Line(L"remote-address", Hex(remoteAddress, 8));
        Line(L"remote-i2c-address", Hex(remoteI2cAddress, 8));
        Line(L"vendor-id", Hex(vendor & 0xFFFF, 4));
        Line(L"product-id", Hex(product & 0xFFFF, 4));
        return kSuccess;
    });
}

int RunPages(const WantedName& name, const Words& words) {
    if (const int refused = RefuseAnyArgument(words)) {
        return refused;
    }
    DeviceSession session(name);
    if (const int failed = session.Find()) {
        return failed;
    }
    // Modal: returns when the user closes the frame.
    session.Device().ShowPropertyPagesByName(nullptr, session.WantedName().c_str());
    const HRESULT status = session.Device().GetLastResult();
    if (status < 0) {
        return DeviceFailure(L"showing the property pages", status);
    }
    return kSuccess;
}

// reg read [--alt] INDEX [COUNT]
// reg write [--alt] [--no-verify] INDEX VALUE [COUNT]
int RunRegister(const WantedName& name, const Words& words) {
    const std::wstring action = words.empty() ? L"" : words[0];
    if (action != L"read" && action != L"write") {
        return UsageError(L"reg needs read or write");
    }
    const bool write = action == L"write";
    Arguments args(Words(words.begin() + 1, words.end()), {L"--alt", L"--no-verify"}, {});
    if (!write && args.Flag(L"--no-verify")) {
        args.Problem(L"--no-verify belongs to reg write");
    }
    const bool alt = args.Flag(L"--alt");
    const size_t countAt = write ? 2 : 1;
    args.ExpectWords(countAt, countAt + 1, write ? L"INDEX VALUE [COUNT]" : L"INDEX [COUNT]");
    const Words& w = args.Words();
    const DWORD index =
        w.empty() ? 0 : args.Number(L"INDEX", w[0], 0, alt ? kMaxAltIndex : kMaxMainIndex);
    const DWORD count =
        w.size() > countAt ? args.Number(L"COUNT", w[countAt], 1, kMaxRegisterBytes) : 1;
    std::vector<BYTE> value;
    if (write && w.size() > 1 && args.Ok()) {
        value = args.Bytes(L"VALUE", w[1], count);
    }
    if (!args.Ok()) {
        return args.Refuse();
    }
    return OnBoundDevice(name, [&](DeviceSession& session) {
        DeviceControl& device = session.Device();
        const std::wstring where =
            alt ? L"alternate register " + Hex(index, 2) : L"register " + Hex(index, 4);
        if (write) {
            const HRESULT status = alt ? device.WriteAltRegisters(index, count, value.data())
                                       : device.WriteRegisters(index, count, value.data());
            if (status < 0) {
                return DeviceFailure(L"writing " + where, status);
            }
            if (args.Flag(L"--no-verify")) {
                return kSuccess;
            }
        }
        // A read-back starts from bytes that would fail the comparison. A read
        // of up to 4 bytes delivers a whole 32-bit word.
        std::vector<BYTE> bytes(std::max<size_t>(count, sizeof(DWORD)), 0);
        for (DWORD i = 0; write && i < count; ++i) {
            bytes[i] = static_cast<BYTE>(~value[i]);
        }
        const HRESULT status = alt ? device.ReadAltRegisters(index, count, bytes.data())
                                   : device.ReadRegisters(index, count, bytes.data());
        if (status < 0) {
            return DeviceFailure(L"reading " + where, status);
        }
        if (write && !std::equal(value.begin(), value.end(), bytes.begin())) {
            Err(L"chipctl: " + where + L" reads back " +
                Hex(ValueOf(bytes.data(), count), 2 * count) + L" after writing " +
                Hex(ValueOf(value.data(), count), 2 * count) + L"\n");
            return kDeviceFailure;
        }
        if (!write) {
            Out(Hex(ValueOf(bytes.data(), count), 2 * count) + L"\n");
        }
        return kSuccess;
    });
}

// codec read INDEX
int RunCodec(const WantedName& name, const Words& words) {
    if (words.empty() || words[0] != L"read") {
        return UsageError(L"codec needs read");
    }
    Arguments args(Words(words.begin() + 1, words.end()), {}, {});
    args.ExpectWords(1, 1, L"INDEX");
    const DWORD index =
        args.Words().empty() ? 0 : args.Number(L"INDEX", args.Words()[0], 0, kMaxCodecIndex);
    if (!args.Ok()) {
        return args.Refuse();
    }
    return OnBoundDevice(name, [&](DeviceSession& session) {
        WORD value = 0;
        const HRESULT status = session.Device().ReadAc97(index, &value);
        if (status < 0 || status == DEVCTL_S_BUSY) {
            return DeviceFailure(L"reading codec register " + Hex(index, 2) +
                                     (status == DEVCTL_S_BUSY ? L" (the codec stayed busy)" : L""),
                                 status);
        }
        Out(Hex(value, 4) + L"\n");
        return kSuccess;
    });
}

// remote [--count N]: decoded keys where the chip decodes them, else the raw
// codes of the board's length.
int RunRemote(const WantedName& name, const Words& words) {
    Arguments args(words, {}, {L"--count"});
    args.ExpectWords(0, 0, L"no argument besides --count N");
    const std::wstring* countText = args.Option(L"--count");
    constexpr DWORD kMaxReads = 0xFFFF;
    const DWORD count = countText ? args.Number(L"--count", *countText, 1, kMaxReads) : 1;
    if (!args.Ok()) {
        return args.Refuse();
    }
    return OnBoundDevice(name, [&](DeviceSession& session) {
        DeviceControl& device = session.Device();
        DWORD boardType = 0;
        DWORD codeLength = 0;
        device.GetBoardInfo(&boardType, &codeLength);
        bool rawCodes = false;
        for (DWORD read = 0; read < count; ++read) {
            if (!rawCodes) {
                DWORD key = 0;
                const HRESULT status = device.ReadRemoteKey(&key);
                if (status != DEVCTL_S_NOT_SUPPORTED) {
                    if (status < 0) {
                        return DeviceFailure(L"reading the remote-control key", status);
                    }
                    Out(Hex(key, 2) + L"\n");
                    continue;
                }
                rawCodes = true;  // a later chip: no key decoding
            }
            BYTE code[8] = {};
            DWORD length = codeLength;
            const HRESULT status = device.GetRemoteCode(code, &length);
            if (status < 0) {
                return DeviceFailure(L"reading the remote-control code", status);
            }
            std::wstring line;
            for (DWORD i = 0; i < length; ++i) {
                line += (i ? L" " : L"") + Hex(code[i], 2);
            }
            Out(line + L"\n");
        }
        return kSuccess;
    });
}

}  // namespace chipctl
