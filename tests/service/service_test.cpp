#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>

#include "service/service_options.h"
#include "tests/e2e/mower_process.h"
#include "tests/support/temp_dir.h"
#include "tests/telemetry/test_broker.h"
#include "tests/telemetry/test_subscriber.h"

namespace verdelo::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

std::string ReadAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool AwaitFile(const fs::path& file, const std::string& text, int limitMs = 5000) {
  for (const auto start = Clock::now(); MsSince(start) < limitMs; ::usleep(20000))
    if (ReadAll(file).find(text) != std::string::npos) return true;
  return false;
}

void WriteLines(const fs::path& file, const std::vector<std::string>& lines, const char* end) {
  std::ofstream out(file, std::ios::binary);
  for (const std::string& line : lines) out << line << end;
}

// Where udev would name the adapter: a link to the mower's terminal.
void PointLink(const fs::path& link, const std::string& target) {
  fs::remove(link.string() + ".new");
  fs::create_symlink(target, link.string() + ".new");
  fs::rename(link.string() + ".new", link);
}

// systemd's side of sd_notify: a datagram socket, every message kept.
class NotifySocket {
 public:
  explicit NotifySocket(const fs::path& path) : path_(path.string()) {
    fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path_.copy(address.sun_path, sizeof address.sun_path - 1);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
  }
  ~NotifySocket() { ::close(fd_); }
  const std::string& path() const { return path_; }

  // Waits for a message holding `text`; every message read is kept.
  bool Await(const std::string& text, int limitMs = 5000) {
    for (const auto start = Clock::now(); MsSince(start) < limitMs;) {
      pollfd ready{fd_, POLLIN, 0};
      if (::poll(&ready, 1, 50) <= 0) continue;
      char buffer[4096];
      const ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
      if (got <= 0) continue;
      messages.push_back({MsSince(origin_), std::string(buffer, static_cast<std::size_t>(got))});
      if (messages.back().text.find(text) != std::string::npos) return true;
    }
    return false;
  }
  struct Message {
    long at;
    std::string text;
  };
  std::vector<Message> messages;

 private:
  std::string path_;
  int fd_ = -1;
  Clock::time_point origin_ = Clock::now();
};

// verdelo-service as systemd starts it: only the environment given (no
// display), standard error into a file.
class ServiceProcess {
 public:
  ServiceProcess(const std::vector<std::string>& args, const std::vector<std::string>& env,
                 const fs::path& errorFile) {
    std::vector<std::string> argv = {VERDELO_SERVICE_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> environment = env;
    // A sanitizer's build of the service takes the test's settings.
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "TSAN_OPTIONS", "LSAN_OPTIONS"})
      if (const char* value = ::getenv(name)) environment.push_back(std::string(name) + "=" + value);
    pid_ = ::fork();
    if (pid_ != 0) return;
    const int err = ::open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(err, STDERR_FILENO);
    std::vector<char*> a, e;
    for (auto& s : argv) a.push_back(const_cast<char*>(s.c_str()));
    for (auto& s : environment) e.push_back(const_cast<char*>(s.c_str()));
    a.push_back(nullptr);
    e.push_back(nullptr);
    ::execve(a[0], a.data(), e.data());
    ::_exit(127);
  }
  ~ServiceProcess() {
    if (pid_ > 0 && ExitStatus(0) == -1) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  pid_t pid() const { return pid_; }
  // The exit status once it ended within `limitMs`; -1 while it runs.
  int ExitStatus(int limitMs) {
    for (const auto start = Clock::now();; ::usleep(10000)) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      if (MsSince(start) >= limitMs) return -1;
    }
  }

 private:
  pid_t pid_ = -1;
};

struct ServiceRig {
  ServiceRig() { fs::create_directory(work); }
  void StartMower(MowerProcess& mower) {
    std::string error;
    ASSERT_TRUE(mower.Start(VERDELO_MOWER_PATH, {"--trace", trace.string()}, dir.path() / "mower.err", error))
        << error;
    PointLink(device, mower.device());
  }
  TempDir dir;
  fs::path work = dir.path() / "work";
  fs::path device = dir.path() / "ttyMower";
  fs::path trace = dir.path() / "trace.txt";
  fs::path config = dir.path() / "garden.conf";
  fs::path log = work / "Moro-log.txt";
  fs::path errors = dir.path() / "service.err";
};

