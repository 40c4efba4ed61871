// The whole mower as the serial line sees it: requests in, answers out, with
// the mowing day behind the registers and the faults in between. It keeps no
// clock of its own: every call says what time it is on the line.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tools/mower/line_faults.h"
#include "tools/mower/mowing_day.h"
#include "tools/mower/register_store.h"
#include "tools/mower/request.h"

namespace verdelo::mower {

// Line time in milliseconds, counted from when the mower was made.
using LineMillis = std::int64_t;

struct MowerOptions {
  DayOptions day;
  double speed = 1.0;  // simulated seconds per second of line time
  unsigned seed = 1;   // line noise and damage
};

// Bytes that leave the mower together.
struct Outgoing {
  enum class Kind { Answer, Burst, Garbage, Flood };
  Kind kind = Kind::Answer;
  std::vector<std::uint8_t> bytes;
};

class VirtualMower {
 public:
  explicit VirtualMower(const MowerOptions& options = {});

  // Bytes from the console that arrived at `now`. Each completed request is
  // applied at once and its answer queued; returns the completed requests.
  std::vector<Request> Receive(std::span<const std::uint8_t> bytes, LineMillis now);

  // Everything due to go out by `now`, in the order it goes out.
  std::vector<Outgoing> TakeDue(LineMillis now);
  // When the next queued bytes fall due, if any wait.
  std::optional<LineMillis> NextDue() const;

  // Brings the simulated day up to `now` × speed.
  void AdvanceTo(LineMillis now);
  void SetSpeed(double factor, LineMillis now);
  double speed() const { return speed_; }

  // Unasked answers (current values of the registers the console polls) and
  // random bytes, queued to go out at `now`.
  void SendBurst(int frames, LineMillis now);
  void SendGarbage(int count, LineMillis now);

  // What a flood sends: the polled registers' answers in turn (their values
  // barely change), or battery-voltage answers whose value moves a few mV
  // every frame, so that each one changes what the console shows.
  enum class FloodKind { Polled, Voltage };
  // Unasked answers at a steady rate from `now` on: `frames` of them, or
  // until stopped when 0. They go out as they fall due, so NextDue() paces
  // whoever serves the line.
  void StartFlood(double frames_per_second, long frames, LineMillis now, FloodKind kind = FloodKind::Polled);
  void StopFlood() { flood_ = Flood{}; }
  bool flooding() const { return flood_.rate > 0; }
  long flood_sent() const { return flood_.sent; }

  // Ends every fault, of the line and of the mower.
  void Resume();

  LineFaults& faults() { return faults_; }
  MowingDay& day() { return day_; }
  RegisterStore& registers() { return registers_; }
  const RegisterStore& registers() const { return registers_; }

  // One line on the state of things, for the "status" command.
  std::string Describe() const;

 private:
  void Queue(LineMillis due, Outgoing outgoing);
  void AppendPolledAnswer(std::vector<std::uint8_t>& bytes);
  void AppendFloodAnswer(std::vector<std::uint8_t>& bytes);
  // When frame `n` of the flood falls due.
  LineMillis FloodDue(long n) const;

  struct Flood {
    double rate = 0;  // frames per second; 0 when not flooding
    long limit = 0;   // 0: no end
    long sent = 0;
    LineMillis start = 0;
    FloodKind kind = FloodKind::Polled;
  };

  RegisterStore registers_;
  MowingDay day_;
  LineFaults faults_;
  FrameAssembler assembler_;  // request frames
  std::deque<std::pair<LineMillis, Outgoing>> outbox_;  // ordered by due time

  double speed_;
  LineMillis speed_since_line_ = 0;  // line time when the speed last changed
  double speed_since_sim_ = 0;       // simulated time then
  std::size_t burst_next_ = 0;
  Flood flood_;
};

}  // namespace verdelo::mower
