// The service's command line: which config file, which working folder, the
// mower's default MQTT name, and the reports it can print instead of
// running.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace verdelo {

struct ServiceOptions {
  enum class Action { Run, Help, Version, ListPorts, CheckConfig, Error };
  Action action = Action::Run;
  bool alsoCheckConfig = false;  // --list-ports with --check-config
  std::optional<std::filesystem::path> configFile;
  std::optional<std::filesystem::path> workDir;
  std::optional<std::string> name;  // the default of [MQTT_NAME]
  std::string error;                // with Action::Error: the one-line message
};

// Reads the arguments after the program's name: "--config FILE" or
// "--config=FILE", the same for --dir and --name.
ServiceOptions ParseServiceOptions(const std::vector<std::string>& arguments);

// What --help prints.
std::string ServiceHelpText();

}  // namespace verdelo
