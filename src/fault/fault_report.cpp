#include "fault/fault_report.h"

#include "ui/texts.h"

namespace vistrelle {

std::string_view faultDescription(uint32_t code) {
    for (const texts::FaultDescription& known : texts::kFaultDescriptions) {
        if (known.code == code) {
            return known.text;
        }
    }
    return texts::kUnknownFault;
}

std::string faultReportText(const FaultState& state) {
    std::string text(texts::kFaultReportStart);
    text += texts::kFaultLine;
    text += std::to_string(state.faultLine);
    text += "\n";
    text += texts::kFaultDescription;
    text += faultDescription(state.faultCode);
    text += "\n";
    text += texts::kFaultCount;
    text += std::to_string(state.faultCount);
    text += "\n\n";
    text += texts::kFaultReportEnd;
    return text;
}

}  // namespace vistrelle
