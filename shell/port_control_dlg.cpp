#include "shell/port_control_dlg.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>

#include "console/config_file.h"
#include "res/app_icon.h"
#include "serial/com_types.h"
#include "widgets/state_color_button.h"
#include "widgets/template_window.h"

namespace verdelo {

namespace {

const QColor kAvailable(0, 255, 0);
const QColor kUnavailable(255, 0, 0);
constexpr std::uint32_t kReadChunk = 511;

enum PortControlId : int {
  IDC_RX_LIST = 1000, IDC_CLEAR_RX = 1001, IDC_TX_LIST = 1002, IDC_CLEAR_TX = 1003,
  IDC_PORT_LIST = 1004, IDC_SPEED_LIST = 1005, IDC_STATUS = 1006, IDC_SEND_TEXT = 1007,
  IDC_OPEN = 3, IDC_SEND = 4, IDC_CLOSE = 5,
};

// The Open and Close buttons. A colour button drops the colours set on it
// whenever the system colours change (its own palette, the application's
// or the theme), so each of these keeps the face the window gave it and puts
// it back right after: the link's green and red survive a palette change.
class LinkButton : public CStateColorButton {
 public:
  using CStateColorButton::CStateColorButton;

  void SetFace(const QColor& color) {
    face_ = color;
    ApplyFace();
  }

 protected:
  void changeEvent(QEvent* event) override {
    CStateColorButton::changeEvent(event);
    switch (event->type()) {
      case QEvent::PaletteChange:
      case QEvent::ApplicationPaletteChange:
      case QEvent::ThemeChange:
        if (face_.isValid()) ApplyFace();
        break;
      default:
        break;
    }
  }

 private:
  void ApplyFace() {
    SetStateColor(kNormalFace, face_);
    SetStateColor(kFocusFace, face_);
  }

