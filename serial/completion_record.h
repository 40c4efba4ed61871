// A manual-reset completion event: the record a caller hands to WaitForEvent,
// Read or Write to be told when the operation has completed. It stays
// signalled until Reset, so any number of waits after completion return at
// once. Its descriptor can be put into a caller's own poll() set.
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
  int Fd() const { return fd_; }

  void Signal();
  void Reset();
  bool IsSignalled() const;

  // Waits up to timeoutMs (INFINITE: no limit) for the record to be
  // signalled: 0 when it is, ERROR_TIMEOUT when the time ran out, else errno.
  int32_t Wait(uint32_t timeoutMs) const;

 private:
  // The descriptor's state, kept beside it so that signalling a signalled
  // record, resetting a clear one or waiting for a signalled one costs no
  // system call. Every change of the descriptor goes through the lock.
  mutable std::mutex lock_;
  bool signalled_ = false;
  int fd_ = -1;
  int createError_ = 0;
};

}  // namespace verdelo
