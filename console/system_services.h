// The console's seams as the running program provides them on Linux.
#pragma once

#include <filesystem>

#include "console/host.h"

namespace verdelo {

// Local time from the system clock.
class SystemClock : public IWallClock {
 public:
  LocalTime Now() const override;
};

// Runs an event file of the working directory with /bin/sh, detached: its
// own session and process group, standard input from /dev/null, never
// waited for. An intermediate child exits at once and is reaped here, so
// finished event files never linger as zombies.
class ShellEventLauncher : public IEventLauncher {
 public:
  explicit ShellEventLauncher(std::filesystem::path workDir) : workDir_(std::move(workDir)) {}
  void Launch(const std::string& fileName) override;

 private:
  std::filesystem::path workDir_;
};

}  // namespace verdelo
