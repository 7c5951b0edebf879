// The fault report hook on Windows: the process-wide unhandled-exception filter.
#pragma once

#include <cstdint>

#include "ui/window_layer.h"

namespace vistrelle::win32 {

class ExceptionFilter final : public FaultHook {
public:
    void install(void (*handler)(uint32_t code)) override;
    void restore() override;
    void showReport(std::string_view title, std::string_view text, MessageIcon icon,
                    MessageButtons buttons) override;
    [[noreturn]] void exitProcess(int32_t code) override;
};

}  // namespace vistrelle::win32
