// Measures the real verdelo program from outside, beside the minimal Qt
// program.
//
//   process_probe startup --verdelo PATH --minimal PATH [--runs 5] [--published PATH]
//       exec to the port opened (the pseudo-terminal's slave opened, seen by
//       inotify) and to the first poll frame on the master; peak RSS of both
//       programs. --published names a page of earlier figures
//       (docs/PERFORMANCE.md) whose time to the port opened the new one is
//       set beside.
//   process_probe idle --verdelo PATH --mower PATH --minimal PATH [--seconds 60] [--service PATH]
//       CPU share and wake-ups of verdelo polling a silent mower, and of the
//       minimal program with one 1 s timer, over the same minute. --service
//       runs verdelo-service beside them over the same seconds, once polling
//       a silent mower (as verdelo does) and once a mower that answers, and
//       gives its CPU share, wake-ups and peak RSS.
//   process_probe service-flood --service PATH --mower PATH [--seconds 10] [--fps 2304] [--voltage]
//       verdelo-service polling a mower that floods the line as
//       console_harness flood does: its CPU time and wake-ups per 1000 frames
//       the mower sent (by its trace), the bytes it read against those sent
//       and those left unread on the line at the end, and its peak RSS.
//       --voltage floods battery-voltage answers, each with a new value.
//   process_probe window-flood --verdelo PATH --mower PATH [--seconds 10] [--fps 2304] [--voltage]
//       the same for the shipped verdelo, its window shown offscreen and
//       its port opened at start by the config.txt beside it.
//
// verdelo reads config.txt beside its executable; the probe writes it there
// for each run and puts back what was there before.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <optional>

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

// verdelo-service on a config and a folder of its own, its journal lines
// (standard error) read from a pipe; opened() once it said its port is open.
class ServiceChild {
 public:
  ServiceChild(const std::string& program, const std::string& device) : dir_(MakeTempDir("verdelo-bench-service")) {
    WriteFile(dir_ + "/config.txt", ConsoleConfig(device));
    Child::Options options;
    options.argv = {program, "--config", dir_ + "/config.txt", "--dir", dir_};
    options.pipeStdout = true;
    options.stderrToStdout = true;
    child_ = std::make_unique<Child>(options);
    for (std::string line; !opened_ && !(line = child_->ReadLine(5000)).empty();) opened_ = line.ends_with(" open");
  }
  ~ServiceChild() {
    child_.reset();
    RemoveTree(dir_);
  }
  bool opened() const { return opened_; }
  pid_t pid() const { return child_->pid(); }
  // SIGTERM; returns the lines it logged as warnings or errors since its port
  // opened, each ending in a line break.
  std::string Stop() {
    // The pipe is emptied first: a service stuck writing its log to a full
    // pipe would never take the signal.
    std::string trouble = Drain(20);
    child_->Stop();
    return trouble + Drain(1000);
  }

 private:
  std::string Drain(int timeoutMs) {
    std::string trouble;
    for (std::string line; !(line = child_->ReadLine(timeoutMs)).empty();)
      if (line.starts_with("<3>") || line.starts_with("<4>")) trouble += line + "\n";
    return trouble;
  }

  std::string dir_;
  std::unique_ptr<Child> child_;
  bool opened_ = false;
};

// Bytes a process has read with read() and its kin (rchar of /proc/PID/io);
// -1 when it cannot be read.
long long BytesRead(pid_t pid) {
  const std::string io = ReadFile("/proc/" + std::to_string(pid) + "/io");
  const auto at = io.find("rchar:");
  return at == std::string::npos ? -1 : std::atoll(io.c_str() + at + 6);
}

