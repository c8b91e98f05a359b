// chipctl conformance: a read-only check of the driver found, check by check,
// of where it departs from what the library counts on. Each check prints
// PASS, WARN or FAIL and one line of reason. It never writes the EEPROM; the
// only write is the GPIO register's own value put back, and the line says so.
#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "common/eeprom_layout.h"
#include "devctl/i2c_layout.h"
#include "tools/chipctl/arguments.h"
#include "tools/chipctl/commands.h"
#include "tools/chipctl/console_io.h"
#include "tools/chipctl/device_session.h"

namespace chipctl {

namespace {

constexpr DWORD kEeprom = velto1::eeprom::kBusAddress;
constexpr DWORD kEepromSize = 256;
constexpr DWORD kHalf = kEepromSize / 2;
constexpr DWORD kLayoutBytes = 8;
constexpr DWORD kUnknownProperty = 0x10FF;
constexpr int kLatencyCalls = 32;
constexpr DWORD kSlowMedianMicros = 10 * 1000;
constexpr DWORD kSlowMaxMicros = 100 * 1000;
// Room after a raw data Get for the most bytes any I2C selection moves.
constexpr size_t kGuardAfter = 0x10000;
constexpr size_t kGuardBefore = 16;
// Two fills of every buffer a read hands over: a byte the driver wrote reads
// the same after both; one it left shows the fill.
constexpr BYTE kFills[] = {0x00, 0xFF};

enum class Verdict { Pass, Warn, Fail };

struct Bytes {
    HRESULT status = S_OK;
    std::vector<BYTE> bytes;
    bool delivered = true;  // both fills were overwritten alike
};

std::wstring HexBytes(const std::vector<BYTE>& bytes) {
    std::wstring text;
    for (const BYTE b : bytes) {
        text += (text.empty() ? L"" : L" ") + velto1::HexText<wchar_t>(b, 2).substr(2);
    }
    return text;
}

std::wstring Status(HRESULT status) {
    return L"status " + velto1::StatusWordText<wchar_t>(status);
}

class Conformance {
  public:
    explicit Conformance(DeviceControl& device) : device_(device) {}

    // Runs every check; stops after one that finds the device gone.
    int Run() {
        const std::function<void()> checks[] = {
            [this] { CheckIds(); },           [this] { CheckGpio(); },
            [this] { CheckLayouts(); },       [this] { CheckGetCount(); },
            [this] { CheckSelectionKept(); }, [this] { CheckProperties(); },
            [this] { CheckLatency(); },
        };
        for (const auto& check : checks) {
            check();
            if (unplugged_) {
                Out(L"conformance: the device is gone; the remaining checks were not run\n");
                break;
            }
        }
        Out(L"conformance: " + std::to_wstring(counts_[0]) + L" passed, " +
            std::to_wstring(counts_[1]) + L" warned, " + std::to_wstring(counts_[2]) +
            L" failed\n");
        return counts_[2] ? kDeviceFailure : kSuccess;
    }

  private:
    void Report(Verdict verdict, const wchar_t* check, const std::wstring& reason) {
        static const wchar_t* const kWords[] = {L"PASS", L"WARN", L"FAIL"};
        ++counts_[static_cast<int>(verdict)];
        Out(std::wstring(kWords[static_cast<int>(verdict)]) + L" " + check + L": " + reason +
            L"\n");
    }
    // A failed status's reason; notes an unplugged device.
    std::wstring Failed(const std::wstring& what, HRESULT status) {
        if (status == DEVCTL_E_UNPLUGGED) {
            unplugged_ = true;
            return what + L": the device was unplugged (" + Status(status) + L")";
        }
        return what + L" failed (" + Status(status) + L")";
    }

    // A read run once per fill; delivered when both runs wrote the same bytes.
    Bytes ReadTwice(DWORD count, const std::function<HRESULT(BYTE*)>& read) {
        Bytes result;
        std::vector<BYTE> seen[2];
        for (int i = 0; i < 2; ++i) {
            std::vector<BYTE> buffer(std::max<DWORD>(count, sizeof(DWORD)), kFills[i]);
            result.status = read(buffer.data());
            if (result.status != S_OK) {
                return result;
            }
            seen[i].assign(buffer.begin(), buffer.begin() + count);
        }
        result.delivered = seen[0] == seen[1];
        result.bytes = seen[0];
        return result;
    }

