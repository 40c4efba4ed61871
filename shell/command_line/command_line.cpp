#include "shell/command_line/command_line.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace verdelo {

namespace {

// Qt's own options, which take the next argument as their value unless
// given as -option=value, and its flags.
constexpr std::array<std::string_view, 10> kQtOptionsWithValue = {
    "-platform", "-platformpluginpath", "-platformtheme", "-plugin", "-style",
    "-stylesheet", "-session", "-display", "-geometry", "-qwindowgeometry"};
constexpr std::array<std::string_view, 5> kQtFlags = {"-reverse", "-nograb", "-dograb", "-sync",
                                                      "-widgetcount"};

template <std::size_t N>
bool Contains(const std::array<std::string_view, N>& names, std::string_view name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// How many arguments a Qt option at `argument` takes up; 0 when it is none.
int QtOptionLength(std::string_view argument) {
  const std::size_t equals = argument.find('=');
  const std::string_view name = argument.substr(0, equals);
  if (Contains(kQtOptionsWithValue, name)) return equals == std::string_view::npos ? 2 : 1;
  return Contains(kQtFlags, name) ? 1 : 0;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  using Action = CommandLine::Action;
  CommandLine result;
  bool listPorts = false, checkConfig = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    Action asked;
    if (argument == "--help" || argument == "-h") {
      asked = Action::Help;
    } else if (argument == "--version") {
      asked = Action::Version;
    } else if (argument == "--list-ports") {
      asked = Action::ListPorts;
    } else if (argument == "--check-config") {
      asked = Action::CheckConfig;
    } else if (argument == "--desktop") {
      result.desktopFolder = true;
      continue;
    } else if (const int length = QtOptionLength(argument); length > 0) {
      i += static_cast<std::size_t>(length - 1);
      continue;
    } else {
      result.action = Action::Error;
      result.error = argument.rfind('-', 0) == 0 ? "unknown option '" + argument + "'"
                                                 : "unexpected argument '" + argument + "'";
      return result;
    }
    listPorts = listPorts || asked == Action::ListPorts;
    checkConfig = checkConfig || asked == Action::CheckConfig;
    // The first of several actions wins; help always does.
    if (result.action == Action::RunConsole || asked == Action::Help) result.action = asked;
  }
  // The two reports on the configuration go together.
  if (listPorts && checkConfig && result.action != Action::Help && result.action != Action::Version) {
    result.action = Action::ListPorts;
    result.alsoCheckConfig = true;
  }
  return result;
}

std::string HelpText() {
  return R"(Usage: verdelo [OPTION]

A desktop console for a robotic lawn mower reached over a serial line. It
shows what the mower does, sends its keys and settings, polls it on a timer,
keeps a data log (Moro-log.txt) and runs hook files on alarms, in the
working directory.

Options:
  -h, --help        print this help and exit
      --version     print the program's version and exit
      --list-ports  print the ten port slots (COM1 to COM10) with the device
                    each opens, and the config file read, then exit
      --check-config
                    explain config.txt as the program reads it: each key as
                    understood, values it corrects, unknown keys; exit 1 when
                    there is something to warn about (with --list-ports:
                    both, the listing first)
      --desktop     work in the folder Verdelo of your home folder (made when
                    missing), as when started from the desktop's menu
Without an option the console window starts in the current folder. Qt's own
options (such as -platform offscreen) are passed on to Qt.

Files:
  config.txt        beside the executable when there is one, otherwise
                    $XDG_CONFIG_HOME/verdelo/config.txt (~/.config/verdelo/
                    config.txt); lines of [KEY]value
  Moro-log.txt      the data log, appended in the working directory

Exit status: 0 on success, 1 when --check-config warns, 2 for a wrong
command line.
)";
}

std::string DesktopWorkFolder(const char* home) {
  return std::string(home != nullptr && home[0] != '\0' ? home : "/tmp") + "/Verdelo";
}

}  // namespace verdelo
