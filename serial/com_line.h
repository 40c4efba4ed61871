// One serial port over termios: open and close, line settings, the event
// mask and event waits, reads and writes, and the code of the last
// operation. Plain C++ and POSIX; the listening and notifying layers build on
// it.
//
// Every operation returns 0 or an error code (com_types.h) and keeps the same
// code in LastError(); the getters keep it there and return a failure value.
//
// Overlapped mode. A port opened "overlapped" accepts a completion record
// and a finite time-out for WaitForEvent, Read and Write; a port opened
// without it runs them synchronously and refuses both with
// ERROR_INVALID_FUNCTION. Linux has no asynchronous tty I/O, so an
// operation always runs on the caller's thread within its time-out and has
// completed when the call returns; a successful one then signals the
// caller's record, if one was given (the port keeps no record of its own).
// When the time-out runs out the rest of the transfer is abandoned,
// ERROR_TIMEOUT is returned and the count says what was transferred.
//
// Event waits. EV_RXCHAR reports input that arrived since the last report:
// once reported, the input is not watched again until the next Read, so
// unread input neither spins a waiter nor repeats the event. A
// break or line error arrives as input and is told apart by the driver's
// counters, where it has them. The event character is kept with the line
// settings, but a tty cannot be peeked without consuming input, so EV_RXFLAG
// is never reported by itself. Re-applying the mask (SetEventMask) completes
// a pending wait with no bits.
//
// A lost line. A hung-up or vanished device, or a write that the line stops
// taking for the stall limit, marks the line lost: IsLineLost() turns true,
// pending and later event waits and later writes fail with EIO, and a
// listener reports it. Input the line still holds at a hang-up comes first:
// the wait that sees both reports EV_RXCHAR, the next one the loss. (Linux
// discards the input of a hung-up serial device or pseudo-terminal slave;
// a pseudo-terminal master keeps what its slave wrote before closing.)
#pragma once

#include <termios.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "serial/com_types.h"
#include "serial/completion_record.h"
#include "serial/line_counters.h"

namespace verdelo {

class CComLine {
 public:
  // How long a Write without a time-out waits for the line to take more
  // bytes before it gives up and reports the line lost.
  static constexpr uint32_t kDefaultWriteStallLimitMs = 2000;

  CComLine() = default;
  virtual ~CComLine();
  CComLine(const CComLine&) = delete;
  CComLine& operator=(const CComLine&) = delete;

  // Opens an existing device exclusively (see ResolvePortDevice for the names
  // it takes) and makes the line raw, 8N1, without flow control, at the
  // speed the device had. Queue sizes are accepted and ignored: the tty
  // driver sizes its own buffers.
  virtual int32_t Open(const std::string& deviceName, uint32_t inputQueue, uint32_t outputQueue,
                       bool overlapped);
  // Always 0; harmless on a closed port.
  virtual int32_t Close();

  virtual int32_t Configure(uint32_t baudRate, uint8_t dataBits, uint8_t parity, uint8_t stopBits);
  virtual int32_t SetEventCharacter(uint8_t character, bool adjustMask);
  virtual int32_t SetEventMask(uint32_t mask);
  virtual int32_t WaitForEvent(CompletionRecord* record, uint32_t timeoutMs);
  virtual int32_t SetFlowControl(int flow);
  virtual int32_t SetReadMode(int mode);

  virtual int32_t GetBaudRate();
  virtual int32_t GetDataBits();
  virtual int32_t GetParity();
  virtual int32_t GetStopBits();
  virtual int32_t GetFlowControl();
  virtual uint32_t GetEventMask();
  virtual uint8_t GetEventCharacter();

  // Writes a zero-terminated text without its terminator.
  virtual int32_t Write(const char* text, uint32_t* written, CompletionRecord* record,
                        uint32_t timeoutMs);
  virtual int32_t Write(const void* data, uint32_t length, uint32_t* written,
                        CompletionRecord* record, uint32_t timeoutMs);
  virtual int32_t Read(void* buffer, uint32_t length, uint32_t* readCount,
                       CompletionRecord* record, uint32_t timeoutMs);

  int32_t LastError() const { return lastError_.load(); }
  bool IsOpen() const { return portHandle_ >= 0; }
  // Counts successful Opens: the number of the current open, or of the last
  // one once closed; 0 before the first. Whoever receives a port's
  // notifications tells an earlier open's from the current one's by it.
  uint32_t OpenNumber() const { return openNumber_.load(); }
  bool IsLineLost() const { return lineLost_.load(); }
  // Event bits of the last completed event wait.
  uint32_t EventsSeen() const { return eventsSeen_.load(); }
  void SetWriteStallLimit(uint32_t ms) { writeStallLimitMs_ = ms; }

 protected:
  int32_t SetError(int32_t code) {
    lastError_ = code;
    return code;
  }
  uint32_t EventMaskBits() const { return eventMask_.load(); }
  uint32_t TakeEventsSeen() { return eventsSeen_.exchange(0); }
  // Line errors since the last call (kLineError* flags); 0 and no flags on a
  // driver without counters.
  int32_t ClearLineErrors(uint32_t& errors);

 private:
  int32_t BeginTransfer(CompletionRecord* record, uint32_t timeoutMs);
  int32_t FinishTransfer(CompletionRecord* record, int32_t result);
  int32_t AwaitPortEvent(uint32_t timeoutMs, uint32_t& bits);
  void ArmInputWatch();
  bool HoldsInput() const;
  uint32_t CountedLineEvents();
  int32_t WriteBytes(const uint8_t* data, uint32_t length, uint32_t& count, uint32_t timeoutMs);
  int32_t ReadBytes(uint8_t* data, uint32_t length, uint32_t& count, uint32_t timeoutMs);
  bool ReadLineState(termios& state);
  // One line value read from the termios state, or `failure` (with the
  // code kept) on a closed port or a failed read.
  template <typename T, typename Of>
  T LineValue(Of valueOf, T failure);
  void MarkLineLost();
  void ReleasePort();

  std::atomic<int32_t> lastError_{0};
  int portHandle_ = -1;
  std::atomic<uint32_t> openNumber_{0};
  std::atomic<uint32_t> eventsSeen_{0};
  std::atomic<uint32_t> eventMask_{0};

  bool overlapped_ = false;
  int readMode_ = kReadNonBlocking;
  uint32_t writeStallLimitMs_ = kDefaultWriteStallLimitMs;
  // Wakes event waits: the mask was applied again, or the line was lost.
  std::unique_ptr<CompletionRecord> maskApplied_;
  // What event waits block on (see AwaitPortEvent): the port, a duplicate of
  // it watched for hang-ups only, and maskApplied_.
  int eventPoll_ = -1;
  int hangUpWatch_ = -1;
  // The input watch fired but its input was not reported: the next wait
  // arms the watch again.
  std::atomic<bool> inputUnreported_{false};
  std::atomic<bool> lineLost_{false};
  bool hasCounters_ = false;
  LineCounts eventCounts_;  // as of the last event wait
  LineCounts errorCounts_;  // as of the last ClearLineErrors
};

}  // namespace verdelo
