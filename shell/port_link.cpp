// The port window's link: opening and closing, the notifications of the
// line, the watch that reopens a lost device when it comes back, and the
// connects to a network bridge with their retries.
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QComboBox>
#include <QMessageBox>
#include <QSocketNotifier>

#include <chrono>
#include <utility>

#include "serial/com_types.h"
#include "serial/device_watch.h"
#include "serial/net_endpoint.h"
#include "serial/net_failure.h"
#include "shell/port_control_dlg.h"
#include "shell/port_link_button.h"
#include "widgets/traffic_list.h"

namespace verdelo {

namespace {

constexpr std::uint32_t kReadChunk = 511;
// The watch looks for itself this often, should the folder say nothing.
constexpr int kWatchLookMs = 1000;

// How long a click or start-up waits for a connect before leaving it to
// finish in the background: a bridge on the same network answers within
// it, so its link is up when the click returns, as a device's is.
constexpr auto kConnectGrace = std::chrono::milliseconds(100);

const QColor kAvailable(0, 255, 0);
const QColor kUnavailable(255, 0, 0);

// Every colour button of the window is a LinkButton (see Create).
void SetFaceColor(CStateColorButton* button, const QColor& color) {
  static_cast<LinkButton*>(button)->SetFace(color);
}

// Posted by the helper thread once its connect has an outcome.
class ConnectDoneEvent : public QEvent {
 public:
  explicit ConnectDoneEvent(std::uint32_t attempt) : QEvent(Type()), attempt(attempt) {}
  static QEvent::Type Type() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
  }
  const std::uint32_t attempt;
};

QString Seconds(int ms) { return QString::number((ms + 999) / 1000); }

}  // namespace

std::string CPortControlDlg::SelectedDevice() const {
  const int index = portList_->currentIndex();
  return index >= 0 && index < static_cast<int>(slots_.size()) ? slots_[index].path : std::string();
}

std::string CPortControlDlg::RequestedDevice() const {
  const std::string typed = portList_->lineEdit()->text().trimmed().toStdString();
  return IsTypedDevice(typed) ? typed : SelectedDevice();
}

QString CPortControlDlg::PortName() const {
  const QString typed = portList_->lineEdit()->text().trimmed();
  if (IsTypedDevice(typed.toStdString())) return typed;
  return QStringLiteral("COM%1").arg(std::max(portList_->currentIndex(), 0) + 1);
}

QString CPortControlDlg::LinkStateText() const {
  switch (linkState_) {
    case LinkState::Open: return PortName() + QStringLiteral(" open");
    case LinkState::Connecting: return PortName() + QStringLiteral(" connecting");
    case LinkState::Lost:
      if (IsNetworkAddress(openDevice_))
        return PortName() + (retrying_ ? QStringLiteral(" lost: bridge gone, trying again")
                                       : QStringLiteral(" lost: bridge gone"));
      return PortName() + (watch_ ? QStringLiteral(" lost: device gone, waiting")
                                  : QStringLiteral(" lost: device gone"));
    case LinkState::Absent:
      if (retrying_) return PortName() + QStringLiteral(" unreachable, trying again");
      return PortName() + (watch_ ? QStringLiteral(" not there, waiting")
                                  : QStringLiteral(" not there"));
    case LinkState::Closed: break;
  }
  return PortName() + QStringLiteral(" closed");
}

void CPortControlDlg::SetStatusTip(const QString& linkTip) {
  linkTip_ = linkTip;
  if (statusText_ == nullptr) return;
  QString tip = linkTip_;
  if (!telemetryNote_.isEmpty()) tip += (tip.isEmpty() ? QString() : QStringLiteral("\n")) + telemetryNote_;
  statusText_->setToolTip(tip);
}

void CPortControlDlg::SetTelemetryNote(const QString& note) {
  telemetryNote_ = note;
  SetStatusTip(linkTip_);
}

void CPortControlDlg::SetLinkState(LinkState state) {
  linkState_ = state;
  emit linkStateChanged();
}

void CPortControlDlg::ShowLinkState(bool open) {
  SetFaceColor(openButton_, open ? kUnavailable : kAvailable);
  SetFaceColor(closeButton_, open ? kAvailable : kUnavailable);
  statusText_->setText(open ? QStringLiteral("PORT OPENED") : QStringLiteral("PORT CLOSED"));
  portOpen_ = open ? 1 : 0;
}

