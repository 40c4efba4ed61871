#include "shell/port_window/port_control_dlg.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSocketNotifier>

#include <algorithm>
#include <utility>

#include "console/config_file.h"
#include "res/app_icon.h"
#include "res/port_window_ids.h"
#include "serial/udev_ports.h"
#include "shell/port_window/port_link_button.h"
#include "widgets/template_window.h"
#include "widgets/traffic_list.h"

namespace verdelo {

using namespace port_window;

namespace {

// The longest line each list can be given: a read of 511 bytes, a send of
// the whole send buffer.
constexpr int kLongestRxLine = 16 + 3 * 511;
constexpr int kLongestTxLine = 16 + 3 * static_cast<int>(kMaxSendBytes);

// The port list, which says when it is about to drop down so its entries
// can be brought up to date first.
class PortListBox : public QComboBox {
 public:
  using QComboBox::QComboBox;
  std::function<void()> beforePopup;

  void showPopup() override {
    if (beforePopup) beforePopup();
    QComboBox::showPopup();
  }
};

const QColor kAvailable(0, 255, 0);
const QColor kUnavailable(255, 0, 0);

// Every colour button of the window is a LinkButton (see Create).
void SetFaceColor(CStateColorButton* button, const QColor& color) {
  static_cast<LinkButton*>(button)->SetFace(color);
}

}  // namespace

CPortControlDlg::CPortControlDlg(IWallClock& clock, std::filesystem::path configFile)
    : clock_(clock), configFile_(std::move(configFile)) {
  linkHost_.Attach(&link_);
}

CPortControlDlg::~CPortControlDlg() = default;

std::string CPortControlDlg::SelectedDevice() const {
  const int index = portList_->currentIndex();
  return index >= 0 && index < static_cast<int>(slots_.size()) ? slots_[index].path : std::string();
}

QString CPortControlDlg::TypedDevice() const {
  const QString typed = portList_->lineEdit()->text().trimmed();
  return IsTypedDevice(typed.toStdString()) ? typed : QString();
}

QString CPortControlDlg::PortName() const {
  const QString typed = TypedDevice();
  return typed.isEmpty() ? QStringLiteral("COM%1").arg(std::max(portList_->currentIndex(), 0) + 1) : typed;
}

QString CPortControlDlg::LinkStateText() const {
  return PortName() + QStringLiteral(" ") + QString::fromStdString(link_.StateWords());
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

void CPortControlDlg::ShowLinkState(bool open) {
  SetFaceColor(openButton_, open ? kUnavailable : kAvailable);
  SetFaceColor(closeButton_, open ? kAvailable : kUnavailable);
  statusText_->setText(open ? QStringLiteral("PORT OPENED") : QStringLiteral("PORT CLOSED"));
}

void CPortControlDlg::OnOpenPort() {
  const QString typed = TypedDevice();
  const std::string device = typed.isEmpty() ? SelectedDevice() : typed.toStdString();
  link_.Open(device, BaudForIndex(speedList_->currentIndex()));
}

void CPortControlDlg::OnClosePort() { link_.Close(); }

void CPortControlDlg::Opened() {
  ShowLinkState(true);
  emit linkChanged(true, {});
}

void CPortControlDlg::Closed(const std::string& reason) {
  ShowLinkState(false);
  const QString said = QString::fromStdString(reason);
  SetStatusTip(said);
  emit linkChanged(false, said);
}

void CPortControlDlg::Failed(const std::string& reason, bool inBox) {
  if (inBox) {
    QMessageBox box(QMessageBox::Critical, windowTitle(), QStringLiteral("COM-port NOK"),
                    QMessageBox::Ok, this);
    box.setInformativeText(QString::fromStdString(reason));
    box.exec();
    return;
  }
  statusText_->setText(QStringLiteral("COM-port NOK"));
  SetStatusTip(QString::fromStdString(reason));
}

void CPortControlDlg::Note(const std::string& line) {
  if (settings_.expertMode) AddTrafficLine(rxList_, txList_, line);
}

void CPortControlDlg::Received(const std::uint8_t* bytes, std::uint32_t count) {
  LogRx(bytes, count);
  if (rxByteHandler_)
    for (std::uint32_t i = 0; i < count; ++i) rxByteHandler_(bytes[i]);
}

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
  controls_ = BuildTemplateControls(
      this, dialog, units, [](const ControlTemplate& c, QWidget* parent) -> QWidget* {
        if (c.kind == ControlKind::ColorButton) {
          auto* button = new LinkButton(QString::fromUtf8(c.caption), parent);
          button->setDefault(true);
          return button;
        }
        if (c.id == IDC_RX_LIST) return new TrafficList(kLongestRxLine, parent);
        if (c.id == IDC_TX_LIST) return new TrafficList(kLongestTxLine, parent);
        if (c.id == IDC_PORT_LIST) {
          auto* box = new PortListBox(parent);
          box->setEditable(true);
          return box;
        }
        return nullptr;
      });
  setFixedSize(units.X(dialog.width), units.Y(dialog.height));
  move(units.X(dialog.x), units.Y(dialog.y));

  rxList_ = qobject_cast<TrafficList*>(Control(IDC_RX_LIST));
  txList_ = qobject_cast<TrafficList*>(Control(IDC_TX_LIST));
  portList_ = qobject_cast<QComboBox*>(Control(IDC_PORT_LIST));
  speedList_ = qobject_cast<QComboBox*>(Control(IDC_SPEED_LIST));
  openButton_ = qobject_cast<CStateColorButton*>(Control(IDC_OPEN));
  closeButton_ = qobject_cast<CStateColorButton*>(Control(IDC_CLOSE));
  statusText_ = qobject_cast<QLabel*>(Control(IDC_STATUS));
  if (!telemetryNote_.isEmpty()) SetStatusTip(linkTip_);
  sendText_ = qobject_cast<QLineEdit*>(Control(IDC_SEND_TEXT));
  sendButton_ = qobject_cast<QPushButton*>(Control(IDC_SEND));

  connect(qobject_cast<QPushButton*>(Control(IDC_OK)), &QPushButton::clicked, this, &QDialog::hide);
  connect(qobject_cast<QPushButton*>(Control(IDC_CANCEL)), &QPushButton::clicked, this,
          &QDialog::hide);
  connect(openButton_, &QPushButton::clicked, this, &CPortControlDlg::OnOpenPort);
  connect(closeButton_, &QPushButton::clicked, this, &CPortControlDlg::OnClosePort);
  connect(sendButton_, &QPushButton::clicked, this, &CPortControlDlg::OnSendText);
  connect(qobject_cast<QPushButton*>(Control(IDC_CLEAR_RX)), &QPushButton::clicked, rxList_,
          &TrafficList::Clear);
  connect(qobject_cast<QPushButton*>(Control(IDC_CLEAR_TX)), &QPushButton::clicked, txList_,
          &TrafficList::Clear);

  // Typed text never becomes an entry: only the selected index counts,
  // unless the text names a device, which Enter opens as typed.
  portList_->setInsertPolicy(QComboBox::NoInsert);
  portList_->lineEdit()->installEventFilter(this);
  static_cast<PortListBox*>(portList_)->beforePopup = [this] { RefreshPortList(); };
  portMonitor_ = std::make_unique<SerialPortMonitor>();
  if (portMonitor_->fd() >= 0) {
    portNotifier_ = new QSocketNotifier(portMonitor_->fd(), QSocketNotifier::Read, this);
    connect(portNotifier_, &QSocketNotifier::activated, this, [this] {
      if (portMonitor_->TakeChanges()) RefreshPortList();
    });
  }

  OnInitDialog();

  // A new choice of port or speed always closes the link; the user opens it
  // again. Connected after start-up so the start-up selection does not.
  connect(portList_, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] {
    portList_->lineEdit()->setCursorPosition(0);
    OnClosePort();
  });
  connect(speedList_, qOverload<int>(&QComboBox::currentIndexChanged), this,
          [this] { OnClosePort(); });

