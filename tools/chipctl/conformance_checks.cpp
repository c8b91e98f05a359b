// The checks of chipctl conformance: a read-only look at the driver, check by
// check, at where it departs from what the library counts on. Each check
// gives PASS, WARN or FAIL and one line of reason. Nothing is written to the
// device. The library proves every read's bytes; where it had to ask twice
// (a Get that delivered nothing, a selection not yet in force) the check
// shows it, and so does any driver call that failed while the library went on.
#include "tools/chipctl/conformance_checks.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "common/eeprom_layout.h"
#include "devctl/i2c_layout.h"
#include "common/call_recording.h"
#include "devctl/call_recorder.h"
#include "tools/chipctl/console_io.h"

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
// Two fills of every buffer a raw Get hands over: a byte the driver wrote
// reads the same after both; one it left shows the fill.
constexpr BYTE kFills[] = {0x00, 0xFF};
constexpr DWORD kWordFill = 0xC3C3C3C3;  // a 32-bit Get's word before the call
constexpr WORD kOlderGpioRegister = 0x08, kOlderGpioInput = 0x09;
constexpr WORD kLaterGpioRegister = 0x80, kLaterGpioInput = 0x84;

enum class Verdict { Pass, Warn, Fail };

struct Bytes {
    HRESULT status = S_OK;
    std::vector<BYTE> bytes;
};

