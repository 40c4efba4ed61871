#include "serial/com_line.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "serial/line_settings.h"
#include "serial/net_endpoint.h"
#include "serial/net_line.h"
#include "serial/poll_deadline.h"
#include "serial/port_names.h"

namespace verdelo {
namespace {

// Events that arrive with input and so need the input watched.
constexpr uint32_t kInputEvents = EV_RXCHAR | EV_RXFLAG | EV_BREAK | EV_ERR;
constexpr short kGoneEvents = POLLHUP | POLLERR | POLLNVAL;
// A socket whose bridge closed its end reports EPOLLRDHUP alone.
constexpr uint32_t kHangUpEvents = EPOLLHUP | EPOLLERR | EPOLLRDHUP;

// What each descriptor of the event poll stands for: the port's input, a
// duplicate of the port for hang-ups, the mask-applied event, and on a
// Telnet network line the queue of decoded input.
enum : uint32_t { kInputTag, kHangUpTag, kMaskTag, kQueuedTag };

void CloseEventPoll(int& epollFd, int& hangUpWatch) {
  if (epollFd >= 0) close(epollFd);
  if (hangUpWatch >= 0) close(hangUpWatch);
  epollFd = hangUpWatch = -1;
}

// Sets up what event waits block on (see CComLine::AwaitPortEvent): the
// port's input, armed; a duplicate of the port that asks for nothing (on a
// socket: for its peer's closing), so that only a hang-up or an error wakes
// it; the mask-applied event; and the queue of a Telnet line (queued >= 0),
// armed like the input.
int CreateEventPoll(int port, int maskApplied, int queued, bool socket, int& epollFd,
                    int& hangUpWatch) {
  epollFd = epoll_create1(EPOLL_CLOEXEC);
  hangUpWatch = epollFd < 0 ? -1 : fcntl(port, F_DUPFD_CLOEXEC, 0);
  epoll_event input{EPOLLIN | EPOLLONESHOT, {.u32 = kInputTag}};
  epoll_event hangUp{socket ? static_cast<uint32_t>(EPOLLRDHUP) : 0u, {.u32 = kHangUpTag}};
  epoll_event mask{EPOLLIN, {.u32 = kMaskTag}};
  epoll_event queue{EPOLLIN | EPOLLONESHOT, {.u32 = kQueuedTag}};
  if (hangUpWatch >= 0 && epoll_ctl(epollFd, EPOLL_CTL_ADD, port, &input) == 0 &&
      epoll_ctl(epollFd, EPOLL_CTL_ADD, hangUpWatch, &hangUp) == 0 &&
      epoll_ctl(epollFd, EPOLL_CTL_ADD, maskApplied, &mask) == 0 &&
      (queued < 0 || epoll_ctl(epollFd, EPOLL_CTL_ADD, queued, &queue) == 0)) {
    return 0;
  }
  const int err = errno;
  CloseEventPoll(epollFd, hangUpWatch);
  return err;
}

// The tty outlives our descriptor (a pty, a UART), so its exclusive flag is
// dropped before closing to let others in again; closing drops the flock.
void CloseDevice(int fd) {
  ioctl(fd, TIOCNXCL);
  close(fd);
}

// Opens a tty for this process alone and makes its line raw. flock keeps out
// every other program that locks (root included); TIOCEXCL also refuses
// plain opens by non-root programs that do not lock.
int OpenDevice(const std::string& path, int& fd) {
  fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno;
  termios line{};
  int err = 0;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0 || tcgetattr(fd, &line) != 0) {
    err = errno;
  } else {
    MakeRawLine(line);
    if (tcsetattr(fd, TCSANOW, &line) != 0) err = errno;
  }
  if (err != 0) {
    CloseDevice(fd);
    fd = -1;
  }
  return err;
}

// Raises or holds off the DTR and RTS lines. A driver without
// modem lines (a pseudo-terminal) has nothing to set.
int SetModemLines(int fd, bool raise) {
  int lines = TIOCM_DTR | TIOCM_RTS;
  if (ioctl(fd, raise ? TIOCMBIS : TIOCMBIC, &lines) == 0) return 0;
  return (errno == ENOTTY || errno == EINVAL) ? 0 : errno;
}

}  // namespace

CComLine::CComLine() = default;

CComLine::~CComLine() { ReleasePort(); }

