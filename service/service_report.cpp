#include "service/service_report.h"

#include <systemd/sd-daemon.h>
#include <unistd.h>

#include <cstdint>

namespace verdelo {

void ServiceReport::Log(Priority priority, const std::string& line) {
  // One write per line, so lines of other threads never cut into it; a
  // line break inside would start a line of the journal's own.
  std::string text = '<' + std::to_string(priority) + ">" + line;
  for (char& c : text)
    if (c == '\n' || c == '\r') c = ' ';
  text += '\n';
  [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, text.data(), text.size());
}

void ServiceReport::Status(const std::string& status) {
  if (status == status_) return;
  status_ = status;
  sd_notify(0, ("STATUS=" + status).c_str());
}

void ServiceReport::Ready(const std::string& status) {
  status_ = status;
  sd_notify(0, ("READY=1\nSTATUS=" + status).c_str());
}

void ServiceReport::Stopping() { sd_notify(0, "STOPPING=1\nSTATUS=stopping"); }

void ServiceReport::WatchdogBeat() { sd_notify(0, "WATCHDOG=1"); }

std::optional<std::chrono::milliseconds> ServiceReport::WatchdogInterval() {
  std::uint64_t usec = 0;
  if (sd_watchdog_enabled(0, &usec) <= 0 || usec == 0) return std::nullopt;
  return std::chrono::milliseconds(std::max<std::uint64_t>(usec / 2000, 1));
}

}  // namespace verdelo
