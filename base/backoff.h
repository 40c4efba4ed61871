// The wait before each new try to reach something that could not be reached
// or was lost: the first step, doubling up to the longest, so a peer that is
// away costs little and one that comes back is found soon. The port's
// bridges step 1, 2, 4 ... 30 s; the telemetry's broker 1, 2, 4 ... 60 s.
// A link that is made and dropped again, before the peer answered through it
// or soon after, was not really made: its loss keeps the steps growing.
// Takes the time from its caller.
#pragma once

#include <chrono>

namespace verdelo {

class Backoff {
 public:
  using Clock = std::chrono::steady_clock;
  // How long a link that carried an answer must have stood for its loss to
  // start the steps afresh.
  static constexpr std::chrono::seconds kSoundAfter{10};

  // `first` > 0 (less is taken as 1 ms); each step doubles it until `longest`.
  Backoff(std::chrono::milliseconds first, std::chrono::milliseconds longest);

  // The wait before the next try, and counts that try.
  std::chrono::milliseconds Next();
  // The next wait is the first step again.
  void Reset() { tries_ = 0; }

  // A link was made at `now`; it has carried no answer yet.
  void LinkMade(Clock::time_point now) {
    madeAt_ = now;
    answered_ = false;
  }
  // The link made last carried an answer from the peer.
  void AnswerCarried() { answered_ = true; }
  bool answered() const { return answered_; }
  // The link made last was lost at `now`: one that carried an answer and
  // stood kSoundAfter was sound, and the steps start afresh; after any
  // other they go on growing. True when it was sound.
  bool LinkLost(Clock::time_point now);

 private:
  std::chrono::milliseconds first_;
  std::chrono::milliseconds longest_;
  int tries_ = 0;
  Clock::time_point madeAt_{};
  bool answered_ = false;
};

}  // namespace verdelo
