// Breaks and line errors, taken from the driver's input counters
// (TIOCGICOUNT). A driver without counters (a pseudo-terminal, for one)
// simply reports none.
#pragma once

#include <cstdint>

namespace verdelo {

struct LineCounts {
  uint32_t breaks = 0;
  uint32_t frameErrors = 0;
  uint32_t parityErrors = 0;
  uint32_t overruns = 0;        // bytes the UART lost
  uint32_t bufferOverruns = 0;  // bytes the driver's buffer had no room for
};

// Reads the counters: 0, ENOTTY or EINVAL when the driver keeps none, or the
// errno of the failure (EIO once the device is gone).
int ReadLineCounts(int fd, LineCounts& counts);

// EV_BREAK and EV_ERR for what the counters gained between two readings.
uint32_t LineEventsBetween(const LineCounts& before, const LineCounts& after);
// The kLineError* flags for what the counters gained between two readings.
uint32_t LineErrorsBetween(const LineCounts& before, const LineCounts& after);

}  // namespace verdelo
