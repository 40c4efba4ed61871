// What a line of the port window's traffic lists costs in expert mode.
//
//   traffic_bench lines [--lines 100000] [--rounds 5] [--published PATH]
//       lines of one frame each added to a shown TrafficList (offscreen, the
//       RX list's size and longest line) as the port window adds them: the
//       line formatted, made a QString and added, the list emptied when it
//       reaches its limit, and every 1/30 s worth of lines at the line's
//       limit (2,304 frames a second) the view brought up to date and
//       painted, as its refresh timer does. Beside it, a loop that only
//       formats the same lines. CPU time per line of each, best of the
//       rounds; --published names a page of earlier figures
//       (docs/PERFORMANCE.md) whose cost per line the new one is set beside.
#include <QApplication>
#include <QEvent>

#include <algorithm>
#include <cmath>
#include <iostream>

#include <unistd.h>

#include "bench/bench_util.h"
#include "bench/qt_main.h"
#include "bench/traffic_feed.h"
#include "res/dialog_template.h"
#include "res/port_window_ids.h"
#include "shell/port_window/port_traffic.h"
#include "widgets/template_window.h"

namespace verdelo::bench {
namespace {

constexpr int kFramesPerSecond = 2304;
constexpr long kLinesPerRefresh = kFramesPerSecond / TrafficList::kRefreshesPerSecond;
constexpr int kLongestRxLine = 16 + 3 * 511;  // as the port window's RX list
constexpr char kFigure[] = "2 traffic list: CPU per line added";

class PaintCount : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return QObject::eventFilter(watched, event);
  }
  long paints = 0;
};

struct ListRound {
  double usPerLine = NAN;
  long refreshes = 0;
  long paints = 0;
  bool caughtUp = false;  // the view showed every line the list held at the end
};

ListRound AddLines(TrafficList& list, PaintCount& paint, long lines) {
  list.Clear();
  list.Refresh();
  QCoreApplication::processEvents();
  ListRound round;
  const long paints0 = paint.paints;
  const TrafficFeed feed = FeedTrafficList(list, lines, kLinesPerRefresh);
  round.usPerLine = static_cast<double>(feed.cpuNs) / 1e3 / static_cast<double>(lines);
  round.refreshes = feed.refreshes;
  round.paints = paint.paints - paints0;
  round.caughtUp = list.model()->rowCount() == list.count() &&
                   (list.count() == 0 || list.model()->index(list.count() - 1, 0).data() == list.text(list.count() - 1));
  return round;
}

double FormatLines(long lines, std::size_t* sink) {
  const std::int64_t cpu0 = ProcessCpuNs();
  for (long i = 0; i < lines; ++i) *sink += TrafficLineFor(i).size();
  return static_cast<double>(ProcessCpuNs() - cpu0) / 1e3 / static_cast<double>(lines);
}

int Lines(const Args& args) {
  const long lines = static_cast<long>(args.Number("lines", 100000));
  const int rounds = std::max(1, static_cast<int>(args.Number("rounds", 5)));

  const DialogUnits units = DialogUnits::ForFont(DialogFont());
  QSize size(300, 250);
  for (const ControlTemplate& c : PortWindowTemplate().controls)
    if (c.id == port_window::IDC_RX_LIST) size = QSize(units.X(c.width), units.Y(c.height));
  TrafficList list(kLongestRxLine);
  list.resize(size);
  list.show();
  PaintCount paint;
  list.viewport()->installEventFilter(&paint);
  QCoreApplication::processEvents();

  std::vector<double> listUs, formatUs;
  std::string each;
  long refreshes = 0, paints = 0;
  bool caughtUp = true;
  std::size_t sink = 0;
  std::int64_t wakeups = 0;  // of every thread, while lines are added to the list
  for (int r = 0; r < rounds; ++r) {
    const ProcessSample before = SampleProcess(::getpid());
    const ListRound round = AddLines(list, paint, lines);
    wakeups += Between(before, SampleProcess(::getpid())).sum.voluntary;
    listUs.push_back(round.usPerLine);
    formatUs.push_back(FormatLines(lines, &sink));
    refreshes += round.refreshes;
    paints += round.paints;
    caughtUp = caughtUp && round.caughtUp;
    each += (r ? ", " : "") + Fixed(listUs.back(), 3) + "/" + Fixed(formatUs.back(), 3);
  }
  if (!caughtUp || paints == 0) {
    std::cerr << "traffic_bench: the view " << (caughtUp ? "was never painted" : "did not show the list's lines")
              << "\n";
    return 1;
  }
  if (sink == 0) return 1;  // never: the formatted lines are used, so the loop stays
  // The best round: the one least disturbed by other programs.
  const double perLine = *std::min_element(listUs.begin(), listUs.end());
  const double perFormat = *std::min_element(formatUs.begin(), formatUs.end());
  PrintNote("2 traffic list: " + std::to_string(rounds) + " rounds of " + std::to_string(lines) + " lines, " +
            std::to_string(kLinesPerRefresh) + " a refresh, list emptied at " + std::to_string(kTrafficListLimit) +
            ", a " + std::to_string(size.width()) + "x" + std::to_string(size.height()) + " view; " +
            Fixed(static_cast<double>(paints) / static_cast<double>(refreshes), 2) +
            " paints and " + Fixed(static_cast<double>(wakeups) / static_cast<double>(refreshes), 1) +
            " thread wake-ups a refresh; us per line by round (list/formatting alone): " + each);
  std::cout << "VALUE|list_us_per_line|" << perLine << "\nVALUE|format_us_per_line|" << perFormat << std::endl;
  PrintRow(kFigure, Fixed(perLine, 3) + " us", Fixed(perFormat, 3) + " us formatting alone", Ratio(perLine, perFormat),
           "-", "-");
  if (args.Has("published")) {
    // Unchanged: a quarter above the last published figure is within what
    // rounds of the same build give on this shared machine.
    const double before = PublishedFigure(ReadFile(args.Text("published")), kFigure);
    PrintRow("2 traffic list, against the last published run", Fixed(perLine, 3) + " us",
             std::isfinite(before) ? Fixed(before, 3) + " us published" : "none published", Ratio(perLine, before),
             "unchanged (<= 1.25x)", std::isfinite(before) ? Met(perLine <= 1.25 * before) : "-");
  }
  return 0;
}

}  // namespace
}  // namespace verdelo::bench

int main(int argc, char** argv) {
  using namespace verdelo::bench;
  return RunQtMode(argc, argv, "traffic_bench", {{"lines", Lines}});
}