void CPortControlDlg::OnOpenPort() {
  const std::string device = RequestedDevice();
  // While a connect is under way the helper owns the port: the same bridge
  // asked for again takes that connect over; anything else breaks it off
  // and is opened once it is over.
  if (connecting_) {
    if (device == connectDevice_) {
      BeginConnect(device, OpenPurpose::Click);
    } else {
      BreakOffConnect();
      openWhenFree_ = true;
    }
    return;
  }
  if (IsNetworkAddress(device) && !serialPort_.IsOpen()) {
    BeginConnect(device, OpenPurpose::Click);
    return;
  }
  if (const std::int32_t result = OpenLink(device); result != 0) {
    SayOpenFailure(result, device, true);
    return;
  }
  emit linkChanged(true, {});
}

void CPortControlDlg::SayOpenFailure(std::int32_t result, const std::string& device, bool inBox) {
  const QString reason = QString::fromStdString(
      DescribeOpenFailure(result, device, serialPort_.NetworkTimeLimit()));
  if (inBox) {
    QMessageBox box(QMessageBox::Critical, windowTitle(), QStringLiteral("COM-port NOK"),
                    QMessageBox::Ok, this);
    box.setInformativeText(reason);
    box.exec();
    return;
  }
  statusText_->setText(QStringLiteral("COM-port NOK"));
  QString waiting;
  if (watch_) waiting = QStringLiteral(" Waiting for the device.");
  if (retrying_) waiting = QStringLiteral(" Trying again in %1 s.").arg(Seconds(nextRetryMs_));
  SetStatusTip(reason + waiting);
}

std::int32_t CPortControlDlg::OpenLink(const std::string& device) {
  if (const std::int32_t result = serialPort_.Open(device, this, 0, 0, 0, 0); result != 0)
    return result;
  serialPort_.Configure(BaudForIndex(speedList_->currentIndex()), 8, kParityNone, kStopBitsOne);
  serialPort_.SetFlowControl(kFlowOff);
  ShowOpenedLink(device);
  return 0;
}

void CPortControlDlg::ShowOpenedLink(const std::string& device) {
  serialPort_.StartListening();
  backoff_.LinkMade(ReconnectBackoff::Clock::now());
  answers_.Reset();
  reopenUntold_ = false;
  StopWatch();
  StopRetrying();
  openDevice_ = device;
  SetStatusTip(QString::fromStdString(device));
  ShowLinkState(true);
  SetLinkState(LinkState::Open);
}

void CPortControlDlg::OnClosePort() {
  StopWatch();
  StopRetrying();
  if (connecting_) BreakOffConnect();
  openWhenFree_ = false;
  CloseLink({});
  SetLinkState(LinkState::Closed);
}

void CPortControlDlg::CloseLink(const QString& reason) {
  if (!connecting_) serialPort_.Close();
  ShowLinkState(false);
  SetStatusTip(reason);
  emit linkChanged(false, reason);
}

bool CPortControlDlg::OnSerialNotify(std::uint32_t param1) {
  bool read = false;
  if (param1 & EV_RXCHAR) {
    std::uint8_t buffer[kReadChunk + 1];
    std::uint32_t count = 0;
    serialPort_.Read(buffer, kReadChunk, &count, nullptr, INFINITE);
    LogRx(buffer, count);
    if (!backoff_.answered()) NoteAnswers(buffer, count);
    if (rxByteHandler_)
      for (std::uint32_t i = 0; i < count; ++i) rxByteHandler_(buffer[i]);
    read = true;
  }
  if (((param1 >> 16) & kLineErrorDeviceLost) && portOpen_ == 1) {
    const bool bridge = serialPort_.IsNetworkLine();
    const QString reason =
        bridge ? QStringLiteral("%1 is gone: %2.")
                     .arg(QString::fromStdString(openDevice_),
                          QString::fromStdString(DescribeLineLoss(serialPort_.LostCause())))
               : QStringLiteral("%1 is gone: the device was unplugged or stopped answering.")
                     .arg(QString::fromStdString(openDevice_));
    if (settings_.expertMode) AddTrafficLine(rxList_, txList_, reason.toStdString());
    // Only a sound link starts the retries' steps afresh: a bridge that
    // takes the connection and drops it at once is not tried every second.
    backoff_.LinkLost(ReconnectBackoff::Clock::now());
    const bool told = !std::exchange(reopenUntold_, false);
    CloseLink(reason);
    if (told) emit linkLost(reason);
    if (settings_.autoReopen && bridge) {
      StartRetrying(openDevice_);
      SetStatusTip(reason +
                              QStringLiteral(" Trying again in %1 s.").arg(Seconds(nextRetryMs_)));
    } else if (settings_.autoReopen) {
      StartWatch(openDevice_);
      SetStatusTip(reason + QStringLiteral(" Waiting for it to come back."));
    }
    SetLinkState(LinkState::Lost);
  }
  return read;
}