  link_.SetAutoReopen(settings_.autoReopen);
  if (settings_.autoOpen)
    link_.OpenAtStart(SelectedDevice(), BaudForIndex(speedList_->currentIndex()));
}

bool CPortControlDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == portList_->lineEdit() && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !TypedDevice().isEmpty()) {
      OnOpenPort();
      return true;  // not also the window's default button
    }
  }
  return QDialog::eventFilter(watched, event);
}

void CPortControlDlg::FillPortList() {
  slots_ = AssignSlots(settings_.devices, DiscoverSerialPorts(), kPortCount);
  for (const PortSlot& slot : slots_) portList_->addItem(QString::fromStdString(PortEntryText(slot)));
  for (std::uint32_t baud : kSpeeds) speedList_->addItem(QString::number(baud));
  FitPortListPopup();
}

void CPortControlDlg::RefreshPortList() {
  slots_ = AssignSlots(settings_.devices, DiscoverSerialPorts(), kPortCount);
  // New texts for the same entries: the selection, and so the link, stay;
  // text the user is typing stays too.
  QLineEdit* edit = portList_->lineEdit();
  const bool typing = edit->isModified();
  const QString typed = edit->text();
  const QSignalBlocker quiet(portList_);
  for (std::size_t i = 0; i < slots_.size(); ++i)
    portList_->setItemText(static_cast<int>(i), QString::fromStdString(PortEntryText(slots_[i])));
  if (typing) {
    edit->setText(typed);
    edit->setModified(true);
  }
  FitPortListPopup();
}

