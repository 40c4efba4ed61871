// Measures the real verdelo program from outside, beside the minimal Qt
// program.
//
//   process_probe startup --verdelo PATH --minimal PATH [--runs 5] [--published PATH]
//       exec to the port opened (the pseudo-terminal's slave opened, seen by
//       inotify) and to the first poll frame on the master; peak RSS of both
//       programs. --published names a page of earlier figures
//       (docs/PERFORMANCE.md) whose time to the port opened the new one is
//       set beside.
//   process_probe idle --verdelo PATH --mower PATH --minimal PATH [--seconds 60]
//       CPU share and wake-ups of verdelo polling a silent mower, and of the
//       minimal program with one 1 s timer, over the same minute.
//
// verdelo reads config.txt beside its executable; the probe writes it there
// for each run and puts back what was there before.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/inotify.h>
#include <termios.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <iostream>

#include "bench/bench_util.h"
#include "console/mower_frame.h"

namespace verdelo::bench {
namespace {

// Puts config.txt beside the program back as it was.
class ConfigBeside {
 public:
  explicit ConfigBeside(const std::string& program)
      : path_((std::filesystem::path(program).parent_path() / "config.txt").string()),
        existed_(std::filesystem::exists(path_)),
        before_(existed_ ? ReadFile(path_) : std::string()) {}
  ~ConfigBeside() {
    if (existed_) WriteFile(path_, before_);
    else std::filesystem::remove(path_);
  }
  void Write(const std::string& bytes) { WriteFile(path_, bytes); }

