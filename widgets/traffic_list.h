// A list of log lines that keeps up with a flooded line: lines are added to
// a buffer at once, so counts and texts are always exact, while the view
// hears of them at most kRefreshesPerSecond times a second, in one batch.
// Emptying is told to the view at once, so it never holds rows that are gone.
// Lines are shown whole in a fixed-pitch font; every row has the size of the
// longest line the list is told to expect, so the view measures no line.
#pragma once

#include <QAbstractListModel>
#include <QListView>
#include <QString>
#include <QTimer>

#include <vector>

namespace verdelo {

class TrafficLineModel : public QAbstractListModel {
  Q_OBJECT
 public:
  explicit TrafficLineModel(QObject* parent = nullptr) : QAbstractListModel(parent) {}

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  // The lines the view has been told of; lines() holds them all.
  int shownCount() const { return shown_; }
  const std::vector<QString>& lines() const { return lines_; }

  void Append(QString line) { lines_.push_back(std::move(line)); }
  void Clear();
  // Tells the view of what changed since the last call.
  void Publish();
  void SetRowSize(QSize size) { rowSize_ = size; }

 private:
  std::vector<QString> lines_;
  int shown_ = 0;  // rows the view knows of
  QSize rowSize_;
};

class TrafficList : public QListView {
  Q_OBJECT
 public:
  // Ten a second reads as live, and keeps a flooded line's traffic lists
  // within twice the cost of the line without them (bench/run, figure 2).
  static constexpr int kRefreshesPerSecond = 10;

  // `longestLine`: the most characters a line can have.
  TrafficList(int longestLine, QWidget* parent = nullptr);

  void AddLine(QString line);
  void Clear();
  int count() const { return static_cast<int>(model_.lines().size()); }
  const QString& text(int row) const { return model_.lines()[static_cast<std::size_t>(row)]; }
  // Brings the view up to date now instead of at the next refresh.
  void Refresh();

 protected:
  void changeEvent(QEvent* event) override;

 private:
  void UpdateRowSize();

  int longestLine_;
  TrafficLineModel model_;
  QTimer refresh_;
};

}  // namespace verdelo