// Closed, the list may cut its entry short; dropped down, every entry shows
// whole.
void CPortControlDlg::FitPortListPopup() {
  const QFontMetrics metrics(portList_->view()->font());
  int widest = 0;
  for (int i = 0; i < portList_->count(); ++i)
    widest = std::max(widest, metrics.horizontalAdvance(portList_->itemText(i)));
  portList_->view()->setMinimumWidth(widest + 4 * metrics.averageCharWidth());
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
  ShowLinkState(false);
  sendText_->setText(QStringLiteral("0F36B10000"));
}

void CPortControlDlg::OnSendText() {
  if (!link_.IsOpen()) return;
  const SendText parsed = ParseSendText(sendText_->text().toStdString());
  if (!parsed.error.empty()) {
    QMessageBox::warning(this, windowTitle(), QString::fromStdString(parsed.error));
    return;
  }
  link_.Write(parsed.bytes.data(), static_cast<std::uint32_t>(parsed.bytes.size()));
  LogTx(parsed.bytes.data(), static_cast<std::uint32_t>(parsed.bytes.size()));
}

void CPortControlDlg::Write(const std::uint8_t* data, std::uint32_t length) {
  link_.Write(data, length);
}

void CPortControlDlg::AddTrafficLine(TrafficList* own, TrafficList* other, const std::string& line) {
  own->AddLine(QString::fromStdString(line));
  if (own->count() == kTrafficListLimit) {
    own->Clear();
    other->Clear();
  }
}

void CPortControlDlg::LogTx(const std::uint8_t* data, std::uint32_t length) {
  if (!settings_.expertMode) return;
  AddTrafficLine(txList_, rxList_, FormatTrafficLine("TX", clock_.Now(), data, length));
}

void CPortControlDlg::LogRx(const std::uint8_t* data, std::uint32_t length) {
  if (!settings_.expertMode) return;
  AddTrafficLine(rxList_, txList_, FormatTrafficLine("RX", clock_.Now(), data, length));
}

}  // namespace verdelo
