// The commands on the chip's I2C bus: i2c probe, read and write in the four
// transfer layouts, and the EEPROM dump.
#include <cstring>

#include "common/eeprom_layout.h"
#include "devctl/i2c_layout.h"
#include "tools/chipctl/arguments.h"
#include "tools/chipctl/commands.h"
#include "tools/chipctl/console_io.h"
#include "tools/chipctl/device_session.h"

namespace chipctl {

namespace {

constexpr DWORD kMaxBusAddress = 0xFF;

// What each transfer layout can carry at most; IsI2cWordUnambiguous refuses
// the words within these bounds that a driver could read as another transfer.
struct LayoutInfo {
    I2cLayout layout;
    const wchar_t* name;  // as --layout takes it
    DWORD maxCount;
};

constexpr LayoutInfo kLayouts[] = {
    {I2cLayout::Direct, L"direct", 0xFF},
    {I2cLayout::SubAddress8, L"8", 0xFF},
    {I2cLayout::SubAddress16, L"16", 0x7F},
    {I2cLayout::Long, L"long", 0xFFFF},
};

// One transfer's target: bus address, layout and sub-address.
struct I2cTarget {
    DWORD address = 0;
    const LayoutInfo* layout = &kLayouts[0];
    DWORD subAddress = 0;
};

// Reads --sub and --layout: no --sub is direct, --sub alone is 8-bit.
I2cTarget ReadTarget(Arguments& args, const std::wstring& addressText) {
    I2cTarget target;
    target.address = args.Number(L"ADDR", addressText, 0, kMaxBusAddress);
    const std::wstring* sub = args.Option(L"--sub");
    const std::wstring* layoutName = args.Option(L"--layout");
    target.layout = &kLayouts[sub ? 1 : 0];
    if (layoutName) {
        target.layout = nullptr;
        for (const LayoutInfo& info : kLayouts) {
            if (*layoutName == info.name) {
                target.layout = &info;
            }
        }
        if (!target.layout) {
            args.Problem(L"--layout must be direct, 8, 16 or long, not " + Quoted(*layoutName));
            target.layout = &kLayouts[0];
            return target;
        }
    }
    if (target.layout->layout == I2cLayout::Direct && sub) {
        args.Problem(L"--sub does not go with --layout direct");
    } else if (target.layout->layout != I2cLayout::Direct && !sub) {
        args.Problem(L"--layout " + std::wstring(target.layout->name) + L" needs --sub SUB");
    } else if (sub) {
        target.subAddress =
            args.Number(L"--sub", *sub, 0, I2cLayoutMaxSubAddress(target.layout->layout));
    }
    return target;
}

std::wstring Describe(const I2cTarget& target) {
    std::wstring text = L"I2C device " + Hex(target.address, 2);
    if (target.layout->layout != I2cLayout::Direct) {
        const int digits = target.layout->layout == I2cLayout::SubAddress16 ? 4 : 2;
        text += L" at " + Hex(target.subAddress, digits);
    }
    return text;
}

I2cTransferMeaning Meaning(const I2cTarget& target, DWORD count) {
    return {target.layout->layout, target.address, target.subAddress, count};
}

HRESULT Transfer(DeviceControl& device, const I2cTarget& target, DWORD count, BYTE* data,
                 bool write) {
    return TransferI2cByLayout(device, Meaning(target, count), data, write ? TRUE : FALSE);
}

// Refuses a transfer whose word a driver could read as another transfer.
void CheckWord(Arguments& args, const I2cTarget& target, DWORD count) {
    char problem[256] = "";
    DescribeAmbiguousI2cWord(Meaning(target, count), problem, sizeof problem);
    if (problem[0] && args.Ok()) {
        args.Problem(std::wstring(problem, problem + std::strlen(problem)));
    }
}

int Probe(DeviceSession& session, const I2cTarget& target) {
    DWORD state = 0;
    const HRESULT status = session.Device().ProbeI2cDevice(target.address, &state);
    if (status < 0 || status == DEVCTL_S_NOT_READY) {
        return DeviceFailure(
            L"probing " + Describe(target) + (status == DEVCTL_S_NOT_READY ? L" (not ready)" : L""),
            status);
    }
    Out(Hex(state, 8) + L"\n");
    return kSuccess;
}

int Read(DeviceSession& session, const I2cTarget& target, DWORD count) {
    // A read at the remote-control receiver's address answers with a 32-bit key.
    std::vector<BYTE> bytes(count < sizeof(DWORD) ? sizeof(DWORD) : count, 0);
    const HRESULT status = Transfer(session.Device(), target, count, bytes.data(), false);
    if (status < 0) {
        return DeviceFailure(L"reading " + Describe(target), status);
    }
    for (DWORD i = 0; i < count; ++i) {
        Out(Hex(bytes[i], 2) + L"\n");
    }
    return kSuccess;
}

// Writes, then reads the bytes back where the layout names where they went
// (a direct write carries the device's own addressing in its data).
int Write(DeviceSession& session, const I2cTarget& target, std::vector<BYTE> bytes, bool verify) {
    const DWORD count = static_cast<DWORD>(bytes.size());
    const std::vector<BYTE> written = bytes;
    HRESULT status = Transfer(session.Device(), target, count, bytes.data(), true);
    if (status < 0) {
        return DeviceFailure(L"writing " + Describe(target), status);
    }
    if (!verify || target.layout->layout == I2cLayout::Direct) {
        return kSuccess;
    }
    Sleep(velto1::eeprom::kWriteCycleMilliseconds);  // an EEPROM is busy while it programs
    std::vector<BYTE> readBack(count < sizeof(DWORD) ? sizeof(DWORD) : count);
    for (DWORD i = 0; i < count; ++i) {
        readBack[i] = static_cast<BYTE>(~written[i]);  // fails the comparison unless read
    }
    status = Transfer(session.Device(), target, count, readBack.data(), false);
    if (status < 0) {
        return DeviceFailure(L"reading back " + Describe(target), status);
    }
    for (DWORD i = 0; i < count; ++i) {
        if (readBack[i] != written[i]) {
            Err(L"chipctl: " + Describe(target) + L": byte " + std::to_wstring(i) +
                L" reads back " + Hex(readBack[i], 2) + L" after writing " + Hex(written[i], 2) +
                L"\n");
            return kDeviceFailure;
        }
    }
    return kSuccess;
}

}  // namespace

// i2c probe ADDR | i2c read [--sub SUB] [--layout L] ADDR COUNT
// | i2c write [--sub SUB] [--layout L] [--no-verify] ADDR BYTE...
int RunI2c(const WantedName& name, const Words& words) {
    const std::wstring action = words.empty() ? L"" : words[0];
    if (action != L"probe" && action != L"read" && action != L"write") {
        return UsageError(L"i2c needs probe, read or write");
    }
    const bool probe = action == L"probe";
    const bool write = action == L"write";
    Arguments args(Words(words.begin() + 1, words.end()), {L"--no-verify"},
                   {L"--sub", L"--layout"});
    if (!write && args.Flag(L"--no-verify")) {
        args.Problem(L"--no-verify belongs to i2c write");
    }
    if (probe && (args.Option(L"--sub") || args.Option(L"--layout"))) {
        args.Problem(L"i2c probe takes only ADDR");
    }
    const Words& w = args.Words();
    if (probe) {
        args.ExpectWords(1, 1, L"ADDR");
    } else if (write) {
        args.ExpectWords(2, static_cast<size_t>(-1), L"ADDR BYTE...");
    } else {
        args.ExpectWords(2, 2, L"ADDR COUNT");
    }
    const I2cTarget target = w.empty() ? I2cTarget() : ReadTarget(args, w[0]);
    DWORD count = 0;
    std::vector<BYTE> bytes;
    if (action == L"read" && w.size() > 1) {
        count = args.Number(L"COUNT", w[1], 1, target.layout->maxCount);
    }
    if (write && w.size() > target.layout->maxCount + 1) {
        args.Problem(L"at most " + std::to_wstring(target.layout->maxCount) +
                     L" bytes go in one transfer of this layout");
    }
    for (size_t i = 1; write && i < w.size() && args.Ok(); ++i) {
        bytes.push_back(static_cast<BYTE>(args.Number(L"BYTE", w[i], 0, 0xFF)));
    }
    if (!probe) {
        CheckWord(args, target, write ? static_cast<DWORD>(bytes.size()) : count);
    }
    if (!args.Ok()) {
        return args.Refuse();
    }
    return OnBoundDevice(name, [&](DeviceSession& session) {
        if (probe) {
            return Probe(session, target);
        }
        return write ? Write(session, target, bytes, !args.Flag(L"--no-verify"))
                     : Read(session, target, count);
    });
}

// eeprom dump: the 256 bytes at 0xA0 in i2cdump's layout.
int RunEeprom(const WantedName& name, const Words& words) {
    if (words.size() != 1 || words[0] != L"dump") {
        return UsageError(L"eeprom needs dump and nothing else");
    }
    return OnBoundDevice(name, [&](DeviceSession& session) {
        using velto1::eeprom::kBusAddress;
        using velto1::eeprom::kSize;
        // An 8-bit sub-address read of 0x80 bytes or more would also be a 16-bit transfer.
        constexpr DWORD kChunk = 0x40;
        BYTE image[kSize] = {};
        for (DWORD offset = 0; offset < kSize; offset += kChunk) {
            const HRESULT status =
                session.Device().ReadI2c(kBusAddress, offset, kChunk, image + offset);
            if (status < 0) {
                return DeviceFailure(L"reading the EEPROM at " + Hex(offset, 2), status);
            }
        }
        Out(L"     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f    0123456789abcdef\n");
        for (DWORD row = 0; row < kSize; row += 16) {
            wchar_t text[8];
            swprintf(text, 8, L"%02lx:", static_cast<unsigned long>(row));
            std::wstring line = text;
            std::wstring ascii;
            for (DWORD i = row; i < row + 16; ++i) {
                swprintf(text, 8, L" %02x", image[i]);
                line += text;
                const BYTE b = image[i];
                ascii += (b == 0x00 || b == 0xFF) ? L'.'
                         : (b < 0x20 || b > 0x7E) ? L'?'
                                                  : wchar_t(b);
            }
            Out(line + L"    " + ascii + L"\n");
        }
        return kSuccess;
    });
}

}  // namespace chipctl
