#include "serial/listening_com_line.h"

#include <chrono>
#include <system_error>

namespace verdelo {

CListeningComLine::~CListeningComLine() {
  if (HasListener()) CListeningComLine::Close();
}

int32_t CListeningComLine::Open(const std::string& deviceName, uint32_t inputQueue,
                                uint32_t outputQueue, bool startListening) {
  if (int32_t err = CComLine::Open(deviceName, inputQueue, outputQueue, true)) return err;
  if (int32_t err = CreateListenerEvent()) {
    CComLine::Close();
    return SetError(err);
  }
  if (startListening) {
    if (int32_t err = StartListening()) {
      Close();
      return SetError(err);
    }
  }
  return SetError(0);
}

int32_t CListeningComLine::CreateListenerEvent() {
  auto record = std::make_unique<CompletionRecord>();
  if (int err = record->CreateError()) return err;
  listenerEvent_ = std::move(record);
  return 0;
}

int32_t CListeningComLine::Close() {
  StopListening(INFINITE);
  listenerEvent_.reset();
  return CComLine::Close();
}

int32_t CListeningComLine::StartListening() {
  if (HasListener() || !IsOpen() || !listenerEvent_) return SetError(0);
  stopRequested_ = false;
  listenerEnded_ = false;
  try {
    listenerThread_ = std::thread([this] {
      RunListener();
      std::lock_guard lock(endMutex_);
      listenerEnded_ = true;
      endChanged_.notify_all();
    });
  } catch (const std::system_error& e) {
    return SetError(e.code().value());
  }
  return SetError(0);
}

int32_t CListeningComLine::StopListening(uint32_t timeoutMs) {
  if (!HasListener()) return SetError(0);
  if (listenerThread_.get_id() == std::this_thread::get_id()) {
    // Called from OnPortEvent: the loop ends when the handler returns.
    stopRequested_ = true;
    return SetError(0);
  }
  stopRequested_ = true;
  if (IsOpen()) SetEventMask(GetEventMask());  // completes the pending wait with no bits
  // A listener still busy in OnPortEvent after the time-out stays asked to
  // stop: it ends when the handler returns, instead of running on until the
  // next StopListening or Close.
  if (!WaitListenerEnd(timeoutMs)) return SetError(0);
  listenerThread_.join();
  stopRequested_ = false;
  return SetError(0);
}

bool CListeningComLine::WaitListenerEnd(uint32_t timeoutMs) {
  if (!HasListener()) return true;
  std::unique_lock lock(endMutex_);
  if (timeoutMs == INFINITE) {
    endChanged_.wait(lock, [this] { return listenerEnded_; });
    return true;
  }
  return endChanged_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [this] { return listenerEnded_; });
}

bool CListeningComLine::TakePortEvent(uint32_t& events, uint32_t& errors) {
  events = errors = 0;
  if (WaitForEvent(nullptr, 0) != 0) {
    if (!IsLineLost()) return false;  // nothing came (a time-out)
    errors = kLineErrorDeviceLost;
    return true;
  }
  events = TakeEvent(errors);
  return events != 0;
}

uint32_t CListeningComLine::TakeEvent(uint32_t& errors) {
  const uint32_t events = EventMaskBits() & TakeEventsSeen();
  if (int32_t err = ClearLineErrors(errors)) SetError(err);
  return events;
}

// One event per turn: wait, then hand on the events inside the mask with the
// line errors. A wake-up without bits (the mask applied again) hands on
// nothing. A lost line is handed on once, as the last call.
void CListeningComLine::RunListener() {
  CompletionRecord& done = *listenerEvent_;
  do {
    done.Reset();
    if (WaitForEvent(&done, INFINITE) != 0) {
      if (IsLineLost() && !stopRequested_) OnPortEvent(0, kLineErrorDeviceLost);
      return;
    }
    if (int32_t err = done.Wait(INFINITE)) {
      SetError(err);
      return;
    }
    if (stopRequested_) return;
    uint32_t errors = 0;
    if (const uint32_t events = TakeEvent(errors)) OnPortEvent(events, errors);
  } while (!stopRequested_);
}

}  // namespace verdelo
