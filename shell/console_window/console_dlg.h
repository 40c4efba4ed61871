// The console window: its controls, timers and pacing, the start-up
// call-outs, the key hook and the menu. Everything it decides is the
// console's; this class only shows and forwards.
#pragma once

#include <QDialog>
#include <QTimer>

#include <filesystem>
#include <map>
#include <memory>

#include "console/console.h"
#include "console/system_services.h"
#include "shell/trends_window/trends_window.h"
#include "shell/port_window/port_control_dlg.h"
#include "shell/console_window/control_table.h"
#include "trends/live_input.h"
#include "trends/series_store.h"

namespace verdelo {

class TelemetryBridge;

struct ConsolePaths {
  std::filesystem::path workDir;     // data log, memory files, go.txt, hooks
  std::filesystem::path configFile;  // config.txt
};

class CKelvoPCDlg : public QDialog, public ITimers, public IPacing, public IWindowHost {
  Q_OBJECT
 public:
  explicit CKelvoPCDlg(const ConsolePaths& paths);
  ~CKelvoPCDlg() override;

  // Start-up, once, before the window is first shown.
  void OnInitDialog();

  MowerConsole& console() { return console_; }
  CPortControlDlg& portDialog() { return portDialog_; }
  ControlTable& controls() { return controls_; }
  // The Trends window, made the first time it is asked for.
  CTrendsWindow& trends();
  bool trendsShown() const { return trends_ != nullptr && trends_->isVisible(); }
  // The MQTT telemetry, when config.txt names a broker.
  TelemetryBridge* telemetry() { return telemetry_.get(); }

  // ITimers.
  void StartTimer(int id, std::uint32_t periodMs) override;
  void StopTimer(int id) override;
  bool IsTimerRunning(int id) const;
  // IPacing: blocking, like the frames between them; tones are silent.
  void Pause(std::uint32_t ms) override;
  void Beep(std::uint32_t hz, std::uint32_t ms) override;
  // IWindowHost.
  void ShowAboutModal() override;
  void CreatePortWindow() override;
  void ShowDataLogTrouble(const std::string& reason) override;
  void ShowConfigTrouble(const std::string& trouble) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void BuildWindow();
  void ConnectNotifications();
  // The caption, then the link's state, then any trouble with the data log
  // and with config.txt.
  void UpdateTitle();

  std::filesystem::path configFile_;
  std::filesystem::path dataLog_;
  ControlTable controls_;
  std::map<int, QTimer*> timers_;
  SystemClock clock_;
  ShellEventLauncher launcher_;
  // The values of this session for the Trends window, gathered from the
  // start; the window itself costs nothing until it is first shown.
  trends::SeriesStore liveTrends_;
  trends::LiveInput liveTrendsInput_{liveTrends_};
  CPortControlDlg portDialog_;
  MowerConsole console_;
  CTrendsWindow* trends_ = nullptr;  // a window of its own, owned as a child
  std::unique_ptr<TelemetryBridge> telemetry_;
  QString linkState_;
  QString dataLogState_;
  QString configState_;
};

}  // namespace verdelo
