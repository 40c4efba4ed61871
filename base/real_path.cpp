#include "base/real_path.h"

#include <climits>
#include <cstdlib>

namespace verdelo {

std::optional<std::string> RealPath(const std::string& path) {
  char resolved[PATH_MAX];
  return ::realpath(path.c_str(), resolved) ? std::optional<std::string>(resolved) : std::nullopt;
}

}  // namespace verdelo