TEST(Service, RunsTheMowerForSystemdWithoutADisplay) {
  ServiceRig rig;
  MowerProcess mower;
  rig.StartMower(mower);
  WriteLines(rig.config, {"[COM1]" + rig.device.string(), "[COMPORT]0", "[SCHEDULER_TIMER]100"}, "\n");
  NotifySocket notify(rig.dir.path() / "notify");
  const auto started = Clock::now();
  ServiceProcess service({"--config", rig.config.string(), "--dir", rig.work.string()},
                         {"NOTIFY_SOCKET=" + notify.path(), "WATCHDOG_USEC=1000000", "PATH=/usr/bin:/bin"},
                         rig.errors);

  ASSERT_TRUE(notify.Await("READY=1")) << ReadAll(rig.errors);
  EXPECT_NE(notify.messages.back().text.find("STATUS=COM1 open"), std::string::npos);
  EXPECT_EQ(ReadAll("/proc/" + std::to_string(service.pid()) + "/maps").find("libQt"), std::string::npos);
  EXPECT_TRUE(AwaitFile(rig.trace, "REQ"));  // the poll cycle's requests on the wire
  EXPECT_TRUE(AwaitFile(rig.log, ";"));      // and the answers in the data log

  // The watchdog is fed at half its period.
  while (MsSince(started) < 3000) notify.Await("never");
  std::vector<long> beats;
  for (const auto& message : notify.messages)
    if (message.text == "WATCHDOG=1") beats.push_back(message.at);
  ASSERT_GE(beats.size(), 4u);
  for (std::size_t i = 1; i < beats.size(); ++i) EXPECT_NEAR(beats[i] - beats[i - 1], 500, 250);

  // logrotate renames the log, then SIGHUP: the next lines go to a new one.
  fs::rename(rig.log, rig.work / "Moro-log.txt.1");
  ::kill(service.pid(), SIGHUP);
  EXPECT_TRUE(AwaitFile(rig.errors, "data log reopened"));
  EXPECT_TRUE(fs::exists(rig.log));

  // Unplugged and plugged in again: the status follows, the log tells.
  mower.Stop();
  fs::remove(rig.device);
  EXPECT_TRUE(notify.Await("STATUS=COM1 lost: device gone, waiting"));
  EXPECT_TRUE(AwaitFile(rig.log, "=> Link lost"));
  MowerProcess again;
  rig.StartMower(again);
  EXPECT_TRUE(notify.Await("STATUS=COM1 open"));
  EXPECT_TRUE(AwaitFile(rig.log, "=> Link reopened"));

  const auto stopping = Clock::now();
  ::kill(service.pid(), SIGTERM);
  EXPECT_EQ(service.ExitStatus(3000), 0);
  EXPECT_LT(MsSince(stopping), 3000);
  const std::string errors = ReadAll(rig.errors);
  EXPECT_NE(errors.find("<4>COM1 lost: "), std::string::npos) << errors;
  EXPECT_NE(errors.find("<6>stopping on SIGTERM"), std::string::npos) << errors;
}

TEST(Service, TakesCommandsFromTheBrokerAndSaysOfflineWhenStopped) {
  ServiceRig rig;
  TestBroker broker(rig.dir.path());
  ASSERT_TRUE(broker.Start()) << broker.error();
  TestSubscriber subscriber(broker.plainPort());
  ASSERT_TRUE(subscriber.ok());
  MowerProcess mower;
  rig.StartMower(mower);
  WriteLines(rig.config,
             {"[COM1]" + rig.device.string(), "[COMPORT]0", "[MQTT_BROKER]" + broker.PlainUrl(), "[MQTT_COMMANDS]1"},
             "\r\n");
  ServiceProcess service({"--config=" + rig.config.string(), "--dir=" + rig.work.string(), "--name", "front"},
                         {"PATH=/usr/bin:/bin"}, rig.errors);

  ASSERT_TRUE(subscriber.Await([&](const std::vector<Received>&) {
    return subscriber.HasPayload("verdelo/front/availability", "online");
  })) << ReadAll(rig.errors);
  subscriber.Publish("verdelo/front/command", "home");
  EXPECT_TRUE(AwaitFile(rig.log, "=> MQTT command: home")) << ReadAll(rig.errors);

  const auto stopping = Clock::now();
  ::kill(service.pid(), SIGTERM);
  EXPECT_EQ(service.ExitStatus(3000), 0);
  EXPECT_LT(MsSince(stopping), 3000);
  EXPECT_TRUE(subscriber.Await([&](const std::vector<Received>&) {
    return subscriber.Last("verdelo/front/availability") == std::optional<std::string>("offline");
  }));
}

TEST(ServiceOptions, ReadsItsCommandLine) {
  using Action = ServiceOptions::Action;
  struct Case {
    std::vector<std::string> args;
    Action action;
    std::string config, dir, name, error;
  };
  const Case cases[] = {
      {{}, Action::Run, "", "", "", ""},
      {{"--config", "a.conf", "--dir=/var/x", "--name", "back"}, Action::Run, "a.conf", "/var/x", "back", ""},
      {{"--version", "--help"}, Action::Help, "", "", "", ""},
      {{"--check-config", "--config=/e/g.conf"}, Action::CheckConfig, "/e/g.conf", "", "", ""},
      {{"--list-ports", "--check-config"}, Action::ListPorts, "", "", "", ""},
      {{"--config"}, Action::Error, "", "", "", "option '--config' needs a value"},
      {{"--dir="}, Action::Error, "", "", "", "option '--dir' needs a value"},
      {{"--name", "a/b"}, Action::Error, "", "", "", "'a/b' is not a name for topics (letters, digits, - and _)"},
      {{"--desktop"}, Action::Error, "", "", "", "unknown option '--desktop'"},
      {{"garden"}, Action::Error, "", "", "", "unexpected argument 'garden'"},
  };
  for (const Case& c : cases) {
    const ServiceOptions options = ParseServiceOptions(c.args);
    SCOPED_TRACE(testing::PrintToString(c.args));
    EXPECT_EQ(options.action, c.action);
    EXPECT_EQ(options.error, c.error);
    if (c.action == Action::Error) continue;
    EXPECT_EQ(options.configFile.value_or("").string(), c.config);
    EXPECT_EQ(options.workDir.value_or("").string(), c.dir);
    EXPECT_EQ(options.name.value_or(""), c.name);
  }
  EXPECT_TRUE(ParseServiceOptions({"--list-ports", "--check-config"}).alsoCheckConfig);
}

}  // namespace
}  // namespace verdelo::test
