#include "bench/bench_util.h"

#include <random>

#include "console/mower_frame.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string_view>

namespace verdelo::bench {

std::int64_t NowNs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return std::int64_t{t.tv_sec} * 1000000000 + t.tv_nsec;
}

std::int64_t ProcessCpuNs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return std::int64_t{t.tv_sec} * 1000000000 + t.tv_nsec;
}

void SleepNs(std::int64_t ns) {
  timespec t{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
  while (clock_nanosleep(CLOCK_MONOTONIC, 0, &t, &t) == EINTR) {
  }
}

Args::Args(int argc, char** argv, int first) {
  for (int i = first; i < argc; ++i) {
    std::string name = argv[i];
    if (name.rfind("--", 0) != 0) continue;
    name.erase(0, 2);
    if (i + 1 < argc && std::string(argv[i + 1]).rfind("--", 0) != 0) {
      values_[name] = argv[++i];
    } else {
      values_[name] = "";
    }
  }
}

std::string Args::Text(const std::string& name, const std::string& fallback) const {
  const auto it = values_.find(name);
  return it == values_.end() ? fallback : it->second;
}

double Args::Number(const std::string& name, double fallback) const {
  const auto it = values_.find(name);
  return it == values_.end() ? fallback : std::atof(it->second.c_str());
}

int RunMode(int argc, char** argv, const char* program, std::initializer_list<Mode> modes) {
  const std::string word = argc > 1 ? argv[1] : "";
  for (const Mode& mode : modes)
    if (word == mode.name) return mode.run(Args(argc, argv, 2));
  std::string names;
  for (const Mode& mode : modes) {
    if (!names.empty()) names += '|';
    names += mode.name;
  }
  std::cerr << "usage: " << program << ' ' << names << " [--options]\n";
  return 2;
}

void PrintRow(const std::string& figure, const std::string& value, const std::string& baseline,
              const std::string& ratio, const std::string& goal, const std::string& met) {
  std::cout << "ROW|" << figure << '|' << value << '|' << baseline << '|' << ratio << '|' << goal << '|'
            << met << std::endl;
}

void PrintNote(const std::string& text) { std::cout << "NOTE|" << text << std::endl; }

std::string Fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string Ratio(double value, double baseline) {
  if (!(baseline > 0) || !std::isfinite(value)) return "-";
  const double r = value / baseline;
  return Fixed(r, r < 10 ? 2 : r < 100 ? 1 : 0) + "x";
}

const char* Met(bool met) { return met ? "yes" : "NO"; }

double Percentile(std::vector<double> values, double q) {
  if (values.empty()) return NAN;
  std::sort(values.begin(), values.end());
  const auto rank = static_cast<std::size_t>(std::ceil(q * static_cast<double>(values.size())));
  return values[std::min(values.size() - 1, rank == 0 ? 0 : rank - 1)];
}

std::string DescribeLatency(const std::vector<double>& us) {
  long overMs = 0;
  for (double v : us) overMs += v > 1000;
  return "p50 " + Fixed(Percentile(us, 0.5), 1) + " us, p90 " + Fixed(Percentile(us, 0.9), 1) + " us, p99 " +
         Fixed(Percentile(us, 0.99), 1) + " us, p99.9 " + Fixed(Percentile(us, 0.999), 1) + " us, max " +
         Fixed(Percentile(us, 1.0), 1) + " us, " + std::to_string(overMs) + " of " + std::to_string(us.size()) +
         " over 1 ms";
}

std::vector<std::uint8_t> AnswerPacer::Frame(int index) {
  static constexpr std::uint16_t kCodes[] = {REG_VOLTAGE, REG_TEMPERATURE, REG_BOUNDARY_FRONT, REG_CURRENT};
  static constexpr int kBase[] = {22000, 10, 1000, -2000};
  static constexpr int kStep[] = {1, 1, 100, 1};  // the boundary label shows hundreds
  const int which = index % 4;
  const int value = kBase[which] + kStep[which] * ((index / 4) % 400);
  const MowerFrame frame = BuildAnswer(kCodes[which], static_cast<std::uint16_t>(value));
  return {frame.begin(), frame.end()};
}

void AnswerPacer::Done(std::int64_t ns) {
  {
    std::lock_guard lock(mutex_);
    doneNs_ = ns;
    done_ = true;
  }
  changed_.notify_one();
}

AnswerPacer::Result AnswerPacer::Run(int master, int answers) {
  Result result;
  result.latencyUs.reserve(static_cast<std::size_t>(answers));
  std::mt19937 random(7);
  std::uniform_int_distribution<int> gapUs(500, 1500);
  for (int i = 0; i < answers; ++i) {
    std::uint8_t drop[512];
    while (::read(master, drop, sizeof drop) > 0) {
    }
    const std::vector<std::uint8_t> frame = Frame(i);
    {
      std::lock_guard lock(mutex_);
      done_ = false;
    }
    // Timed from just before write(): the call hands the bytes on to threads
    // it wakes, and those often take this thread's CPU before write() has
    // returned, so a time taken after it can come after the reader's.
    const std::int64_t written = NowNs();
    lastWriteNs = written;
    if (::write(master, frame.data(), frame.size()) != static_cast<long>(frame.size())) {
      ++result.lost;
      continue;
    }
    std::unique_lock lock(mutex_);
    if (!changed_.wait_for(lock, std::chrono::seconds(1), [this] { return done_; })) {
      ++result.lost;
      continue;
    }
    result.latencyUs.push_back(static_cast<double>(doneNs_ - written) / 1000.0);
    lock.unlock();
    SleepNs(std::int64_t{gapUs(random)} * 1000);
  }
  return result;
}

std::string MakeTempDir(const std::string& prefix) {
  std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr) return {};
  return pattern;
}

