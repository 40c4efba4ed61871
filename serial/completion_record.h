// A manual-reset completion event: the record a caller hands to WaitForEvent,
// Read or Write to be told when the operation has completed. It stays
// signalled until Reset, so any number of waits after completion return at
// once. Its descriptor can be put into a caller's own poll() set.
//
// The descriptor is only kept in step while someone can see it: once Fd()
// has handed it out, or while a Wait sleeps on it. A record that is only
// signalled and checked on one thread (the listener's, every batch of input)
// therefore costs no system call at all.
#pragma once

#include <cstdint>
#include <mutex>

namespace verdelo {

class CompletionRecord {
 public:
  CompletionRecord();  // not signalled; check CreateError()
  ~CompletionRecord();
  CompletionRecord(const CompletionRecord&) = delete;
  CompletionRecord& operator=(const CompletionRecord&) = delete;

  // 0 when the record was created, else the errno of the failure.
  int CreateError() const { return createError_; }
  // Hands the descriptor out; from then on it follows every Signal and Reset.
  int Fd() const;

  void Signal();
  void Reset();
  bool IsSignalled() const;

  // Waits up to timeoutMs (INFINITE: no limit) for the record to be
  // signalled: 0 when it is, ERROR_TIMEOUT when the time ran out, else errno.
  int32_t Wait(uint32_t timeoutMs) const;

 private:
  void RaiseFd() const;  // with the lock held

  // Every change of state or of the descriptor goes through the lock.
  mutable std::mutex lock_;
  bool signalled_ = false;
  mutable bool fdRaised_ = false;  // the eventfd's counter is above zero
  mutable bool fdHandedOut_ = false;
  mutable int sleepers_ = 0;       // Waits polling the descriptor
  int fd_ = -1;
  int createError_ = 0;
};

}  // namespace verdelo
