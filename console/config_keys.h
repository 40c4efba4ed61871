// What each key of config.txt stands for: its kind of value, its meaning,
// its default and the range the program keeps it in. The console's start-up
// acts on exactly these keys; the command line's config check and help
// explain them from the same list.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "console/config_file.h"

namespace verdelo {

struct ConfigKeyInfo {
  std::string_view name;
  ConfigKind kind;
  std::string_view meaning;
  std::string_view defaultValue;
  // Number keys that set a timer period: milliseconds per unit of the value
  // (the period is kept between 10 and 0x7FFFFFFF ms); 0 for other keys.
  int periodScaleMs = 0;
  // Number keys that choose from a list: the values the list has; a value
  // outside leaves the list without a selection. low > high: no such range.
  int low = 1, high = 0;
};

// The console window's keys, in the order its start-up tries them.
std::span<const ConfigKeyInfo> ConsoleConfigKeys();

}  // namespace verdelo
