#pragma once
// The current media time: seconds on the process clock's monotonic reading, the time base of
// every layer and animation. Tests move it with a dispatch::VirtualClock.

#include "platform/dispatch/Clock.h"

namespace ca {

inline double currentMediaTime() { return dispatch::Clock::current().monotonicTime(); }

} // namespace ca
