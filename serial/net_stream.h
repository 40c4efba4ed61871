// The byte stream of a network line over its connected socket. A raw stream
// passes bytes as they are. A Telnet ("coded") stream takes the bridge's
// commands out of what comes in and hands them to a handler, keeping the
// data bytes in a queue of its own, and doubles IAC in what goes out, so
// every byte value passes unchanged both ways.
//
// Threads. The listener's event wait and the owner's Read, Write and
// Configure may use the stream at the same time: input (socket reads, the
// decoder, the queue) is under one lock, output under another, taken in
// that order when a command is answered. Writes never raise SIGPIPE.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "serial/telnet_codec.h"

namespace verdelo {

class NetStream {
 public:
  // Most Telnet output kept unsent. A bridge that sends negotiations and
  // leaves the answers unread past it is given up on as a lost link
  // (ERROR_NEGOTIATION_BACKLOG) rather than let memory grow without end.
  static constexpr std::size_t kMaxPendingOutput = 64 * 1024;

  // Gets each command from the bridge, with the input lock held, on whichever
  // thread took it in; what it appends to `reply` is sent at once.
  using CommandHandler = std::function<void(const TelnetCommand&, std::vector<uint8_t>& reply)>;

  // Takes over a connected, non-blocking socket.
  NetStream(int fd, bool coded, CommandHandler handler);
  ~NetStream();
  NetStream(const NetStream&) = delete;
  NetStream& operator=(const NetStream&) = delete;

  // 0, or the errno of a failure to set the stream up.
  int32_t CreateError() const { return createError_; }
  int Fd() const { return fd_; }
  bool Coded() const { return coded_; }
  // Readable while decoded data waits in the queue; -1 on a raw stream.
  int QueuedFd() const { return queuedFd_; }

  // Like read(2) on a non-blocking socket, with Telnet commands taken out on
  // a coded stream: the bytes read, -1 with EAGAIN when there are none yet,
  // 0 once the bridge has closed and nothing is left, -1 with the errno of
  // a broken connection.
  ssize_t ReadSome(uint8_t* buffer, std::size_t length);
  // Like write(2) on a non-blocking socket; the count is of the caller's
  // bytes. An IAC of which only the first half went out counts as written:
  // its second half is kept and goes before anything else (a write of no
  // bytes sends what is kept: 0 once all of it went, else -1 with errno).
  // HasPendingOutput tells whether a write is complete.
  ssize_t WriteSome(const uint8_t* data, std::size_t length);

  // Sends Telnet commands; what the socket does not take now is kept and
  // goes out before the next bytes, up to kMaxPendingOutput.
  void SendControl(const std::vector<uint8_t>& bytes);
  bool HasPendingOutput();
  void FlushPendingOutput();

  // Coded streams: takes in what the socket holds (commands to the handler,
  // data to the queue). True when data was added to the queue.
  bool Pump();
  bool HoldsQueued();
  // Data waiting, in the queue or still in the socket.
  bool HoldsInput();
  // The stream has ended (read end of file or a connection error).
  bool Ended() const { return endCause_.load() != 0; }
  // Why the connection is gone: ERROR_GRACEFUL_DISCONNECT when the bridge
  // closed it, ERROR_NEGOTIATION_BACKLOG when it was given up on (see
  // kMaxPendingOutput), else the socket's error (ECONNRESET, ETIMEDOUT, ...).
  int32_t LossCause() const;

 private:
  bool PumpLocked();
  void NoteEnd(ssize_t result);
  void GiveUp(int32_t cause);
  ssize_t TakeQueued(uint8_t* buffer, std::size_t length);
  void SignalQueued(bool waiting);
  bool FlushLocked();

  const int fd_;
  const bool coded_;
  int queuedFd_ = -1;
  int32_t createError_ = 0;
  CommandHandler handler_;
  std::atomic<int32_t> endCause_{0};

  std::mutex inLock_;
  TelnetDecoder decoder_;
  std::vector<uint8_t> queue_;
  std::size_t queueHead_ = 0;
  bool queuedSignalled_ = false;
  std::vector<TelnetCommand> commands_;

  std::mutex outLock_;
  // Telnet bytes that must go out next: those from pendingHead_ on.
  std::vector<uint8_t> pending_;
  std::size_t pendingHead_ = 0;
  std::vector<uint8_t> encoded_;
};

}  // namespace verdelo
