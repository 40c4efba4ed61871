// The trends window: the mower's values over time, live from the console
// or from any data log, on charts stacked along one time axis.
//
// Wiring into the console window, which gathers the live values from the
// start whether this window exists or not:
//   trends::SeriesStore live;  trends::LiveInput input{live};
//   console.AddValueObserver(&input);
//   console.AddLogEventObserver(&input);  // alarms, scripts and events as markers
//   ... first "Show Trends" or [TRENDS_AT_START]:
//   auto* trends = new CTrendsWindow(this, workDir / "Moro-log.txt", live);
//   trends->SetMinimumVoltageSource([this] { return console_.values().minVoltage; });
//   trends->ShowAndRaise();
#pragma once

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <filesystem>
#include <functional>

#include "console/value_observer.h"
#include "shell/trends_window/trends_charts.h"
#include "trends/log_loader.h"
#include "trends/series_store.h"
#include "trends/view_range.h"

class QAction;
class QMenu;

namespace verdelo {

class CTrendsWindow : public QWidget {
  Q_OBJECT
 public:
  // `consoleLog` is the data log the console writes ("Show the console's
  // log" opens it from its start); `live` holds the values of this session
  // and outlives the window.
  CTrendsWindow(QWidget* parent, std::filesystem::path consoleLog, trends::SeriesStore& live);
  ~CTrendsWindow() override;
  // Shows the window (where it was last time), raised and active.
  void ShowAndRaise();
  // Read at every refresh for the minimum-voltage line of the live charts,
  // in mV; kMinVoltageReset or less than 1 draws no line.
  void SetMinimumVoltageSource(std::function<int()> millivolts);

  // The sources the window shows.
  void ShowLive();
  // Loads a data log in the background and follows it as it grows.
  void OpenLog(const std::filesystem::path& file);
  void ShowConsoleLog();
  // False, and said on the window's status row, when the file could not
  // be written.
  bool ExportPng(const QString& file);
  bool ExportCsv(const QString& file);

  // Refreshes at most this often however fast values come.
  static constexpr int kRefreshesPerSecond = 4;
  // Following the newest values, the view moves on by 1/kFollowSteps of it.
  static constexpr qint64 kFollowSteps = 50;

  // For checks and tests.
  void RefreshNow();
  bool WaitForLoad(int timeoutMs);
  trends::LogLoader::Status loadStatus() const { return loader_.status(); }
  TrendsCharts& charts() { return *charts_; }
  trends::SeriesStore& liveStore() { return liveStore_; }
  const trends::SeriesStore& shownStore() const;
  trends::ViewRange& viewRange() { return view_; }
  QString sourceText() const { return sourceLabel_->text(); }
  QString skippedText() const { return skippedLabel_->text(); }
  QString exportText() const { return exportLabel_->text(); }
  QString readoutText() const { return readout_->text(); }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  enum class Source { Live, File };

  void BuildMenus();
  QWidget* BuildRangeButtons();
  void Tick();
  void Redraw();
  void RequestRedraw();
  void UpdateLoadState();
  void ShowLast(qint64 span);
  void ShowAll();
  void Zoom(qint64 anchor, double factor);
  void Pan(qint64 by);
  void OnCursor(qint64 t, QPoint globalPos, TrendsChartView* view);
  void UpdateReadout();
  void ReportExport(const QString& file, bool written, const QString& reason);
  void SaveSettings() const;
  void RestoreSettings();

  std::filesystem::path consoleLog_;
  trends::SeriesStore& liveStore_;
  trends::SeriesStore fileStore_;
  trends::LogLoader loader_{fileStore_};
  Source source_ = Source::Live;
  trends::ViewRange view_;
  std::function<int()> minimumVoltage_;
  std::optional<qint64> cursor_;

  TrendsCharts* charts_;
  QLabel* readout_;
  QLabel* sourceLabel_;
  QLabel* skippedLabel_;
  QLabel* exportLabel_;  // why the last export failed
  QProgressBar* progress_;
  QPushButton* cancel_;
  QTimer refresh_{this};  // a child, so its ticks count as the window's work
  std::uint64_t drawnGeneration_ = ~0ULL;
  bool dirty_ = true;
  bool redrawPosted_ = false;
  std::vector<std::pair<trends::SeriesId, QAction*>> seriesActions_;
  QAction* markersAction_ = nullptr;
};

}  // namespace verdelo
