#include "link/link_supervisor.h"

#include <cassert>
#include <initializer_list>
#include <utility>

#include "serial/com_types.h"
#include "serial/device_watch.h"
#include "serial/net_endpoint.h"
#include "serial/net_failure.h"

namespace verdelo {

using State = LinkSupervisor::State;

namespace {

constexpr uint32_t kReadChunk = 511;
// The watch looks for itself this often, should the folder say nothing.
constexpr int kWatchLookMs = 1000;
// How long a click or start-up waits for a connect before leaving it to
// finish in the background: a bridge on the same network answers within
// it, so its link is up when the click returns, as a device's is.
constexpr auto kConnectGrace = std::chrono::milliseconds(100);

constexpr unsigned Bit(State s) { return 1u << static_cast<unsigned>(s); }
constexpr unsigned Bits(std::initializer_list<State> states) {
  unsigned bits = 0;
  for (State s : states) bits |= Bit(s);
  return bits;
}

// Every move the link may make: from each state (in the order of State), the
// states it may go to. Closing is allowed from everywhere; a retrying state
// goes to itself when it schedules its next try.
constexpr unsigned kMoves[] = {
    /* Closed */ Bits({State::Closed, State::Connecting, State::Open, State::Absent,
                       State::AbsentWaiting, State::AbsentRetrying}),
    /* Connecting */ Bits({State::Closed, State::Open, State::AbsentRetrying}),
    /* Open */ Bits({State::Closed, State::Lost, State::LostWaiting, State::LostRetrying}),
    /* Reopened */
    Bits({State::Closed, State::Open, State::Lost, State::LostWaiting, State::LostRetrying}),
    /* Lost */ Bits({State::Closed, State::Connecting, State::Open}),
    /* LostWaiting */ Bits({State::Closed, State::Connecting, State::Open}),
    /* LostRetrying */
    Bits({State::Closed, State::Connecting, State::Open, State::Reopened, State::LostRetrying}),
    /* Absent */ Bits({State::Closed, State::Connecting, State::Open}),
    /* AbsentWaiting */ Bits({State::Closed, State::Connecting, State::Open}),
    /* AbsentRetrying */
    Bits({State::Closed, State::Connecting, State::Open, State::Reopened, State::AbsentRetrying}),
};

bool IsWaitingState(State s) { return s == State::LostWaiting || s == State::AbsentWaiting; }
bool IsRetryingState(State s) { return s == State::LostRetrying || s == State::AbsentRetrying; }

std::string Seconds(int ms) { return std::to_string((ms + 999) / 1000); }

}  // namespace

// The connect in progress on its helper thread. While it runs the helper
// owns the line: the supervisor touches it only once the outcome is in.
struct LinkSupervisor::Connect {
  std::thread thread;
  std::future<int32_t> outcome;
  uint32_t attempt = 0;
  std::string device;
  Purpose purpose = Purpose::Click;
  bool brokenOff = false;  // its outcome is dropped
};

LinkSupervisor::LinkSupervisor(ILinkHost& host, ILinkView& view) : host_(host), view_(view) {}

// A connect still under way is broken off; the line is closed after it.
LinkSupervisor::~LinkSupervisor() {
  if (connect_) {
    line_.BreakOffNetworkWaits();
    connect_->thread.join();
  }
  line_.Close();
}

void LinkSupervisor::Enter(State next) {
  assert(MayMove(state_, next));
  const State was = std::exchange(state_, next);
  if (IsWaitingState(was) && was != next) {
    host_.WatchReadable(ILinkHost::Watch::Device, -1);
    host_.StopTimer(ILinkHost::Timer::WatchLook);
    watch_.reset();
  }
  if (IsRetryingState(was) && !IsRetryingState(next)) host_.StopTimer(ILinkHost::Timer::Retry);
  // The watch sleeps on inotify and wakes when something changes in the
  // folder of the device's path; a look once a second covers folders that
  // tell nothing, such as some device folders.
  if (IsWaitingState(next) && was != next) {
    watch_ = std::make_unique<DeviceWatch>(device_);
    if (watch_->fd() >= 0) host_.WatchReadable(ILinkHost::Watch::Device, watch_->fd());
    host_.StartTimer(ILinkHost::Timer::WatchLook, kWatchLookMs);
  }
  if (IsRetryingState(next)) {
    nextRetryMs_ = static_cast<int>(backoff_.Next().count());
    host_.StartTimer(ILinkHost::Timer::Retry, nextRetryMs_);
  }
  view_.StateChanged();
}

bool LinkSupervisor::MayMove(State from, State to) { return (kMoves[static_cast<unsigned>(from)] & Bit(to)) != 0; }

bool LinkSupervisor::IsWaiting() const { return IsWaitingState(state_) || IsRetryingState(state_); }

std::string LinkSupervisor::StateWords() const {
  switch (state_) {
    case State::Open:
    case State::Reopened: return "open";
    case State::Connecting: return "connecting";
    case State::Lost: return IsNetworkAddress(device_) ? "lost: bridge gone" : "lost: device gone";
    case State::LostWaiting: return "lost: device gone, waiting";
    case State::LostRetrying: return "lost: bridge gone, trying again";
    case State::Absent: return "not there";
    case State::AbsentWaiting: return "not there, waiting";
    case State::AbsentRetrying: return "unreachable, trying again";
    case State::Closed: break;
  }
  return "closed";
}

std::string LinkSupervisor::Describe(int32_t result, const std::string& device) const {
  return DescribeOpenFailure(result, device, line_.NetworkTimeLimit());
}

std::string LinkSupervisor::Waiting() const {
  if (IsWaitingState(state_)) return " Waiting for the device.";
  if (IsRetryingState(state_)) return " Trying again in " + Seconds(nextRetryMs_) + " s.";
  return {};
}

void LinkSupervisor::Open(const std::string& device, uint32_t baud) {
  // While a connect is under way the helper owns the line: the same bridge
  // asked for again takes that connect over; anything else breaks it off
  // and is opened once it is over.
  if (connect_) {
    if (device == connect_->device && !connect_->brokenOff) {
      connect_->purpose = Purpose::Click;
      return;
    }
    line_.BreakOffNetworkWaits();
    connect_->brokenOff = true;
    openAfter_ = device;
    baud_ = baud;
    return;
  }
  baud_ = baud;
  if (IsNetworkAddress(device) && !line_.IsOpen()) {
    BeginConnect(device, Purpose::Click);
    return;
  }
  const int32_t result = OpenLine(device, baud_);
  if (result == 0) LinkUp(device, State::Open);
  else view_.Failed(Describe(result, device), true);
}

void LinkSupervisor::OpenAtStart(const std::string& device, uint32_t baud) {
  baud_ = baud;
  device_ = device;
  // A bridge that cannot be reached holds nothing up: it is tried again.
  if (IsNetworkAddress(device)) {
    BeginConnect(device, Purpose::Start);
    return;
  }
  // A device that is not there yet holds nothing up: it is waited for.
  const int32_t result = OpenLine(device, baud);
  if (result == 0) return LinkUp(device, State::Open);
  if (!IsDeviceAbsent(result)) {
    view_.Failed(Describe(result, device), true);
    return;
  }
  Enter(autoReopen_ && device.starts_with('/') ? State::AbsentWaiting : State::Absent);
  view_.Failed(Describe(result, device) + Waiting(), false);
}

void LinkSupervisor::Close() {
  openAfter_.reset();
  if (connect_) {
    line_.BreakOffNetworkWaits();
    connect_->brokenOff = true;
  } else {
    CloseLine();
  }
  Enter(State::Closed);
  view_.Closed({});
}

void LinkSupervisor::Write(const uint8_t* data, uint32_t length) {
  if (connect_) return;  // the helper owns the line until the link is up
  line_.Write(data, length, nullptr, nullptr, INFINITE);
}

int32_t LinkSupervisor::OpenLine(const std::string& device, uint32_t baud) {
  const int32_t result = line_.Open(device, 0, 0, false);  // the owner reads it: no listener
  if (result == 0) {
    line_.Configure(baud, 8, kParityNone, kStopBitsOne);
    line_.SetFlowControl(kFlowOff);
  }
  return result;
}

void LinkSupervisor::CloseLine() {
  host_.WatchReadable(ILinkHost::Watch::Line, -1);
  line_.Close();
}

void LinkSupervisor::LinkUp(const std::string& device, State as) {
  host_.WatchReadable(ILinkHost::Watch::Line, line_.EventPollFd());
  backoff_.LinkMade(host_.Now());
  answers_.Reset();
  device_ = device;
  view_.Tip(device);
  Enter(as);
  view_.Opened();
}

// While a connect finishes its set-up the helper owns the line: the event
// stays in the line until the link is up and the owner watches it.
void LinkSupervisor::OnLineEvent() {
  uint32_t events = 0, errors = 0;
  if (connect_ || !line_.TakePortEvent(events, errors)) return;
  if (events & EV_RXCHAR) {
    uint8_t buffer[kReadChunk + 1];
    uint32_t count = 0;
    line_.Read(buffer, kReadChunk, &count, nullptr, INFINITE);
    // The first answer frame on a new link makes it sound, and a retry's
    // reopening worth telling.
    for (uint32_t i = 0; i < count && !backoff_.answered(); ++i) {
      if (!answers_.Push(buffer[i])) continue;
      backoff_.AnswerCarried();
      if (state_ == State::Reopened) {
        Enter(State::Open);
        view_.Reopened();
      }
    }
    view_.Received(buffer, count);
  }
  if ((errors & kLineErrorDeviceLost) && IsOpen()) OnLineLost();
}

void LinkSupervisor::OnLineLost() {
  const bool bridge = line_.IsNetworkLine();
  const std::string reason =
      device_ + (bridge ? " is gone: " + DescribeLineLoss(line_.LostCause()) + "."
                        : " is gone: the device was unplugged or stopped answering.");
  view_.Note(reason);
  // Only a sound link starts the retries' steps afresh: a bridge that takes
  // the connection and drops it at once is not tried every second.
  backoff_.LinkLost(host_.Now());
  // A reopening never told was never back: its loss is not told either.
  const bool told = state_ != State::Reopened;
  CloseLine();
  view_.Closed(reason);
  if (told) view_.Lost(reason);
  if (autoReopen_ && bridge) {
    Enter(State::LostRetrying);
    view_.Tip(reason + " Trying again in " + Seconds(nextRetryMs_) + " s.");
    return;
  }
  Enter(autoReopen_ && device_.starts_with('/') ? State::LostWaiting : State::Lost);
  if (autoReopen_) view_.Tip(reason + " Waiting for it to come back.");
}

// The helper thread opens the line and sets it (an RFC 2217 bridge answers
// each setting), then hands the outcome back to the owner's thread.
void LinkSupervisor::BeginConnect(const std::string& device, Purpose purpose) {
  // An open asked for by the user or the start-up tries again from the
  // first step.
  if (purpose != Purpose::Retry) {
    backoff_ = RetryBackoff();
    device_ = device;
    view_.Tip("Connecting to " + device + " ...");
    Enter(State::Connecting);
  }
  connect_ = std::make_unique<Connect>();
  connect_->device = device;
  connect_->purpose = purpose;
  const uint32_t attempt = connect_->attempt = ++connectAttempts_;
  std::promise<int32_t> outcome;
  connect_->outcome = outcome.get_future();
  connect_->thread = std::thread(
      [this, device, baud = baud_, attempt, outcome = std::move(outcome)]() mutable {
        outcome.set_value(OpenLine(device, baud));
        host_.Post([this, attempt] { FinishConnect(attempt); });
      });
  if (connect_->outcome.wait_for(kConnectGrace) == std::future_status::ready) FinishConnect(attempt);
}

void LinkSupervisor::FinishConnect(uint32_t attempt) {
  // The word of a connect already finished (at once, within the grace) is
  // not about this one.
  if (!connect_ || attempt != connect_->attempt) return;
  const int32_t result = connect_->outcome.get();
  connect_->thread.join();
  const std::unique_ptr<Connect> done = std::move(connect_);
  if (done->brokenOff) {
    CloseLine();
  } else if (result != 0) {
    OnConnectFailed(result, done->device, done->purpose);
  } else {
    const bool retry = done->purpose == Purpose::Retry;
    LinkUp(done->device, retry ? State::Reopened : State::Open);
    // Where the link goes and whether the bridge sets the line, or keeps
    // its own settings because it refused the COM port option.
    if (const std::string note = line_.NetworkNote(); !note.empty()) view_.Note(note);
    if (retry) {
      const std::string said = done->device + " answered again: the port was reopened.";
      view_.Tip(said);
      view_.Note(said);
    }
  }
  if (auto next = std::exchange(openAfter_, std::nullopt)) Open(*next, baud_);
}

void LinkSupervisor::OnConnectFailed(int32_t result, const std::string& device, Purpose purpose) {
  switch (purpose) {
    case Purpose::Click:
      // A click that took over a retry's connect leaves the retrying going.
      if (IsRetryingState(state_)) {
        Enter(state_);
      } else {
        view_.Tip({});  // no longer "Connecting to ..."
        Enter(State::Closed);
      }
      view_.Failed(Describe(result, device), true);
      break;
    case Purpose::Start:
      if (!IsBridgeUnreachable(result)) {
        Enter(State::Closed);
        view_.Failed(Describe(result, device), true);
        break;
      }
      Enter(State::AbsentRetrying);
      view_.Failed(Describe(result, device) + Waiting(), false);
      break;
    case Purpose::Retry:
      if (!IsRetryingState(state_)) break;
      Enter(state_);
      view_.Failed(Describe(result, device) + Waiting(), false);
      break;
  }
}

void LinkSupervisor::OnTimer(ILinkHost::Timer timer) {
  if (timer == ILinkHost::Timer::WatchLook) {
    OnReadable(ILinkHost::Watch::Device);
    if (watch_) host_.StartTimer(ILinkHost::Timer::WatchLook, kWatchLookMs);
    return;
  }
  if (!IsRetryingState(state_)) return;
  if (connect_) {  // a click's connect is under way: look again later
    Enter(state_);
    return;
  }
  BeginConnect(device_, Purpose::Retry);
}

// The line has events, or the device's folder told of a change (or the look
// once a second came).
void LinkSupervisor::OnReadable(ILinkHost::Watch watch) {
  if (watch == ILinkHost::Watch::Line) return OnLineEvent();
  if (!watch_ || !watch_->Check()) return;
  const std::string device = watch_->path();
  // Back but not to be had (busy, no permission): the reason shows and the
  // watch goes on.
  if (const int32_t result = OpenLine(device, baud_); result != 0) {
    view_.Failed(Describe(result, device) + Waiting(), false);
    return;
  }
  LinkUp(device, State::Open);
  const std::string said = device + " came back: the port was reopened.";
  view_.Tip(said);
  view_.Note(said);
  view_.Reopened();
}

}  // namespace verdelo
