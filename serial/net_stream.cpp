#include "serial/net_stream.h"

#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "serial/com_types.h"

namespace verdelo {
namespace {

// Most a single pump takes in, so one that races a flood returns.
constexpr std::size_t kMaxPumpBytes = 256 * 1024;
// Most caller bytes encoded for one send.
constexpr std::size_t kEncodeChunk = 4096;

}  // namespace

NetStream::NetStream(int fd, bool coded, CommandHandler handler)
    : fd_(fd), coded_(coded), handler_(std::move(handler)) {
  if (coded_) {
    queuedFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (queuedFd_ < 0) createError_ = errno;
  }
}

NetStream::~NetStream() {
  if (queuedFd_ >= 0) close(queuedFd_);
  close(fd_);
}

void NetStream::NoteEnd(ssize_t result) {
  int32_t cause = result == 0 ? ERROR_GRACEFUL_DISCONNECT : errno;
  int32_t none = 0;
  endCause_.compare_exchange_strong(none, cause);
}

// The connection is shut down, so that every wait on it wakes and finds it
// ended with `cause`.
void NetStream::GiveUp(int32_t cause) {
  int32_t none = 0;
  endCause_.compare_exchange_strong(none, cause);
  shutdown(fd_, SHUT_RDWR);
}

int32_t NetStream::LossCause() const {
  if (const int32_t cause = endCause_.load()) return cause;
  int error = 0;
  socklen_t size = sizeof error;
  if (getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error != 0) return error;
  return ERROR_GRACEFUL_DISCONNECT;
}

ssize_t NetStream::ReadSome(uint8_t* buffer, std::size_t length) {
  if (!coded_) {
    for (;;) {
      const ssize_t n = recv(fd_, buffer, length, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n == 0 || (n < 0 && errno != EAGAIN)) NoteEnd(n);
      return n;
    }
  }
  std::lock_guard hold(inLock_);
  if (queueHead_ == queue_.size()) PumpLocked();
  if (queueHead_ < queue_.size()) return TakeQueued(buffer, length);
  if (const int32_t cause = endCause_.load()) {
    if (cause == ERROR_GRACEFUL_DISCONNECT) return 0;
    errno = cause;
    return -1;
  }
  errno = EAGAIN;
  return -1;
}

ssize_t NetStream::TakeQueued(uint8_t* buffer, std::size_t length) {
  const std::size_t count = std::min(length, queue_.size() - queueHead_);
  std::memcpy(buffer, queue_.data() + queueHead_, count);
  queueHead_ += count;
  if (queueHead_ == queue_.size()) {
    queue_.clear();
    queueHead_ = 0;
    SignalQueued(false);
  }
  return static_cast<ssize_t>(count);
}

void NetStream::SignalQueued(bool waiting) {
  if (waiting == queuedSignalled_) return;
  queuedSignalled_ = waiting;
  uint64_t value = 1;
  if (waiting) {
    [[maybe_unused]] auto written = write(queuedFd_, &value, sizeof value);
  } else {
    [[maybe_unused]] auto taken = read(queuedFd_, &value, sizeof value);
  }
}

bool NetStream::Pump() {
  if (!coded_) return false;
  std::lock_guard hold(inLock_);
  return PumpLocked();
}

bool NetStream::PumpLocked() {
  const std::size_t before = queue_.size();
  uint8_t buffer[4096];
  for (std::size_t total = 0; total < kMaxPumpBytes && !Ended();) {
    const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) break;
    if (n <= 0) {
      NoteEnd(n);
      break;
    }
    total += static_cast<std::size_t>(n);
    decoder_.Decode(buffer, static_cast<std::size_t>(n), queue_, commands_);
    // Answered read by read, so a flood of commands is never held whole.
    if (commands_.empty()) continue;
    std::vector<uint8_t> reply;
    for (const TelnetCommand& command : commands_) handler_(command, reply);
    commands_.clear();
    if (!reply.empty()) SendControl(reply);
  }
  if (queue_.size() > before) SignalQueued(true);
  return queue_.size() > before;
}

bool NetStream::HoldsQueued() {
  std::lock_guard hold(inLock_);
  return queueHead_ < queue_.size();
}

bool NetStream::HoldsInput() {
  if (coded_ && HoldsQueued()) return true;
  int count = 0;
  return ioctl(fd_, FIONREAD, &count) == 0 && count > 0;
}

ssize_t NetStream::WriteSome(const uint8_t* data, std::size_t length) {
  if (!coded_) {
    for (;;) {
      const ssize_t n = send(fd_, data, length, MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      return n;
    }
  }
  std::lock_guard hold(outLock_);
  if (!FlushLocked()) return -1;
  if (length == 0) return 0;
  const std::size_t chunk = std::min(length, kEncodeChunk);
  encoded_.clear();
  AppendEscaped(data, chunk, encoded_);
  ssize_t sent;
  do {
    sent = send(fd_, encoded_.data(), encoded_.size(), MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  if (sent < 0) return -1;
  // Caller bytes whose encoding went out, the half-sent IAC included.
  std::size_t taken = 0;
  std::size_t at = 0;
  while (taken < chunk && at < static_cast<std::size_t>(sent)) {
    const std::size_t width = data[taken] == telnet::kIac ? 2 : 1;
    if (at + width > static_cast<std::size_t>(sent)) pending_.push_back(telnet::kIac);
    at += width;
    ++taken;
  }
  return static_cast<ssize_t>(taken);
}

void NetStream::SendControl(const std::vector<uint8_t>& bytes) {
  std::lock_guard hold(outLock_);
  // What went out is dropped from the front once it is at least half the
  // buffer, so each byte is moved at most once on average.
  if (pendingHead_ > 0 && pendingHead_ * 2 >= pending_.size()) {
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(pendingHead_));
    pendingHead_ = 0;
  }
  pending_.insert(pending_.end(), bytes.begin(), bytes.end());
  if (FlushLocked() || pending_.size() - pendingHead_ <= kMaxPendingOutput) return;
  pending_.clear();
  pendingHead_ = 0;
  GiveUp(ERROR_NEGOTIATION_BACKLOG);
}

bool NetStream::HasPendingOutput() {
  std::lock_guard hold(outLock_);
  return pendingHead_ < pending_.size();
}

void NetStream::FlushPendingOutput() {
  std::lock_guard hold(outLock_);
  FlushLocked();
}

// True when nothing is left to send; else false with errno set (EAGAIN
// when the socket is full).
bool NetStream::FlushLocked() {
  while (pendingHead_ < pending_.size()) {
    const ssize_t n = send(fd_, pending_.data() + pendingHead_, pending_.size() - pendingHead_,
                           MSG_NOSIGNAL);
    if (n > 0) {
      pendingHead_ += static_cast<std::size_t>(n);
    } else if (!(n < 0 && errno == EINTR)) {
      if (n == 0) errno = EAGAIN;
      return false;
    }
  }
  pending_.clear();
  pendingHead_ = 0;
  return true;
}

}  // namespace verdelo
