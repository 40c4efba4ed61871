#include "widgets/traffic_list.h"

#include <QEvent>
#include <QFontDatabase>
#include <QFontMetrics>

namespace verdelo {

int TrafficLineModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : shown_;
}

QVariant TrafficLineModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= shown_) return {};
  if (role == Qt::DisplayRole) return lines_[static_cast<std::size_t>(index.row())];
  if (role == Qt::SizeHintRole) return rowSize_;
  return {};
}

void TrafficLineModel::Clear() {
  // The view hears of this at once, not at the next batch: a repaint before
  // then would read rows that no longer exist.
  beginResetModel();
  lines_.clear();
  shown_ = 0;
  endResetModel();
}

void TrafficLineModel::Publish() {
  const int count = static_cast<int>(lines_.size());
  if (count > shown_) {
    beginInsertRows({}, shown_, count - 1);
    shown_ = count;
    endInsertRows();
  }
}

TrafficList::TrafficList(int longestLine, QWidget* parent)
    : QListView(parent), longestLine_(longestLine), model_(this) {
  setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  setUniformItemSizes(true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::NoSelection);
  UpdateRowSize();
  setModel(&model_);
  refresh_.setSingleShot(true);
  refresh_.setInterval(1000 / kRefreshesPerSecond);
  connect(&refresh_, &QTimer::timeout, this, &TrafficList::Refresh);
}

void TrafficList::AddLine(QString line) {
  model_.Append(std::move(line));
  if (!refresh_.isActive()) refresh_.start();
}

void TrafficList::Clear() {
  model_.Clear();
  if (!refresh_.isActive()) refresh_.start();
}

void TrafficList::Refresh() {
  refresh_.stop();
  const int before = model_.shownCount();
  model_.Publish();
  if (model_.shownCount() != before) scrollToBottom();
}

void TrafficList::UpdateRowSize() {
  // Measured on a whole line, since a character's advance is fractional.
  const QFontMetrics metrics(font());
  model_.SetRowSize(QSize(metrics.horizontalAdvance(QString(longestLine_, QLatin1Char('0'))) + 8,
                          metrics.height() + 2));
}

void TrafficList::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange) {
    UpdateRowSize();
    doItemsLayout();
  }
  QListView::changeEvent(event);
}

}  // namespace verdelo
