#include "base/real_path.h"

#include <climits>
#include <cstdlib>

namespace verdelo {

std::optional<std::string> RealPath(const std::string& path) {
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) == nullptr) return std::nullopt;
  return std::string(resolved);
}

}  // namespace verdelo
