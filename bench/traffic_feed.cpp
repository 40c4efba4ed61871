#include "bench/traffic_feed.h"

#include <QCoreApplication>

#include "bench/bench_util.h"
#include "shell/port_window/port_traffic.h"

namespace verdelo::bench {

std::string TrafficLineFor(long i) {
  const std::uint8_t frame[5] = {0x0F, static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i >> 8), 0x18,
                                 0xFC};
  LocalTime time;
  time.hour = static_cast<int>(i / 3'600'000 % 24);
  time.minute = static_cast<int>(i / 60'000 % 60);
  time.second = static_cast<int>(i / 1000 % 60);
  time.millisecond = static_cast<int>(i % 1000);
  return FormatTrafficLine("RX", time, frame, sizeof frame);
}

TrafficFeed FeedTrafficList(TrafficList& list, long lines, long perRefresh) {
  TrafficFeed feed;
  const auto refresh = [&] {
    list.Refresh();
    QCoreApplication::processEvents();
    ++feed.refreshes;
  };
  const std::int64_t cpu0 = ProcessCpuNs();
  for (long i = 0; i < lines; ++i) {
    list.AddLine(QString::fromStdString(TrafficLineFor(i)));
    if (list.count() == kTrafficListLimit) list.Clear();
    if ((i + 1) % perRefresh == 0) refresh();
  }
  refresh();
  feed.cpuNs = ProcessCpuNs() - cpu0;
  return feed;
}

TrafficWatch::TrafficWatch(std::initializer_list<TrafficList*> lists) {
  for (TrafficList* list : lists) {
    if (list == nullptr) continue;
    QAbstractItemModel* model = list->model();
    QObject::connect(model, &QAbstractItemModel::rowsInserted, &context_,
                     [this](const QModelIndex&, int first, int last) {
                       ++refreshes;
                       lines += last - first + 1;
                     });
    // Emptying resets the model at once and brings no lines: no refresh.
    QObject::connect(model, &QAbstractItemModel::modelReset, &context_, [this, model] {
      if (model->rowCount() == 0) return;
      ++refreshes;
      lines += model->rowCount();
    });
  }
}

}  // namespace verdelo::bench
