// The whole life of the link to the mower, without a window: opening as
// asked, reaching a network bridge on a helper thread so the caller never
// waits for it, trying an unreachable or lost bridge again after growing
// pauses, watching for a lost or absent device to come back and reopening
// it, closing, and the words for every reason. The link is in one state at
// a time; the moves between states are all in one table (link_supervisor.cpp).
// Time, the owner's thread and descriptor watches come through ILinkHost,
// what the user sees goes out through ILinkView: the port window implements
// both with Qt, verdelo-service on its loop, tests with a virtual clock.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "base/backoff.h"
#include "console/mower_frame.h"
#include "serial/notifying_com_line.h"

namespace verdelo {

class DeviceWatch;

// What the supervisor needs of its owner's event loop.
class ILinkHost {
 public:
  enum class Timer { Retry, WatchLook };
  // The folder of a device waited for, and the open line's events, which
  // the owner reads on its own thread: no listener thread wakes to hand
  // each batch of bytes over.
  enum class Watch { Device, Line };
  // One-shot; starting a running timer starts it again. When it runs out
  // the owner calls LinkSupervisor::OnTimer on its thread.
  virtual void StartTimer(Timer timer, int ms) = 0;
  virtual void StopTimer(Timer timer) = 0;
  // While `fd` (>= 0; -1: none) is readable the owner calls
  // LinkSupervisor::OnReadable(watch) on its thread.
  virtual void WatchReadable(Watch watch, int fd) = 0;
  // Safe from any thread: runs `task` on the owner's thread soon, never
  // within this call; dropped when the owner is gone.
  virtual void Post(std::function<void()> task) = 0;
  virtual std::chrono::steady_clock::time_point Now() = 0;

 protected:
  ~ILinkHost() = default;
};

// What the user is told. Every call comes on the owner's thread.
class ILinkView {
 public:
  // state() or StateWords() changed.
  virtual void StateChanged() = 0;
  // The link opened, or closed (`reason` empty: by the user).
  virtual void Opened() = 0;
  virtual void Closed(const std::string& reason) = 0;
  // A loss and a reopening worth telling the data log.
  virtual void Lost(const std::string& reason) = 0;
  virtual void Reopened() = 0;
  // The link's reason or address, for the status tooltip.
  virtual void Tip(const std::string& tip) = 0;
  // An open failed: in the "COM-port NOK" box, or (while nothing should
  // hold the user up) as the status with `reason` as its tooltip.
  virtual void Failed(const std::string& reason, bool inBox) = 0;
  // A line for the expert's traffic list.
  virtual void Note(const std::string& line) = 0;
  virtual void Received(const uint8_t* bytes, uint32_t count) = 0;

 protected:
  ~ILinkView() = default;
};

class LinkSupervisor {
 public:
  enum class State {
    Closed,
    Connecting,      // the user or start-up is reaching a bridge
    Open,
    Reopened,        // open again by a retry; told once the mower answers
    Lost,            // lost, not reopened by itself
    LostWaiting,     // lost device, watched for
    LostRetrying,    // lost bridge, tried again
    Absent,          // not there when opened at start-up
    AbsentWaiting,
    AbsentRetrying,  // bridge unreachable at start-up, tried again
  };

  // The pauses before trying a bridge again: `firstMs`, doubling up to 30 s.
  static Backoff RetryBackoff(int firstMs = 1000) {
    return Backoff(std::chrono::milliseconds(firstMs), std::chrono::seconds(30));
  }

  LinkSupervisor(ILinkHost& host, ILinkView& view);
  ~LinkSupervisor();
  LinkSupervisor(const LinkSupervisor&) = delete;
  LinkSupervisor& operator=(const LinkSupervisor&) = delete;

  // A lost link is reopened by itself ([COMPORT_AUTO_REOPEN]).
  void SetAutoReopen(bool on) { autoReopen_ = on; }

  // Opens as the Open button asks: a failure is told in the box.
  void Open(const std::string& device, uint32_t baud);
  // Opens at start-up: a device or bridge that is not there holds nothing
  // up and is waited for.
  void OpenAtStart(const std::string& device, uint32_t baud);
  // Closes, ends any waiting and breaks off a connect under way at once.
  void Close();
  void Write(const uint8_t* data, uint32_t length);

  void OnTimer(ILinkHost::Timer timer);
  void OnReadable(ILinkHost::Watch watch);

  State state() const { return state_; }
  // Whether the table of moves lets the link go from `from` to `to`.
  static bool MayMove(State from, State to);
  bool IsOpen() const { return state_ == State::Open || state_ == State::Reopened; }
  // Lost and not back yet, whether waited for or not.
  bool WasLost() const {
    return state_ == State::Lost || state_ == State::LostWaiting || state_ == State::LostRetrying;
  }
  // A connect runs on the helper thread (it may be broken off already).
  bool IsConnecting() const { return connect_ != nullptr; }
  // Waiting for a device to come back, or trying a bridge again.
  bool IsWaiting() const;
  // The state in a few words: "open", "lost: device gone, waiting", ...
  std::string StateWords() const;
  CNotifyingComLine& line() { return line_; }

 private:
  enum class Purpose { Click, Start, Retry };
  struct Connect;

  void Enter(State next);
  void OnLineEvent();
  void OnLineLost();
  // Opens and sets the line; on the helper thread too, while it owns it.
  int32_t OpenLine(const std::string& device, uint32_t baud);
  void CloseLine();
  void LinkUp(const std::string& device, State as);
  void BeginConnect(const std::string& device, Purpose purpose);
  void FinishConnect(uint32_t attempt);
  void OnConnectFailed(int32_t result, const std::string& device, Purpose purpose);
  std::string Describe(int32_t result, const std::string& device) const;
  std::string Waiting() const;

  ILinkHost& host_;
  ILinkView& view_;
  CNotifyingComLine line_;
  State state_ = State::Closed;
  std::string device_;  // what the link opened or was asked to, last
  uint32_t baud_ = 0;
  bool autoReopen_ = true;
  Backoff backoff_ = RetryBackoff();
  int nextRetryMs_ = 0;
  FrameAssembler answers_;  // the mower's bytes on a new link, up to its first frame
  std::unique_ptr<DeviceWatch> watch_;
  std::unique_ptr<Connect> connect_;
  uint32_t connectAttempts_ = 0;
  // Open asked for while a broken-off connect still ends.
  std::optional<std::string> openAfter_;
};

}  // namespace verdelo
