// The channel updater's window on Windows: the stage, a progress bar with the counts and bytes,
// Cancel, then the outcome and Close.
#pragma once

#include "updater/download.h"
#include "updater/options.h"

namespace vistrelle::updater {

// Runs the update with the window shown (centred over the program's window when its handle is
// given); returns the exit status once the user closed the window.
int runWithWindow(const Options& options, const NetworkLimits& limits = {});

}  // namespace vistrelle::updater
