#include "serial/net_line.h"

#include <poll.h>
#include <termios.h>

#include <cerrno>

#include "serial/line_settings.h"
#include "serial/net_connect.h"
#include "serial/poll_deadline.h"

namespace verdelo {

NetLine::NetLine(std::string address, NetProtocol protocol, std::string peer, int cancelFd)
    : address_(std::move(address)), protocol_(protocol), peer_(std::move(peer)), cancelFd_(cancelFd) {}

int32_t NetLine::Open(const std::string& address, uint32_t limitMs, int cancelFd,
                      std::unique_ptr<NetLine>& line) {
  const PollDeadline deadline(limitMs);
  NetEndpoint endpoint;
  if (int32_t err = ParseNetEndpoint(address, endpoint)) return err;
  int fd = -1;
  std::string peer;
  if (int32_t err = ConnectEndpoint(endpoint, limitMs, cancelFd, fd, peer)) return err;

  std::unique_ptr<NetLine> opened(new NetLine(address, endpoint.protocol, peer, cancelFd));
  const bool coded = endpoint.protocol == NetProtocol::kRfc2217;
  NetLine* self = opened.get();
  opened->stream_ = std::make_unique<NetStream>(
      fd, coded, [self](const TelnetCommand& command, std::vector<uint8_t>& reply) {
        self->OnCommand(command, reply);
      });
  if (int32_t err = opened->stream_->CreateError()) return err;
  if (int32_t err = opened->answered_.CreateError()) return err;
  if (coded) {
    const int remaining = deadline.RemainingMs();
    if (int32_t err =
            opened->Negotiate(remaining < 0 ? INFINITE : static_cast<uint32_t>(remaining)))
      return err;
  }
  line = std::move(opened);
  return 0;
}

// The option first; once it is accepted, 8N1 without flow control at the
// bridge's rate, as a serial device is opened.
int32_t NetLine::Negotiate(uint32_t limitMs) {
  const PollDeadline deadline(limitMs);
  std::vector<uint8_t> out;
  {
    std::lock_guard hold(sessionLock_);
    session_.Start(out);
  }
  stream_->SendControl(out);
  int32_t err =
      AwaitAnswers(limitMs, [this] { return session_.State() != ComPortState::kOffered; });
  if (err == 0 && Negotiates()) {
    out.clear();
    {
      std::lock_guard hold(sessionLock_);
      session_.RequestLine(0, 8, kParityNone, kStopBitsOne, out);
      session_.RequestFlow(kFlowOff, out);
    }
    stream_->SendControl(out);
    const int remaining = deadline.RemainingMs();
    err = AwaitAnswers(remaining < 0 ? INFINITE : static_cast<uint32_t>(remaining), [this] {
      return !session_.Awaiting() || session_.State() != ComPortState::kAccepted;
    });
  }
  if (err == ERROR_TIMEOUT) return ETIMEDOUT;  // the bridge did not answer in time
  if (err == kDeviceLostErrno) return stream_->LossCause();
  return err;
}

bool NetLine::Negotiates() {
  std::lock_guard hold(sessionLock_);
  return protocol_ == NetProtocol::kRfc2217 && session_.State() == ComPortState::kAccepted;
}

void NetLine::OnCommand(const TelnetCommand& command, std::vector<uint8_t>& reply) {
  bool news;
  {
    std::lock_guard hold(sessionLock_);
    news = session_.Handle(command, reply);
  }
  if (news) answered_.Signal();
}

// Takes in what the bridge sends until `done` (checked with the session
// locked) holds, the connection ends, the time runs out or the owner breaks
// the wait off. Another thread
// may take the answer in (the listener's event wait pumps the same
// stream); it then signals answered_, which this wait watches too.
template <typename Done>
int32_t NetLine::AwaitAnswers(uint32_t limitMs, Done done) {
  const PollDeadline deadline(limitMs);
  for (;;) {
    answered_.Reset();
    stream_->Pump();
    {
      std::lock_guard hold(sessionLock_);
      if (done()) return 0;
    }
    if (stream_->Ended()) return kDeviceLostErrno;
    if (deadline.Expired()) return ERROR_TIMEOUT;
    const short out = stream_->HasPendingOutput() ? POLLOUT : 0;
    pollfd fds[2] = {{stream_->Fd(), static_cast<short>(POLLIN | out), 0},
                     {answered_.Fd(), POLLIN, 0}};
    const int32_t waited = PollOrCancel(fds, 2, cancelFd_, deadline.RemainingMs());
    if (waited != 0 && waited != ERROR_TIMEOUT) return waited;
    if (fds[0].revents & POLLOUT) stream_->FlushPendingOutput();
  }
}

int32_t NetLine::Configure(uint32_t baud, uint8_t dataBits, uint8_t parity, uint8_t stopBits,
                           uint32_t limitMs) {
  termios check{};
  if (int err = SetLineValues(check, baud, dataBits, parity, stopBits)) return err;
  if (!Negotiates()) {
    std::lock_guard hold(sessionLock_);
    kept_.baud = baud;
    kept_.dataBits = dataBits;
    kept_.parity = parity;
    kept_.stopBits = stopBits;
    return 0;
  }
  std::vector<uint8_t> out;
  {
    std::lock_guard hold(sessionLock_);
    session_.RequestLine(baud, dataBits, parity, stopBits, out);
  }
  stream_->SendControl(out);
  if (int32_t err = AwaitAnswers(limitMs, [this] { return !session_.Awaiting(); })) return err;
  const NetLineValues now = Values();
  const bool taken = now.baud == baud && now.dataBits == dataBits && now.parity == parity &&
                     now.stopBits == stopBits;
  return taken ? 0 : EINVAL;
}

int32_t NetLine::SetFlowControl(int flow, uint32_t limitMs) {
  if (!Negotiates()) {
    std::lock_guard hold(sessionLock_);
    kept_.flow = flow;
    return 0;
  }
  std::vector<uint8_t> out;
  {
    std::lock_guard hold(sessionLock_);
    session_.RequestFlow(flow, out);
  }
  stream_->SendControl(out);
  if (int32_t err = AwaitAnswers(limitMs, [this] { return !session_.Awaiting(); })) return err;
  return Values().flow == flow ? 0 : EINVAL;
}

void NetLine::SetEventCharacter(uint8_t character) {
  std::lock_guard hold(sessionLock_);
  kept_.eventCharacter = character;
}

NetLineValues NetLine::Values() {
  std::lock_guard hold(sessionLock_);
  if (protocol_ != NetProtocol::kRfc2217 || session_.State() != ComPortState::kAccepted)
    return kept_;
  NetLineValues values = session_.Confirmed();
  values.eventCharacter = kept_.eventCharacter;
  return values;
}

std::string NetLine::Note() {
  std::string note = address_ + ": connected to " + peer_;
  if (protocol_ == NetProtocol::kRawTcp)
    return note + "; raw TCP, the bridge keeps its own line settings";
  std::lock_guard hold(sessionLock_);
  if (session_.State() == ComPortState::kRefused)
    return note +
           "; the bridge refused the COM port option (RFC 2217), so it is used as a raw "
           "bridge and keeps its own line settings";
  return note + "; RFC 2217, the bridge sets the line as configured";
}

}  // namespace verdelo