int32_t CComLine::Open(const std::string& deviceName, uint32_t, uint32_t, bool overlapped) {
  lastError_ = 0;
  if (IsOpen()) return SetError(ERROR_ALREADY_INITIALIZED);
  lostCause_ = 0;

  const std::string device = ResolvePortDevice(deviceName);
  std::unique_ptr<NetLine> net;
  int fd = -1;
  if (IsNetworkAddress(device)) {
    if (int32_t err = NetLine::Open(device, networkLimitMs_, netCancel_.Fd(), net))
      return SetError(err);
    fd = net->Stream().Fd();
  } else if (int err = OpenDevice(device, fd)) {
    return SetError(err);
  }

  auto maskApplied = std::make_unique<CompletionRecord>();
  int err = maskApplied->CreateError();
  if (err == 0)
    err = CreateEventPoll(fd, maskApplied->Fd(), net ? net->Stream().QueuedFd() : -1,
                          net != nullptr, eventPoll_, hangUpWatch_);
  if (err != 0) {
    if (!net) CloseDevice(fd);
    return SetError(err);
  }

  portHandle_ = fd;
  net_ = std::move(net);
  ++openNumber_;
  overlapped_ = overlapped;
  maskApplied_ = std::move(maskApplied);
  inputUnreported_ = false;
  lineLost_ = false;
  eventsSeen_ = 0;

  LineCounts counts;
  hasCounters_ = !net_ && ReadLineCounts(portHandle_, counts) == 0;
  eventCounts_ = errorCounts_ = counts;

  SetEventMask(kDefaultEventMask);
  maskApplied_->Reset();  // no wait can be pending yet
  SetReadMode(kReadNonBlocking);
  return lastError_;
}

int32_t CComLine::Close() {
  ReleasePort();
  netCancel_.Reset();
  return SetError(0);
}

void CComLine::ReleasePort() {
  if (!IsOpen()) return;
  CloseEventPoll(eventPoll_, hangUpWatch_);
  if (net_)
    net_.reset();  // closes the socket
  else
    CloseDevice(portHandle_);
  portHandle_ = -1;
  maskApplied_.reset();
}

bool CComLine::ReadLineState(termios& state) {
  if (!IsOpen()) {
    SetError(ERROR_INVALID_HANDLE);
    return false;
  }
  if (tcgetattr(portHandle_, &state) != 0) {
    SetError(errno);
    return false;
  }
  SetError(0);
  return true;
}

std::string CComLine::NetworkNote() const { return net_ ? net_->Note() : std::string(); }

int32_t CComLine::Configure(uint32_t baudRate, uint8_t dataBits, uint8_t parity, uint8_t stopBits) {
  if (net_) {
    if (lineLost_) return SetError(kDeviceLostErrno);
    return SetError(net_->Configure(baudRate, dataBits, parity, stopBits, networkLimitMs_));
  }
  termios line;
  if (!ReadLineState(line)) return lastError_;
  if (int err = SetLineValues(line, baudRate, dataBits, parity, stopBits)) return SetError(err);
  if (tcsetattr(portHandle_, TCSANOW, &line) != 0) return SetError(errno);
  return SetError(0);
}

int32_t CComLine::SetEventCharacter(uint8_t character, bool adjustMask) {
  if (net_) {
    if (adjustMask) SetEventMask(GetEventMask() | EV_RXFLAG);
    net_->SetEventCharacter(character);
    return SetError(0);
  }
  termios line;
  if (!ReadLineState(line)) return lastError_;
  if (adjustMask) SetEventMask(GetEventMask() | EV_RXFLAG);
  SetEventCharacterIn(line, character);
  if (tcsetattr(portHandle_, TCSANOW, &line) != 0) return SetError(errno);
  return SetError(0);
}

int32_t CComLine::SetEventMask(uint32_t mask) {
  if (!IsOpen()) return SetError(ERROR_INVALID_HANDLE);
  eventMask_ = mask;
  maskApplied_->Signal();
  return SetError(0);
}

int32_t CComLine::SetFlowControl(int flow) {
  if (!IsOpen()) return SetError(ERROR_INVALID_HANDLE);
  if (flow < kFlowOff || flow > kFlowSoftware) return SetError(E_INVALIDARG);
  if (net_) {
    if (lineLost_) return SetError(kDeviceLostErrno);
    return SetError(net_->SetFlowControl(flow, networkLimitMs_));
  }
  termios line;
  if (!ReadLineState(line)) return lastError_;
  // DTR and RTS are asserted for a hardware handshake (the driver then
  // drives RTS) and held off otherwise.
  if (int err = SetModemLines(portHandle_, flow == kFlowHardware)) return SetError(err);
  SetFlowFlags(line, static_cast<FlowControl>(flow));
  if (tcsetattr(portHandle_, TCSANOW, &line) != 0) return SetError(errno);
  return SetError(0);
}