    void CheckIds() {
        DWORD vendor = 0, product = 0;
        const HRESULT status = device_.GetVendorProductIds(&vendor, &product);
        if (status != S_OK) {
            return Report(Verdict::Fail, L"ids",
                          Failed(L"reading the vendor and product ids", status));
        }
        const std::wstring ids = L"vendor " + Hex(vendor, 4) + L", product " + Hex(product, 4);
        Report(vendor || product ? Verdict::Pass : Verdict::Warn, L"ids",
               vendor || product ? ids : ids + L": neither is set");
    }

    void CheckGpio() {
        const Bytes first = ReadTwice(1, [this](BYTE* b) { return device_.ReadGpio(b); });
        if (first.status != S_OK) {
            return Report(Verdict::Fail, L"gpio",
                          Failed(L"reading the GPIO register", first.status));
        }
        if (!first.delivered) {
            return Report(Verdict::Fail, L"gpio",
                          L"the GPIO read answered success without delivering the register");
        }
        // What the updater does first: the register rewritten with its own value.
        const HRESULT written = device_.SetGpioBits(0);
        if (written != S_OK) {
            return Report(Verdict::Fail, L"gpio",
                          Failed(L"putting back the GPIO value read", written));
        }
        const Bytes again = ReadTwice(1, [this](BYTE* b) { return device_.ReadGpio(b); });
        if (again.status != S_OK || !again.delivered || again.bytes != first.bytes) {
            return Report(Verdict::Fail, L"gpio",
                          again.status != S_OK
                              ? Failed(L"reading the GPIO register again", again.status)
                              : L"the GPIO register read " + HexBytes(again.bytes) +
                                    L" after its value " + HexBytes(first.bytes) +
                                    L" was put back");
        }
        Report(Verdict::Pass, L"gpio",
               L"reads " + HexBytes(first.bytes) +
                   L" alike; wrote back the value read (as the update does) and read it again");
    }

    // The whole EEPROM in the 8-bit sub-address layout, the reference of the
    // other layouts and checks.
    bool ReadReference() {
        reference_.clear();
        for (DWORD start = 0; start < kEepromSize; start += kHalf) {
            const Bytes half = ReadTwice(kHalf, [this, start](BYTE* b) {
                return device_.ReadI2c(kEeprom, start, kHalf, b);
            });
            if (half.status != S_OK || !half.delivered) {
                referenceProblem_ =
                    half.status != S_OK
                        ? Failed(L"the 8-bit sub-address read of the EEPROM", half.status)
                        : L"the 8-bit sub-address read of the EEPROM answered success but left "
                          L"bytes of the buffer as they were (fewer bytes moved than selected)";
                return false;
            }
            reference_.insert(reference_.end(), half.bytes.begin(), half.bytes.end());
        }
        return true;
    }
    std::vector<BYTE> Expected(DWORD start, DWORD count) const {
        std::vector<BYTE> bytes;
        for (DWORD i = 0; i < count; ++i) {
            bytes.push_back(reference_[(start + i) % kEepromSize]);
        }
        return bytes;
    }

    void CheckLayouts() {
        if (!ReadReference()) {
            return Report(Verdict::Fail, L"i2c-layouts", referenceProblem_);
        }
        struct LayoutRead {
            I2cLayout layout;
            DWORD subAddress;
        };
        // A 16-bit sub-address's high byte is 0 and its low byte the EEPROM's
        // first byte: an EEPROM of 8-bit addresses that takes the low byte as
        // data would write byte 0 with the value it holds.
        const LayoutRead reads[] = {
            {I2cLayout::SubAddress16, reference_[0]},
            {I2cLayout::Long, 0x10},
            {I2cLayout::Direct, 0x28},
        };
        std::wstring supported = L"8-bit", unsupported, different;
        for (const LayoutRead& read : reads) {
            const std::wstring name = WidenAnsi(I2cLayoutName(read.layout));
            Bytes got;
            if (read.layout == I2cLayout::Direct) {
                // A direct read goes on where the last transfer left the EEPROM.
                got = ReadTwice(kLayoutBytes, [this, &read](BYTE* b) {
                    DWORD none = 0;
                    const HRESULT placed = device_.ReadI2c(kEeprom, read.subAddress, 0, &none);
                    return placed != S_OK ? placed
                                          : device_.ReadI2cDirect(kEeprom, kLayoutBytes, b);
                });
            } else {
                const I2cTransferMeaning transfer = {read.layout, kEeprom, read.subAddress,
                                                     kLayoutBytes};
                got = ReadTwice(kLayoutBytes, [this, &transfer](BYTE* b) {
                    return TransferI2cByLayout(device_, transfer, b, FALSE);
                });
            }
            if (got.status == DEVCTL_E_UNPLUGGED) {
                return Report(Verdict::Fail, L"i2c-layouts", Failed(name, got.status));
            }
            if (got.status != S_OK) {
                unsupported +=
                    (unsupported.empty() ? L"" : L", ") + name + L" (" + Status(got.status) + L")";
            } else if (!got.delivered || got.bytes != Expected(read.subAddress, kLayoutBytes)) {
                different += (different.empty() ? L"" : L", ") + name +
                             (got.delivered ? L" read " + HexBytes(got.bytes)
                                            : std::wstring(L" moved fewer bytes than selected"));
            } else {
                supported += L", " + name;
            }
        }
        if (!different.empty()) {
            return Report(Verdict::Fail, L"i2c-layouts",
                          L"not the bytes the 8-bit sub-address layout reads: " + different);
        }
        if (!unsupported.empty()) {
            return Report(Verdict::Warn, L"i2c-layouts",
                          supported + L" read alike; unsupported: " + unsupported);
        }
        Report(Verdict::Pass, L"i2c-layouts", supported + L" read the same EEPROM bytes");
    }

