// chipctl conformance's checks on a simulated driver with one fault at each
// of its calls in turn: no fault passes unseen, and a healthy device gets
// nothing but PASS.
#include "devctl/call_recorder.h"
#include "tests/common/test_support.h"
#include "tools/chipctl/conformance_checks.h"

namespace {

using sim::DriverSlot;

// The report of one run: its lines, and those that are not a PASS (a latency
// that is only slow aside: it depends on the machine's load).
struct Report {
    std::wstring text;  // without the latency line and the counts, which follow the load
    int notPassed = 0;
};

Report RunChecks(SimBound& bound) {
    CallRecorder calls("conformance test");
    bound.dc.RecordCalls(&calls);
    Report report;
    chipctl::RunConformanceChecks(bound.dc, calls, [&report](const std::wstring& line) {
        const bool slowOnly =
            line.rfind(L"WARN latency", 0) == 0 && line.find(L"slower than") != std::wstring::npos;
        const bool loadDependent =
            slowOnly || line.rfind(L"PASS latency", 0) == 0 ||
            (line.rfind(L"conformance: ", 0) == 0 && line.find(L" passed, ") != std::wstring::npos);
        if (!loadDependent) {
            report.text += line;
        }
        if ((line.rfind(L"WARN ", 0) == 0 || line.rfind(L"FAIL ", 0) == 0) && !slowOnly) {
            ++report.notPassed;
        }
    });
    bound.dc.RecordCalls(nullptr);
    return report;
}

TEST(Conformance, AHealthyDeviceGetsOnlyPass) {
    SimBound bound;
    const Report report = RunChecks(bound);
    EXPECT_EQ(report.notPassed, 0) << report.text;
    EXPECT_EQ(bound.chip->Eeprom()->WriteCount(), 0u);
}

// Faults no check can see by what the device answers: a Set that answers 0
// without acting where nothing reads its effect, a Get of nothing that does
// nothing, and a failure where the call must fail anyway.
bool Unseeable(const sim::DriverCall& before, const sim::DriverCall& call, HRESULT status) {
    const bool nothingToMove = call.slot == DriverSlot::Get && call.id == CPROP_I2C_DATA &&
                               before.id == CPROP_I2C_TRANSFER &&
                               sim::SelectionCount(CPROP_I2C_TRANSFER, before.word) == 0;
    if (status == S_OK && nothingToMove) {
        return true;
    }
    const bool deviceSelect = call.id == CPROP_I2C_DEVICE;  // the EEPROM answers unselected
    const bool reset =
        call.id == CPROP_I2C_TRANSFER && call.word == 0;  // the next check selects anew
    const bool mustFail = (call.slot == DriverSlot::Get && call.id == 0x10FF) ||
                          (call.slot == DriverSlot::Set && call.id == CPROP_CHIP_ID);
    return (status == S_OK && call.slot == DriverSlot::Set && (deviceSelect || reset)) ||
           (status < 0 && mustFail);
}

TEST(Conformance, EveryFaultAtEveryCallGivesAtLeastAWarning) {
    std::vector<sim::DriverCall> clean;
    std::wstring healthy;
    {
        SimBound bound;
        healthy = RunChecks(bound).text;
        clean = bound.driver->Calls();
    }
    const struct {
        const char* what;
        HRESULT status;
    } faults[] = {
        {"0 and nothing done", S_OK},
        {"failure", E_FAIL},
        {"positive status", S_FALSE},
    };
    int unseeable = 0, harmless = 0;
    for (const auto& fault : faults) {
        for (size_t call = 0; call < clean.size(); ++call) {
            if (call > 0 && Unseeable(clean[call - 1], clean[call], fault.status)) {
                ++unseeable;
                continue;
            }
            SCOPED_TRACE(::testing::Message() << fault.what << " at call " << call + 1 << " ("
                                              << static_cast<int>(clean[call].slot) << " 0x"
                                              << std::hex << clean[call].id << ")");
            SimBound bound;
            bound.driver->Faults().atCall[bound.base + call + 1] = fault.status;
            const Report report = RunChecks(bound);
            EXPECT_EQ(bound.chip->Eeprom()->WriteCount(), 0u);
            // A select that answers 0 without acting, where the selection in
            // force reads the same bytes, is no departure that shows: the
            // report must then be the healthy one, word for word.
            const bool selectLie = fault.status == S_OK && clean[call].slot == DriverSlot::Set;
            if (selectLie && report.notPassed == 0) {
                EXPECT_EQ(report.text, healthy);
                ++harmless;
                continue;
            }
            EXPECT_GE(report.notPassed, 1) << report.text;
        }
    }
    EXPECT_LE(unseeable, 6) << "the unseeable calls are few";
    EXPECT_LE(harmless, 12) << "the selects whose lie reads alike are few";
}

}  // namespace