bool IsDataProperty(DWORD id) {
    return id == CPROP_REG_DATA || id == CPROP_ALT_REG_DATA || id == CPROP_I2C_DATA;
}

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
    Conformance(DeviceControl& device, CallRecorder& calls, const ConformanceOutput& out)
        : device_(device), calls_(calls), out_(out) {}

    // Runs every check; stops after one that finds the device gone.
    ConformanceCounts Run() {
        struct Check {
            std::function<void()> run;
            bool libraryReads;  // its reads go through the library, which may ask twice
            bool askedToFail;   // it makes calls that must fail (and checks them itself)
        };
        const Check checks[] = {
            {[this] { CheckIds(); }, true, false},
            {[this] { CheckGpio(); }, true, false},
            {[this] { CheckLayouts(); }, true, false},
            {[this] { CheckGetCount(); }, false, false},
            {[this] { CheckSelectionKept(); }, false, false},
            {[this] { CheckProperties(); }, false, true},
            {[this] { CheckLatency(); }, false, false},
        };
        for (const Check& check : checks) {
            const size_t from = RecordedCalls().size();
            libraryReads_ = check.libraryReads;
            askedToFail_ = check.askedToFail;
            pending_ = {};
            check.run();
            if (pending_.check) {
                Confirm(from);
                out_(std::wstring(kWords[static_cast<int>(pending_.verdict)]) + L" " +
                     pending_.check + L": " + pending_.reason + L"\n");
                ++(&counts_.passed)[static_cast<int>(pending_.verdict)];
            }
            if (unplugged_) {
                out_(L"conformance: the device is gone; the remaining checks were not run\n");
                break;
            }
        }
        out_(L"conformance: " + std::to_wstring(counts_.passed) + L" passed, " +
             std::to_wstring(counts_.warned) + L" warned, " + std::to_wstring(counts_.failed) +
             L" failed\n");
        return counts_;
    }

  private:
    static constexpr const wchar_t* kWords[] = {L"PASS", L"WARN", L"FAIL"};

    void Report(Verdict verdict, const wchar_t* check, const std::wstring& reason) {
        pending_ = {verdict, check, reason};
    }

    std::vector<velto1::RecordedCall> RecordedCalls() const {
        velto1::Recording recording;
        DWORD line = 0;
        std::string problem;
        velto1::ParseRecording(calls_.Text(), &recording, &line, &problem);
        return recording.calls;
    }

    // A passing check whose driver calls tell otherwise becomes a WARN: a call
    // that failed while the library went on, or a read the library had to
    // make twice because the first answer was not the device's.
    void Confirm(size_t from) {
        if (pending_.verdict != Verdict::Pass) {
            return;
        }
        const std::vector<velto1::RecordedCall> calls = RecordedCalls();
        for (size_t i = from; i < calls.size(); ++i) {
            const velto1::RecordedCall& call = calls[i];
            if (call.status != S_OK && !askedToFail_) {
                return Warn(L"a driver call answered other than success and the check went on: " +
                            WidenAnsi(velto1::DescribeCallRequest(call)) + L" answered " +
                            Status(call.status));
            }
            if (!libraryReads_ || call.slot != velto1::CallSlot::Get || !IsDataProperty(call.id)) {
                continue;
            }
            // The same read again, at once or after the same selection once more.
            const velto1::RecordedCall* again = nullptr;
            if (i + 1 < calls.size() && calls[i + 1].slot == call.slot &&
                calls[i + 1].id == call.id) {
                again = &calls[i + 1];
            } else if (i >= 1 && i + 2 < calls.size() &&
                       velto1::SameCallRequest(calls[i - 1], calls[i + 1]) &&
                       calls[i + 2].slot == call.slot && calls[i + 2].id == call.id) {
                again = &calls[i + 2];
            }
            if (again && again->returned.bytes != call.returned.bytes) {
                return Warn(
                    L"a read's first answer was not the device's (nothing delivered, or "
                    L"the selection not yet in force); the library asked again: " +
                    WidenAnsi(velto1::DescribeCallRequest(call)));
            }
        }
    }
    void Warn(const std::wstring& why) {
        pending_.verdict = Verdict::Warn;
        pending_.reason += L"; but " + why;
    }
    // A failed status's reason; notes an unplugged device.
    std::wstring Failed(const std::wstring& what, HRESULT status) {
        if (status == DEVCTL_E_UNPLUGGED) {
            unplugged_ = true;
            return what + L": the device was unplugged (" + Status(status) + L")";
        }
        return what + L" failed (" + Status(status) + L")";
    }

    // One read through the library, which proves its bytes are the driver's.
    Bytes ReadOnce(DWORD count, const std::function<HRESULT(BYTE*)>& read) {
        Bytes result;
        std::vector<BYTE> buffer(std::max<DWORD>(count, sizeof(DWORD)), 0);
        result.status = read(buffer.data());
        result.bytes.assign(buffer.begin(), buffer.begin() + count);
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

    // CPROP_CHIP_ID into a word filled first; false, with check failed, when
    // the Get failed or delivered nothing.
    bool ReadChipId(const wchar_t* check, DWORD* chip) {
        *chip = kWordFill;
        const HRESULT status = device_.GetProperty(CPROP_CHIP_ID, chip);
        if (status >= 0 && *chip != kWordFill) {
            return true;
        }
        Report(Verdict::Fail, check,
               status < 0 ? Failed(L"reading CPROP_CHIP_ID", status)
                          : L"CPROP_CHIP_ID answered success without a value");
        return false;
    }

    // The GPIO register of the chip's generation alone, then with the registers
    // up to its input register: two selections of other counts, so that one
    // not in force shows as bytes not delivered. Nothing is written back.
    void CheckGpio() {
        DWORD chip = 0;
        if (!ReadChipId(L"gpio", &chip)) {
            return;
        }
        const bool later = IsNewGenerationChip(chip & 0xFF);
        const WORD gpio = later ? kLaterGpioRegister : kOlderGpioRegister;
        const WORD input = later ? kLaterGpioInput : kOlderGpioInput;
        std::vector<BYTE> seen;
        for (const DWORD count : {DWORD{1}, DWORD{input - gpio + 1u}}) {
            const Bytes read = ReadOnce(count, [this, gpio, count](BYTE* b) {
                return device_.ReadRegisters(gpio, count, b);
            });
            if (read.status != S_OK) {
                return Report(Verdict::Fail, L"gpio",
                              Failed(L"reading " + std::to_wstring(count) + L" register(s) from " +
                                         Hex(gpio, 2),
                                     read.status));
            }
            if (!seen.empty() && read.bytes[0] != seen[0]) {
                return Report(Verdict::Fail, L"gpio",
                              L"register " + Hex(gpio, 2) + L" read " + HexBytes(seen) +
                                  L" alone and " + HexBytes(read.bytes) + L" with the next");
            }
            seen = read.bytes;
        }
        Report(Verdict::Pass, L"gpio",
               L"GPIO " + Hex(gpio, 2) + L" reads " + HexBytes({seen.front()}) + L", input " +
                   Hex(input, 2) + L" reads " + HexBytes({seen.back()}));
    }

    // The whole EEPROM in the 8-bit sub-address layout, the reference of the
    // other layouts and checks.
    bool ReadReference() {
        reference_.clear();
        for (DWORD start = 0; start < kEepromSize; start += kHalf) {
            const Bytes half = ReadOnce(kHalf, [this, start](BYTE* b) {
                return device_.ReadI2c(kEeprom, start, kHalf, b);
            });
            if (half.status != S_OK) {
                referenceProblem_ =
                    Failed(L"the 8-bit sub-address read of the EEPROM", half.status);
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
                got = ReadOnce(kLayoutBytes, [this, &read](BYTE* b) {
                    DWORD none = 0;
                    const HRESULT placed = device_.ReadI2c(kEeprom, read.subAddress, 0, &none);
                    return placed != S_OK ? placed
                                          : device_.ReadI2cDirect(kEeprom, kLayoutBytes, b);
                });
            } else {
                const I2cTransferMeaning transfer = {read.layout, kEeprom, read.subAddress,
                                                     kLayoutBytes};
                got = ReadOnce(kLayoutBytes, [this, &transfer](BYTE* b) {
                    return TransferI2cByLayout(device_, transfer, b, FALSE);
                });
            }
            if (got.status == DEVCTL_E_UNPLUGGED) {
                return Report(Verdict::Fail, L"i2c-layouts", Failed(name, got.status));
            }
            if (got.status != S_OK) {
                unsupported +=
                    (unsupported.empty() ? L"" : L", ") + name + L" (" + Status(got.status) + L")";
            } else if (got.bytes != Expected(read.subAddress, kLayoutBytes)) {
                different +=
                    (different.empty() ? L"" : L", ") + name + L" read " + HexBytes(got.bytes);
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
        bool agreed = true;  // both Gets left the same selected bytes
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
            } else {
                result.agreed = std::equal(result.bytes.begin(), result.bytes.end(), data);
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
        if (!read.agreed) {
            return L"two Gets of one selection left different bytes (one delivered nothing)";
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
        DWORD chip = kWordFill;
        HRESULT between = S_OK;
        const RawRead read = GetGuarded(kCount, false, [this, &chip, &between] {
            between = device_.GetProperty(CPROP_CHIP_ID, &chip);
        });
        ResetSelection();
        if (between != S_OK || chip == kWordFill || read.status != S_OK) {
            return Report(Verdict::Fail, L"selection-kept",
                          Failed(L"the calls between and after the selection",
                                 between != S_OK ? between : read.status));
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
        if (!ReadChipId(L"properties", &chip)) {
            return;
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
        std::vector<DWORD> values;
        for (int i = 0; i < kLatencyCalls; ++i) {
            DWORD value = kWordFill;
            LARGE_INTEGER start, end;
            QueryPerformanceCounter(&start);
            const HRESULT status = device_.GetProperty(CPROP_CHIP_ID, &value);
            QueryPerformanceCounter(&end);
            if (status < 0) {
                return Report(Verdict::Fail, L"latency", Failed(L"a timed Get", status));
            }
            micros.push_back(
                static_cast<DWORD>((end.QuadPart - start.QuadPart) * 1000000 / frequency.QuadPart));
            values.push_back(value);
        }
        if (std::count(values.begin(), values.end(), values[0]) != kLatencyCalls ||
            values[0] == kWordFill) {
            return Report(Verdict::Fail, L"latency",
                          L"the timed Gets of CPROP_CHIP_ID did not all answer the same value");
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

    struct Pending {
        Verdict verdict = Verdict::Pass;
        const wchar_t* check = nullptr;  // null: no verdict yet
        std::wstring reason;
    };

    DeviceControl& device_;
    CallRecorder& calls_;
    const ConformanceOutput& out_;
    ConformanceCounts counts_;
    Pending pending_;
    bool libraryReads_ = false;
    bool askedToFail_ = false;
    bool unplugged_ = false;
    std::vector<BYTE> reference_;
    std::wstring referenceProblem_;
    DWORD selection_ = 0;
};

}  // namespace

ConformanceCounts RunConformanceChecks(DeviceControl& device, CallRecorder& calls,
                                       const ConformanceOutput& out) {
    return Conformance(device, calls, out).Run();
}

}  // namespace chipctl
