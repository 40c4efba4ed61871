#include "shell/telemetry/telemetry_bridge.h"

#include <QAbstractButton>

#include <iostream>

#include "res/version.h"
#include "shell/console_window/console_dlg.h"
#include "telemetry/commands.h"

namespace verdelo {

namespace {

// The link as the state topic names it: lost from its loss until it is
// back or the user closes it; a device or bridge absent from the start was
// never open, so it is closed.
LinkState PublishedLink(LinkSupervisor::State state) {
  using S = LinkSupervisor::State;
  switch (state) {
    case S::Open:
    case S::Reopened: return LinkState::Open;
    case S::Lost:
    case S::LostWaiting:
    case S::LostRetrying: return LinkState::Lost;
    default: return LinkState::Closed;
  }
}

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
  std::optional<std::string> password;
  if (!settings.passwordFile.empty()) {
    std::string error;
    password = ReadPasswordFile(settings.passwordFile, warnings, error);
    if (!password) warnings.push_back(error);
  }
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
          [this] { telemetry_->SetLink(PublishedLink(window_.portDialog().link().state())); });
  telemetry_->SetLink(PublishedLink(port.link().state()));
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
  const std::string shown = ShownPayload(payload);
  const std::optional<int> button = CommandButton(payload);
  if (!button) {
    telemetry_->PublishEvent("command refused: \"" + shown + "\" is not a command");
    return;
  }
  if (window_.portDialog().portOpen() != 1) {
    telemetry_->PublishEvent("command not sent: \"" + shown + "\" while the port is closed");
    return;
  }
  // The button's own click, so the command goes exactly the way the user's
  // does; the data log says first who gave it.
  auto* widget = qobject_cast<QAbstractButton*>(window_.controls().Widget(*button));
  if (widget == nullptr) return;
  window_.console().WriteLogLine("=> MQTT command: " + shown);
  widget->click();
}

}  // namespace verdelo
