// The service's words: one line per event on standard error with the
// priority prefix the journal reads, and systemd's notifications (ready,
// status, watchdog, stopping). Without NOTIFY_SOCKET the notifications are
// nothing.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "service/service_console.h"

namespace verdelo {

class ServiceReport : public IServiceReport {
 public:
  void Log(Priority priority, const std::string& line) override;
  // Sent when it differs from the last one.
  void Status(const std::string& status) override;
  void Ready(const std::string& status);
  void Stopping();
  void WatchdogBeat();
  // Half the watchdog's period when systemd watches this process.
  static std::optional<std::chrono::milliseconds> WatchdogInterval();

 private:
  std::string status_;
};

}  // namespace verdelo
