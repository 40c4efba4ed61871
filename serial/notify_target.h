// Where a notifying port sends its notifications: a window, or anything that
// can queue a message for later. Called on the listener thread, so an
// implementation must be thread-safe, must only queue, and must never wait
// for its receiver (the owner may be blocked in Close, waiting for the
// listener).
#pragma once

#include <cstdint>

namespace verdelo {

class INotifyTarget {
 public:
  // param1: low 16 bits the port events, high 16 bits the line errors;
  // param2: the value given to Open, unchanged.
  virtual void PostNotify(uint32_t message, uint32_t param1, intptr_t param2) = 0;

 protected:
  ~INotifyTarget() = default;
};

}  // namespace verdelo