void CPortControlDlg::NoteAnswers(const std::uint8_t* bytes, std::uint32_t count) {
  for (std::uint32_t i = 0; i < count; ++i) {
    if (!answers_.Push(bytes[i])) continue;
    backoff_.AnswerCarried();
    if (std::exchange(reopenUntold_, false)) emit linkReopened();
    return;
  }
}

bool CPortControlDlg::event(QEvent* event) {
  if (event->type() == CDialogComLine::NotifyEventType()) {
    // One still queued from an earlier open (the line was lost, or closed,
    // and opened again before it was delivered) is not about this link: a
    // loss of the old line must not close the new one.
    const auto* notify = static_cast<CComLineNotifyEvent*>(event);
    // While a connect finishes its set-up the helper owns the port: the
    // events wait until the link is up (input left unread is not reported
    // again, so none may be dropped).
    if (connecting_) deferredNotify_ |= notify->Param1();
    else if (notify->OpenNumber() == serialPort_.OpenNumber()) OnSerialNotify(notify->Param1());
    return true;
  }
  if (event->type() == ConnectDoneEvent::Type()) {
    FinishConnect(static_cast<ConnectDoneEvent*>(event)->attempt);
    return true;
  }
  return QDialog::event(event);
}

// The watch sleeps on inotify and wakes when something changes in the
// folder of the device's path (or of the device it led to); a look once a
// second covers folders that tell nothing, such as some device folders.
void CPortControlDlg::StartWatch(const std::string& device) {
  StopWatch();
  if (device.empty() || !device.starts_with('/')) return;
  watch_ = std::make_unique<DeviceWatch>(device);
  if (watch_->fd() >= 0) {
    watchNotifier_ = new QSocketNotifier(watch_->fd(), QSocketNotifier::Read, this);
    connect(watchNotifier_, &QSocketNotifier::activated, this, &CPortControlDlg::OnWatchWake);
  }
  watchTimer_.setInterval(kWatchLookMs);
  watchTimer_.disconnect();
  connect(&watchTimer_, &QTimer::timeout, this, &CPortControlDlg::OnWatchWake);
  watchTimer_.start();
}

void CPortControlDlg::StopWatch() {
  watchTimer_.stop();
  delete watchNotifier_;
  watchNotifier_ = nullptr;
  const bool watching = watch_ != nullptr;
  watch_.reset();
  if (watching) emit linkStateChanged();
}

void CPortControlDlg::OnWatchWake() {
  if (!watch_ || !watch_->Check() || portOpen_ == 1) return;
  const std::string device = watch_->path();
  // Back but not to be had (busy, no permission): the reason shows and the
  // watch goes on.
  if (const std::int32_t result = OpenLink(device); result != 0) {
    SayOpenFailure(result, device, false);
    return;
  }
  const QString said = QStringLiteral("%1 came back: the port was reopened.")
                           .arg(QString::fromStdString(device));
  SetStatusTip(said);
  if (settings_.expertMode) AddTrafficLine(rxList_, txList_, said.toStdString());
  emit linkChanged(true, {});
  emit linkReopened();
}

// The helper thread opens the port and sets the line (an RFC 2217 bridge
// answers each setting), then hands the outcome back as a posted event.
void CPortControlDlg::BeginConnect(const std::string& device, OpenPurpose purpose) {
  if (connecting_) {
    // The same bridge asked for again: the connect under way serves; one
    // broken off is followed by a new one.
    if (device == connectDevice_ && purpose == OpenPurpose::Click) {
      openWhenFree_ = connectCancelled_;
      if (!connectCancelled_) connectPurpose_ = purpose;
    }
    return;
  }
  // An open asked for by the user or the start-up tries again from the
  // first step.
  if (purpose != OpenPurpose::Retry) backoff_ = ReconnectBackoff(reconnectFirstStepMs_);
  connecting_ = true;
  connectCancelled_ = false;
  connectDevice_ = device;
  connectPurpose_ = purpose;
  deferredNotify_ = 0;
  const std::uint32_t attempt = ++connectAttempt_;
  if (purpose != OpenPurpose::Retry) {
    SetStatusTip(QStringLiteral("Connecting to %1 ...").arg(QString::fromStdString(device)));
    SetLinkState(LinkState::Connecting);
  }
  const std::uint32_t baud = BaudForIndex(speedList_->currentIndex());
  std::promise<std::int32_t> outcome;
  connectOutcome_ = outcome.get_future();
  if (connector_.joinable()) connector_.join();
  connector_ = std::thread([this, device, baud, attempt, outcome = std::move(outcome)]() mutable {
    std::int32_t result = serialPort_.Open(device, this, 0, 0, 0, 0);
    if (result == 0) {
      serialPort_.Configure(baud, 8, kParityNone, kStopBitsOne);
      serialPort_.SetFlowControl(kFlowOff);
    }
    outcome.set_value(result);
    QCoreApplication::postEvent(this, new ConnectDoneEvent(attempt));
  });
  if (connectOutcome_.wait_for(kConnectGrace) == std::future_status::ready) FinishConnect(attempt);
}

