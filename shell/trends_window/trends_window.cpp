#include "shell/trends_window/trends_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QSettings>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>

#include "console/mower_values.h"

namespace verdelo {

namespace {

constexpr qint64 kHour = 3'600'000;
constexpr qint64 kDay = 24 * kHour;
constexpr qint64 kWeek = 7 * kDay;

const QString kOrganization = QStringLiteral("Verdelo");
const QString kApplication = QStringLiteral("Verdelo");

QString NameOf(trends::SeriesId id) {
  const auto name = trends::Info(id).name;
  return QString::fromUtf8(name.data(), static_cast<int>(name.size()));
}

QString FromPath(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }

}  // namespace

CTrendsWindow::CTrendsWindow(QWidget* parent, std::filesystem::path consoleLog, trends::SeriesStore& live)
    : QWidget(parent, Qt::Window), consoleLog_(std::move(consoleLog)), liveStore_(live) {
  setWindowTitle(QStringLiteral("Trends"));
  setFocusPolicy(Qt::StrongFocus);
  resize(900, 860);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 0, 6, 4);
  layout->setSpacing(4);
  charts_ = new TrendsCharts(this);
  BuildMenus();
  layout->addWidget(BuildRangeButtons());
  readout_ = new QLabel(this);
  readout_->setWordWrap(true);
  readout_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(readout_);
  layout->addWidget(charts_, 1);

  auto* statusRow = new QHBoxLayout;
  sourceLabel_ = new QLabel(this);
  skippedLabel_ = new QLabel(this);
  exportLabel_ = new QLabel(this);
  progress_ = new QProgressBar(this);
  progress_->setRange(0, 1000);
  progress_->setMaximumWidth(220);
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  statusRow->addWidget(sourceLabel_, 1);
  statusRow->addWidget(skippedLabel_);
  statusRow->addWidget(exportLabel_);
  statusRow->addWidget(progress_);
  statusRow->addWidget(cancel_);
  layout->addLayout(statusRow);
  progress_->hide();
  cancel_->hide();
  connect(cancel_, &QPushButton::clicked, this, [this] {
    loader_.Stop();
    UpdateLoadState();
  });

  connect(charts_, &TrendsCharts::zoomRequested, this, &CTrendsWindow::Zoom);
  connect(charts_, &TrendsCharts::panRequested, this, &CTrendsWindow::Pan);
  connect(charts_, &TrendsCharts::cursorMoved, this, &CTrendsWindow::OnCursor);
  connect(charts_, &TrendsCharts::cursorLeft, this, [this] {
    cursor_.reset();
    charts_->SetCursor(std::nullopt);
    UpdateReadout();
  });

  refresh_.setInterval(1000 / kRefreshesPerSecond);
  connect(&refresh_, &QTimer::timeout, this, &CTrendsWindow::Tick);
  RestoreSettings();
  ShowLive();
}

CTrendsWindow::~CTrendsWindow() {
  loader_.Stop();
  if (isVisible()) SaveSettings();  // left open when the program ended
}

