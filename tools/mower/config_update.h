// Points the console's configuration file at the mower's device, so the
// console opens it at start.
#pragma once

#include <string>

namespace verdelo::mower {

// Rewrites `text` (a configuration file's content) so that it holds the lines
// [COM1]<device>, [COMPORT]0 and [COMPORT_AUTO_OPEN]1: lines with those keys
// are replaced, every other line is kept, and every line ends in CR LF.
std::string WithMowerPort(const std::string& text, const std::string& device);

// Applies WithMowerPort to the file at `path`, creating it if absent.
// Returns false, with a reason in `error`, if it cannot be read or written.
bool UpdateConsoleConfig(const std::string& path, const std::string& device, std::string& error);

}  // namespace verdelo::mower
