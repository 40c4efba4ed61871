// The virtual mower run by a test: the serve loop on a thread of its own,
// or the program itself steered through its standard input, and bounded
// reads from a descriptor. Every wait has a deadline.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "tests/mower/mower_test_util.h"
#include "tools/mower/serve_loop.h"

namespace verdelo::mower::testing {

using Clock = std::chrono::steady_clock;

inline constexpr int kPatienceMs = 3000;  // for what must come
inline constexpr int kQuietMs = 300;      // for what must not

inline long ElapsedMs(Clock::time_point since) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count();
}

// The serve loop's clock counts whole milliseconds from its start, so a
// request stamped at millisecond n may have come in just before n + 1, and
// an answer held back MS milliseconds may leave up to 1 ms before MS have
// passed since the request's true arrival.
inline constexpr long kLineClockGrainMs = 1;

// Reads from `fd` until `want` bytes came or `timeout_ms` passed.
inline Bytes ReadBytes(int fd, std::size_t want, int timeout_ms) {
  Bytes got;
  const auto start = Clock::now();
  while (got.size() < want) {
    const long left = timeout_ms - ElapsedMs(start);
    pollfd p{fd, POLLIN, 0};
    if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) break;
    std::uint8_t buffer[256];
    const long n = ::read(fd, buffer, std::min(sizeof buffer, want - got.size()));
    if (n <= 0) break;
    got.insert(got.end(), buffer, buffer + n);
  }
  return got;
}

// Runs a serve loop on a thread of its own. Going out of scope stops and
// joins it, so a failed ASSERT ends its test instead of the whole program
// (a joinable std::thread destroyed would call std::terminate).
class LoopThread {
 public:
  explicit LoopThread(ServeLoop& loop) : loop_(loop), thread_([this] { result_ = loop_.Run(); }) {}
  ~LoopThread() { Stop(); }
  // Stops the loop and returns what its Run returned.
  int Stop() {
    if (thread_.joinable()) {
      loop_.Stop();
      thread_.join();
    }
    return result_;
  }

 private:
  ServeLoop& loop_;
  int result_ = -1;
  std::thread thread_;
};

// The program itself, with pipes on its standard input and output.
class MowerProgram {
 public:
  explicit MowerProgram(std::vector<std::string> args) {
    int in[2], out[2];
    if (::pipe(in) != 0 || ::pipe(out) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(in[0], STDIN_FILENO);
      ::dup2(out[1], STDOUT_FILENO);
      const int quiet = ::open("/dev/null", O_WRONLY);
      ::dup2(quiet, STDERR_FILENO);
      ::close(in[1]);
      ::close(out[0]);
      args.insert(args.begin(), VERDELO_MOWER_PROGRAM);
      std::vector<char*> argv;
      for (auto& arg : args) argv.push_back(arg.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    stdin_ = in[1];
    stdout_ = out[0];
    device = ReadLine();
  }
  ~MowerProgram() {
    if (pid_ > 0) Terminate();
    if (stdin_ >= 0) ::close(stdin_);
    if (stdout_ >= 0) ::close(stdout_);
  }

  std::string ReadLine() {
    for (;;) {
      const auto end = buffered_.find('\n');
      if (end != std::string::npos) {
        std::string line = buffered_.substr(0, end);
        buffered_.erase(0, end + 1);
        return line;
      }
      const Bytes more = ReadBytes(stdout_, 1, kPatienceMs);
      if (more.empty()) return "(nothing)";
      buffered_.push_back(static_cast<char>(more[0]));
    }
  }
  // Sends a command and returns its reply, so the mower has taken it.
  std::string Command(const std::string& line) {
    const std::string text = line + "\n";
    if (::write(stdin_, text.data(), text.size()) != static_cast<long>(text.size())) return "(write failed)";
    return ReadLine();
  }
  int Terminate() {
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::string device;

 private:
  pid_t pid_ = -1;
  int stdin_ = -1, stdout_ = -1;
  std::string buffered_;
};

}  // namespace verdelo::mower::testing