int32_t CComLine::SetReadMode(int mode) {
  if (!IsOpen()) return SetError(ERROR_INVALID_HANDLE);
  if (mode != kReadNonBlocking && mode != kReadBlocking) return SetError(E_INVALIDARG);
  readMode_ = mode;
  return SetError(0);
}

template <typename T, typename Of, typename NetOf>
T CComLine::LineValue(Of valueOf, NetOf netValueOf, T failure) {
  if (IsOpen() && net_) {
    if (lineLost_) {
      SetError(kDeviceLostErrno);
      return failure;
    }
    SetError(0);
    return static_cast<T>(netValueOf(net_->Values()));
  }
  termios line;
  return ReadLineState(line) ? static_cast<T>(valueOf(line)) : failure;
}

int32_t CComLine::GetBaudRate() {
  return LineValue([](const termios& t) { return BaudFromSpeed(cfgetospeed(&t)); },
                   [](const NetLineValues& v) { return v.baud; }, -1);
}

int32_t CComLine::GetDataBits() {
  return LineValue(DataBitsOf, [](const NetLineValues& v) { return v.dataBits; }, -1);
}

int32_t CComLine::GetParity() {
  return LineValue(ParityOf, [](const NetLineValues& v) { return v.parity; }, -1);
}

int32_t CComLine::GetStopBits() {
  return LineValue(StopBitsOf, [](const NetLineValues& v) { return v.stopBits; }, -1);
}

int32_t CComLine::GetFlowControl() {
  return LineValue(FlowControlOf, [](const NetLineValues& v) { return v.flow; }, -1);
}

uint32_t CComLine::GetEventMask() {
  if (!IsOpen()) {
    SetError(ERROR_INVALID_HANDLE);
    return 0;
  }
  SetError(0);
  return eventMask_;
}

uint8_t CComLine::GetEventCharacter() {
  return LineValue(EventCharacterOf, [](const NetLineValues& v) { return v.eventCharacter; },
                   uint8_t{0});
}

// Steps shared by WaitForEvent, Read and Write: a closed port is refused; a
// synchronous port refuses records and time-outs; the caller's record, if
// any, is cleared until the operation completes. Transfers complete within
// the call here, so the port needs no record of its own.
int32_t CComLine::BeginTransfer(CompletionRecord* record, uint32_t timeoutMs) {
  if (!IsOpen()) return ERROR_INVALID_HANDLE;
  if (!overlapped_ && (record != nullptr || timeoutMs != INFINITE)) return ERROR_INVALID_FUNCTION;
  if (record) record->Reset();
  return 0;
}

int32_t CComLine::FinishTransfer(CompletionRecord* record, int32_t result) {
  if (result == 0 && record) record->Signal();
  return SetError(result);
}

int32_t CComLine::WaitForEvent(CompletionRecord* record, uint32_t timeoutMs) {
  if (int32_t err = BeginTransfer(record, timeoutMs)) return SetError(err);
  uint32_t bits = 0;
  const int32_t result = AwaitPortEvent(timeoutMs, bits);
  if (result == 0) eventsSeen_ = bits;
  return FinishTransfer(record, result);
}

