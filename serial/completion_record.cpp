#include "serial/completion_record.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>

#include "serial/com_types.h"
#include "serial/poll_deadline.h"

namespace verdelo {

// An eventfd is readable while its counter is above zero: Signal adds one,
// Reset reads the counter back to zero, and waiting never consumes it.
CompletionRecord::CompletionRecord() {
  fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (fd_ < 0) createError_ = errno;
}

CompletionRecord::~CompletionRecord() {
  if (fd_ >= 0) close(fd_);
}

void CompletionRecord::Signal() {
  std::lock_guard<std::mutex> guard(lock_);
  if (signalled_) return;
  const uint64_t one = 1;
  [[maybe_unused]] ssize_t n = write(fd_, &one, sizeof one);
  signalled_ = true;
}

void CompletionRecord::Reset() {
  std::lock_guard<std::mutex> guard(lock_);
  if (!signalled_) return;
  uint64_t count;
  [[maybe_unused]] ssize_t n = read(fd_, &count, sizeof count);
  signalled_ = false;
}

bool CompletionRecord::IsSignalled() const { return Wait(0) == 0; }

int32_t CompletionRecord::Wait(uint32_t timeoutMs) const {
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (signalled_) return 0;
  }
  PollDeadline deadline(timeoutMs);
  for (;;) {
    pollfd pfd{fd_, POLLIN, 0};
    int n = poll(&pfd, 1, deadline.RemainingMs());
    if (n > 0) return (pfd.revents & POLLIN) ? 0 : EBADF;
    if (n == 0) return ERROR_TIMEOUT;
    if (errno != EINTR) return errno;
  }
}

}  // namespace verdelo