    // Sets a descriptor by hand, then Gets the data into a buffer between
    // guard bytes, once per fill: how many bytes the driver moved and which.
    struct RawRead {
        HRESULT status = S_OK;
        size_t moved = 0;  // bytes written, counted up to the last one touched
        std::vector<BYTE> bytes;
    };
    RawRead GetGuarded(DWORD count, bool selectEach, const std::function<void()>& between) {
        RawRead result;
        for (int i = 0; i < 2; ++i) {
            std::vector<BYTE> buffer(kGuardBefore + kGuardAfter, kFills[i]);
            BYTE* data = buffer.data() + kGuardBefore;
            if (selectEach || i == 0) {
                result.status = device_.SetProperty(CPROP_I2C_TRANSFER, &selection_);
                if (result.status != S_OK) {
                    return result;
                }
                between();
            }
            result.status = device_.GetProperty(CPROP_I2C_DATA, data);
            if (result.status != S_OK) {
                return result;
            }
            for (size_t at = 0; at < kGuardBefore; ++at) {
                if (buffer[at] != kFills[i]) {
                    result.moved = kGuardAfter;  // before the buffer: counted as too many
                }
            }
            for (size_t at = kGuardAfter; at-- > 0;) {
                if (data[at] != kFills[i]) {
                    result.moved = std::max(result.moved, at + 1);
                    break;
                }
            }
            if (i == 0) {
                result.bytes.assign(data, data + count);
            }
        }
        return result;
    }
    void ResetSelection() {
        DWORD none = 0;
        device_.SetProperty(CPROP_I2C_TRANSFER, &none);
    }
    std::wstring MovedProblem(const RawRead& read, DWORD count, DWORD start) {
        if (read.moved > count) {
            return L"moved " +
                   std::wstring(read.moved >= kGuardAfter
                                    ? L"bytes outside the buffer"
                                    : std::to_wstring(read.moved) + L" bytes") +
                   L" where " + std::to_wstring(count) + L" were selected";
        }
        if (read.moved < count) {
            return L"moved " + std::to_wstring(read.moved) + L" of the " + std::to_wstring(count) +
                   L" bytes selected";
        }
        if (!reference_.empty() && read.bytes != Expected(start, count)) {
            return L"moved " + HexBytes(read.bytes) + L" where the EEPROM holds " +
                   HexBytes(Expected(start, count));
        }
        return L"";
    }

    void CheckGetCount() {
        constexpr DWORD kCount = 4;
        selection_ = I2cDescriptorWord({I2cLayout::SubAddress8, kEeprom, 0, kCount});
        const RawRead read = GetGuarded(kCount, true, [] {});
        ResetSelection();
        if (read.status != S_OK) {
            return Report(Verdict::Fail, L"get-count", Failed(L"the data Get", read.status));
        }
        const std::wstring problem = MovedProblem(read, kCount, 0);
        Report(problem.empty() ? Verdict::Pass : Verdict::Fail, L"get-count",
               problem.empty() ? L"a Get of 4 selected bytes moved exactly 4 (guard bytes intact)"
                               : problem);
    }

