// Unit tests run on GIO's base network monitor: it never changes on its own
// and always says "available", so every change comes from the test. It must
// be chosen before GIO first makes the process's monitor, hence at static
// initialisation; GIO_USE_NETWORK_MONITOR is read when the monitor is made.
#pragma once

#include <cstdlib>

namespace reachabilitytests {

inline const bool baseMonitorChosen = setenv("GIO_USE_NETWORK_MONITOR", "base", 1) == 0;

}  // namespace reachabilitytests