  QColor face_;
};

// Every colour button of the window is a LinkButton (see Create).
void SetFaceColor(CStateColorButton* button, const QColor& color) {
  static_cast<LinkButton*>(button)->SetFace(color);
}

}  // namespace

CPortControlDlg::CPortControlDlg(IWallClock& clock, std::filesystem::path configFile)
    : clock_(clock), configFile_(std::move(configFile)) {}

CPortControlDlg::~CPortControlDlg() { serialPort_.Close(); }

QWidget* CPortControlDlg::Control(int id) const {
  const auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

void CPortControlDlg::Create(QWidget* owner) {
  setParent(owner, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                       Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  const DialogTemplate& dialog = PortWindowTemplate();
  setWindowTitle(QString::fromUtf8(dialog.caption));
  setWindowIcon(AppIcon());
  setFont(DialogFont());
  const DialogUnits units = DialogUnits::ForFont(font());
  controls_ = BuildTemplateControls(this, dialog, units,
                                    [](const ControlTemplate& c, QWidget* parent) -> QWidget* {
                                      if (c.kind != ControlKind::ColorButton) return nullptr;
                                      auto* button = new LinkButton(QString::fromUtf8(c.caption), parent);
                                      button->setDefault(true);
                                      return button;
                                    });
  setFixedSize(units.X(dialog.width), units.Y(dialog.height));
  move(units.X(dialog.x), units.Y(dialog.y));

  rxList_ = qobject_cast<QListWidget*>(Control(IDC_RX_LIST));
  txList_ = qobject_cast<QListWidget*>(Control(IDC_TX_LIST));
  // Every traffic line is one line of the same font. Said so, the list
  // measures one line instead of all it holds each time a new line is
  // scrolled into view, which made each logged frame cost milliseconds.
  for (QListWidget* list : {rxList_, txList_}) list->setUniformItemSizes(true);
  portList_ = qobject_cast<QComboBox*>(Control(IDC_PORT_LIST));
  speedList_ = qobject_cast<QComboBox*>(Control(IDC_SPEED_LIST));
  openButton_ = qobject_cast<CStateColorButton*>(Control(IDC_OPEN));
  closeButton_ = qobject_cast<CStateColorButton*>(Control(IDC_CLOSE));
  statusText_ = qobject_cast<QLabel*>(Control(IDC_STATUS));
  sendText_ = qobject_cast<QLineEdit*>(Control(IDC_SEND_TEXT));
  sendButton_ = qobject_cast<QPushButton*>(Control(IDC_SEND));

  connect(qobject_cast<QPushButton*>(Control(1)), &QPushButton::clicked, this, &QDialog::hide);
  connect(qobject_cast<QPushButton*>(Control(2)), &QPushButton::clicked, this, &QDialog::hide);
  connect(openButton_, &QPushButton::clicked, this, &CPortControlDlg::OnOpenPort);
  connect(closeButton_, &QPushButton::clicked, this, &CPortControlDlg::OnClosePort);
  connect(sendButton_, &QPushButton::clicked, this, &CPortControlDlg::OnSendText);
  connect(qobject_cast<QPushButton*>(Control(IDC_CLEAR_RX)), &QPushButton::clicked, rxList_,
          &QListWidget::clear);
  connect(qobject_cast<QPushButton*>(Control(IDC_CLEAR_TX)), &QPushButton::clicked, txList_,
          &QListWidget::clear);

  OnInitDialog();

  // A new choice of port or speed always closes the link; the user opens it
  // again. Connected after start-up so the start-up selection does not.
  connect(portList_, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] {
    portList_->lineEdit()->setCursorPosition(0);
    OnClosePort();
  });
  connect(speedList_, qOverload<int>(&QComboBox::currentIndexChanged), this,
          [this] { OnClosePort(); });

  if (settings_.autoOpen) OnOpenPort();
}

void CPortControlDlg::FillPortList() {
  for (int i = 0; i < kPortCount; ++i) {
    const std::string name = PortNameForIndex(i);
    const std::string device = ResolvePortDevice(name, settings_.devices);
    portList_->addItem(QStringLiteral("COM%1  %2").arg(i + 1).arg(QString::fromStdString(device)));
  }
  for (std::uint32_t baud : kSpeeds) speedList_->addItem(QString::number(baud));
}

void CPortControlDlg::OnInitDialog() {
  settings_ = ReadPortWindowSettings(ReadConfigFile(configFile_));
  FillPortList();
  portList_->setCurrentIndex(settings_.portIndex);
  speedList_->setCurrentIndex(settings_.speedIndex);
  // The port's name first: the device beside it may not fit the box.
  portList_->lineEdit()->setCursorPosition(0);
  if (settings_.expertMode) {
    sendButton_->setEnabled(true);
    sendText_->setEnabled(true);
  }
  openButton_->SetFlatLook(false);
  closeButton_->SetFlatLook(false);
  SetFaceColor(openButton_, kAvailable);
  SetFaceColor(closeButton_, kUnavailable);
  statusText_->setText(QStringLiteral("PORT CLOSED"));
  sendText_->setText(QStringLiteral("0F36B10000"));
  portOpen_ = 0;
}

std::string CPortControlDlg::SelectedDevice() const {
  return ResolvePortDevice(PortNameForIndex(portList_->currentIndex()), settings_.devices);
}

void CPortControlDlg::ShowLinkState(bool open) {
  SetFaceColor(openButton_, open ? kUnavailable : kAvailable);
  SetFaceColor(closeButton_, open ? kAvailable : kUnavailable);
  statusText_->setText(open ? QStringLiteral("PORT OPENED") : QStringLiteral("PORT CLOSED"));
  portOpen_ = open ? 1 : 0;
}

void CPortControlDlg::OnOpenPort() {
  const std::string device = SelectedDevice();
  const std::int32_t result = serialPort_.Open(device, this, 0, 0, 0, 0);
  if (result != 0) {
    QMessageBox box(QMessageBox::Critical, windowTitle(), QStringLiteral("COM-port NOK"),
                    QMessageBox::Ok, this);
    box.setInformativeText(QString::fromStdString(DescribeOpenFailure(result, device)));
    box.exec();
    return;
  }
  serialPort_.Configure(BaudForIndex(speedList_->currentIndex()), 8, kParityNone, kStopBitsOne);
  serialPort_.SetFlowControl(kFlowOff);
  serialPort_.StartListening();
  statusText_->setToolTip(QString::fromStdString(device));
  ShowLinkState(true);
  emit linkChanged(true, {});
}

void CPortControlDlg::OnClosePort() { CloseLink({}); }

void CPortControlDlg::CloseLink(const QString& reason) {
  serialPort_.Close();
  ShowLinkState(false);
  statusText_->setToolTip(reason);
  emit linkChanged(false, reason);
}

void CPortControlDlg::OnSendText() {
  if (portOpen_ != 1) return;
  const SendText parsed = ParseSendText(sendText_->text().toStdString());
  if (!parsed.error.empty()) {
    QMessageBox::warning(this, windowTitle(), QString::fromStdString(parsed.error));
    return;
  }
  serialPort_.Write(parsed.bytes.data(), static_cast<std::uint32_t>(parsed.bytes.size()), nullptr,
                    nullptr, INFINITE);
  LogTx(parsed.bytes.data(), static_cast<std::uint32_t>(parsed.bytes.size()));
}

void CPortControlDlg::Write(const std::uint8_t* data, std::uint32_t length) {
  serialPort_.Write(data, length, nullptr, nullptr, INFINITE);
}

void CPortControlDlg::AddTrafficLine(QListWidget* own, QListWidget* other, const std::string& line) {
  own->addItem(QString::fromStdString(line));
  if (own->count() == kTrafficListLimit) {
    own->clear();
    other->clear();
    return;
  }
  own->scrollToBottom();
}

void CPortControlDlg::LogTx(const std::uint8_t* data, std::uint32_t length) {
  if (!settings_.expertMode) return;
  AddTrafficLine(txList_, rxList_, FormatTrafficLine("TX", clock_.Now(), data, length));
}

void CPortControlDlg::LogRx(const std::uint8_t* data, std::uint32_t length) {
  if (!settings_.expertMode) return;
  AddTrafficLine(rxList_, txList_, FormatTrafficLine("RX", clock_.Now(), data, length));
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
            .arg(QString::fromStdString(SelectedDevice()));
    if (settings_.expertMode) AddTrafficLine(rxList_, txList_, reason.toStdString());
    CloseLink(reason);
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

}  // namespace verdelo
