#include "tests/e2e/mower_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

extern char** environ;

namespace verdelo::test {
namespace {

using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

bool MowerProcess::Start(const std::string& program, const std::vector<std::string>& args,
                         const std::filesystem::path& errorFile, std::string& error, int limitMs) {
  int in[2], out[2];
  if (::pipe2(in, O_CLOEXEC) != 0) {
    error = std::string("pipe: ") + std::strerror(errno);
    return false;
  }
  if (::pipe2(out, O_CLOEXEC) != 0) {
    error = std::string("pipe: ") + std::strerror(errno);
    ::close(in[0]);
    ::close(in[1]);
    return false;
  }

  std::vector<std::string> words{program};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorFile.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int spawned =
      ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  in_ = in[1];
  out_ = out[0];
  if (spawned != 0) {
    pid_ = -1;
    error = "cannot start " + program + ": " + std::strerror(spawned);
    Stop();
    return false;
  }

  device_ = ReadLine(limitMs);
  if (device_.empty()) {
    error = program + " printed no device within " + std::to_string(limitMs) + " ms";
    Stop();
    return false;
  }
  return true;
}

bool MowerProcess::Command(const std::string& line) {
  if (in_ < 0) return false;
  const std::string text = line + "\n";
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t wrote = ::write(in_, text.data() + done, text.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    done += static_cast<std::size_t>(wrote);
  }
  return true;
}

std::string MowerProcess::ReadLine(int limitMs) {
  const auto start = Clock::now();
  for (;;) {
    const std::size_t end = pending_.find('\n');
    if (end != std::string::npos) {
      std::string line = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      return line;
    }
    const long left = limitMs - MsSince(start);
    if (out_ < 0 || left <= 0) return {};
    pollfd p{out_, POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return {};
    char buffer[256];
    const ssize_t got = ::read(out_, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return {};  // it closed its output
    pending_.append(buffer, static_cast<std::size_t>(got));
  }
}

void MowerProcess::Stop() {
  CloseFd(in_);
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    const auto start = Clock::now();
    int status = 0;
    pid_t reaped = 0;
    while ((reaped = ::waitpid(pid_, &status, WNOHANG)) == 0 && MsSince(start) < 3000) {
      const timespec tick{0, 5'000'000};
      ::nanosleep(&tick, nullptr);
    }
    if (reaped == 0) {
      ::kill(pid_, SIGKILL);
      while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
      }
    }
    pid_ = -1;
  }
  CloseFd(out_);
}

}  // namespace verdelo::test
