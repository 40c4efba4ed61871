#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "console/config_file.h"
#include "res/version.h"
#include "shell/app.h"
#include "shell/command_line/command_line.h"
#include "shell/command_line/config_check.h"
#include "shell/command_line/port_listing.h"

namespace {

// A timer period brought into range changes what the console does, so it is
// said at start, not only by --check-config.
void WarnAboutCorrectedPeriods() {
  const std::filesystem::path file = verdelo::LocateConfigFile();
  for (const std::string& line : verdelo::CheckConfigFile(file).correctedPeriods)
    std::cerr << "verdelo: " << file.string() << ": " << line << std::endl;
}

}  // namespace

int main(int argc, char** argv) {
  using Action = verdelo::CommandLine::Action;
  const verdelo::CommandLine command = verdelo::ParseCommandLine({argv + 1, argv + argc});
  switch (command.action) {
    case Action::Help:
      std::cout << verdelo::HelpText();
      return 0;
    case Action::Version:
      std::cout << "verdelo " << verdelo::kProgramVersion << std::endl;
      return 0;
    case Action::ListPorts:
      std::cout << verdelo::CurrentPortListing(verdelo::LocateConfigFile());
      return command.alsoCheckConfig ? verdelo::PrintConfigCheck(verdelo::LocateConfigFile()) : 0;
    case Action::CheckConfig:
      return verdelo::PrintConfigCheck(verdelo::LocateConfigFile());
    case Action::Error:
      std::cerr << "verdelo: " << command.error << "\nTry 'verdelo --help' for more information."
                << std::endl;
      return 2;
    case Action::RunConsole:
      break;
  }
  if (command.desktopFolder) {
    // Started from the menu: the data log, the memory files and the hook
    // files get a folder the user can find.
    const std::filesystem::path folder = verdelo::DesktopWorkFolder(std::getenv("HOME"));
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    std::filesystem::current_path(folder, error);
    if (error) std::cerr << "verdelo: cannot work in " << folder.string() << ": " << error.message() << std::endl;
  }
  WarnAboutCorrectedPeriods();
  verdelo::IgnoreFileSizeSignal();
  verdelo::CKelvoPCApp app(argc, argv);
  return app.InitInstance();
}
