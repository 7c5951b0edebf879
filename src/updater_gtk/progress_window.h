// The channel updater's window: the stage, a progress bar, Cancel, then the outcome and Close.
#pragma once

#include <cstdint>

#include "updater/options.h"

namespace vistrelle::updater {

// Runs the update with the window shown (transient for the program's window when its id is
// given); returns the exit status once the user closed the window.
int runWithWindow(const Options& options);

}  // namespace vistrelle::updater