void CTrendsWindow::BuildMenus() {
  auto* bar = new QMenuBar(this);
  static_cast<QVBoxLayout*>(layout())->setMenuBar(bar);
  QMenu* file = bar->addMenu(QStringLiteral("&File"));
  file->addAction(QStringLiteral("&Open data log..."), QKeySequence::Open, this, [this] {
    const QString chosen = QFileDialog::getOpenFileName(
        this, QStringLiteral("Open data log"), FromPath(consoleLog_.parent_path()),
        QStringLiteral("Data logs (*.txt *.log);;All files (*)"));
    if (!chosen.isEmpty()) OpenLog(chosen.toStdString());
  });
  file->addAction(QStringLiteral("Show the console's &log from its start"), this, [this] { ShowConsoleLog(); });
  file->addAction(QStringLiteral("Show &live values"), this, [this] { ShowLive(); });
  file->addSeparator();
  file->addAction(QStringLiteral("Export shown range as &PNG..."), this, [this] {
    const QString chosen = QFileDialog::getSaveFileName(this, QStringLiteral("Export as PNG"), QStringLiteral("trends.png"),
                                                        QStringLiteral("PNG images (*.png)"));
    if (!chosen.isEmpty()) ExportPng(chosen);
  });
  file->addAction(QStringLiteral("Export shown range as &CSV..."), this, [this] {
    const QString chosen = QFileDialog::getSaveFileName(this, QStringLiteral("Export as CSV"), QStringLiteral("trends.csv"),
                                                        QStringLiteral("Comma-separated values (*.csv)"));
    if (!chosen.isEmpty()) ExportCsv(chosen);
  });
  file->addSeparator();
  file->addAction(QStringLiteral("&Close"), QKeySequence::Close, this, [this] { close(); });

  QMenu* view = bar->addMenu(QStringLiteral("&View"));
  view->addAction(QStringLiteral("Last &hour"), this, [this] { ShowLast(kHour); });
  view->addAction(QStringLiteral("Last &day"), this, [this] { ShowLast(kDay); });
  view->addAction(QStringLiteral("Last &week"), this, [this] { ShowLast(kWeek); });
  view->addAction(QStringLiteral("&All"), this, [this] { ShowAll(); });
  view->addSeparator();
  for (trends::SeriesId id : trends::AllSeries()) {
    const auto label = trends::Info(id).label;
    QAction* action = view->addAction(QString::fromUtf8(label.data(), static_cast<int>(label.size())));
    action->setCheckable(true);
    action->setChecked(true);
    connect(action, &QAction::toggled, this, [this, id](bool on) {
      charts_->SetSeriesVisible(id, on);
      RequestRedraw();
    });
    seriesActions_.emplace_back(id, action);
  }
  markersAction_ = view->addAction(QStringLiteral("Alarms and events"));
  markersAction_->setCheckable(true);
  markersAction_->setChecked(true);
  connect(markersAction_, &QAction::toggled, this, [this](bool on) {
    charts_->SetMarkersVisible(on);
    RequestRedraw();
  });
}

QWidget* CTrendsWindow::BuildRangeButtons() {
  auto* row = new QWidget(this);
  auto* buttons = new QHBoxLayout(row);
  buttons->setContentsMargins(0, 4, 0, 0);
  const auto add = [&](const QString& text, auto action) {
    auto* button = new QPushButton(text, row);
    button->setFocusPolicy(Qt::NoFocus);
    connect(button, &QPushButton::clicked, this, action);
    buttons->addWidget(button);
  };
  add(QStringLiteral("Last hour"), [this] { ShowLast(kHour); });
  add(QStringLiteral("Last day"), [this] { ShowLast(kDay); });
  add(QStringLiteral("Last week"), [this] { ShowLast(kWeek); });
  add(QStringLiteral("All"), [this] { ShowAll(); });
  buttons->addStretch(1);
  auto* hint = new QLabel(QStringLiteral("wheel: zoom \u00B7 drag or \u2190 \u2192: pan \u00B7 + \u2212: zoom"), row);
  hint->setEnabled(false);
  buttons->addWidget(hint);
  return row;
}

void CTrendsWindow::ShowAndRaise() {
  show();
  raise();
  activateWindow();
}

void CTrendsWindow::SetMinimumVoltageSource(std::function<int()> millivolts) {
  minimumVoltage_ = std::move(millivolts);
  RequestRedraw();
}

const trends::SeriesStore& CTrendsWindow::shownStore() const {
  return source_ == Source::Live ? liveStore_ : fileStore_;
}

void CTrendsWindow::ShowLive() {
  loader_.Stop();
  fileStore_.Clear();
  source_ = Source::Live;
  charts_->ChooseScalesAfresh();
  view_.ShowLast(kHour, liveStore_.TimeRange());
  UpdateLoadState();
  RequestRedraw();
}

void CTrendsWindow::OpenLog(const std::filesystem::path& file) {
  source_ = Source::File;
  charts_->ChooseScalesAfresh();
  loader_.Start(file, true);
  view_.ShowAll(std::nullopt);
  UpdateLoadState();
  RequestRedraw();
}

void CTrendsWindow::ShowConsoleLog() { OpenLog(consoleLog_); }

void CTrendsWindow::Tick() {
  UpdateLoadState();
  if (!isVisible()) return;
  if (dirty_ || shownStore().generation() != drawnGeneration_) Redraw();
}

void CTrendsWindow::RequestRedraw() {
  dirty_ = true;
  if (redrawPosted_) return;
  redrawPosted_ = true;
  QTimer::singleShot(0, this, [this] {
    redrawPosted_ = false;
    if (isVisible() && dirty_) Redraw();
  });
}

void CTrendsWindow::RefreshNow() {
  UpdateLoadState();
  Redraw();
}

bool CTrendsWindow::WaitForLoad(int timeoutMs) {
  return loader_.WaitCaughtUp(std::chrono::milliseconds(timeoutMs));
}