 private:
  std::string path_;
  bool existed_;
  std::string before_;
};

struct StartupRun {
  double openMs = NAN;
  double frameMs = NAN;
  long peakKiB = 0;
  double minimalShownMs = NAN;
  long minimalPeakKiB = 0;
};

StartupRun MeasureStartup(const std::string& verdelo, const std::string& minimal, ConfigBeside& config) {
  StartupRun run;
  int master = -1, slave = -1;
  char name[128];
  termios raw{};
  cfmakeraw(&raw);
  if (::openpty(&master, &slave, name, &raw, nullptr) != 0) return run;
  ::close(slave);
  config.Write(ConsoleConfig(name));
  const int watch = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
  ::inotify_add_watch(watch, name, IN_OPEN);
  const std::string dir = MakeTempDir("verdelo-bench-start");

  Child::Options options;
  options.argv = {verdelo};
  options.env = {"QT_QPA_PLATFORM=offscreen", "VERDELO_RUN_SECONDS=2"};
  options.dir = dir;
  const std::int64_t start = NowNs();
  Child program(options);

  // The slave opened: the port is being opened. Until then the master reads
  // as hung up, so it is only watched from then on.
  pollfd opened{watch, POLLIN, 0};
  if (::poll(&opened, 1, 10000) == 1) {
    run.openMs = static_cast<double>(NowNs() - start) / 1e6;
    std::uint8_t frame[5];
    std::size_t got = 0;
    while (got < 5) {
      pollfd input{master, POLLIN, 0};
      if (::poll(&input, 1, 5000) != 1 || !(input.revents & POLLIN)) break;
      const long n = ::read(master, frame + got, 5 - got);
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    if (got == 5 && frame[0] == kFrameStart) run.frameMs = static_cast<double>(NowNs() - start) / 1e6;
  }
  program.Wait(&run.peakKiB);
  ::close(watch);
  ::close(master);
  RemoveTree(dir);

  Child::Options plain;
  plain.argv = {minimal};
  plain.env = {"QT_QPA_PLATFORM=offscreen"};
  plain.pipeStdout = true;
  const std::int64_t plainStart = NowNs();
  Child baseline(plain);
  if (baseline.ReadLine(10000) == "shown") run.minimalShownMs = static_cast<double>(NowNs() - plainStart) / 1e6;
  baseline.Wait(&run.minimalPeakKiB);
  return run;
}

double Median(std::vector<double> values) {
  std::vector<double> kept;
  for (double v : values)
    if (std::isfinite(v)) kept.push_back(v);
  return Percentile(kept, 0.5);
}

int Startup(const Args& args) {
  const std::string verdelo = args.Text("verdelo");
  const std::string minimal = args.Text("minimal");
  const int runs = static_cast<int>(args.Number("runs", 5));
  ConfigBeside config(verdelo);
  std::vector<double> open, frame, peak, shown, minimalPeak;
  std::string each;
  for (int i = 0; i < runs; ++i) {
    const StartupRun run = MeasureStartup(verdelo, minimal, config);
    open.push_back(run.openMs);
    frame.push_back(run.frameMs);
    peak.push_back(static_cast<double>(run.peakKiB));
    shown.push_back(run.minimalShownMs);
    minimalPeak.push_back(static_cast<double>(run.minimalPeakKiB));
    each += (i ? "; " : "") + Fixed(run.openMs, 0) + "/" + Fixed(run.frameMs, 0) + " ms " +
            Fixed(run.peakKiB / 1024.0, 1) + " MiB vs " + Fixed(run.minimalShownMs, 0) + " ms " +
            Fixed(run.minimalPeakKiB / 1024.0, 1) + " MiB";
  }
  PrintNote("5 start-up, each run (verdelo open/first frame, peak RSS vs minimal Qt shown, peak RSS): " + each);
  const double openMs = Median(open), frameMs = Median(frame), shownMs = Median(shown);
  const double peakMiB = Median(peak) / 1024.0, minimalMiB = Median(minimalPeak) / 1024.0;
  PrintRow("5 start-up: exec to port opened", Fixed(openMs, 0) + " ms", Fixed(shownMs, 0) + " ms minimal Qt shown",
           Ratio(openMs, shownMs), "-", "-");
  if (args.Has("published")) {
    // The run as it was last published, and the minimal program's time in
    // it: the ratio of the two tells how much of a change is the load.
    const std::string page = ReadFile(args.Text("published"));
    const double before = PublishedFigure(page, "5 start-up: exec to port opened");
    const double beforeShown = PublishedFigure(page, "5 start-up: exec to port opened", 1);
    long failed = 0;
    for (double ms : open) failed += !std::isfinite(ms);
    PrintRow("5 start-up: port opened, against the last published run",
             Fixed(openMs, 0) + " ms" + (failed ? ", " + std::to_string(failed) + " runs never opened" : ""),
             std::isfinite(before) ? Fixed(before, 0) + " ms published" : "none published", Ratio(openMs, before),
             "<= 1.1x", std::isfinite(before) ? Met(failed == 0 && openMs <= 1.1 * before) : failed ? "NO" : "-");
    PrintNote("5 start-up, port opened against minimal Qt shown: " + Ratio(openMs, shownMs) + " now, " +
              Ratio(before, beforeShown) + " in the last published run (" + Fixed(before, 0) + " against " +
              Fixed(beforeShown, 0) + " ms)");
  }
  PrintRow("5 start-up: exec to first poll frame", Fixed(frameMs, 0) + " ms",
           Fixed(openMs + 1000, 0) + " ms port opened + 1 poll period", Ratio(frameMs, openMs + 1000), "-", "-");
  PrintRow("5 peak RSS (VmHWM)", Fixed(peakMiB, 1) + " MiB", Fixed(minimalMiB, 1) + " MiB minimal Qt",
           Ratio(peakMiB, minimalMiB), "<= 1.5x", Met(peakMiB <= 1.5 * minimalMiB));
  return 0;
}

int Idle(const Args& args) {
  const std::string verdelo = args.Text("verdelo");
  const double seconds = args.Number("seconds", 60);
  ConfigBeside config(verdelo);
  MowerChild mower(args.Text("mower"), "", {"--fault", "silent"});
  if (!mower.ok()) return 1;
  config.Write(ConsoleConfig(mower.device()));
  const std::string dir = MakeTempDir("verdelo-bench-idle");
  const std::string runFor = std::to_string(static_cast<int>(seconds) + 10);

  Child::Options options;
  options.argv = {verdelo};
  options.env = {"QT_QPA_PLATFORM=offscreen", "VERDELO_RUN_SECONDS=" + runFor};
  options.dir = dir;
  Child program(options);
  Child::Options plain;
  plain.argv = {args.Text("minimal"), "--idle", runFor};
  plain.env = {"QT_QPA_PLATFORM=offscreen"};
  Child baseline(plain);

  SleepNs(3'000'000'000);  // start-up and the first ticks are not idling
  const ProcessSample v0 = SampleProcess(program.pid()), m0 = SampleProcess(baseline.pid());
  const std::int64_t t0 = NowNs();
  SleepNs(static_cast<std::int64_t>(seconds * 1e9));
  const ProcessSample v1 = SampleProcess(program.pid()), m1 = SampleProcess(baseline.pid());
  const double wall = static_cast<double>(NowNs() - t0) / 1e9;
  program.Stop();
  baseline.Stop();
  mower.Stop();
  RemoveTree(dir);
  if (!v0.ok || !v1.ok || !m0.ok || !m1.ok) {
    std::cerr << "process_probe: a program ended early\n";
    return 1;
  }

  const ProcessDelta v = Between(v0, v1), m = Between(m0, m1);
  const auto perSecond = [wall](std::int64_t count) { return static_cast<double>(count) / wall; };
  // Time on a CPU, in % of one core.
  const double cpu = 100.0 * static_cast<double>(v.sum.runNs) / 1e9 / wall;
  const double minimalCpu = 100.0 * static_cast<double>(m.sum.runNs) / 1e9 / wall;
  const double byTicks = 100.0 * static_cast<double>(v1.cpuTicks - v0.cpuTicks) /
                         static_cast<double>(ClockTicksPerSecond()) / wall;
  // A thread wakes once for every time it went to sleep (a voluntary
  // switch); involuntary switches are other programs taking the CPU from a
  // running thread, and are counted apart.
  const double wakes = perSecond(v.sum.voluntary), minimalWakes = perSecond(m.sum.voluntary);
  // A poll tick a second, and the four steps of ten that pause 20 ms between
  // two requests wake once more.
  const double ticks = 1.0 + 4.0 / 10.0;
  PrintNote("4 idle over " + Fixed(wall, 1) + " s: verdelo " + std::to_string(v.threads) + " threads (" +
            std::to_string(v.gone) + " ended meanwhile), " + Fixed(static_cast<double>(v.sum.runNs) / 1e6, 1) +
            " ms on a CPU (" + Fixed(byTicks, 3) + "% by clock ticks), " + std::to_string(v.sum.voluntary) +
            " voluntary + " + std::to_string(v.sum.involuntary) + " involuntary switches; minimal Qt " +
            std::to_string(m.threads) + " threads, " + Fixed(static_cast<double>(m.sum.runNs) / 1e6, 1) + " ms, " +
            std::to_string(m.sum.voluntary) + " + " + std::to_string(m.sum.involuntary) + " switches (" +
            Fixed(minimalWakes, 2) + " wake-ups/s)");
  PrintRow("4 idle CPU, 1000 ms polling", Fixed(cpu, 3) + "% of a core",
           Fixed(minimalCpu, 3) + "% minimal Qt, 1 s timer", Ratio(cpu, minimalCpu), "< 0.2%", Met(cpu < 0.2));
  PrintRow("4 idle wake-ups", Fixed(wakes, 2) + "/s (+" + Fixed(perSecond(v.sum.involuntary), 2) + "/s preempted)",
           Fixed(ticks, 2) + "/s timer ticks", Ratio(wakes, ticks), "<= 1.2x ticks", Met(wakes <= 1.2 * ticks));
  return 0;
}

}  // namespace
}  // namespace verdelo::bench

int main(int argc, char** argv) {
  using namespace verdelo::bench;
  return RunMode(argc, argv, "process_probe", {{"startup", Startup}, {"idle", Idle}});
}
