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
//
// Network lines. Open also takes "tcp://HOST:PORT" (a raw serial-to-network
// bridge: the bytes on the socket are the bytes on the line) and
// "rfc2217://HOST:PORT" (a bridge speaking the Telnet COM port control
// option, as ser2net's telnet mode does); see net_endpoint.h for the forms.
// Everything above holds for them unchanged: event waits, reads, writes
// and their stall limit, the listener and its notifications. A connection
// the bridge closes or resets is a lost line, as an unplugged adapter is, and
// LostCause() tells which. Open blocks for up to the network time limit
// (5 s by default) while it looks the host up, connects and, on RFC 2217,
// negotiates; Configure and SetFlowControl on an RFC 2217 line wait up to the
// same limit for the bridge's answers (another thread may break these waits
// off). Line settings of a raw bridge are kept
// as set (the bridge owns its line); an RFC 2217 bridge is asked to take
// them and the getters return what it confirmed.
#pragma once

#include <sys/types.h>
#include <termios.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "serial/com_types.h"
#include "serial/completion_record.h"
#include "serial/line_counters.h"

namespace verdelo {

class NetLine;

class CComLine {
 public:
  // How long a Write without a time-out waits for the line to take more
  // bytes before it gives up and reports the line lost.
  static constexpr uint32_t kDefaultWriteStallLimitMs = 2000;
  // How long Open may take to reach a network bridge and set it up, and
  // how long a network line waits for a bridge's answers to line settings.
  static constexpr uint32_t kDefaultNetworkLimitMs = 5000;

  CComLine();
  virtual ~CComLine();
  CComLine(const CComLine&) = delete;
  CComLine& operator=(const CComLine&) = delete;

  // Opens an existing device exclusively (see ResolvePortDevice for the names
  // it takes) and makes the line raw, 8N1, without flow control, at the
  // speed the device had. Queue sizes are accepted and ignored: the tty
  // driver sizes its own buffers. A network address connects to the bridge
  // instead (see above); its failures: ERROR_INVALID_NETNAME (malformed),
  // ERROR_HOST_NOT_FOUND (unknown host), ERROR_HOST_LOOKUP_FAILED (the name
  // could not be looked up), ECONNREFUSED (nothing listens there), ETIMEDOUT
  // (no answer within the network time limit), other errno values (e.g.
  // EHOSTUNREACH); DescribeNetworkFailure words them.
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
  // Readable while a port event may be waiting (an epoll descriptor, which
  // an owner's own epoll or poll can watch); -1 when closed.
  int EventPollFd() const { return eventPoll_; }
  void SetWriteStallLimit(uint32_t ms) { writeStallLimitMs_ = ms; }

  // The port is a connection to a network bridge.
  bool IsNetworkLine() const { return net_ != nullptr; }
  // For a network line, one line about the connection for an expert: where
  // it goes and whether the bridge sets the line or keeps its own settings
  // (a bridge that refused the COM port option); empty otherwise.
  std::string NetworkNote() const;
  // Why the line was lost, 0 while it is not: kDeviceLostErrno (the device
  // hung up or vanished), ERROR_TIMEOUT (it stopped taking bytes for the
  // stall limit), or for a network line ERROR_GRACEFUL_DISCONNECT (the
  // bridge closed the connection), ECONNRESET, ETIMEDOUT (the bridge
  // stopped answering: keep-alive or unacknowledged data), EHOSTUNREACH, ...
  // DescribeLineLoss words them. Kept after Close until the next Open.
  // Line settings of a lost network line fail with kDeviceLostErrno, as
  // those of a hung-up device do.
  int32_t LostCause() const { return lostCause_.load(); }
  // Applies from the next Open and call on; 0 is taken as 1 ms.
  void SetNetworkTimeLimit(uint32_t ms) { networkLimitMs_ = ms == 0 ? 1 : ms; }
  // Safe from any thread: a network Open, Configure or SetFlowControl under
  // way on another thread stops waiting for the bridge and returns
  // ERROR_OPERATION_ABORTED, as do those that follow, until Close.
  void BreakOffNetworkWaits() { netCancel_.Signal(); }
  uint32_t NetworkTimeLimit() const { return networkLimitMs_; }

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
  void ArmSocketWatch();
  bool HoldsInput() const;
  uint32_t CountedLineEvents();
  int32_t WriteBytes(const uint8_t* data, uint32_t length, uint32_t& count, uint32_t timeoutMs);
  int32_t ReadBytes(uint8_t* data, uint32_t length, uint32_t& count, uint32_t timeoutMs);
  bool ReadLineState(termios& state);
  // One line value read from the termios state, or `failure` (with the
  // code kept) on a closed port or a failed read.
  // On a network line the value is taken from its kept or confirmed values.
  template <typename T, typename Of, typename NetOf>
  T LineValue(Of valueOf, NetOf netValueOf, T failure);
  void MarkLineLost(int32_t cause);
  // Why the port's descriptor reports a hang-up or error.
  int32_t HangUpCause() const;
  void ReleasePort();
  // One read(2) or write(2) of the port, through the network stream for a
  // network line.
  ssize_t ReadSome(uint8_t* data, uint32_t length);
  ssize_t WriteSome(const uint8_t* data, uint32_t length);

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
  std::atomic<int32_t> lostCause_{0};
  // Set while the port is a network line; it owns the socket, which
  // portHandle_ then names.
  std::unique_ptr<NetLine> net_;
  uint32_t networkLimitMs_ = kDefaultNetworkLimitMs;
  CompletionRecord netCancel_;  // see BreakOffNetworkWaits
  bool hasCounters_ = false;
  LineCounts eventCounts_;  // as of the last event wait
  LineCounts errorCounts_;  // as of the last ClearLineErrors
};

}  // namespace verdelo
