// The little command language that steers a running mower: faults, jumps in
// the day, the time factor. Read one per line on standard input, and given
// with --fault on the command line.
#pragma once

#include <string>
#include <string_view>

#include "tools/mower/virtual_mower.h"

namespace verdelo::mower {

struct CommandReply {
  bool ok = true;
  std::string text;  // what to print, without the final line end
};

CommandReply RunCommand(VirtualMower& mower, std::string_view line, LineMillis now);

// The list of commands, one per line, as --help and "help" show it.
const char* CommandHelp();

}  // namespace verdelo::mower
