// The commands the command topic takes: the buttons of the "Robot Mode"
// group, "Stop=>0", and the keys of the "Robot Keyboard" group by key code.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace verdelo {

// "man", "auto", "home", "demo", "stop", "key 0" ... "key 18" (blanks and a
// line end around them are allowed): the identifier of the button whose
// click it stands for; nothing for anything else.
std::optional<int> CommandButton(std::string_view payload);

// A payload as event lines quote it: without the blanks around it, and cut
// after its first 64 bytes ("...") however much was sent.
std::string ShownPayload(std::string_view payload);

// What a live command comes to: the button to click once `line` is in the
// data log, or (no button) `line` for the event topic saying why not.
struct CommandOutcome {
  std::optional<int> button;
  std::string line;
};
CommandOutcome DecideCommand(std::string_view payload, bool portOpen);

// Every command word with its button, for the discovery documents' buttons.
struct CommandName {
  std::string payload;
  std::string label;
};
std::span<const CommandName> AllCommands();

}  // namespace verdelo
