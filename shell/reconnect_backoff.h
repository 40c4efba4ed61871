// How long a port slot waits before each new try to reach a network bridge
// that could not be reached or was lost: 1, 2, 4, 8, 16 s, then every 30 s,
// so an unreachable bridge costs little and one that comes back is found
// soon. A bridge that takes the connection and drops it again, before the
// mower answered through it or soon after, is not reached: its losses keep
// the steps growing. Qt-free; the port window drives it with a timer.
#pragma once

#include <chrono>

namespace verdelo {

class ReconnectBackoff {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr int kFirstStepMs = 1000;
  static constexpr int kLongestStepMs = 30000;
  // How long a link that carried an answer must have stood for its loss to
  // start the steps afresh.
  static constexpr std::chrono::seconds kSoundAfter{10};

  // `firstStepMs` > 0; each step doubles it until `longestStepMs`.
  explicit ReconnectBackoff(int firstStepMs = kFirstStepMs, int longestStepMs = kLongestStepMs);

  // The wait before the next try, and counts that try.
  int NextDelayMs();
  // The next wait is the first step again (the user opened the link anew).
  void Reset() { tries_ = 0; }
  // Tries counted since the last Reset.
  int tries() const { return tries_; }

  // A link was made at `now`; it has carried no answer yet.
  void LinkMade(Clock::time_point now) {
    madeAt_ = now;
    answered_ = false;
  }
  // The link made last carried an answer frame from the mower.
  void AnswerCarried() { answered_ = true; }
  bool answered() const { return answered_; }
  // The link made last was lost at `now`: one that carried an answer and
  // stood kSoundAfter was sound, and the steps start afresh; after any
  // other they go on growing. True when it was sound.
  bool LinkLost(Clock::time_point now);

 private:
  int firstStepMs_;
  int longestStepMs_;
  int tries_ = 0;
  Clock::time_point madeAt_{};
  bool answered_ = false;
};

}  // namespace verdelo
