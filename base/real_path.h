// A path with its symbolic links followed.
#pragma once

#include <optional>
#include <string>

namespace verdelo {

// realpath(3): the absolute path `path` leads to, or nothing when it leads
// nowhere (or cannot be read).
std::optional<std::string> RealPath(const std::string& path);

}  // namespace verdelo
