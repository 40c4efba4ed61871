// Small helpers the measuring programs of bench/ share: clocks, CPU time,
// child processes with pipes, the virtual mower as a child, and the result
// rows that bench/run turns into its table.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <mutex>
#include <memory>
#include <string>
#include <vector>

namespace verdelo::bench {

// CLOCK_MONOTONIC in nanoseconds.
std::int64_t NowNs();
// User plus system time of this whole process (every thread), in nanoseconds.
std::int64_t ProcessCpuNs();
void SleepNs(std::int64_t ns);

// "--name value" pairs of a command line, after the mode word.
class Args {
 public:
  Args(int argc, char** argv, int first);
  std::string Text(const std::string& name, const std::string& fallback = "") const;
  double Number(const std::string& name, double fallback) const;
  bool Has(const std::string& name) const { return values_.count(name) != 0; }

 private:
  std::map<std::string, std::string> values_;
};

// One mode of a measuring program: the word that picks it and what runs it.
struct Mode {
  const char* name;
  std::function<int(const Args&)> run;
};
// The measuring programs' main: runs the mode argv[1] names with the options
// after it and returns what it returns; without a known mode, prints
// "usage: PROGRAM MODE|... [--options]" and returns 2.
int RunMode(int argc, char** argv, const char* program, std::initializer_list<Mode> modes);

// One row of the table: every figure with its baseline and the ratio of the
// two. `met` is "yes", "NO" or "-" for figures without a goal.
void PrintRow(const std::string& figure, const std::string& value, const std::string& baseline,
              const std::string& ratio, const std::string& goal, const std::string& met);
// A line of detail printed under the table.
void PrintNote(const std::string& text);
std::string Fixed(double value, int decimals);
std::string Ratio(double value, double baseline);
const char* Met(bool met);

// Sorted copy's value at fraction q (0..1), nearest rank.
double Percentile(std::vector<double> values, double q);
// "p50 12.3 µs, p99 45.6 µs, p99.9 ..., max ..." of microsecond samples.
std::string DescribeLatency(const std::vector<double>& us);

std::string MakeTempDir(const std::string& prefix);
void RemoveTree(const std::string& path);
bool WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);

// Console configuration that opens `device` at start without the splash
// box; `expert` adds [COMPORT_EXPERT_MODE], with which the port window logs
// every read and send in its traffic lists. CR LF lines, as the console
// reads them.
std::string ConsoleConfig(const std::string& device, bool expert = false, bool trends = false);

// A figure of an earlier run from a Markdown page of tables (such as
// docs/PERFORMANCE.md, latest table first): in the first row whose first
// cell is exactly `figure`, the number its cell `column` after the name
// starts with (0 the value, 1 the baseline); NaN without such a row or
// number.
double PublishedFigure(const std::string& markdown, const std::string& figure, int column = 0);

// A child process. Standard input and output are pipes when asked for,
// otherwise /dev/null; standard error is inherited unless it is asked to go
// with standard output.
class Child {
 public:
  struct Options {
    std::vector<std::string> argv;
    std::vector<std::string> env;  // "NAME=value", added to this environment
    std::string dir;               // working directory; empty: this one
    bool pipeStdin = false;
    bool pipeStdout = false;
    bool stderrToStdout = false;  // standard error into the stdout pipe
  };
  Child() = default;
  explicit Child(const Options& options);
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  pid_t pid() const { return pid_; }
  int stdinFd() const { return in_; }
  int stdoutFd() const { return out_; }
  // One line of its standard output, without the line end; empty after
  // timeoutMs or at end of file.
  std::string ReadLine(int timeoutMs);
  bool Send(const std::string& text);
  // Waits for the end; returns the exit status and fills the peak RSS (KiB).
  int Wait(long* maxRssKiB = nullptr);
  // SIGTERM, then Wait.
  int Stop(long* maxRssKiB = nullptr);

 private:
  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  std::string buffered_;
};

// verdelo-mower as a child, with a trace of everything it sends; device()
// is the pseudo-terminal the console opens.
class MowerChild {
 public:
  MowerChild(const std::string& program, const std::string& traceFile,
             const std::vector<std::string>& extraArgs = {});
  bool ok() const { return !device_.empty(); }
  const std::string& device() const { return device_; }
  // Sends a command line and returns the mower's reply.
  std::string Command(const std::string& line);
  int Stop() { return child_->Stop(); }

 private:
  std::unique_ptr<Child> child_;
  std::string device_;
};

