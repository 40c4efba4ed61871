// A port with a listener thread of its own that waits for port events and
// hands each one, with the line errors read right after it, to OnPortEvent.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "serial/com_line.h"

namespace verdelo {

class CListeningComLine : public CComLine {
 public:
  // A class that overrides OnPortEvent must close in its own destructor, so
  // that the listener never calls into a part already destroyed.
  ~CListeningComLine() override;

  // Always opens for overlapped use; starts the listener when asked.
  int32_t Open(const std::string& deviceName, uint32_t inputQueue, uint32_t outputQueue,
               bool startListening) override;
  // Stops the listener, then closes the port.
  int32_t Close() override;

  // Starts the listener unless one is recorded (running, or ended by a
  // failure and not yet joined by Close). Does nothing on a closed port.
  virtual int32_t StartListening();
  // Wakes the listener by applying the mask again and waits up to timeoutMs
  // for it to end. A listener that has not ended by then (its OnPortEvent
  // has not returned) stays asked to stop, so it ends as soon as it can, and
  // stays recorded until the next StopListening or Close joins it. Always 0.
  virtual int32_t StopListening(uint32_t timeoutMs);

  // A listener thread is recorded (it may have ended after a failure).
  bool HasListener() const { return listenerThread_.joinable(); }
  // Waits up to timeoutMs for the recorded listener to end, without asking
  // it to; true when it has ended or none is recorded. A listener ends by
  // itself after it has reported a lost line.
  bool WaitListenerEnd(uint32_t timeoutMs);
  // For an owner that watches EventPollFd() on its own thread instead of
  // starting the listener: takes the port event that is there, without
  // waiting, as the listener would hand it on (a lost line: no events and
  // kLineErrorDeviceLost). False when there is none.
  bool TakePortEvent(uint32_t& events, uint32_t& errors);

 protected:
  // Called on the listener thread with the event bits that occurred within
  // the mask and the line errors (kLineError* flags). The last call before a
  // listener ends on a lost line carries no events and kLineErrorDeviceLost.
  virtual void OnPortEvent(uint32_t events, uint32_t errors) = 0;

  // Creates the completion record of the listener's event waits.
  int32_t CreateListenerEvent();

 private:
  void RunListener();
  // After a completed wait: its events inside the mask, and the line errors.
  uint32_t TakeEvent(uint32_t& errors);

  std::atomic<bool> stopRequested_{false};
  std::thread listenerThread_;
  std::unique_ptr<CompletionRecord> listenerEvent_;

  std::mutex endMutex_;
  std::condition_variable endChanged_;
  bool listenerEnded_ = false;
};

}  // namespace verdelo
