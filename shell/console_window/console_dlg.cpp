#include "shell/console_window/console_dlg.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPushButton>
#include <QThread>

#include <iostream>

#include "console/config_file.h"
#include "res/app_icon.h"
#include "res/dialog_template.h"
#include "shell/console_window/about_dlg.h"
#include "shell/console_window/key_translation.h"
#include "shell/telemetry/telemetry_bridge.h"
#include "shell/command_line/window_keys.h"
#include "widgets/clickable_label.h"
#include "widgets/paint_pacer.h"
#include "widgets/template_window.h"

namespace verdelo {

CKelvoPCDlg::CKelvoPCDlg(const ConsolePaths& paths)
    : QDialog(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      configFile_(paths.configFile),
      dataLog_(paths.workDir / MowerConsole::kDataLogName),
      launcher_(paths.workDir),
      portDialog_(clock_, paths.configFile),
      console_(ConsoleHost{controls_, *this, *this, launcher_, portDialog_, clock_, *this,
                           paths.workDir, paths.configFile}) {
  BuildWindow();
  ConnectNotifications();
  qApp->installEventFilter(this);
  // A flooded line changes the values far more often than a screen shows.
  new PaintPacer(this);
  new PaintPacer(&portDialog_);
  // The link's state shows in the title; a lost and a reopened link are
  // lines of the data log.
  connect(&portDialog_, &CPortControlDlg::linkStateChanged, this, [this] {
    linkState_ = portDialog_.LinkStateText();
    UpdateTitle();
  });
  connect(&portDialog_, &CPortControlDlg::linkLost, this,
          [this](const QString& reason) { console_.OnLinkLost(reason.toStdString()); });
  connect(&portDialog_, &CPortControlDlg::linkReopened, this, [this] { console_.OnLinkReopened(); });
  console_.AddValueObserver(&liveTrendsInput_);
  console_.AddLogEventObserver(&liveTrendsInput_);
}

CTrendsWindow& CKelvoPCDlg::trends() {
  if (trends_ == nullptr) {
    trends_ = new CTrendsWindow(this, dataLog_, liveTrends_);
    new PaintPacer(trends_);
    trends_->SetMinimumVoltageSource([this] { return console_.values().minVoltage; });
  }
  return *trends_;
}

CKelvoPCDlg::~CKelvoPCDlg() {
  // The telemetry says goodbye to the broker while the console still stands.
  telemetry_.reset();
  qApp->removeEventFilter(this);
}

void CKelvoPCDlg::BuildWindow() {
  const DialogTemplate& dialog = ConsoleWindowTemplate();
  setWindowTitle(QString::fromUtf8(dialog.caption));
  setWindowIcon(AppIcon());
  setFont(DialogFont());
  const DialogUnits units = DialogUnits::ForFont(font());
  controls_.Adopt(BuildTemplateControls(this, dialog, units), dialog);
  setFixedSize(units.X(dialog.width), units.Y(dialog.height));
  move(units.X(dialog.x), units.Y(dialog.y));
}

void CKelvoPCDlg::ConnectNotifications() {
  for (const ControlTemplate& c : ConsoleWindowTemplate().controls) {
    QWidget* widget = controls_.Widget(c.id);
    if (c.id == 1) {
      connect(qobject_cast<QPushButton*>(widget), &QPushButton::clicked, this, &QDialog::accept);
    } else if (auto* label = qobject_cast<ClickableLabel*>(widget)) {
      const int id = c.id;
      connect(label, &ClickableLabel::clicked, this, [this, id] { console_.OnClicked(id); });
      connect(label, &ClickableLabel::doubleClicked, this,
              [this, id] { console_.OnDoubleClicked(id); });
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
      // A check box has toggled itself by the time it reports the click.
      const int id = c.id;
      connect(button, &QAbstractButton::clicked, this, [this, id] { console_.OnClicked(id); });
    }
  }
}

void CKelvoPCDlg::OnInitDialog() {
  // Before the port window opens the port, so the link's first state counts.
  const std::vector<ConfigEntry> config = ReadConfigFile(configFile_);
  telemetry_ = TelemetryBridge::Start(*this, config);
  console_.OnInitDialog();
  if (ReadWindowSettings(config).trendsAtStart) trends().ShowAndRaise();
}

void CKelvoPCDlg::StartTimer(int id, std::uint32_t periodMs) {
  QTimer*& timer = timers_[id];
  if (timer == nullptr) {
    timer = new QTimer(this);
    timer->setTimerType(Qt::PreciseTimer);
    connect(timer, &QTimer::timeout, this, [this, id] { console_.OnTimer(id); });
  }
  timer->start(static_cast<int>(std::min<std::uint32_t>(periodMs, 0x7FFFFFFF)));
}

void CKelvoPCDlg::StopTimer(int id) {
  const auto it = timers_.find(id);
  if (it != timers_.end()) it->second->stop();
}

bool CKelvoPCDlg::IsTimerRunning(int id) const {
  const auto it = timers_.find(id);
  return it != timers_.end() && it->second->isActive();
}

void CKelvoPCDlg::Pause(std::uint32_t ms) { QThread::msleep(ms); }

void CKelvoPCDlg::Beep(std::uint32_t /*hz*/, std::uint32_t ms) { QThread::msleep(ms); }

void CKelvoPCDlg::ShowAboutModal() {
  CAboutDlg about(this);
  about.exec();
}

void CKelvoPCDlg::ShowDataLogTrouble(const std::string& reason) {
  if (reason.empty()) {
    dataLogState_ = QStringLiteral("data log written again");
    std::cerr << "verdelo: the data log is written again" << std::endl;
  } else {
    dataLogState_ = QStringLiteral("data log: ") + QString::fromStdString(reason);
    std::cerr << "verdelo: " << reason << std::endl;
  }
  UpdateTitle();
}

void CKelvoPCDlg::ShowConfigTrouble(const std::string& trouble) {
  const std::string name = configFile_.filename().string();
  configState_ = QString::fromStdString(name + " " + trouble);
  std::cerr << "verdelo: " << configFile_.string() << " " << trouble << std::endl;
  UpdateTitle();
}

void CKelvoPCDlg::UpdateTitle() {
  QString title = QString::fromUtf8(ConsoleWindowTemplate().caption);
  for (const QString& part : {linkState_, dataLogState_, configState_})
    if (!part.isEmpty()) title += QStringLiteral(" \u2014 ") + part;
  setWindowTitle(title);
}

void CKelvoPCDlg::CreatePortWindow() {
  portDialog_.Create(this);
  portDialog_.show();
}

bool CKelvoPCDlg::eventFilter(QObject* watched, QEvent* event) {
  // Keyboard driving sees the keys of this window and its controls before
  // they do, so the arrows drive even with the caret in an edit box.
  if (event->type() == QEvent::KeyPress) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget != nullptr && widget->window() == this) {
      if (const auto code = DrivingKeyCode(*static_cast<QKeyEvent*>(event)))
        if (console_.OnKeyDown(*code)) return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void CKelvoPCDlg::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  menu.addAction(QString::fromUtf8(kAboutMenuText), this, [this] { ShowAboutModal(); });
  menu.addSeparator();
  menu.addAction(QStringLiteral("Show &Port Window"), this, [this] {
    portDialog_.show();
    portDialog_.raise();
    portDialog_.activateWindow();
  });
  menu.addAction(QStringLiteral("Show &Trends"), this, [this] { trends().ShowAndRaise(); });
  menu.exec(event->globalPos());
}

}  // namespace verdelo
