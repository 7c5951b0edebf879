// The last-resort fault handler on Linux: processor faults arrive as signals, are turned into the
// program's exception codes, and the report is shown by a fresh process of the program.
#pragma once

#include <signal.h>

#include <cstdint>
#include <optional>
#include <string_view>

#include "ui/window_layer.h"

namespace vistrelle::gtk {

// The hidden first argument that makes the program show a fault report and nothing else.
inline constexpr std::string_view kFaultReportArgument = "--vistrelle-fault-report";

// The exception code for a signal and its si_code. `stackOverflow`: the faulting address lies at
// the edge of the faulting thread's stack. Codes outside the table for anything unknown.
uint32_t faultCodeFor(int signal, int signalCode, bool stackOverflow);

// An exception code that the report describes as "UNKNOWN Error".
inline constexpr uint32_t kUnknownFaultCode = 0xE0000001;

// True from the moment a fault reached the handler.
bool faultReportActive();

class GtkFaults final : public vistrelle::FaultHook {
public:
    GtkFaults() = default;
    GtkFaults(const GtkFaults&) = delete;
    GtkFaults& operator=(const GtkFaults&) = delete;

    void install(void (*handler)(uint32_t code)) override;
    void restore() override;
    void showReport(std::string_view title, std::string_view text, MessageIcon icon,
                    MessageButtons buttons) override;
    [[noreturn]] void exitProcess(int32_t code) override;

    bool faulted() const { return faultReportActive(); }
};

// Called by main() first: when the program was started to show a fault report, shows it and
// returns the exit code; otherwise nullopt and the program runs as usual.
std::optional<int> runFaultReportIfAsked(int argc, char** argv);

// Builds made for fault testing: makes the running program fault as the environment variable
// VISTRELLE_TEST_FAULT says ("divide" or "null") once the main loop runs. Otherwise nothing.
void scheduleTestFault();

}  // namespace vistrelle::gtk
