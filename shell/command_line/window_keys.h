// The keys of config.txt that only the program's windows read, beside the
// console's and the port window's.
#pragma once

#include <span>
#include <vector>

#include "console/config_file.h"
#include "console/config_keys.h"

namespace verdelo {

std::span<const ConfigKeyInfo> WindowConfigKeys();

struct WindowSettings {
  bool trendsAtStart = false;
};

WindowSettings ReadWindowSettings(const std::vector<ConfigEntry>& entries);

}  // namespace verdelo
