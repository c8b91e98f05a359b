#include "tests/services/services_fixture.h"

#include <algorithm>
#include <cstdio>

ServicesTest::~ServicesTest() {
    Unbind();
}

void ServicesTest::Unbind() {
    dc.Close();
    if (driver) {
        EXPECT_EQ(driver->RefCount(), 1u);
        driver->Release();
        driver = nullptr;
    }
}

void ServicesTest::Bind(const sim::ChipIdentity& identity) {
    Unbind();
    chip = std::make_shared<sim::SimChip>(identity);
    driver = sim::CreateSimDriver(chip);
    auto* filter = new FakeCaptureFilter(driver);
    ASSERT_NE(dc.BindFilter(filter), nullptr);
    filter->Release();
    driver->ClearLog();
}

void ServicesTest::BindChip(DWORD chipId, DWORD remoteAddress, DWORD remoteI2cAddress) {
    sim::ChipIdentity identity;
    identity.chipId = chipId;
    identity.remoteAddress = remoteAddress;
    identity.remoteI2cAddress = remoteI2cAddress;
    Bind(identity);
}

std::vector<std::string> ServicesTest::Trace() const {
    std::vector<std::string> trace;
    DWORD select = 0;
    char text[64];
    for (const sim::DriverCall& call : driver->Calls()) {
        const int digits = static_cast<int>(std::min<DWORD>(select & 0xFF, 4)) * 2;
        const unsigned index = (select >> 8) & 0xFFFF;
        if (call.slot == sim::DriverSlot::Set && call.id == CPROP_REG_SELECT) {
            select = call.word;
            if (call.status >= 0 && call.word != 0) {
                continue;
            }
            std::snprintf(text, sizeof text, "Sel=%08lX", call.word);
        } else if (call.id == CPROP_REG_DATA) {
            std::snprintf(text, sizeof text, "%c%02X=%0*lX",
                          call.slot == sim::DriverSlot::Get ? 'R' : 'W', index, digits, call.word);
        } else if (call.slot == sim::DriverSlot::Transfer) {
            std::snprintf(text, sizeof text, "T:%02lX,%02lX", call.id, call.word);
        } else if (call.id == CPROP_I2C_TRANSFER) {
            std::snprintf(text, sizeof text, "I2C:%08lX", call.word);
        } else if (call.slot == sim::DriverSlot::Get) {
            std::snprintf(text, sizeof text, "Get:%04lX", call.id);
        } else {
            std::snprintf(text, sizeof text, "Set:%04lX=%08lX", call.id, call.word);
        }
        trace.push_back(std::string(text) + (call.status < 0 ? "!" : ""));
    }
    return trace;
}

size_t ServicesTest::CountOf(const std::string& entry) const {
    const auto trace = Trace();
    return static_cast<size_t>(std::count(trace.begin(), trace.end(), entry));
}
