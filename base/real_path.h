// realpath(3): the absolute path `path` leads to with its symbolic links
// followed, or nothing when it leads nowhere.
#pragma once

#include <optional>
#include <string>

namespace verdelo {

std::optional<std::string> RealPath(const std::string& path);

}  // namespace verdelo
