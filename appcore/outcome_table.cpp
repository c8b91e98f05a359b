#include "appcore/outcome_table.h"

#include "common/hex_text.h"

std::string HexByte(DWORD value) {
    return velto1::HexText(value, value > 0xFF ? 8 : 2);
}

std::string OutcomeText(const UpdateResult& result) {
    const OutcomeDescription& row = DescribeOutcome(result.outcome);
    switch (row.detail) {
        case OutcomeDetail::Status:
            return std::string(row.text) + ", status " + velto1::StatusWordText(result.status);
        case OutcomeDetail::Marker:
            return std::string(row.text) + " (marker " + HexByte(result.marker) + ")";
        case OutcomeDetail::Busy:
            return std::string(row.text) + " longer than " +
                   std::to_string(kDeviceWaitMilliseconds / 1000) + " s, status " +
                   velto1::StatusWordText(result.status) + "; nothing was sent";
        case OutcomeDetail::OtherBuild:
            return std::string(row.text) + " (the device is served by the " +
                   (sizeof(void*) == 8 ? "x86" : "x64") + " build)";
        case OutcomeDetail::None:
            break;
    }
    return row.text;
}
