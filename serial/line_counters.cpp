#include "serial/line_counters.h"

#include <linux/serial.h>
#include <sys/ioctl.h>

#include <cerrno>

#include "serial/com_types.h"

namespace verdelo {

int ReadLineCounts(int fd, LineCounts& counts) {
  serial_icounter_struct ic{};
  if (ioctl(fd, TIOCGICOUNT, &ic) != 0) return errno;
  counts.breaks = static_cast<uint32_t>(ic.brk);
  counts.frameErrors = static_cast<uint32_t>(ic.frame);
  counts.parityErrors = static_cast<uint32_t>(ic.parity);
  counts.overruns = static_cast<uint32_t>(ic.overrun);
  counts.bufferOverruns = static_cast<uint32_t>(ic.buf_overrun);
  return 0;
}

// The counters only grow (and wrap), so "changed" is "gained".
uint32_t LineEventsBetween(const LineCounts& before, const LineCounts& after) {
  uint32_t events = 0;
  if (after.breaks != before.breaks) events |= EV_BREAK;
  if (after.frameErrors != before.frameErrors || after.parityErrors != before.parityErrors ||
      after.overruns != before.overruns || after.bufferOverruns != before.bufferOverruns)
    events |= EV_ERR;
  return events;
}

uint32_t LineErrorsBetween(const LineCounts& before, const LineCounts& after) {
  uint32_t errors = 0;
  if (after.bufferOverruns != before.bufferOverruns) errors |= kLineErrorBufferOverrun;
  if (after.overruns != before.overruns) errors |= kLineErrorOverrun;
  if (after.parityErrors != before.parityErrors) errors |= kLineErrorParity;
  if (after.frameErrors != before.frameErrors) errors |= kLineErrorFrame;
  if (after.breaks != before.breaks) errors |= kLineErrorBreak;
  return errors;
}

}  // namespace verdelo
