// The mower's console without a screen: the same MowerConsole, link
// supervisor and MQTT telemetry as the windows, on the service's event
// loop. The console's controls are a plain table; what the windows would
// show goes to standard error and to systemd's status line.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "console/config_file.h"
#include "console/console.h"
#include "console/system_services.h"
#include "link/link_supervisor.h"
#include "service/event_loop.h"
#include "telemetry/mqtt_telemetry.h"

namespace verdelo {

// Where the service's words go: journal-style lines and systemd's status.
class IServiceReport {
 public:
  // Syslog priorities, as the journal reads them from a "<N>" prefix.
  enum Priority { kError = 3, kWarning = 4, kInfo = 6 };
  virtual void Log(Priority priority, const std::string& line) = 0;
  virtual void Status(const std::string& status) = 0;

 protected:
  ~IServiceReport() = default;
};

struct ServicePaths {
  std::filesystem::path configFile;
  std::filesystem::path workDir;
  std::string defaultName;  // of [MQTT_NAME]; empty: the program's default
};

// The console's controls as a table: the console window's captions,
// check marks and enabled states, with nothing shown.
class PlainControls : public IControls {
 public:
  PlainControls();
  void SetText(int id, std::string_view text) override { At(id).text.assign(text); }
  std::string Text(int id) const override;
  bool IsChecked(int id) const override;
  void SetChecked(int id, bool checked) override { At(id).checked = checked; }
  void SetEnabled(int id, bool enabled) override { At(id).enabled = enabled; }
  bool IsEnabled(int id) const;
  bool IsCheckBox(int id) const;

 private:
  struct Control {
    std::string text;
    bool checked = false;
    bool enabled = true;
    bool checkBox = false;
  };
  Control& At(int id);
  const Control* Find(int id) const;
  // Indexed by identifier: the decoder sets texts for every answer, and the
  // identifiers are a few small numbers.
  std::vector<Control> controls_;
  Control nowhere_;  // what an identifier below 0 would set
};

class ServiceConsole : private ITimers,
                       private IPacing,
                       private IWindowHost,
                       private ILink,
                       private ILinkHost,
                       private ILinkView,
                       private ITelemetryListener {
 public:
  ServiceConsole(EventLoop& loop, const ServicePaths& paths, IServiceReport& report);
  // Says "offline" to the broker, closes the link and the data log.
  ~ServiceConsole() override;

  // Reads the config, starts the telemetry and the console, and opens the
  // port as the config names it, whatever [COMPORT_AUTO_OPEN] says.
  void Start();
  // A new data log after logrotate renamed the old one.
  void ReopenDataLog();
  // "COM1 open", and any trouble with the data log.
  std::string StatusText() const;

 private:
  // ITimers, IPacing.
  void StartTimer(int id, std::uint32_t periodMs) override;
  void StopTimer(int id) override;
  void Pause(std::uint32_t ms) override;
  void Beep(std::uint32_t hz, std::uint32_t ms) override;
  // IWindowHost: nothing to show; the port "window" is the link.
  void ShowAboutModal() override {}
  void CreatePortWindow() override;
  void ShowDataLogTrouble(const std::string& reason) override;
  void ShowConfigTrouble(const std::string& trouble) override;
  // ILink.
  int portOpen() const override { return link_.IsOpen() ? 1 : 0; }
  void Write(const std::uint8_t* data, std::uint32_t length) override { link_.Write(data, length); }
  void LogTx(const std::uint8_t*, std::uint32_t) override {}
  void SetRxByteHandler(RxByteHandler handler) override { rxByteHandler_ = std::move(handler); }
  // ILinkHost.
  void StartTimer(Timer timer, int ms) override;
  void StopTimer(Timer timer) override;
  void WatchReadable(Watch watch, int fd) override;
  void Post(std::function<void()> task) override { loop_.Post(std::move(task)); }
  std::chrono::steady_clock::time_point Now() override { return std::chrono::steady_clock::now(); }
  // ILinkView.
  void StateChanged() override;
  void Opened() override;
  void Closed(const std::string& reason) override;
  void Lost(const std::string& reason) override;
  void Reopened() override;
  void Tip(const std::string&) override {}
  void Failed(const std::string& reason, bool inBox) override;
  void Note(const std::string&) override {}
  void Received(const std::uint8_t* bytes, std::uint32_t count) override;
  // ITelemetryListener: the network thread.
  void OnTelemetryStatus(bool connected, const std::string& text) override;
  void OnTelemetryCommand(const std::string& payload) override;

  void StartTelemetry(const std::vector<ConfigEntry>& entries);
  // The link as the state topic names it.
  void PublishLink();
  void RunCommand(const std::string& payload);
  std::string PortName() const;

  EventLoop& loop_;
  ServicePaths paths_;
  IServiceReport& report_;
  PlainControls controls_;
  SystemClock clock_;
  ShellEventLauncher launcher_;
  LinkSupervisor link_{*this, *this};
  RxByteHandler rxByteHandler_;
  MowerConsole console_;
  std::unique_ptr<MqttTelemetry> telemetry_;
  int portIndex_ = 0;
  int watched_[2] = {-1, -1};  // Device, Line
  std::string dataLogTrouble_;
  std::string lastTelemetryStatus_;
};

}  // namespace verdelo
