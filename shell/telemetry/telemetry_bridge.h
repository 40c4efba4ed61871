// The console window's telemetry: decoded values, event lines and the link
// go to the MQTT client; what the client's network thread reports comes
// back to the window's thread as posted events: the connection's state into
// the port window's status tooltip, commands as clicks of their buttons.
#pragma once

#include <QObject>

#include <memory>
#include <string>
#include <vector>

#include "console/config_file.h"
#include "telemetry/mqtt_telemetry.h"

namespace verdelo {

class CKelvoPCDlg;

class TelemetryBridge : public QObject, public ITelemetryListener {
 public:
  // The telemetry config.txt asks for, or nothing without [MQTT_BROKER].
  static std::unique_ptr<TelemetryBridge> Start(CKelvoPCDlg& window, const std::vector<ConfigEntry>& entries);

  TelemetryBridge(CKelvoPCDlg& window, const TelemetrySettings& settings);
  ~TelemetryBridge() override;

  MqttTelemetry& telemetry() { return *telemetry_; }

  // The network thread.
  void OnTelemetryStatus(bool connected, const std::string& text) override;
  void OnTelemetryCommand(const std::string& payload) override;

 private:
  // The window's thread.
  void ShowStatus(const QString& text);
  void RunCommand(const std::string& payload);

  CKelvoPCDlg& window_;
  QStringList warnings_;
  QString lastStatus_;
  std::unique_ptr<MqttTelemetry> telemetry_;
};

}  // namespace verdelo
