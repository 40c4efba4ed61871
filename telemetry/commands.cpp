#include "telemetry/commands.h"

#include <array>
#include <charconv>
#include <vector>

#include "base/text_trim.h"
#include "console/control_ids.h"

namespace verdelo {

namespace {

// The keypad's buttons by key code.
constexpr std::array<int, 19> kKeyButtons = {
    IDC_KEY_0,    IDC_KEY_1,        IDC_KEY_2,       IDC_KEY_3,  IDC_KEY_4,    IDC_KEY_5,  IDC_KEY_6,
    IDC_KEY_7,    IDC_KEY_8,        IDC_KEY_9,       IDC_KEY_A,  IDC_KEY_B,    IDC_KEY_C,  IDC_KEY_HOME,
    IDC_KEY_MAN_AUTO, IDC_KEY_SMALL_C, IDC_KEY_UP, IDC_KEY_DOWN, IDC_KEY_YES,
};

constexpr const char* kKeyLabels[19] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "A",
                                        "B", "C", "Home", "Man/Auto", "c", "Up", "Down", "Yes"};

// A payload's blanks, as MQTT tools and shells may leave them.
constexpr std::string_view kBlank = " \t\r\n";

}  // namespace

std::optional<int> CommandButton(std::string_view payload) {
  const std::string_view word = Trimmed(payload, kBlank);
  if (word == "man") return IDC_MODE_MAN;
  if (word == "auto") return IDC_MODE_AUTO;
  if (word == "home") return IDC_MODE_HOME;
  if (word == "demo") return IDC_MODE_DEMO;
  if (word == "stop") return IDC_STOP_TO_ZERO;
  if (!word.starts_with("key ")) return std::nullopt;
  const std::string_view digits = Trimmed(word.substr(4), kBlank);
  int code = -1;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), code);
  if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() || code < 0 ||
      code >= static_cast<int>(kKeyButtons.size()))
    return std::nullopt;
  return kKeyButtons[static_cast<std::size_t>(code)];
}

std::string ShownPayload(std::string_view payload) {
  constexpr std::size_t kShownBytes = 64;
  const std::string_view word = Trimmed(payload, kBlank);
  return word.size() > kShownBytes ? std::string(word.substr(0, kShownBytes)) + "..." : std::string(word);
}

CommandOutcome DecideCommand(std::string_view payload, bool portOpen) {
  const std::string shown = ShownPayload(payload);
  const std::optional<int> button = CommandButton(payload);
  if (!button) return {std::nullopt, "command refused: \"" + shown + "\" is not a command"};
  if (!portOpen) return {std::nullopt, "command not sent: \"" + shown + "\" while the port is closed"};
  return {button, "=> MQTT command: " + shown};
}

std::span<const CommandName> AllCommands() {
  static const std::vector<CommandName> kAll = [] {
    std::vector<CommandName> all = {
        {"man", "Mode MAN"}, {"auto", "Mode AUTO"}, {"home", "Mode HOME"}, {"demo", "Mode DEMO"},
        {"stop", "Stop=>0"}};
    for (int code = 0; code < static_cast<int>(kKeyButtons.size()); ++code)
      all.push_back({"key " + std::to_string(code), std::string("Key ") + kKeyLabels[code]});
    return all;
  }();
  return kAll;
}

}  // namespace verdelo
