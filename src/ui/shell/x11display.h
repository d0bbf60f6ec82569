#pragma once
#include "shell/display.h"

namespace qv {
// The X11 (XRandR) switch when the program runs under X; null elsewhere.
std::unique_ptr<DisplaySwitch> makePlatformDisplaySwitch();
} // namespace qv
