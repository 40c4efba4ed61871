// The port window's traffic lists as the measuring programs drive and watch
// them: made-up lines of one frame each, a list fed the way the port window
// feeds it, and a count of what the lists' views were told.
#pragma once

#include <QObject>

#include <cstdint>
#include <initializer_list>
#include <string>

#include "widgets/traffic_list.h"

namespace verdelo::bench {

// Line `i` of an RX list: a five-byte frame whose bytes and time of day
// change from line to line.
std::string TrafficLineFor(long i);

struct TrafficFeed {
  long refreshes = 0;      // times the view was brought up to date
  std::int64_t cpuNs = 0;  // CPU time of the whole process meanwhile
};

// Adds the lines TrafficLineFor(0) .. (lines - 1) to `list` as the port
// window adds them, the list emptied when it reaches its limit; after every
// `perRefresh` lines, and after the last, brings the view up to date and
// handles the events waiting (the paint among them), as the tick of the
// list's refresh timer would.
TrafficFeed FeedTrafficList(TrafficList& list, long lines, long perRefresh);

// Counts the refreshes that told a list's view of new lines, or of the list
// emptied, and the lines they brought. Lines added and emptied away between
// two refreshes are never shown, and not counted.
class TrafficWatch {
 public:
  explicit TrafficWatch(std::initializer_list<TrafficList*> lists);
  long refreshes = 0;
  long lines = 0;

 private:
  QObject context_;  // ends the connections with the watch
};

}  // namespace verdelo::bench
