// The verdelo program itself, started headless beside its own config.txt,
// with its data log already at the file size limit of the process: writing a
// line past RLIMIT_FSIZE raises SIGXFSZ, which ends a program that does not
// ignore it. It must run its whole time, polling and raising its alarm,
// and leave the log as it found it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "console/mower_frame.h"
#include "tests/faults/fault_support.h"
#include "tests/serial/pty_pair.h"
#include "tests/support/qt_wait.h"

extern char** environ;

namespace verdelo::test {
namespace {

using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point start) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// The program as a child: working directory, environment and file size
// limit set before it starts; standard output and error go to `output`.
class ProgramRun {
 public:
  bool Start(const std::filesystem::path& program, const std::filesystem::path& workDir,
             const std::vector<std::string>& extraEnvironment, rlim_t fileSizeLimit,
             const std::filesystem::path& output) {
    // Everything the child needs is prepared here: after fork it may only
    // make plain system calls.
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
      const std::string text = *entry;
      if (text.rfind("VERDELO_", 0) != 0 && text.rfind("QT_QPA_PLATFORM=", 0) != 0)
        environment.push_back(text);
    }
    environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
    std::vector<char*> envp;
    for (std::string& text : environment) envp.push_back(text.data());
    envp.push_back(nullptr);
    std::string path = program.string();
    char* argv[] = {path.data(), nullptr};
    const int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int in = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (out < 0 || in < 0) return false;
    const rlimit limit{fileSizeLimit, fileSizeLimit};

    pid_ = ::fork();
    if (pid_ == 0) {
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0 || ::chdir(workDir.c_str()) != 0 ||
          ::dup2(in, STDIN_FILENO) < 0 || ::dup2(out, STDOUT_FILENO) < 0 ||
          ::dup2(out, STDERR_FILENO) < 0)
        ::_exit(126);
      ::execve(argv[0], argv, envp.data());
      ::_exit(127);
    }
    ::close(out);
    ::close(in);
    return pid_ > 0;
  }

  // True once the child has ended; `status` is its wait status.
  bool Ended(int& status) {
    if (pid_ <= 0) return true;
    if (::waitpid(pid_, &status, WNOHANG) != pid_) return false;
    pid_ = -1;
    return true;
  }

  ~ProgramRun() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      int status = 0;
      ::waitpid(pid_, &status, 0);
    }
  }

 private:
  pid_t pid_ = -1;
};

TEST(ProgramWithFullLog, RunsItsWholeTimePollingAndRaisingAlarmsWithTheLogUntouched) {
  TempDir dir;
  PtyPair line;
  const std::filesystem::path program = dir.path() / "verdelo";
  std::filesystem::copy_file(VERDELO_PROGRAM_PATH, program);
  WriteCrLfLines(dir.path() / "config.txt",
                 {"[NO_SPLASH_DIALOG]", "[COM1]" + line.SlavePath(), "[COMPORT_AUTO_OPEN]1",
                  "[SCHEDULER_TIMER]20", "[ALARM_IF_NO_RESPONSE]1", "[ALARM_TIMER]300"});
  {
    std::ofstream(dir.path() / "ALARM.bat") << "echo raised >> hooks.txt\n";
  }
  // A log of earlier runs that has reached the limit.
  const std::string earlier =
      "05/03/2026;09:07:03; 1002; -850;21;24800;3100;  12;1;  450;    0;    0;    0;=> Cutting, "
      "inside boundary : 1002\r\n";
  std::string log;
  for (int i = 0; i < 40; ++i) log += earlier;
  {
    std::ofstream(dir.path() / "Moro-log.txt", std::ios::binary) << log;
  }

  ProgramRun run;
  ASSERT_TRUE(run.Start(program, dir.path(), {"QT_QPA_PLATFORM=offscreen", "VERDELO_RUN_SECONDS=3"},
                        log.size() + 20, dir.path() / "output.txt"));

  // For a while after its first request the mower answers, its status
  // changing every time; then it falls silent and the no-response alarm
  // must come.
  constexpr long kAnsweringMs = 1200;
  RequestFrames frames;
  int requests = 0, statusChanges = 0;
  long firstRequestMs = -1, lastRequestMs = -1;
  int status = 0;
  const auto start = Clock::now();
  bool ended = false;
  while (!(ended = run.Ended(status)) && MsSince(start) < 15000) {
    frames.Push(line.Receive(4096, 10), [&](std::uint16_t code) {
      ++requests;
      lastRequestMs = MsSince(start);
      if (firstRequestMs < 0) firstRequestMs = lastRequestMs;
      if (lastRequestMs - firstRequestMs > kAnsweringMs) return;
      const std::uint16_t value =
          code == REG_STATUS ? static_cast<std::uint16_t>(++statusChanges % 2 ? 1002 : 1014) : 1200;
      line.Send(AnswerBytes(code, value));
    });
  }
  const long endedMs = MsSince(start);
  ASSERT_TRUE(ended) << "verdelo did not end within 15 s";
  ASSERT_FALSE(WIFSIGNALED(status)) << "verdelo was ended by signal " << WTERMSIG(status) << ": "
                                    << ReadBytes(dir.path() / "output.txt");
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << "exit status " << status << ": " << ReadBytes(dir.path() / "output.txt");

  EXPECT_GE(statusChanges, 3) << "too few status changes to have tried the log";
  EXPECT_GE(requests, 30);
  EXPECT_GE(lastRequestMs, endedMs - 1000) << "it stopped polling " << endedMs - lastRequestMs
                                           << " ms before its end";
  // The hook runs detached and may finish after the program.
  const auto hooks = dir.path() / "hooks.txt";
  const auto waited = Clock::now();
  while (ReadBytes(hooks).empty() && MsSince(waited) < 2000) ::usleep(10'000);
  EXPECT_EQ(ReadBytes(hooks), "raised\n");
  EXPECT_EQ(ReadBytes(dir.path() / "Moro-log.txt"), log);
}

}  // namespace
}  // namespace verdelo::test
