// verdelo-service: the mower's console without a screen, for systemd.
#include <signal.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "console/config_file.h"
#include "res/version.h"
#include "service/event_loop.h"
#include "service/service_options.h"
#include "service/service_report.h"
#include "shell/command_line/config_check.h"
#include "shell/command_line/port_listing.h"

namespace {

using verdelo::IServiceReport;

void Ignore(int signal) {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(signal, &ignore, nullptr);
}

int Serve(const verdelo::ServicePaths& paths, verdelo::ServiceReport& report) {
  // A full disk ends a data-log write with an error, not the process; a
  // bridge gone while written to likewise.
  Ignore(SIGXFSZ);
  Ignore(SIGPIPE);
  const std::vector<int> signals = {SIGTERM, SIGINT, SIGHUP};
  // Before any thread starts, so only the loop's descriptor takes them.
  verdelo::EventLoop::BlockSignals(signals);
  verdelo::EventLoop loop(signals);
  verdelo::ServiceConsole service(loop, paths, report);
  loop.OnSignal([&](int signal) {
    if (signal == SIGHUP) {
      service.ReopenDataLog();
      return;
    }
    report.Log(IServiceReport::kInfo, std::string("stopping on ") + (signal == SIGINT ? "SIGINT" : "SIGTERM"));
    loop.Quit();
  });
  for (const std::string& line : verdelo::CheckConfigFile(paths.configFile).correctedPeriods)
    report.Log(IServiceReport::kWarning, paths.configFile.string() + ": " + line);
  service.Start();
  report.Ready(service.StatusText());
  // The beat comes from the loop that runs the poll cycle: a stuck loop
  // misses it and systemd restarts the service.
  if (const auto interval = verdelo::ServiceReport::WatchdogInterval())
    loop.StartTimer(-100, *interval, true, [&report] { report.WatchdogBeat(); });
  const bool ran = loop.Run();
  report.Stopping();
  if (!ran) report.Log(IServiceReport::kError, "the event loop failed");
  return ran ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  using Action = verdelo::ServiceOptions::Action;
  const verdelo::ServiceOptions options = verdelo::ParseServiceOptions({argv + 1, argv + argc});
  if (options.action == Action::Error) {
    std::cerr << "verdelo-service: " << options.error
              << "\nTry 'verdelo-service --help' for more information." << std::endl;
    return 2;
  }
  if (options.action == Action::Help) {
    std::cout << verdelo::ServiceHelpText();
    return 0;
  }
  if (options.action == Action::Version) {
    std::cout << "verdelo-service " << verdelo::kProgramVersion << std::endl;
    return 0;
  }
  std::error_code error;
  const std::filesystem::path config =
      options.configFile ? std::filesystem::absolute(*options.configFile, error) : verdelo::LocateConfigFile();
  if (options.action == Action::ListPorts) {
    std::cout << verdelo::CurrentPortListing(config);
    return options.alsoCheckConfig ? verdelo::PrintConfigCheck(config) : 0;
  }
  if (options.action == Action::CheckConfig) return verdelo::PrintConfigCheck(config);

  verdelo::ServiceReport report;
  if (options.workDir) {
    std::filesystem::current_path(*options.workDir, error);
    if (error) {
      report.Log(IServiceReport::kError, "cannot work in " + options.workDir->string() + ": " + error.message());
      return 1;
    }
  }
  const verdelo::ServicePaths paths{config, std::filesystem::current_path(), options.name.value_or("")};
  report.Log(IServiceReport::kInfo, "verdelo-service " + std::string(verdelo::kProgramVersion) + " in " +
                                        paths.workDir.string() + ", config " + config.string());
  return Serve(paths, report);
}
