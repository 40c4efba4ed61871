#include "shell/telemetry/telemetry_bridge.h"

#include <QAbstractButton>

#include <iostream>

#include "res/version.h"
#include "shell/console_window/console_dlg.h"
#include "telemetry/commands.h"

namespace verdelo {

namespace {

LinkState PublishedLink(const LinkSupervisor& link) { return LinkStateOf(link.IsOpen(), link.WasLost()); }

}  // namespace

std::unique_ptr<TelemetryBridge> TelemetryBridge::Start(CKelvoPCDlg& window,
                                                        const std::vector<ConfigEntry>& entries) {
  std::string error;
  const std::optional<TelemetrySettings> settings = ReadTelemetrySettings(entries, error);
  if (!settings) return nullptr;
  return std::make_unique<TelemetryBridge>(window, *settings);
}

TelemetryBridge::TelemetryBridge(CKelvoPCDlg& window, const TelemetrySettings& settings) : window_(window) {
  std::vector<std::string> warnings = settings.warnings;
  std::optional<std::string> password = TelemetryPassword(settings, warnings);
  for (const std::string& warning : warnings) {
    warnings_ << QStringLiteral("MQTT warning: ") + QString::fromStdString(warning);
    std::cerr << "verdelo: MQTT: " << warning << std::endl;
  }
  telemetry_ = std::make_unique<MqttTelemetry>(settings, std::move(password), kProgramVersion, *this);
  MowerConsole& console = window_.console();
  console.AddValueObserver(telemetry_.get());
  console.AddLogEventObserver(telemetry_.get());
  CPortControlDlg& port = window_.portDialog();
  connect(&port, &CPortControlDlg::linkStateChanged, this,
          [this] { telemetry_->SetLink(PublishedLink(window_.portDialog().link())); });
  telemetry_->SetLink(PublishedLink(port.link()));
  ShowStatus(QStringLiteral("MQTT: connecting to ") + QString::fromStdString(settings.brokerText));
}

TelemetryBridge::~TelemetryBridge() {
  window_.console().RemoveValueObserver(telemetry_.get());
  window_.console().RemoveLogEventObserver(telemetry_.get());
  telemetry_.reset();
}

void TelemetryBridge::OnTelemetryStatus(bool /*connected*/, const std::string& text) {
  const QString shown = QString::fromStdString(text);
  QMetaObject::invokeMethod(this, [this, shown] { ShowStatus(shown); }, Qt::QueuedConnection);
}

void TelemetryBridge::OnTelemetryCommand(const std::string& payload) {
  QMetaObject::invokeMethod(this, [this, payload] { RunCommand(payload); }, Qt::QueuedConnection);
}

void TelemetryBridge::ShowStatus(const QString& text) {
  if (text != lastStatus_) std::cerr << "verdelo: " << text.toStdString() << std::endl;
  lastStatus_ = text;
  QStringList lines{text};
  lines << warnings_;
  window_.portDialog().SetTelemetryNote(lines.join(QLatin1Char('\n')));
}

void TelemetryBridge::RunCommand(const std::string& payload) {
  const CommandOutcome outcome = DecideCommand(payload, window_.portDialog().portOpen() == 1);
  if (!outcome.button) {
    telemetry_->PublishEvent(outcome.line);
    return;
  }
  // The button's own click, so the command goes exactly the way the user's
  // does; the data log says first who gave it.
  auto* widget = qobject_cast<QAbstractButton*>(window_.controls().Widget(*outcome.button));
  if (widget == nullptr) return;
  window_.console().WriteLogLine(outcome.line);
  widget->click();
}

}  // namespace verdelo
