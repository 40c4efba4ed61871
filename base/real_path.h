// realpath(3): the absolute path `path` leads to with its symbolic links
// followed, or nothing when it leads nowhere.
#pragma once

#include <climits>
#include <cstdlib>
#include <optional>
#include <string>

namespace verdelo {

inline std::optional<std::string> RealPath(const std::string& path) {
  char resolved[PATH_MAX];
  return ::realpath(path.c_str(), resolved) ? std::optional<std::string>(resolved) : std::nullopt;
}

}  // namespace verdelo