    void CheckSelectionKept() {
        constexpr DWORD kCount = 1;
        selection_ = I2cDescriptorWord({I2cLayout::SubAddress8, kEeprom, 0, kCount});
        DWORD chip = 0;
        HRESULT between = S_OK;
        const RawRead read = GetGuarded(kCount, false, [this, &chip, &between] {
            between = device_.GetProperty(CPROP_CHIP_ID, &chip);
        });
        ResetSelection();
        if (between < 0 || read.status != S_OK) {
            return Report(Verdict::Fail, L"selection-kept",
                          Failed(L"the calls between and after the selection",
                                 between < 0 ? between : read.status));
        }
        const std::wstring problem = MovedProblem(read, kCount, 0);
        Report(problem.empty() ? Verdict::Pass : Verdict::Fail, L"selection-kept",
               problem.empty() ? L"one selection served a Get after another call, and a second Get"
                               : L"after another call and a second Get, the data " + problem);
    }

    void CheckProperties() {
        std::vector<BYTE> word(kGuardAfter, 0);
        const HRESULT unknown = device_.GetProperty(kUnknownProperty, word.data());
        DWORD chip = 0;
        const HRESULT read = device_.GetProperty(CPROP_CHIP_ID, &chip);
        if (read < 0) {
            return Report(Verdict::Fail, L"properties", Failed(L"reading CPROP_CHIP_ID", read));
        }
        const HRESULT readOnly = device_.SetProperty(CPROP_CHIP_ID, &chip);
        if (unknown == DEVCTL_E_UNPLUGGED || readOnly == DEVCTL_E_UNPLUGGED) {
            return Report(Verdict::Fail, L"properties",
                          Failed(L"the property calls", DEVCTL_E_UNPLUGGED));
        }
        std::wstring problems;
        if (unknown >= 0) {
            problems = L"a Get of the unknown property " + Hex(kUnknownProperty, 4) +
                       L" answered " + Status(unknown);
        }
        if (readOnly >= 0) {
            problems +=
                (problems.empty() ? L"" : L"; ") +
                std::wstring(L"a Set of the read-only CPROP_CHIP_ID with the value read (") +
                Hex(chip, 8) + L") answered " + Status(readOnly);
        }
        Report(problems.empty() ? Verdict::Pass : Verdict::Fail, L"properties",
               problems.empty() ? L"unknown " + Hex(kUnknownProperty, 4) + L": " + Status(unknown) +
                                      L"; read-only CPROP_CHIP_ID set with the value read (" +
                                      Hex(chip, 8) + L"): " + Status(readOnly)
                                : problems);
    }

    void CheckLatency() {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        std::vector<DWORD> micros;
        for (int i = 0; i < kLatencyCalls; ++i) {
            DWORD value = 0;
            LARGE_INTEGER start, end;
            QueryPerformanceCounter(&start);
            const HRESULT status = device_.GetProperty(CPROP_CHIP_ID, &value);
            QueryPerformanceCounter(&end);
            if (status < 0) {
                return Report(Verdict::Fail, L"latency", Failed(L"a timed Get", status));
            }
            micros.push_back(
                static_cast<DWORD>((end.QuadPart - start.QuadPart) * 1000000 / frequency.QuadPart));
        }
        std::sort(micros.begin(), micros.end());
        const DWORD median = micros[micros.size() / 2];
        const DWORD most = micros.back();
        const std::wstring figures = std::to_wstring(kLatencyCalls) + L" Gets: median " +
                                     std::to_wstring(median) + L" us, maximum " +
                                     std::to_wstring(most) + L" us";
        const bool slow = median > kSlowMedianMicros || most > kSlowMaxMicros;
        Report(slow ? Verdict::Warn : Verdict::Pass, L"latency",
               slow ? figures + L" (slower than 10 ms median or 100 ms at most)" : figures);
    }

    DeviceControl& device_;
    int counts_[3] = {};
    bool unplugged_ = false;
    std::vector<BYTE> reference_;
    std::wstring referenceProblem_;
    DWORD selection_ = 0;
};

}  // namespace

int RunConformance(const WantedName& name, const Words& words) {
    Arguments args(words, {}, {L"--record"});
    args.ExpectWords(0, 0, L"no argument besides --record FILE");
    if (!args.Ok()) {
        return args.Refuse();
    }
    if (const std::wstring* file = args.Option(L"--record")) {
        RecordCallsTo(*file);
    }
    DeviceSession session(name);
    if (const int failed = session.Bind()) {
        Out(L"FAIL bind: the device's driver interface could not be bound\n");
        return failed;
    }
    return Conformance(session.Device()).Run();
}

}  // namespace chipctl