// Waits in epoll. The input watch is one-shot: the kernel disarms it as it
// reports input, and only Read (or a wait that did not report it) arms it
// again. So a batch of input wakes the waiter once, and unread input neither
// spins it nor repeats the event, with no wake-up to learn that the input was
// taken. A disarmed watch reports nothing, not even a hang-up, which is why
// a duplicate of the port stays registered for hang-ups alone.
//
// A hang-up is reported after the input that came before it: when the
// watch reports input beside a hang-up and the port still holds some, the
// input is handled as any other and the hang-up, which stays pending,
// ends the next wait. A hung-up tty reads as ready whether or not it holds
// anything, so only what it still holds counts as input.
//
// On a Telnet network line the socket's bytes go through the decoder first:
// commands are answered, data lands in the line's queue, and only the
// queue's own watch reports input. The socket's watch is armed again at
// once when nothing was queued (the bytes were all commands), else by Read.
int32_t CComLine::AwaitPortEvent(uint32_t timeoutMs, uint32_t& bits) {
  PollDeadline deadline(timeoutMs);
  const bool coded = net_ && net_->Stream().Coded();
  for (;;) {
    if (lineLost_) return kDeviceLostErrno;
    const bool watchInput = (eventMask_ & kInputEvents) != 0;
    if (watchInput && inputUnreported_.exchange(false)) ArmInputWatch();
    epoll_event ready[4];
    const int n = epoll_wait(eventPoll_, ready, 4, deadline.RemainingMs());
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return ERROR_TIMEOUT;
    uint32_t inputEvents = 0;
    uint32_t portEvents = 0;
    bool maskApplied = false;
    bool queued = false;
    for (int i = 0; i < n; ++i) {
      const uint32_t tag = ready[i].data.u32;
      if (tag == kMaskTag) maskApplied = true;
      if (tag == kQueuedTag) queued = true;
      if (tag == kInputTag) inputEvents = ready[i].events;
      if (tag == kInputTag || tag == kHangUpTag) portEvents |= ready[i].events;
    }
    bool input = (inputEvents & EPOLLIN) != 0;
    if (coded && input) {
      const bool added = net_->Stream().Pump();
      if (!net_->Stream().HoldsQueued()) ArmSocketWatch();
      // Data just queued is reported by the queue's watch on the next turn,
      // before a hang-up seen beside it; the events of this turn that are
      // still pending come back then too.
      if (added) continue;
      input = false;
    }
    input = input || queued;
    if (portEvents & kHangUpEvents) {
      input = input && HoldsInput();
      if (!input) {
        MarkLineLost(HangUpCause());
        return kDeviceLostErrno;
      }
    }
    if (input && watchInput && !maskApplied) {
      bits = EV_RXCHAR | CountedLineEvents();
      return 0;
    }
    if (input) inputUnreported_ = true;
    if (maskApplied) {
      maskApplied_->Reset();
      if (lineLost_) return kDeviceLostErrno;
      bits = 0;
      return 0;
    }
  }
}

void CComLine::ArmInputWatch() {
  ArmSocketWatch();
  if (net_ && net_->Stream().QueuedFd() >= 0) {
    epoll_event queue{EPOLLIN | EPOLLONESHOT, {.u32 = kQueuedTag}};
    epoll_ctl(eventPoll_, EPOLL_CTL_MOD, net_->Stream().QueuedFd(), &queue);
  }
}

void CComLine::ArmSocketWatch() {
  epoll_event input{EPOLLIN | EPOLLONESHOT, {.u32 = kInputTag}};
  epoll_ctl(eventPoll_, EPOLL_CTL_MOD, portHandle_, &input);
}

// The driver can tell what it holds; a hung-up tty refuses to (EIO).
bool CComLine::HoldsInput() const {
  if (net_) return net_->Stream().HoldsInput();
  int count = 0;
  return ioctl(portHandle_, FIONREAD, &count) == 0 && count > 0;
}

int32_t CComLine::HangUpCause() const {
  return net_ ? net_->Stream().LossCause() : kDeviceLostErrno;
}

uint32_t CComLine::CountedLineEvents() {
  LineCounts now;
  if (!hasCounters_ || ReadLineCounts(portHandle_, now) != 0) return 0;
  const uint32_t events = LineEventsBetween(eventCounts_, now);
  eventCounts_ = now;
  return events;
}

int32_t CComLine::ClearLineErrors(uint32_t& errors) {
  errors = 0;
  if (!IsOpen()) return ERROR_INVALID_HANDLE;
  LineCounts now;
  if (!hasCounters_) return 0;
  if (int err = ReadLineCounts(portHandle_, now)) return err;
  errors = LineErrorsBetween(errorCounts_, now);
  errorCounts_ = now;
  return 0;
}

void CComLine::MarkLineLost(int32_t cause) {
  int32_t none = 0;
  lostCause_.compare_exchange_strong(none, cause);
  lineLost_ = true;
  if (maskApplied_) maskApplied_->Signal();  // let a waiting listener report it
}

int32_t CComLine::Write(const char* text, uint32_t* written, CompletionRecord* record,
                        uint32_t timeoutMs) {
  return Write(text, static_cast<uint32_t>(std::strlen(text)), written, record, timeoutMs);
}

int32_t CComLine::Write(const void* data, uint32_t length, uint32_t* written,
                        CompletionRecord* record, uint32_t timeoutMs) {
  uint32_t localCount = 0;
  uint32_t& count = written ? *written : localCount;
  count = 0;
  if (int32_t err = BeginTransfer(record, timeoutMs)) return SetError(err);
  return FinishTransfer(record, WriteBytes(static_cast<const uint8_t*>(data), length, count, timeoutMs));
}