void RemoveTree(const std::string& path) {
  std::error_code ignored;
  if (!path.empty()) std::filesystem::remove_all(path, ignored);
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  return static_cast<bool>(out);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string ConsoleConfig(const std::string& device, bool expert, bool trends) {
  return "[COM1]" + device + "\r\n[COMPORT]0\r\n[COMSPEED]2\r\n[COMPORT_AUTO_OPEN]1\r\n[NO_SPLASH_DIALOG]\r\n" +
         (expert ? "[COMPORT_EXPERT_MODE]\r\n" : "") + (trends ? "[TRENDS_AT_START]\r\n" : "");
}

double PublishedFigure(const std::string& markdown, const std::string& figure, int column) {
  const auto trim = [](std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return std::string_view();
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
  };
  std::istringstream lines(markdown);
  for (std::string line; std::getline(lines, line);) {
    const std::string_view row = trim(line);
    if (!row.starts_with('|')) continue;
    std::vector<std::string_view> cells;
    for (std::size_t at = 1, bar; (bar = row.find('|', at)) != std::string_view::npos; at = bar + 1)
      cells.push_back(trim(row.substr(at, bar - at)));
    if (cells.empty() || cells[0] != figure) continue;
    if (column < 0 || static_cast<std::size_t>(column) + 1 >= cells.size()) return NAN;
    const std::string cell(cells[static_cast<std::size_t>(column) + 1]);
    char* end = nullptr;
    const double value = std::strtod(cell.c_str(), &end);
    return end == cell.c_str() || !std::isfinite(value) ? NAN : value;
  }
  return NAN;
}

Child::Child(const Options& options) {
  int in[2] = {-1, -1}, out[2] = {-1, -1};
  if (options.pipeStdin && ::pipe2(in, O_CLOEXEC) != 0) return;
  if (options.pipeStdout && ::pipe2(out, O_CLOEXEC) != 0) return;
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) env.emplace_back(*e);
  for (const std::string& add : options.env) {
    const std::string name = add.substr(0, add.find('=') + 1);
    env.erase(std::remove_if(env.begin(), env.end(),
                             [&name](const std::string& e) { return e.rfind(name, 0) == 0; }),
              env.end());
    env.push_back(add);
  }
  std::vector<char*> argv, envp;
  std::vector<std::string> args = options.argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  pid_ = ::fork();
  if (pid_ == 0) {
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(options.pipeStdin ? in[0] : null, STDIN_FILENO);
    ::dup2(options.pipeStdout ? out[1] : null, STDOUT_FILENO);
    if (options.stderrToStdout) ::dup2(options.pipeStdout ? out[1] : null, STDERR_FILENO);
    if (!options.dir.empty() && ::chdir(options.dir.c_str()) != 0) ::_exit(126);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
  if (options.pipeStdin) {
    ::close(in[0]);
    in_ = in[1];
  }
  if (options.pipeStdout) {
    ::close(out[1]);
    out_ = out[0];
  }
}

Child::~Child() {
  if (pid_ > 0) Stop();
  if (in_ >= 0) ::close(in_);
  if (out_ >= 0) ::close(out_);
}

std::string Child::ReadLine(int timeoutMs) {
  const std::int64_t end = NowNs() + std::int64_t{timeoutMs} * 1000000;
  for (;;) {
    const auto at = buffered_.find('\n');
    if (at != std::string::npos) {
      std::string line = buffered_.substr(0, at);
      buffered_.erase(0, at + 1);
      return line;
    }
    const std::int64_t left = (end - NowNs()) / 1000000;
    pollfd p{out_, POLLIN, 0};
    if (out_ < 0 || left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) return {};
    char buffer[512];
    const long n = ::read(out_, buffer, sizeof buffer);
    if (n <= 0) return {};
    buffered_.append(buffer, static_cast<std::size_t>(n));
  }
}

bool Child::Send(const std::string& text) {
  return in_ >= 0 && ::write(in_, text.data(), text.size()) == static_cast<long>(text.size());
}

int Child::Wait(long* maxRssKiB) {
  if (pid_ <= 0) return -1;
  int status = 0;
  rusage usage{};
  while (::wait4(pid_, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  if (maxRssKiB) *maxRssKiB = usage.ru_maxrss;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int Child::Stop(long* maxRssKiB) {
  if (pid_ > 0) ::kill(pid_, SIGTERM);
  return Wait(maxRssKiB);
}

TracedFlood::TracedFlood(const Args& args, double defaultSeconds)
    : dir_(MakeTempDir("verdelo-bench-trace")),
      seconds(args.Number("seconds", defaultSeconds)),
      fps(args.Number("fps", 2304)),
      frames(static_cast<long>(fps * seconds + 0.5)),
      voltage(args.Has("voltage")),
      trace(dir_ + "/trace.txt"),
      mower(args.Text("mower"), trace) {}

TracedFlood::~TracedFlood() {
  mower.Stop();
  RemoveTree(dir_);
}

MowerChild::MowerChild(const std::string& program, const std::string& traceFile,
                       const std::vector<std::string>& extraArgs) {
  Child::Options options;
  options.argv = {program, "--start", "10:00", "--phase", "cutting"};
  if (!traceFile.empty()) {
    options.argv.push_back("--trace");
    options.argv.push_back(traceFile);
  }
  options.argv.insert(options.argv.end(), extraArgs.begin(), extraArgs.end());
  options.pipeStdin = true;
  options.pipeStdout = true;
  child_ = std::make_unique<Child>(options);
  device_ = child_->ReadLine(5000);
}

std::string MowerChild::Command(const std::string& line) {
  if (!child_->Send(line + "\n")) return {};
  return child_->ReadLine(5000);
}

TracedFrames CountTracedFrames(const std::string& traceFile) {
  TracedFrames counted;
  std::ifstream in(traceFile);
  for (std::string line; std::getline(in, line);) {
    const auto first = line.find(' ');
    if (first == std::string::npos) continue;
    const auto second = line.find(' ', first + 1);
    const std::string what = line.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
    const long bytes = second == std::string::npos ? 0 : static_cast<long>(line.size() - second) / 3;
    if (what == "ANS" || what == "BURST") counted.answers += bytes / 5;
    else if (what == "FLOOD") counted.flood += bytes / 5;
    else if (what == "REQ") counted.requests += bytes / 5;
  }
  return counted;
}

namespace {

std::string ReadSmall(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  char buffer[4096];
  const long n = ::read(fd, buffer, sizeof buffer - 1);
  ::close(fd);
  return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

std::int64_t StatusField(const std::string& status, const char* name) {
  const auto at = status.find(name);
  if (at == std::string::npos) return 0;
  return std::atoll(status.c_str() + at + std::strlen(name));
}

}  // namespace

long ClockTicksPerSecond() { return ::sysconf(_SC_CLK_TCK); }

ProcessSample SampleProcess(pid_t pid) {
  ProcessSample sample;
  const std::string base = "/proc/" + std::to_string(pid);
  const std::string stat = ReadSmall(base + "/stat");
  const auto close = stat.rfind(')');
  if (close == std::string::npos) return sample;
  // Fields after the command: state is field 3; utime and stime are 14 and 15.
  std::istringstream fields(stat.substr(close + 2));
  std::string field;
  for (int index = 3; index <= 15 && (fields >> field); ++index) {
    if (index == 14 || index == 15) sample.cpuTicks += std::atoll(field.c_str());
  }
  const std::string status = ReadSmall(base + "/status");
  sample.hwmKiB = static_cast<long>(StatusField(status, "VmHWM:"));
  sample.rssKiB = static_cast<long>(StatusField(status, "VmRSS:"));
  if (DIR* tasks = ::opendir((base + "/task").c_str())) {
    while (dirent* entry = ::readdir(tasks)) {
      if (entry->d_name[0] == '.') continue;
      const std::string task = base + "/task/" + entry->d_name;
      const std::string taskStatus = ReadSmall(task + "/status");
      TaskCounts& counts = sample.tasks[std::atoi(entry->d_name)];
      counts.voluntary = StatusField(taskStatus, "\nvoluntary_ctxt_switches:");
      counts.involuntary = StatusField(taskStatus, "nonvoluntary_ctxt_switches:");
      counts.runNs = std::atoll(ReadSmall(task + "/schedstat").c_str());
    }
    ::closedir(tasks);
  }
  sample.ok = true;
  return sample;
}

ProcessDelta Between(const ProcessSample& earlier, const ProcessSample& later) {
  ProcessDelta delta;
  for (const auto& [tid, now] : later.tasks) {
    const auto before = earlier.tasks.find(tid);
    const TaskCounts then = before == earlier.tasks.end() ? TaskCounts{} : before->second;
    delta.sum.runNs += now.runNs - then.runNs;
    delta.sum.voluntary += now.voluntary - then.voluntary;
    delta.sum.involuntary += now.involuntary - then.involuntary;
    ++delta.threads;
  }
  for (const auto& [tid, then] : earlier.tasks) delta.gone += later.tasks.count(tid) == 0;
  return delta;
}

void MeasuringWindow::Begin() {
  s0_ = SampleProcess(::getpid());
  cpu0_ = ProcessCpuNs();
  t0_ = NowNs();
}

void MeasuringWindow::End() {
  cpu1_ = ProcessCpuNs();
  t1_ = NowNs();
  s1_ = SampleProcess(::getpid());
}

void MeasuringWindow::PrintRates(long frames, long units, const std::string& unit) const {
  const double perFrame = 1000.0 / static_cast<double>(frames);
  std::cout << "VALUE|" << unit << "s_per_1000|" << static_cast<double>(units) * perFrame
            << "\nVALUE|cpu_us_per_" << unit << "|" << CpuMs() * 1e3 / static_cast<double>(units)
            << "\nVALUE|cpu_ms_per_1000|" << CpuMs() * perFrame << "\nVALUE|wakeups_per_1000|"
            << static_cast<double>(Threads().sum.voluntary) * perFrame << "\nVALUE|cpu_share|"
            << CpuShare() << std::endl;
}

}  // namespace verdelo::bench
