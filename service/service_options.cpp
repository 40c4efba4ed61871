#include "service/service_options.h"

#include "telemetry/settings.h"

namespace verdelo {

namespace {

using Action = ServiceOptions::Action;

std::optional<Action> ActionOf(const std::string& argument) {
  if (argument == "--help" || argument == "-h") return Action::Help;
  if (argument == "--version") return Action::Version;
  if (argument == "--list-ports") return Action::ListPorts;
  if (argument == "--check-config") return Action::CheckConfig;
  return std::nullopt;
}

ServiceOptions Refused(std::string error) {
  ServiceOptions options;
  options.action = Action::Error;
  options.error = std::move(error);
  return options;
}

}  // namespace

ServiceOptions ParseServiceOptions(const std::vector<std::string>& arguments) {
  ServiceOptions options;
  bool listPorts = false, checkConfig = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (const std::optional<Action> asked = ActionOf(argument)) {
      listPorts = listPorts || *asked == Action::ListPorts;
      checkConfig = checkConfig || *asked == Action::CheckConfig;
      // The first of several actions wins; help always does.
      if (options.action == Action::Run || *asked == Action::Help) options.action = *asked;
      continue;
    }
    const std::size_t equals = argument.find('=');
    const std::string name = argument.substr(0, equals);
    if (name != "--config" && name != "--dir" && name != "--name")
      return Refused(argument.rfind('-', 0) == 0 ? "unknown option '" + argument + "'"
                                                 : "unexpected argument '" + argument + "'");
    std::string value;
    if (equals != std::string::npos) {
      value = argument.substr(equals + 1);
    } else if (i + 1 < arguments.size()) {
      value = arguments[++i];
    } else {
      return Refused("option '" + name + "' needs a value");
    }
    if (value.empty()) return Refused("option '" + name + "' needs a value");
    if (name == "--config") {
      options.configFile = value;
    } else if (name == "--dir") {
      options.workDir = value;
    } else if (!IsTopicName(value)) {
      return Refused("'" + value + "' is not a name for topics (letters, digits, - and _)");
    } else {
      options.name = value;
    }
  }
  if (options.action == Action::Error) return options;
  // The two reports on the configuration go together.
  if (listPorts && checkConfig && options.action != Action::Help && options.action != Action::Version) {
    options.action = Action::ListPorts;
    options.alsoCheckConfig = true;
  }
  return options;
}

std::string ServiceHelpText() {
  return R"(Usage: verdelo-service [OPTION]...

The console of a robotic lawn mower reached over a serial line, without a
screen: it opens the mower's port at once, polls the mower on a timer, keeps
the data log (Moro-log.txt), runs hook files on alarms and, when the config
names a broker, publishes the mower over MQTT and takes its commands. It runs
until SIGTERM or SIGINT; SIGHUP starts a new data log (after logrotate).

Options:
      --config FILE read FILE as config.txt (lines of
                    [KEY]value)
      --dir DIR     work in DIR: the data log, the memory files, go.txt and
                    the hook files are there (default: the current folder)
      --name NAME   the mower's name in the MQTT topics unless the config
                    sets [MQTT_NAME] (letters, digits, - and _)
  -h, --help        print this help and exit
      --version     print the program's version and exit
      --list-ports  print the ten port slots (COM1 to COM10) with the device
                    each opens, and the config file read, then exit
      --check-config
                    explain the config as the program reads it; exit 1 when
                    there is something to warn about (with --list-ports:
                    both, the listing first)

Under systemd (Type=notify) it says when it is ready, shows the link's state
as the unit's status and keeps the watchdog fed. Events go to standard error,
one line each, with the priority prefixes the journal reads.

Files:
  config.txt        without --config: beside the executable when there is
                    one, otherwise $XDG_CONFIG_HOME/verdelo/config.txt
  Moro-log.txt      the data log, appended in the working folder

Exit status: 0 when ended by a signal or after a report, 1 when
--check-config warns or the service cannot run, 2 for a wrong command line.
)";
}

}  // namespace verdelo
