// The program's command line: what it was asked to do, and the help text
// that --help prints (and the manual page is made from).
#pragma once

#include <string>
#include <vector>

namespace verdelo {

struct CommandLine {
  enum class Action { RunConsole, Help, Version, ListPorts, CheckConfig, Error };
  Action action = Action::RunConsole;
  // --desktop: the console works in ~/Verdelo (made when missing), as when
  // started from the desktop's menu.
  bool desktopFolder = false;
  // --list-ports with --check-config: the listing, then the check, whose
  // result is the exit status.
  bool alsoCheckConfig = false;
  std::string error;  // with Action::Error: the one-line message
};

// Reads the arguments after the program's name. Options of Qt itself
// (-platform NAME, -style NAME, ...) are left for Qt and start the console.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// What --help prints.
std::string HelpText();

// The folder --desktop works in: Verdelo in the user's home folder.
std::string DesktopWorkFolder(const char* home);

}  // namespace verdelo