// A flood as every flood mode runs it: --seconds and --fps (2304), and the
// mower tracing each frame it sends into a folder of its own, which goes
// with it. --voltage asks for battery-voltage answers whose value moves
// every frame instead of the polled registers' answers in turn.
class TracedFlood {
 public:
  TracedFlood(const Args& args, double defaultSeconds);
  ~TracedFlood();
  TracedFlood(const TracedFlood&) = delete;
  TracedFlood& operator=(const TracedFlood&) = delete;
  // Asks the mower for the whole flood; its reply.
  std::string Start() {
    return mower.Command("flood " + Fixed(fps, 0) + " " + std::to_string(frames) + (voltage ? " voltage" : ""));
  }

 private:
  const std::string dir_;

 public:
  const double seconds;
  const double fps;
  const long frames;  // the flood's: fps for seconds
  const bool voltage;
  const std::string trace;
  MowerChild mower;
};

// Frames the mower put on the line according to its trace: answers, bursts
// and floods (whole frames of five bytes).
struct TracedFrames {
  long answers = 0;
  long flood = 0;
  long requests = 0;
  long total() const { return answers + flood; }
};
TracedFrames CountTracedFrames(const std::string& traceFile);

// Counts frames in a byte stream cut anywhere: a frame is five bytes from a
// start byte; a start position that does not hold 0x0F is a broken frame.
class FrameCounter {
 public:
  // True when the byte completed a frame.
  bool Push(std::uint8_t byte) {
    ++bytes;
    if (position_ == 0 && byte != 0x0F) ++broken;
    if (++position_ == 5) {
      position_ = 0;
      ++frames;
      return true;
    }
    return false;
  }
  long bytes = 0;
  long frames = 0;
  long broken = 0;

 private:
  int position_ = 0;
};

// The writer's side of a latency measurement: answer frames written one at a
// time on a pseudo-terminal's master, 0.5 to 1.5 ms apart at random, each
// timed from the call of write() to the moment the reader reports it
// handled (Done, from any thread).
class AnswerPacer {
 public:
  struct Result {
    std::vector<double> latencyUs;
    long lost = 0;  // answers not reported within a second
  };
  // The answer frame number `index` carries: voltage, temperature, front
  // boundary and current in turn, each with a value that differs from its
  // previous one, so every answer changes its label.
  static std::vector<std::uint8_t> Frame(int index);
  void Done(std::int64_t ns);
  // Runs on the writer's thread. Bytes the far end sends meanwhile are read
  // and dropped.
  Result Run(int master, int answers);
  // When the frame now on its way was written (just before write()).
  std::atomic<std::int64_t> lastWriteNs{0};

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::int64_t doneNs_ = 0;
  bool done_ = false;
};

// Figures of a process from /proc, per thread where the kernel keeps them
// per thread.
struct TaskCounts {
  std::int64_t runNs = 0;        // time on a CPU (schedstat)
  std::int64_t voluntary = 0;    // went to sleep: one wake-up each
  std::int64_t involuntary = 0;  // lost the CPU to another task while running
};
struct ProcessSample {
  std::int64_t cpuTicks = 0;  // utime + stime of /proc/PID/stat (whole process, clock ticks)
  std::map<int, TaskCounts> tasks;
  long hwmKiB = 0;  // VmHWM
  long rssKiB = 0;  // VmRSS
  bool ok = false;
};
// What the threads alive at `later` did since `earlier` (a thread born in
// between counts whole); `gone` counts threads that ended in between, whose
// last counts are lost.
struct ProcessDelta {
  TaskCounts sum;
  int threads = 0;
  int gone = 0;
};
ProcessDelta Between(const ProcessSample& earlier, const ProcessSample& later);
ProcessSample SampleProcess(pid_t pid);
long ClockTicksPerSecond();

// The CPU time, wall time and thread switches of this process over a
// measuring window, as the flood figures need them.
class MeasuringWindow {
 public:
  void Begin();
  void End();
  double CpuMs() const { return static_cast<double>(cpu1_ - cpu0_) / 1e6; }
  double WallMs() const { return static_cast<double>(t1_ - t0_) / 1e6; }
  double CpuShare() const { return 100 * CpuMs() / WallMs(); }
  ProcessDelta Threads() const { return Between(s0_, s1_); }
  // Prints VALUE lines: `unit`s and CPU per 1000 frames, CPU per `unit`,
  // wake-ups per 1000 frames and the CPU share.
  void PrintRates(long frames, long units, const std::string& unit) const;

 private:
  std::int64_t cpu0_ = 0, t0_ = 0, cpu1_ = 0, t1_ = 0;
  ProcessSample s0_, s1_;
};

}  // namespace verdelo::bench
