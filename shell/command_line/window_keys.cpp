#include "shell/command_line/window_keys.h"

namespace verdelo {

namespace {

constexpr ConfigKeyInfo kWindowKeys[] = {
    {"TRENDS_AT_START", ConfigKind::Presence, "opens the Trends window at start", "absent"},
};

}  // namespace

std::span<const ConfigKeyInfo> WindowConfigKeys() { return kWindowKeys; }

WindowSettings ReadWindowSettings(const std::vector<ConfigEntry>& entries) {
  WindowSettings settings;
  ApplyConfig(entries, {{std::string(kWindowKeys[0].name), kWindowKeys[0].kind,
                         [&settings](int) { settings.trendsAtStart = true; }}});
  return settings;
}

}  // namespace verdelo
