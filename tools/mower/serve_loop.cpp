#include "tools/mower/serve_loop.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "tools/mower/mower_commands.h"

namespace verdelo::mower {
namespace {

// While the other side of a pseudo-terminal is closed, or after a real port
// was lost, poll() reports a hang-up at once and for good; the line is then
// looked at again this often.
constexpr int kHungUpRetryMs = 100;

const char* TraceLabel(Outgoing::Kind kind) {
  switch (kind) {
    case Outgoing::Kind::Answer: return "ANS";
    case Outgoing::Kind::Burst: return "BURST";
    case Outgoing::Kind::Garbage: return "NOISE";
    case Outgoing::Kind::Flood: return "FLOOD";
  }
  return "?";
}

}  // namespace

ServeLoop::ServeLoop(VirtualMower& mower, LineTransport& line, int command_fd,
                     std::ostream& replies, TraceLog* trace)
    : mower_(mower), line_(line), command_fd_(command_fd), replies_(replies), trace_(trace),
      start_(std::chrono::steady_clock::now()) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
    wake_read_ = ends[0];
    wake_write_ = ends[1];
  }
}

ServeLoop::~ServeLoop() {
  if (wake_read_ >= 0) ::close(wake_read_);
  if (wake_write_ >= 0) ::close(wake_write_);
}

LineMillis ServeLoop::Now() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_)
      .count();
}

void ServeLoop::Stop() {
  const char byte = 1;
  [[maybe_unused]] auto written = ::write(wake_write_, &byte, 1);
}

int ServeLoop::Run() {
  if (wake_read_ < 0) return 1;
  for (;;) {
    LineMillis now = Now();
    if (hung_up_) CheckLineBack();
    QueueDue(now);
    Flush();

    pollfd fds[4];
    int count = 0;
    fds[count++] = {wake_read_, POLLIN, 0};
    const int line_at = hung_up_ ? -1 : count;
    if (!hung_up_)
      fds[count++] = {line_.fd(), static_cast<short>(POLLIN | (pending_.empty() ? 0 : POLLOUT)), 0};
    const int command_at = command_fd_ >= 0 ? count : -1;
    if (command_fd_ >= 0) fds[count++] = {command_fd_, POLLIN, 0};
    const int listen_at = line_.listen_fd() >= 0 ? count : -1;
    if (listen_at >= 0) fds[count++] = {line_.listen_fd(), POLLIN, 0};

    int timeout = -1;
    if (auto due = mower_.NextDue()) timeout = static_cast<int>(std::clamp<LineMillis>(*due - now, 0, 60000));
    if (hung_up_) timeout = timeout < 0 ? kHungUpRetryMs : std::min(timeout, kHungUpRetryMs);

    if (::poll(fds, count, timeout) < 0) {
      if (errno == EINTR) continue;
      return 1;
    }
    now = Now();
    if (fds[0].revents != 0) return 0;
    if (line_at >= 0) {
      const short events = fds[line_at].revents;
      if (events & POLLIN) ReadLine(now);
      else if (events & (POLLHUP | POLLERR)) HangUp();
      if (!hung_up_ && (events & POLLOUT)) Flush();
    }
    if (command_at >= 0 && fds[command_at].revents != 0) ReadCommands(now);
    if (listen_at >= 0 && fds[listen_at].revents != 0 && line_.Accept()) {
      // A new console: what was meant for the one before is not for it.
      hung_up_ = false;
      pending_.clear();
    }
  }
}

void ServeLoop::ReadLine(LineMillis now) {
  std::uint8_t buffer[512];
  for (;;) {
    const long got = line_.Read(buffer, sizeof buffer);
    if (got > 0) {
      const auto requests = mower_.Receive({buffer, static_cast<std::size_t>(got)}, now);
      if (trace_) {
        for (const auto& request : requests) {
          const MowerFrame frame = BuildRequest(request.code, request.value);
          trace_->Record(now, "REQ", frame);
        }
      }
      QueueDue(now);
      continue;
    }
    if (got == 0 || errno == EAGAIN || errno == EINTR) break;
    HangUp();  // EIO: the other side was closed
    break;
  }
  Flush();
}

void ServeLoop::ReadCommands(LineMillis now) {
  char buffer[512];
  const long got = ::read(command_fd_, buffer, sizeof buffer);
  if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) {
    command_fd_ = -1;  // input closed: keep serving without commands
    return;
  }
  if (got < 0) return;
  command_text_.append(buffer, static_cast<std::size_t>(got));
  for (std::size_t end; (end = command_text_.find('\n')) != std::string::npos;) {
    const std::string text = command_text_.substr(0, end);
    command_text_.erase(0, end + 1);
    const CommandReply reply = RunCommand(mower_, text, now);
    if (!reply.text.empty()) replies_ << reply.text << '\n' << std::flush;
  }
  QueueDue(now);
  Flush();
}

void ServeLoop::QueueDue(LineMillis now) {
  for (auto& out : mower_.TakeDue(now)) {
    if (hung_up_) continue;  // nobody listens: the bytes are lost, as on a cable
    if (trace_) trace_->Record(now, TraceLabel(out.kind), out.bytes);
    pending_.insert(pending_.end(), out.bytes.begin(), out.bytes.end());
  }
}

void ServeLoop::Flush() {
  while (!pending_.empty() && !hung_up_) {
    const long wrote = line_.Write(pending_.data(), pending_.size());
    if (wrote > 0) {
      pending_.erase(pending_.begin(), pending_.begin() + wrote);
    } else if (wrote < 0 && (errno == EAGAIN || errno == EINTR)) {
      return;  // poll() waits for room
    } else {
      HangUp();
    }
  }
}

void ServeLoop::HangUp() {
  hung_up_ = true;
  pending_.clear();
}

void ServeLoop::CheckLineBack() {
  pollfd probe{line_.fd(), POLLIN, 0};
  if (::poll(&probe, 1, 0) >= 0 && !(probe.revents & (POLLHUP | POLLERR))) hung_up_ = false;
}

}  // namespace verdelo::mower