void CPortControlDlg::BreakOffConnect() {
  connectCancelled_ = true;
  serialPort_.BreakOffNetworkWaits();
}

void CPortControlDlg::FinishConnect(std::uint32_t attempt) {
  // An event of a connect already finished (at once, within the grace) is
  // not about this one.
  if (!connecting_ || attempt != connectAttempt_) return;
  const std::int32_t result = connectOutcome_.get();
  connector_.join();
  connecting_ = false;
  const std::uint32_t deferred = std::exchange(deferredNotify_, 0);
  const bool openNext = std::exchange(openWhenFree_, false);
  if (connectCancelled_) {
    serialPort_.Close();
  } else {
    OnConnectOutcome(result, connectDevice_, connectPurpose_);
    if (result == 0 && deferred != 0) OnSerialNotify(deferred);
  }
  if (openNext) OnOpenPort();
}

void CPortControlDlg::OnConnectOutcome(std::int32_t result, const std::string& device,
                                       OpenPurpose purpose) {
  if (result == 0) {
    ShowOpenedLink(device);
    // Where the link goes and whether the bridge sets the line, or keeps its
    // own settings because it refused the COM port option.
    const std::string note = serialPort_.NetworkNote();
    if (settings_.expertMode && !note.empty()) AddTrafficLine(rxList_, txList_, note);
    emit linkChanged(true, {});
    if (purpose == OpenPurpose::Retry) {
      const QString said = QStringLiteral("%1 answered again: the port was reopened.")
                               .arg(QString::fromStdString(device));
      SetStatusTip(said);
      if (settings_.expertMode) AddTrafficLine(rxList_, txList_, said.toStdString());
      reopenUntold_ = true;  // told once the mower answers through it
    }
    return;
  }
  switch (purpose) {
    case OpenPurpose::Click:
      // A click that took over a retry's connect leaves the retrying going.
      if (retrying_ && !retryTimer_.isActive()) ScheduleRetry();
      if (!retrying_) {
        SetStatusTip(QString());  // no longer "Connecting to ..."
        SetLinkState(LinkState::Closed);
      }
      SayOpenFailure(result, device, true);
      break;
    case OpenPurpose::Start:
      if (IsBridgeUnreachable(result)) {
        StartRetrying(device);
        SayOpenFailure(result, device, false);
        SetLinkState(LinkState::Absent);
      } else {
        SetLinkState(LinkState::Closed);
        SayOpenFailure(result, device, true);
      }
      break;
    case OpenPurpose::Retry:
      if (!retrying_) break;  // closed meanwhile
      ScheduleRetry();
      SayOpenFailure(result, device, false);
      break;
  }
}

void CPortControlDlg::StartRetrying(const std::string& device) {
  retryDevice_ = device;
  retrying_ = true;
  ScheduleRetry();
  emit linkStateChanged();
}

void CPortControlDlg::ScheduleRetry() {
  nextRetryMs_ = backoff_.NextDelayMs();
  retryTimer_.start(nextRetryMs_);
}

void CPortControlDlg::StopRetrying() {
  retryTimer_.stop();
  const bool was = std::exchange(retrying_, false);
  if (was) emit linkStateChanged();
}

void CPortControlDlg::OnRetryTimer() {
  if (!retrying_) return;
  if (portOpen_ == 1) {
    StopRetrying();
    return;
  }
  if (connecting_) {  // a click's connect is under way: look again later
    ScheduleRetry();
    return;
  }
  BeginConnect(retryDevice_, OpenPurpose::Retry);
}

}  // namespace verdelo
