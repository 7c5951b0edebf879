// The fatal error report.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vistrelle {

struct FaultState {
    int32_t faultCount = 0;
    uint32_t faultCode = 0;
    int32_t faultLine = -1;  // the program records no source lines
};

// The description of an exception code; "UNKNOWN Error" for codes not in the table.
std::string_view faultDescription(uint32_t code);
// The report text, lines ended by LF.
std::string faultReportText(const FaultState& state);

}  // namespace vistrelle
