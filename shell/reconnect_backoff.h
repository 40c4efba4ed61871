// How long a port slot waits before each new try to reach a network bridge
// that could not be reached or was lost: 1, 2, 4, 8, 16 s, then every 30 s,
// so an unreachable bridge costs little and one that comes back is found
// soon. Qt-free; the port window drives it with a timer.
#pragma once

namespace verdelo {

class ReconnectBackoff {
 public:
  static constexpr int kFirstStepMs = 1000;
  static constexpr int kLongestStepMs = 30000;

  // `firstStepMs` > 0; each step doubles it until `longestStepMs`.
  explicit ReconnectBackoff(int firstStepMs = kFirstStepMs, int longestStepMs = kLongestStepMs);

  // The wait before the next try, and counts that try.
  int NextDelayMs();
  // The next wait is the first step again (the bridge answered, or the
  // retrying ended).
  void Reset() { tries_ = 0; }
  // Tries counted since the last Reset.
  int tries() const { return tries_; }

 private:
  int firstStepMs_;
  int longestStepMs_;
  int tries_ = 0;
};

}  // namespace verdelo
