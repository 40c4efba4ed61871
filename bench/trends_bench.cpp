// The trends' figures: how fast data-log lines are read back, and what a
// year of log costs the trends window.
//
//   trends_bench parse [--days 365] [--rounds 5]
//       a made-up log of one line a minute read by the trends' reader in
//       1 MiB chunks, as the loader does, beside a plain loop that only
//       splits the same bytes into lines; MB/s of each (best round).
//   trends_bench year [--days 365] [--dir PATH]
//       the same log written to a file and opened in the trends window
//       (offscreen): time to the first picture, time until the whole year is
//       drawn, and the resident memory it adds to the program with the
//       window already shown.
#include <stdlib.h>

#include <QApplication>
#include <QTimer>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "bench/bench_util.h"
#include "shell/trends_window/trends_window.h"
#include "tests/trends/log_maker.h"
#include "trends/log_reader.h"

namespace verdelo::bench {
namespace {

constexpr std::size_t kChunk = trends::LogLoader::kChunkBytes;
constexpr long kMinutesPerDay = 24 * 60;

long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return 0;
}

// The baseline: lines found and nothing else done with them.
std::uint64_t SplitLines(const std::string& bytes) {
  std::uint64_t lines = 0, length = 0;
  for (std::size_t at = 0; at < bytes.size(); at += kChunk) {
    const char* p = bytes.data() + at;
    const char* end = bytes.data() + std::min(bytes.size(), at + kChunk);
    while (p < end) {
      const void* lf = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
      const char* stop = lf ? static_cast<const char*>(lf) : end;
      length += static_cast<std::uint64_t>(stop - p);
      ++lines;
      p = stop + 1;
    }
  }
  return lines + length;
}

std::uint64_t ReadLines(const std::string& bytes, std::uint64_t* skipped) {
  trends::LogStreamReader reader;
  trends::Batch batch;
  std::uint64_t samples = 0;
  for (std::size_t at = 0; at < bytes.size(); at += kChunk) {
    reader.Feed(std::string_view(bytes).substr(at, kChunk), batch);
    samples += batch.samples.size();
    batch.clear();
  }
  reader.Finish(batch);
  *skipped = reader.stats().skipped();
  return reader.stats().kept + samples;
}

template <typename Run>
double BestMBps(const std::string& bytes, int rounds, Run run) {
  double best = 0;
  for (int i = 0; i < rounds; ++i) {
    const std::int64_t start = NowNs();
    run();
    const double seconds = static_cast<double>(NowNs() - start) / 1e9;
    best = std::max(best, static_cast<double>(bytes.size()) / 1e6 / seconds);
  }
  return best;
}

int Parse(const Args& args) {
  const long days = static_cast<long>(args.Number("days", 365));
  const int rounds = static_cast<int>(args.Number("rounds", 5));
  const test::MadeLog log = test::MakeMowingLog({2025, 1, 1, 0, 0, 0, 0}, days * kMinutesPerDay);
  std::uint64_t sink = 0, skipped = 0;
  const double split = BestMBps(log.bytes, rounds, [&] { sink += SplitLines(log.bytes); });
  const double read = BestMBps(log.bytes, rounds, [&] { sink += ReadLines(log.bytes, &skipped); });
  const long lines = log.dataLines + log.eventLines;
  const auto perByte = [](double mbps) { return Fixed(1e3 / mbps, 2) + " ns/B (" + Fixed(mbps, 0) + " MB/s)"; };
  PrintRow("6 trends: data-log lines read back", perByte(read), perByte(split) + " plain line split",
           Ratio(split, read), "<= 5 ns/B (200 MB/s)", Met(read >= 200 && skipped == 0));
  PrintNote("6 trends, reading: " + Fixed(read * static_cast<double>(lines) / (log.bytes.size() / 1e6) / 1e6, 2) +
            " M lines/s; " + std::to_string(lines) + " lines, " + Fixed(log.bytes.size() / 1e6, 1) +
            " MB, best of " + std::to_string(rounds) + " rounds, 1 MiB chunks; each line gives its time stamp " +
            "in epoch ms, eight values and its marker; " + std::to_string(skipped) + " lines skipped (" +
            std::to_string(sink % 10) + ")");
  return skipped == 0 ? 0 : 1;
}

int Year(const Args& args) {
  const long days = static_cast<long>(args.Number("days", 365));
  const std::string dir = args.Text("dir", MakeTempDir("verdelo-trends-year"));
  const std::filesystem::path file = std::filesystem::path(dir) / "Moro-log.txt";
  long lines = 0;
  std::uintmax_t size = 0;
  {
    const test::MadeLog log = test::MakeMowingLog({2025, 1, 1, 0, 0, 0, 0}, days * kMinutesPerDay);
    WriteFile(file.string(), log.bytes);
    lines = log.dataLines + log.eventLines;
    size = log.bytes.size();
  }
  // The window remembers its geometry; not in the user's settings.
  ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
  int argc = 1;
  char name[] = "trends_bench";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  trends::SeriesStore live;
  CTrendsWindow window(nullptr, file, live);
  window.resize(1200, 1000);
  window.show();
  window.RefreshNow();
  (void)window.grab();
  app.processEvents();
  const long before = ResidentKiB();

  double firstMs = -1, wholeMs = -1;
  const std::int64_t start = NowNs();
  window.OpenLog(file);
  QTimer poll;
  poll.setInterval(2);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    const double ms = static_cast<double>(NowNs() - start) / 1e6;
    if (firstMs < 0 && window.charts().PointCount(trends::SeriesId::Voltage) > 0) {
      (void)window.grab();  // the picture made
      firstMs = static_cast<double>(NowNs() - start) / 1e6;
    }
    if (firstMs >= 0 && window.loadStatus().caughtUp) {
      window.RefreshNow();
      (void)window.grab();
      wholeMs = static_cast<double>(NowNs() - start) / 1e6;
      app.quit();
    }
    if (ms > 60000) app.quit();
  });
  poll.start();
  app.exec();
  const long after = ResidentKiB();
  const double addedMiB = static_cast<double>(after - before) / 1024;
  PrintRow("6 trends: a year of log opened, first picture", Fixed(firstMs, 0) + " ms", "-", "-", "< 1000 ms",
           Met(firstMs >= 0 && firstMs < 1000));
  PrintRow("6 trends: a year of log opened, whole year drawn", Fixed(wholeMs, 0) + " ms", "-", "-", "-", "-");
  PrintRow("6 trends: resident memory added by a year of log", Fixed(addedMiB, 1) + " MiB",
           Fixed(before / 1024.0, 1) + " MiB window shown, empty", Ratio(after, before), "< 100 MiB",
           Met(wholeMs >= 0 && addedMiB < 100));
  PrintNote("6 trends, year: " + std::to_string(lines) + " lines (" + Fixed(size / 1e6, 1) +
            " MB) a line a minute; window 1200x1000 offscreen, refreshed " +
            std::to_string(CTrendsWindow::kRefreshesPerSecond) + " times a second while loading; " +
            window.sourceText().toStdString() + "; resident " + std::to_string(before / 1024) + " MiB before, " +
            std::to_string(after / 1024) + " MiB after");
  if (!args.Has("dir")) RemoveTree(dir);
  return wholeMs >= 0 ? 0 : 1;
}

}  // namespace
}  // namespace verdelo::bench

int main(int argc, char** argv) {
  using namespace verdelo::bench;
  return RunMode(argc, argv, "trends_bench", {{"parse", Parse}, {"year", Year}});
}
