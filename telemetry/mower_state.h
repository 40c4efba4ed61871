// What the state topic says about the mower: the last value of everything
// the decoder reports, the status with its text, and the link to the mower.
#pragma once

#include <array>
#include <bitset>
#include <string>
#include <string_view>

#include "console/value_observer.h"

namespace verdelo {

// The link to the mower as the state topic names it.
enum class LinkState { Closed, Open, Lost };
std::string_view LinkStateName(LinkState link);
// Lost from its loss until it is back or the user closes it; a device or
// bridge absent from the start was never open, so it is closed.
inline LinkState LinkStateOf(bool open, bool lost) {
  return open ? LinkState::Open : lost ? LinkState::Lost : LinkState::Closed;
}

// The status code's text as the console's status line shows it, without the
// arrow in front ("Charging"); unknown codes say so with the code.
std::string StatusText(int status);

// The robot mode's name as the console shows it ("MAN"), or "" for a mode
// that has none.
std::string_view RobotModeName(int mode);

class MowerState {
 public:
  // Both return whether the state changed.
  bool Set(ValueId id, int value);
  bool SetLink(LinkState link);

  // The retained JSON document: every value by its name (null until the
  // mower told it), the status text, the clock, the robot mode's name and
  // the link.
  std::string Document() const;

 private:
  std::array<int, kValueIdCount> values_{};
  std::bitset<kValueIdCount> known_;
  LinkState link_ = LinkState::Closed;
};

}  // namespace verdelo