void CTrendsWindow::Redraw() {
  const trends::SeriesStore& store = shownStore();
  const std::uint64_t generation = store.generation();
  // Following the newest values, the charts move on in steps of a
  // fiftieth of what they show (at least a pixel column): moving redraws
  // every chart whole, so it happens now and then rather than every tick.
  const qint64 span = view_.to() - view_.from();
  view_.SetFollowStep(std::max(span / kFollowSteps, span / charts_->views().front()->PlotWidth()));
  view_.Update(store.TimeRange());
  std::optional<double> minimum;
  if (source_ == Source::Live && minimumVoltage_) {
    const int mv = minimumVoltage_();
    if (mv > 0 && mv < kMinVoltageReset) minimum = mv / 1000.0;
  }
  charts_->SetMinimumVoltage(minimum);
  charts_->Show(store, view_.from(), view_.to());
  drawnGeneration_ = generation;
  dirty_ = false;
  UpdateReadout();
}

void CTrendsWindow::UpdateLoadState() {
  if (source_ == Source::Live) {
    sourceLabel_->setText(QStringLiteral("Live: the values of this session"));
    skippedLabel_->setText(QString());  // clear() would lay the window out again each tick
    progress_->hide();
    cancel_->hide();
    return;
  }
  const trends::LogLoader::Status s = loader_.status();
  const bool loading = s.running && !s.caughtUp;
  const int permille = s.total ? static_cast<int>(s.done * 1000 / s.total) : 0;
  QString text = FromPath(s.path.filename()) + QStringLiteral(": ");
  // Read to its end, or given up on, without a single data-log line.
  const bool none = (s.caughtUp || s.notALog) && s.stats.kept == 0 && s.missingError == 0;
  if (none) text += QStringLiteral("no data-log lines found");
  else text += QLocale().toString(static_cast<qulonglong>(s.stats.kept)) + QStringLiteral(" lines");
  if (s.missingError != 0) text += QStringLiteral(", cannot be read: ") + QString::fromLocal8Bit(std::strerror(s.missingError));
  else if (loading) text += QStringLiteral(", reading");
  else if (s.running && !none) text += QStringLiteral(", following");
  else if (s.stopped && !s.caughtUp) text += QStringLiteral(", stopped at %1%").arg(permille / 10);
  if (s.startedOver > 0) text += QStringLiteral(" (the file was cut or replaced and read again)");
  sourceLabel_->setText(text);

  const std::uint64_t skipped = s.stats.skipped();
  skippedLabel_->setText(skipped ? QStringLiteral("%1 lines skipped").arg(skipped) : QString());
  skippedLabel_->setToolTip(
      QStringLiteral("not data-log lines: %1\nimpossible dates: %2\nlonger than %3 bytes: %4\nbefore the line above: %5"
                     "\nalone, far ahead of the lines around it: %6")
          .arg(s.stats.layout).arg(s.stats.date).arg(trends::LogStreamReader::kMaxLine).arg(s.stats.tooLong)
          .arg(s.stats.backInTime).arg(s.stats.farAhead));
  progress_->setVisible(loading);
  cancel_->setVisible(loading);
  progress_->setValue(permille);
}

void CTrendsWindow::closeEvent(QCloseEvent* event) {
  SaveSettings();
  event->accept();  // hides; the window lives on with its data
}

void CTrendsWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  refresh_.start();
  RequestRedraw();
}

void CTrendsWindow::hideEvent(QHideEvent* event) {
  refresh_.stop();  // no wake-ups while nobody looks
  QWidget::hideEvent(event);
}

void CTrendsWindow::SaveSettings() const {
  QSettings settings(kOrganization, kApplication);
  settings.setValue(QStringLiteral("trends/geometry"), saveGeometry());
  QStringList hidden;
  for (const auto& [id, action] : seriesActions_)
    if (!action->isChecked()) hidden << NameOf(id);
  if (!markersAction_->isChecked()) hidden << QStringLiteral("markers");
  settings.setValue(QStringLiteral("trends/hidden"), hidden);
}

void CTrendsWindow::RestoreSettings() {
  QSettings settings(kOrganization, kApplication);
  restoreGeometry(settings.value(QStringLiteral("trends/geometry")).toByteArray());
  const QStringList hidden = settings.value(QStringLiteral("trends/hidden")).toStringList();
  for (const auto& [id, action] : seriesActions_)
    if (hidden.contains(NameOf(id))) action->setChecked(false);
  if (hidden.contains(QStringLiteral("markers"))) markersAction_->setChecked(false);
}

}  // namespace verdelo