// Without a time-out the limit is on stalls, not on the whole transfer: it
// starts again whenever the line takes bytes, so a long write at a low speed
// still completes, while a line that takes nothing more is given up on and
// reported lost.
int32_t CComLine::WriteBytes(const uint8_t* data, uint32_t length, uint32_t& count,
                             uint32_t timeoutMs) {
  // A line given up on stays given up on: a caller with several frames to
  // send must not wait out the stall limit once for each of them.
  if (lineLost_) return kDeviceLostErrno;
  const bool stallLimited = timeoutMs == INFINITE;
  const uint32_t limit = stallLimited ? writeStallLimitMs_ : timeoutMs;
  PollDeadline deadline(limit);
  // A Telnet line may still hold the second half of an escaped byte.
  while (count < length || (net_ && net_->Stream().HasPendingOutput())) {
    const ssize_t n = WriteSome(data + count, length - count);
    if (n > 0) {
      count += static_cast<uint32_t>(n);
      if (stallLimited) deadline.Restart(limit);
      continue;
    }
    if (n == 0 && count == length) continue;  // what was kept went out
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) {
      // A broken connection is a lost line whatever the socket's reason.
      const int err = errno;
      if (net_) {
        MarkLineLost(err == EPIPE ? HangUpCause() : err);
        return kDeviceLostErrno;
      }
      if (err == EIO) MarkLineLost(err);
      return err;
    }
    pollfd pfd{portHandle_, POLLOUT, 0};
    const int ready = poll(&pfd, 1, deadline.RemainingMs());
    if (ready < 0 && errno != EINTR) return errno;
    if (ready == 0) {
      if (stallLimited) MarkLineLost(ERROR_TIMEOUT);
      return ERROR_TIMEOUT;
    }
    if (ready > 0 && (pfd.revents & kGoneEvents)) {
      MarkLineLost(HangUpCause());
      return kDeviceLostErrno;
    }
  }
  return 0;
}

ssize_t CComLine::WriteSome(const uint8_t* data, uint32_t length) {
  if (net_) return net_->Stream().WriteSome(data, length);
  return write(portHandle_, data, length);
}

ssize_t CComLine::ReadSome(uint8_t* data, uint32_t length) {
  if (net_) return net_->Stream().ReadSome(data, length);
  return read(portHandle_, data, length);
}

int32_t CComLine::Read(void* buffer, uint32_t length, uint32_t* readCount,
                       CompletionRecord* record, uint32_t timeoutMs) {
  uint32_t localCount = 0;
  uint32_t& count = readCount ? *readCount : localCount;
  count = 0;
  if (int32_t err = BeginTransfer(record, timeoutMs)) return SetError(err);
  const int32_t result = ReadBytes(static_cast<uint8_t*>(buffer), length, count, timeoutMs);
  // The input has been taken: event waits watch it again. Input still or
  // already waiting wakes a waiter at once, as new input should.
  ArmInputWatch();
  return FinishTransfer(record, result);
}

// Non-blocking mode takes what is buffered; blocking mode waits for the whole
// count. The line reads end of file only once the device has hung up.
int32_t CComLine::ReadBytes(uint8_t* data, uint32_t length, uint32_t& count, uint32_t timeoutMs) {
  PollDeadline deadline(timeoutMs);
  while (count < length) {
    const ssize_t n = ReadSome(data + count, length - count);
    if (n > 0) {
      count += static_cast<uint32_t>(n);
      // A tty hands over everything buffered at once: a short read in
      // non-blocking mode means there is no more to take.
      if (readMode_ == kReadNonBlocking) return 0;
      continue;
    }
    if (n == 0) {
      MarkLineLost(HangUpCause());
      return count > 0 ? 0 : kDeviceLostErrno;
    }
    if (errno == EINTR) continue;
    if (errno != EAGAIN) {
      const int err = errno;
      if (net_) {
        MarkLineLost(err);
        return count > 0 ? 0 : kDeviceLostErrno;
      }
      if (err == EIO) MarkLineLost(err);
      return err;
    }
    if (readMode_ == kReadNonBlocking) return 0;
    // A Telnet line's input may be taken into its queue by the listener's
    // event wait, so the queue is watched beside the socket.
    pollfd pfds[2] = {{portHandle_, POLLIN, 0}, {net_ ? net_->Stream().QueuedFd() : -1, POLLIN, 0}};
    const int ready = poll(pfds, 2, deadline.RemainingMs());
    if (ready < 0 && errno != EINTR) return errno;
    if (ready == 0) return ERROR_TIMEOUT;
    // A hang-up shows as readable too; the next read() sees end of file.
  }
  return 0;
}

}  // namespace verdelo
