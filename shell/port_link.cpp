// The port window's link: opening and closing, the notifications of the
// line, and the watch that reopens a lost device when it comes back.
#include <QLabel>
#include <QLineEdit>
#include <QComboBox>
#include <QMessageBox>
#include <QSocketNotifier>

#include "serial/com_types.h"
#include "serial/device_watch.h"
#include "shell/port_control_dlg.h"
#include "shell/port_link_button.h"
#include "widgets/traffic_list.h"

namespace verdelo {

namespace {

constexpr std::uint32_t kReadChunk = 511;
// The watch looks for itself this often, should the folder say nothing.
constexpr int kWatchLookMs = 1000;

const QColor kAvailable(0, 255, 0);
const QColor kUnavailable(255, 0, 0);

// Every colour button of the window is a LinkButton (see Create).
void SetFaceColor(CStateColorButton* button, const QColor& color) {
  static_cast<LinkButton*>(button)->SetFace(color);
}

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
    case LinkState::Lost:
      return PortName() + (watch_ ? QStringLiteral(" lost: device gone, waiting")
                                  : QStringLiteral(" lost: device gone"));
    case LinkState::Absent:
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
  if (const std::int32_t result = OpenLink(device); result != 0) {
    SayOpenFailure(result, device, true);
    return;
  }
  emit linkChanged(true, {});
}

void CPortControlDlg::SayOpenFailure(std::int32_t result, const std::string& device, bool inBox) {
  const QString reason = QString::fromStdString(DescribeOpenFailure(result, device));
  if (inBox) {
    QMessageBox box(QMessageBox::Critical, windowTitle(), QStringLiteral("COM-port NOK"),
                    QMessageBox::Ok, this);
    box.setInformativeText(reason);
    box.exec();
    return;
  }
  statusText_->setText(QStringLiteral("COM-port NOK"));
  SetStatusTip(reason + (watch_ ? QStringLiteral(" Waiting for the device.") : QString()));
}

std::int32_t CPortControlDlg::OpenLink(const std::string& device) {
  if (const std::int32_t result = serialPort_.Open(device, this, 0, 0, 0, 0); result != 0)
    return result;
  serialPort_.Configure(BaudForIndex(speedList_->currentIndex()), 8, kParityNone, kStopBitsOne);
  serialPort_.SetFlowControl(kFlowOff);
  serialPort_.StartListening();
  StopWatch();
  openDevice_ = device;
  SetStatusTip(QString::fromStdString(device));
  ShowLinkState(true);
  SetLinkState(LinkState::Open);
  return 0;
}

void CPortControlDlg::OnClosePort() {
  StopWatch();
  CloseLink({});
  SetLinkState(LinkState::Closed);
}

void CPortControlDlg::CloseLink(const QString& reason) {
  serialPort_.Close();
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
    if (rxByteHandler_)
      for (std::uint32_t i = 0; i < count; ++i) rxByteHandler_(buffer[i]);
    read = true;
  }
  if (((param1 >> 16) & kLineErrorDeviceLost) && portOpen_ == 1) {
    const QString reason =
        QStringLiteral("%1 is gone: the device was unplugged or stopped answering.")
            .arg(QString::fromStdString(openDevice_));
    if (settings_.expertMode) AddTrafficLine(rxList_, txList_, reason.toStdString());
    CloseLink(reason);
    emit linkLost(reason);
    if (settings_.autoReopen) {
      StartWatch(openDevice_);
      SetStatusTip(reason + QStringLiteral(" Waiting for it to come back."));
    }
    SetLinkState(LinkState::Lost);
  }
  return read;
}

bool CPortControlDlg::event(QEvent* event) {
  if (event->type() == CDialogComLine::NotifyEventType()) {
    // One still queued from an earlier open (the line was lost, or closed,
    // and opened again before it was delivered) is not about this link: a
    // loss of the old line must not close the new one.
    const auto* notify = static_cast<CComLineNotifyEvent*>(event);
    if (notify->OpenNumber() == serialPort_.OpenNumber()) OnSerialNotify(notify->Param1());
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

}  // namespace verdelo
