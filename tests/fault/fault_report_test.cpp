#include "fault/fault_report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vistrelle {
namespace {

// The faults the platform layers report, the texts with their quirks kept (a missing space,
// a trailing one, a final comma) and codes outside the table, the layers' own among them.
TEST(FaultReportText, DescribesEachFaultAsTheTableSaysOrAsUnknown) {
    const struct {
        uint32_t code;
        const char* description;
    } cases[] = {
        {0xC0000094, "Attempted division by zero"},
        {0xC00000FD,
         "Stack overflow.Can occur during errant recursion, or when a function creates a "
         "particularly large array on the stack."},
        {0xC000008F,
         "FLOAT_INEXACT_RESULT The accuracy of the last floating point operation is worse than "
         "usual as it is impossible to represent in the float accurately,"},
        {0xC000013A, "CONTROL_C_EXIT Lets the debugger know the user hit Ctrl-C. "},
        {0x80000004,
         "SINGLE_STEP The CPU has signalled that one instruction has been executed.Only of "
         "interest to Debuggers"},
        {0x00000000, "No Error"},
        {0xC0000095, "UNKNOWN Error"},  // integer overflow
        {0xC000008C, "UNKNOWN Error"},  // array bounds exceeded
        {0xE06D7363, "UNKNOWN Error"},  // a C++ exception
        {0xFFFFFFFF, "UNKNOWN Error"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(faultDescription(c.code), c.description) << std::hex << c.code;
        FaultState state;
        state.faultCount = 3;
        state.faultCode = c.code;
        EXPECT_EQ(faultReportText(state), std::string("Sorry there was an error:\n\nLine: -1\n"
                                                      "Description: ") +
                                              c.description +
                                              "\nTotal number of errors: 3\n\nThe program "
                                              "will end now.")
            << std::hex << c.code;
    }
}

TEST(FaultReportText, FirstAccessViolationHasSevenLines) {
    FaultState state;
    state.faultCount = 1;
    state.faultCode = 0xC0000005;
    const std::string text = faultReportText(state);
    EXPECT_EQ(text.find('\r'), std::string::npos);

    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    lines.push_back(text.substr(start));
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "Sorry there was an error:",
                         "",
                         "Line: -1",
                         "Description: An attemped read or write to/from an address to which "
                         "that process isn't allowed",
                         "Total number of errors: 1",
                         "",
                         "The program will end now.",
                     }));
}

TEST(FaultReportText, WritesTheLineAndCountAsSignedDecimals) {
    FaultState state;
    EXPECT_EQ(state.faultLine, -1);
    state.faultCount = 12;
    state.faultCode = 0xC0000094;
    state.faultLine = 0;
    EXPECT_EQ(faultReportText(state),
              "Sorry there was an error:\n\nLine: 0\nDescription: Attempted division by "
              "zero\nTotal number of errors: 12\n\nThe program will end now.");
}

}  // namespace
}  // namespace vistrelle
