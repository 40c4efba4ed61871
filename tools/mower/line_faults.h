// Faults of the mower's serial side: answers that never come, come late or
// come damaged.
#pragma once

#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "console/mower_frame.h"

namespace verdelo::mower {

class LineFaults {
 public:
  explicit LineFaults(unsigned seed = 1) : rng_(seed) {}

  bool silent = false;                // answers nothing at all
  std::set<std::uint16_t> muted;      // registers whose requests get no answer
  int drop_every = 0;                 // every Nth answer loses one byte (0 = off)
  int corrupt_every = 0;              // every Nth answer has one byte garbled (0 = off)
  int delay_ms = 0;                   // each answer leaves this much later

  // Whether the request for this register goes unanswered.
  bool Withholds(std::uint16_t reg) const { return silent || muted.count(reg & 0x7FFF) != 0; }

  // The bytes that actually go out for an answer; counts the answer.
  std::vector<std::uint8_t> Damage(const MowerFrame& answer);

  // Random bytes for a burst of line noise.
  std::vector<std::uint8_t> Garbage(int count);

  void Clear();
  bool any() const;
  std::string Describe() const;

 private:
  int RandomIndex(int size) { return std::uniform_int_distribution<int>(0, size - 1)(rng_); }

  std::mt19937 rng_;
  long answers_ = 0;
};

}  // namespace verdelo::mower
