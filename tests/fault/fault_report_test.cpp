#include "fault/fault_report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vistrelle {
namespace {

struct DescriptionCase {
    uint32_t code;
    std::string text;
};

const std::vector<DescriptionCase> kTable = {
    {0xC0000094, "Attempted division by zero"},
    {0xC0000005,
     "An attemped read or write to/from an address to which that process isn't allowed"},
    {0xC0000096,
     "The instruction is not allowed in the current ring (inport, outport & control register "
     "manipulation usually)"},
    {0xC000001D, "Try to execute an invalid instruction -such as MMX opcodes on a non MMX system"},
    {0xC0000025,
     "The exception filter returned EXCEPTION_CONTINUE_EXCEPTION when the exception raised isn't "
     "restartable"},
    {0xC00000FD,
     "Stack overflow.Can occur during errant recursion, or when a function creates a particularly "
     "large array on the stack."},
    {0xC0000026,
     "INVALID_DISPOSITION Whatever number the exception filter returned, it wasn't a value the OS "
     "knows about."},
    {0xC0000008,
     "INVALID_HANDLE The API call was passed a handle to a kernel object which was invalid "
     "-usually because that handle has already been closed."},
    {0xC0000142, "EXCEPTION_DLL_Initialisation_Failure raised when DllMain() returns false (?)"},
    {0xC000008D,
     "FLOAT_DENORMAL_OPERAND One of the operands in a floating-point operation is too small to be "
     "represented in a floating-point value."},
    {0xC000008E, "FLOAT_DIVIDE_BY_ZERO The thread tried to divide a floating-point value by zero."},
    {0xC000008F,
     "FLOAT_INEXACT_RESULT The accuracy of the last floating point operation is worse than usual "
     "as it is impossible to represent in the float accurately,"},
    {0xC0000090, "FLOAT_INVALID_OPERATION Any other floating-point exception."},
    {0xC0000091, "FLOAT_OVERFLOW The result was too big to represent"},
    {0xC0000092,
     "FLOAT_STACK_CHECK A floating point stack overflowed or underflow. This related to the "
     "baroque design of the floating point unit."},
    {0xC0000093, "FLT_UNDERFLOW The result was too small to represent"},
    {0xC000013A, "CONTROL_C_EXIT Lets the debugger know the user hit Ctrl-C. "},
    {0x80000003, "BREAKPOINT A breakpoint was encountered."},
    {0x80000004,
     "SINGLE_STEP The CPU has signalled that one instruction has been executed.Only of interest "
     "to Debuggers"},
    {0x00000000, "No Error"},
    // Codes outside the table.
    {0xE06D7363, "UNKNOWN Error"},
    {0xC0000001, "UNKNOWN Error"},
    {0xC0000095, "UNKNOWN Error"},
    {0x80000005, "UNKNOWN Error"},
    {0x00000001, "UNKNOWN Error"},
    {0xFFFFFFFF, "UNKNOWN Error"},
};

TEST(FaultDescription, NamesEveryCodeOfTheTable) {
    for (const auto& c : kTable) {
        EXPECT_EQ(faultDescription(c.code), c.text) << std::hex << c.code;
    }
}

TEST(FaultReportText, IsBuiltFromTheStateForEachCode) {
    for (const auto& c : kTable) {
        FaultState state;
        state.faultCount = 3;
        state.faultCode = c.code;
        EXPECT_EQ(faultReportText(state),
                  "Sorry there was an error:\n\nLine: -1\nDescription: " + c.text +
                      "\nTotal number of errors: 3\n\nThe program will "
                      "end now.")
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
