#include "service/service_console.h"

#include <time.h>

#include "res/dialog_template.h"
#include "res/version.h"
#include "serial/udev_ports.h"
#include "shell/port_window/port_traffic.h"
#include "telemetry/commands.h"

namespace verdelo {

namespace {

// The link supervisor's timers beside the console's own identifiers.
int KeyOf(ILinkHost::Timer timer) { return timer == ILinkHost::Timer::Retry ? -1 : -2; }

void Sleep(std::uint32_t ms) {
  timespec span{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  while (::nanosleep(&span, &span) != 0) {
  }
}

}  // namespace

PlainControls::PlainControls() {
  for (const ControlTemplate& c : ConsoleWindowTemplate().controls) {
    if (c.id < 0) continue;
    Control& control = At(c.id);
    control.text = c.caption;
    control.enabled = (c.flags & kDisabled) == 0;
    control.checkBox = c.kind == ControlKind::CheckBox;
  }
}

PlainControls::Control& PlainControls::At(int id) {
  if (id < 0) return nowhere_;
  const auto index = static_cast<std::size_t>(id);
  if (index >= controls_.size()) controls_.resize(index + 1);
  return controls_[index];
}

const PlainControls::Control* PlainControls::Find(int id) const {
  return id >= 0 && static_cast<std::size_t>(id) < controls_.size() ? &controls_[static_cast<std::size_t>(id)]
                                                                     : nullptr;
}

std::string PlainControls::Text(int id) const {
  const Control* control = Find(id);
  return control != nullptr ? control->text : std::string();
}

bool PlainControls::IsChecked(int id) const {
  const Control* control = Find(id);
  return control != nullptr && control->checked;
}

bool PlainControls::IsEnabled(int id) const {
  const Control* control = Find(id);
  return control == nullptr || control->enabled;
}

bool PlainControls::IsCheckBox(int id) const {
  const Control* control = Find(id);
  return control != nullptr && control->checkBox;
}

ServiceConsole::ServiceConsole(EventLoop& loop, const ServicePaths& paths, IServiceReport& report)
    : loop_(loop),
      paths_(paths),
      report_(report),
      launcher_(paths.workDir),
      console_(ConsoleHost{controls_, *this, *this, launcher_, *this, clock_, *this, paths.workDir,
                           paths.configFile}) {}

ServiceConsole::~ServiceConsole() {
  // The broker hears "offline" while the console still stands.
  if (telemetry_ != nullptr) {
    console_.RemoveValueObserver(telemetry_.get());
    console_.RemoveLogEventObserver(telemetry_.get());
    telemetry_.reset();
  }
  link_.Close();
}

void ServiceConsole::Start() {
  std::vector<ConfigEntry> entries = ReadConfigFile(paths_.configFile);
  // The command line's name comes first, so the file's [MQTT_NAME] wins.
  if (!paths_.defaultName.empty()) entries.insert(entries.begin(), {"MQTT_NAME", paths_.defaultName});
  StartTelemetry(entries);
  console_.OnInitDialog();
}

void ServiceConsole::StartTelemetry(const std::vector<ConfigEntry>& entries) {
  std::string error;
  const std::optional<TelemetrySettings> settings = ReadTelemetrySettings(entries, error);
  if (!settings) return;
  std::vector<std::string> warnings = settings->warnings;
  std::optional<std::string> password = TelemetryPassword(*settings, warnings);
  for (const std::string& warning : warnings) report_.Log(IServiceReport::kWarning, "MQTT: " + warning);
  ITelemetryListener& listener = *this;
  telemetry_ = std::make_unique<MqttTelemetry>(*settings, std::move(password), kProgramVersion, listener);
  console_.AddValueObserver(telemetry_.get());
  console_.AddLogEventObserver(telemetry_.get());
  PublishLink();
  report_.Log(IServiceReport::kInfo, "MQTT: connecting to " + settings->brokerText);
}

void ServiceConsole::CreatePortWindow() {
  const PortWindowSettings settings = ReadPortWindowSettings(ReadConfigFile(paths_.configFile));
  const std::vector<PortSlot> slots = AssignSlots(settings.devices, DiscoverSerialPorts(), kPortCount);
  portIndex_ = settings.portIndex;
  const bool known = portIndex_ >= 0 && portIndex_ < static_cast<int>(slots.size());
  const std::string device = known ? slots[static_cast<std::size_t>(portIndex_)].path : std::string();
  link_.SetAutoReopen(settings.autoReopen);
  link_.OpenAtStart(device, BaudForIndex(settings.speedIndex));
}

std::string ServiceConsole::PortName() const { return "COM" + std::to_string(std::max(portIndex_, 0) + 1); }

std::string ServiceConsole::StatusText() const {
  std::string status = PortName() + " " + link_.StateWords();
  if (!dataLogTrouble_.empty()) status += "; data log: " + dataLogTrouble_;
  return status;
}

void ServiceConsole::ReopenDataLog() {
  console_.ReopenDataLog();
  report_.Log(IServiceReport::kInfo, "data log reopened");
}

void ServiceConsole::StartTimer(int id, std::uint32_t periodMs) {
  loop_.StartTimer(id, std::chrono::milliseconds(std::min<std::uint32_t>(periodMs, 0x7FFFFFFF)), true,
                   [this, id] { console_.OnTimer(id); });
}

void ServiceConsole::StopTimer(int id) { loop_.StopTimer(id); }

// Blocking, like the frames between them, as in the window; there are no
// tones to play.
void ServiceConsole::Pause(std::uint32_t ms) { Sleep(ms); }
void ServiceConsole::Beep(std::uint32_t, std::uint32_t ms) { Sleep(ms); }

void ServiceConsole::ShowDataLogTrouble(const std::string& reason) {
  dataLogTrouble_ = reason;
  if (reason.empty()) {
    report_.Log(IServiceReport::kInfo, "the data log is written again");
  } else {
    report_.Log(IServiceReport::kError, "data log: " + reason);
  }
  report_.Status(StatusText());
}

void ServiceConsole::ShowConfigTrouble(const std::string& trouble) {
  report_.Log(IServiceReport::kWarning, paths_.configFile.string() + " " + trouble);
}

void ServiceConsole::StartTimer(Timer timer, int ms) {
  loop_.StartTimer(KeyOf(timer), std::chrono::milliseconds(ms), false, [this, timer] { link_.OnTimer(timer); });
}

void ServiceConsole::StopTimer(Timer timer) { loop_.StopTimer(KeyOf(timer)); }

// The device's folder and the line are watched on this loop; the line's
// bytes are read as they arrive, with no listener thread to hand them over.
void ServiceConsole::WatchReadable(Watch watch, int fd) {
  int& watched = watched_[watch == Watch::Line];
  if (watched >= 0) loop_.Unwatch(watched);
  watched = fd;
  if (fd >= 0) loop_.Watch(fd, [this, watch] { link_.OnReadable(watch); });
}

void ServiceConsole::PublishLink() {
  if (telemetry_ != nullptr) telemetry_->SetLink(LinkStateOf(link_.IsOpen(), link_.WasLost()));
}

void ServiceConsole::StateChanged() {
  PublishLink();
  report_.Status(StatusText());
}

void ServiceConsole::Opened() { report_.Log(IServiceReport::kInfo, PortName() + " open"); }

void ServiceConsole::Closed(const std::string& reason) {
  if (!reason.empty()) report_.Log(IServiceReport::kWarning, PortName() + " closed: " + reason);
}

void ServiceConsole::Lost(const std::string& reason) {
  report_.Log(IServiceReport::kWarning, PortName() + " lost: " + reason);
  console_.OnLinkLost(reason);
}

void ServiceConsole::Reopened() {
  report_.Log(IServiceReport::kInfo, PortName() + " reopened");
  console_.OnLinkReopened();
}

void ServiceConsole::Failed(const std::string& reason, bool) {
  report_.Log(IServiceReport::kError, PortName() + " cannot be opened: " + reason);
}

void ServiceConsole::Received(const std::uint8_t* bytes, std::uint32_t count) {
  if (rxByteHandler_)
    for (std::uint32_t i = 0; i < count; ++i) rxByteHandler_(bytes[i]);
}

void ServiceConsole::OnTelemetryStatus(bool connected, const std::string& text) {
  loop_.Post([this, connected, text] {
    if (text == lastTelemetryStatus_) return;
    lastTelemetryStatus_ = text;
    report_.Log(connected ? IServiceReport::kInfo : IServiceReport::kWarning, text);
  });
}

void ServiceConsole::OnTelemetryCommand(const std::string& payload) {
  loop_.Post([this, payload] { RunCommand(payload); });
}

void ServiceConsole::RunCommand(const std::string& payload) {
  const CommandOutcome outcome = DecideCommand(payload, portOpen() == 1);
  if (!outcome.button) {
    telemetry_->PublishEvent(outcome.line);
    return;
  }
  // As a click of the button: a check box turns first, then the console
  // hears of it; the data log says first who gave it.
  const int id = *outcome.button;
  if (!controls_.IsEnabled(id)) return;
  console_.WriteLogLine(outcome.line);
  if (controls_.IsCheckBox(id)) controls_.SetChecked(id, !controls_.IsChecked(id));
  console_.OnClicked(id);
}

}  // namespace verdelo
