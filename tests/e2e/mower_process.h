// verdelo-mower as a child process: its pseudo-terminal, its command input
// and its replies. Every wait is bounded.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace verdelo::test {

class MowerProcess {
 public:
  MowerProcess() = default;
  ~MowerProcess() { Stop(); }
  MowerProcess(const MowerProcess&) = delete;
  MowerProcess& operator=(const MowerProcess&) = delete;

  // Starts `program` with `args`, its standard error going to `errorFile`,
  // and waits up to `limitMs` for the device line. False, with `error`
  // set, when it did not come.
  bool Start(const std::string& program, const std::vector<std::string>& args,
             const std::filesystem::path& errorFile, std::string& error, int limitMs = 5000);

  // The slave side of its pseudo-terminal, as it printed it.
  const std::string& device() const { return device_; }
  bool running() const { return pid_ > 0; }

  // One command line on its standard input.
  bool Command(const std::string& line);
  // The next line it prints, or empty after `limitMs`.
  std::string ReadLine(int limitMs);

  // Ends it the way Ctrl-C does and reaps it; SIGKILL if it lingers.
  void Stop();

 private:
  pid_t pid_ = -1;
  int in_ = -1;   // our end of its standard input
  int out_ = -1;  // our end of its standard output
  std::string pending_;
  std::string device_;
};

}  // namespace verdelo::test