// Bytes waiting on a pseudo-terminal for its reader, looked at through a
// descriptor of our own (root passes the reader's TIOCEXCL); -1 when it
// cannot be opened.
long UnreadBytes(const std::string& device) {
  const int fd = ::open(device.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  int waiting = -1;
  if (::ioctl(fd, FIONREAD, &waiting) != 0) waiting = -1;
  ::close(fd);
  return waiting;
}

// Waits up to `ms` for `done`, looking every 20 ms.
bool WaitUntil(int ms, const std::function<bool()>& done) {
  for (const std::int64_t end = NowNs() + std::int64_t{ms} * 1'000'000; !done(); SleepNs(20'000'000))
    if (NowNs() > end) return false;
  return true;
}

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
  // verdelo-service over the same seconds: polling a silent mower as verdelo
  // does, and one that answers.
  const bool service = args.Has("service");
  std::optional<MowerChild> silentMower, answeringMower;
  std::optional<ServiceChild> onSilent, onAnswering;
  if (service) {
    silentMower.emplace(args.Text("mower"), "", std::vector<std::string>{"--fault", "silent"});
    answeringMower.emplace(args.Text("mower"), "");
    if (!silentMower->ok() || !answeringMower->ok()) return 1;
    onSilent.emplace(args.Text("service"), silentMower->device());
    onAnswering.emplace(args.Text("service"), answeringMower->device());
    if (!onSilent->opened() || !onAnswering->opened()) {
      std::cerr << "process_probe: verdelo-service did not open its port\n";
      return 1;
    }
  }

  SleepNs(3'000'000'000);  // start-up and the first ticks are not idling
  const ProcessSample v0 = SampleProcess(program.pid()), m0 = SampleProcess(baseline.pid());
  const ProcessSample s0 = service ? SampleProcess(onSilent->pid()) : ProcessSample{};
  const ProcessSample a0 = service ? SampleProcess(onAnswering->pid()) : ProcessSample{};
  const std::int64_t t0 = NowNs();
  SleepNs(static_cast<std::int64_t>(seconds * 1e9));
  const ProcessSample v1 = SampleProcess(program.pid()), m1 = SampleProcess(baseline.pid());
  const ProcessSample s1 = service ? SampleProcess(onSilent->pid()) : ProcessSample{};
  const ProcessSample a1 = service ? SampleProcess(onAnswering->pid()) : ProcessSample{};
  const double wall = static_cast<double>(NowNs() - t0) / 1e9;
  program.Stop();
  baseline.Stop();
  mower.Stop();
  RemoveTree(dir);
  const std::string trouble = service ? onSilent->Stop() + onAnswering->Stop() : std::string();
  if (!v0.ok || !v1.ok || !m0.ok || !m1.ok || (service && (!s0.ok || !s1.ok || !a0.ok || !a1.ok))) {
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
  if (!service) return 0;

  const ProcessDelta sv = Between(s0, s1), an = Between(a0, a1);
  const double serviceCpu = 100.0 * static_cast<double>(sv.sum.runNs) / 1e9 / wall;
  const double answeredCpu = 100.0 * static_cast<double>(an.sum.runNs) / 1e9 / wall;
  const double serviceWakes = perSecond(sv.sum.voluntary);
  const double peakMiB = static_cast<double>(a1.hwmKiB) / 1024.0, verdeloMiB = static_cast<double>(v1.hwmKiB) / 1024.0;
  PrintNote("4 idle, verdelo-service over the same " + Fixed(wall, 1) + " s: polling a silent mower " +
            std::to_string(sv.threads) + " threads, " + Fixed(static_cast<double>(sv.sum.runNs) / 1e6, 1) +
            " ms on a CPU, " + std::to_string(sv.sum.voluntary) + " voluntary + " +
            std::to_string(sv.sum.involuntary) + " involuntary switches; polling a mower that answers " +
            std::to_string(an.threads) + " threads, " + Fixed(static_cast<double>(an.sum.runNs) / 1e6, 1) +
            " ms, " + Fixed(perSecond(an.sum.voluntary), 2) + " wake-ups/s, peak RSS " + Fixed(peakMiB, 1) +
            " MiB (" + Fixed(static_cast<double>(s1.hwmKiB) / 1024.0, 1) + " MiB with the silent mower); " +
            (trouble.empty() ? "no warnings logged" : "it logged: " + trouble));
  PrintRow("4 idle CPU, verdelo-service, 1000 ms polling", Fixed(serviceCpu, 3) + "% of a core",
           Fixed(cpu, 3) + "% verdelo, same run", Ratio(serviceCpu, cpu), "< 0.2%", Met(serviceCpu < 0.2));
  PrintRow("4 idle wake-ups, verdelo-service",
           Fixed(serviceWakes, 2) + "/s (+" + Fixed(perSecond(sv.sum.involuntary), 2) + "/s preempted)",
           Fixed(ticks, 2) + "/s timer ticks", Ratio(serviceWakes, ticks), "<= 1.2x ticks",
           Met(serviceWakes <= 1.2 * ticks));
  PrintRow("4 idle CPU, verdelo-service, mower answering", Fixed(answeredCpu, 3) + "% of a core",
           Fixed(serviceCpu, 3) + "% mower silent", Ratio(answeredCpu, serviceCpu), "-", "-");
  PrintRow("4 idle: verdelo-service peak RSS (VmHWM), mower answering", Fixed(peakMiB, 1) + " MiB",
           Fixed(verdeloMiB, 1) + " MiB verdelo, same run", Ratio(peakMiB, verdeloMiB), "<= 8 MiB",
           Met(peakMiB <= 8.0));
  return 0;
}

// Floods the line of a program that polls the mower (process `pid`, named
// `who`) once it polls, and measures it from outside: its CPU time and
// wake-ups per 1000 frames the mower's trace says it sent meanwhile, the
// bytes it read against those sent, those left unread on the line once the
// mower fell silent, and its peak RSS. `stop` ends the program and returns
// the lines it logged as warnings or errors.
int FloodFromOutside(TracedFlood& flood, pid_t pid, const std::string& who, int pollWaitMs,
                     const std::function<std::string()>& stop) {
  MowerChild& mower = flood.mower;
  // One answer taken in: the line is up both ways.
  if (!WaitUntil(pollWaitMs, [&] { return CountTracedFrames(flood.trace).answers > 0; })) {
    std::cerr << "process_probe: " << who << " did not open " << mower.device() << " and poll it\n";
    stop();
    return 1;
  }
  SleepNs(300'000'000);

  const std::string reply = flood.Start();
  // The trace first: a frame is traced before it is written, so one on its
  // way now is read after bytes0 and counts as read, never as lost.
  const TracedFrames sent0 = CountTracedFrames(flood.trace);
  const long long bytes0 = BytesRead(pid);
  const ProcessSample p0 = SampleProcess(pid);
  const std::int64_t t0 = NowNs();
  SleepNs(static_cast<std::int64_t>(flood.seconds * 1e9) + 50'000'000);
  const ProcessSample p1 = SampleProcess(pid);
  const double wall = static_cast<double>(NowNs() - t0) / 1e9;
  const TracedFrames sent1 = CountTracedFrames(flood.trace);
  // The mower falls silent and what it sent last is taken in.
  mower.Command("silent");
  SleepNs(300'000'000);
  const TracedFrames sent2 = CountTracedFrames(flood.trace);
  const long long bytes2 = BytesRead(pid);
  const long unread = UnreadBytes(mower.device());
  const ProcessSample p2 = SampleProcess(pid);
  const std::string trouble = stop();
  mower.Stop();
  if (!p0.ok || !p1.ok || !p2.ok || bytes0 < 0 || bytes2 < 0) {
    std::cerr << "process_probe: " << who << " ended early\n";
    return 1;
  }

  const ProcessDelta d = Between(p0, p1);
  const long windowFrames = sent1.total() - sent0.total();
  const double perFrame = 1000.0 / static_cast<double>(windowFrames);
  const double cpuMs = static_cast<double>(d.sum.runNs) / 1e6;
  const long long sentBytes = 5LL * (sent2.total() - sent0.total());
  std::cout << "DETAIL|mower said '" << reply << "'; " << windowFrames << " frames sent in " << Fixed(wall, 1)
            << " s, " << who << " " << d.threads << " threads (" << d.gone << " ended meanwhile), CPU "
            << Fixed(cpuMs, 0) << " ms = " << Fixed(100 * cpuMs / 1000 / wall, 1) << "% of a core; it read "
            << bytes2 - bytes0 << " bytes (with its event loop's own) of " << sentBytes << " sent, "
            << unread << " left unread; "
            << (trouble.empty() ? "no warnings logged" : "it logged: " + trouble) << "\n";
  std::cout << "VALUE|cpu_ms_per_1000|" << cpuMs * perFrame << "\nVALUE|wakeups_per_1000|"
            << static_cast<double>(d.sum.voluntary) * perFrame << "\nVALUE|cpu_share|" << 100 * cpuMs / 1000 / wall
            << "\nVALUE|frames_sent|" << windowFrames << "\nVALUE|flood_short|" << flood.frames - sent2.flood
            << "\nVALUE|bytes_sent|" << sentBytes << "\nVALUE|bytes_read|" << bytes2 - bytes0 << "\nVALUE|bytes_unread|" << unread
            << "\nVALUE|warnings|" << std::count(trouble.begin(), trouble.end(), '\n') << "\nVALUE|hwm_kib|"
            << p2.hwmKiB << std::endl;
  return 0;
}

// The flood of console_harness flood, taken in by verdelo-service.
int ServiceFlood(const Args& args) {
  TracedFlood flood(args, 10);
  if (!flood.mower.ok()) {
    std::cerr << "process_probe: the mower did not start\n";
    return 1;
  }
  ServiceChild service(args.Text("service"), flood.mower.device());
  if (!service.opened()) {
    std::cerr << "process_probe: verdelo-service did not open " << flood.mower.device() << "\n";
    return 1;
  }
  return FloodFromOutside(flood, service.pid(), "verdelo-service", 5000, [&] { return service.Stop(); });
}

// The same flood taken in by the shipped window program, started as a user
// starts it: its config.txt opens the port at start, the window is shown
// (offscreen).
int WindowFlood(const Args& args) {
  const std::string verdelo = args.Text("verdelo");
  TracedFlood flood(args, 10);
  if (!flood.mower.ok()) {
    std::cerr << "process_probe: the mower did not start\n";
    return 1;
  }
  ConfigBeside config(verdelo);
  config.Write(ConsoleConfig(flood.mower.device()));
  const std::string dir = MakeTempDir("verdelo-bench-window");
  Child::Options options;
  options.argv = {verdelo};
  // A last resort should the probe itself die: the program ends on its own.
  options.env = {"QT_QPA_PLATFORM=offscreen",
                 "VERDELO_RUN_SECONDS=" + std::to_string(static_cast<int>(flood.seconds) + 30)};
  options.dir = dir;
  Child program(options);
  const int status = FloodFromOutside(flood, program.pid(), "verdelo", 10000, [&] {
    program.Stop();
    return std::string();
  });
  RemoveTree(dir);
  return status;
}

}  // namespace
}  // namespace verdelo::bench

int main(int argc, char** argv) {
  using namespace verdelo::bench;
  return RunMode(argc, argv, "process_probe",
                 {{"startup", Startup}, {"idle", Idle}, {"service-flood", ServiceFlood}, {"window-flood", WindowFlood}});
}
