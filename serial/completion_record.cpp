#include "serial/completion_record.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>

#include "serial/com_types.h"
#include "serial/poll_deadline.h"

namespace verdelo {

// An eventfd is readable while its counter is above zero: raising it adds
// one, Reset reads the counter back to zero, and waiting never consumes it.
CompletionRecord::CompletionRecord() {
  fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (fd_ < 0) createError_ = errno;
}

CompletionRecord::~CompletionRecord() {
  if (fd_ >= 0) close(fd_);
}

int CompletionRecord::Fd() const {
  std::lock_guard<std::mutex> guard(lock_);
  fdHandedOut_ = true;
  if (signalled_) RaiseFd();
  return fd_;
}

void CompletionRecord::RaiseFd() const {
  if (fdRaised_) return;
  const uint64_t one = 1;
  [[maybe_unused]] ssize_t n = write(fd_, &one, sizeof one);
  fdRaised_ = true;
}

void CompletionRecord::Signal() {
  std::lock_guard<std::mutex> guard(lock_);
  signalled_ = true;
  if (fdHandedOut_ || sleepers_ > 0) RaiseFd();
}

void CompletionRecord::Reset() {
  std::lock_guard<std::mutex> guard(lock_);
  signalled_ = false;
  if (!fdRaised_) return;
  uint64_t count;
  [[maybe_unused]] ssize_t n = read(fd_, &count, sizeof count);
  fdRaised_ = false;
}

bool CompletionRecord::IsSignalled() const {
  std::lock_guard<std::mutex> guard(lock_);
  return signalled_;
}

// A Signal after the check below sees the sleeper and raises the
// descriptor, so the poll cannot miss it.
int32_t CompletionRecord::Wait(uint32_t timeoutMs) const {
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (signalled_) return 0;
    if (timeoutMs == 0) return ERROR_TIMEOUT;
    ++sleepers_;
  }
  PollDeadline deadline(timeoutMs);
  int32_t result;
  for (;;) {
    pollfd pfd{fd_, POLLIN, 0};
    int n = poll(&pfd, 1, deadline.RemainingMs());
    if (n > 0) {
      result = (pfd.revents & POLLIN) ? 0 : EBADF;
      break;
    }
    if (n == 0) {
      result = ERROR_TIMEOUT;
      break;
    }
    if (errno != EINTR) {
      result = errno;
      break;
    }
  }
  std::lock_guard<std::mutex> guard(lock_);
  --sleepers_;
  return result;
}

}  // namespace verdelo
