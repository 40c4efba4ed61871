#include "console/system_services.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

namespace verdelo {

LocalTime SystemClock::Now() const {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  ::localtime_r(&now.tv_sec, &local);
  return LocalTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                   local.tm_min,         local.tm_sec,     static_cast<int>(now.tv_nsec / 1'000'000)};
}

void ShellEventLauncher::Launch(const std::string& fileName) {
  const std::filesystem::path file = workDir_ / fileName;
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;  // skipped silently

  // Everything the children need is prepared before fork: between fork and
  // exec only async-signal-safe calls are allowed.
  const std::string dir = workDir_.string();
  const std::string path = file.string();
  const char* const argv[] = {"sh", path.c_str(), nullptr};

  const pid_t child = ::fork();
  if (child < 0) return;
  if (child == 0) {
    ::setsid();
    const pid_t grandchild = ::fork();
    if (grandchild == 0) {
      const int devNull = ::open("/dev/null", O_RDONLY);
      if (devNull >= 0) {
        ::dup2(devNull, STDIN_FILENO);
        if (devNull != STDIN_FILENO) ::close(devNull);
      }
      if (::chdir(dir.c_str()) == 0) ::execv("/bin/sh", const_cast<char* const*>(argv));
      ::_exit(127);
    }
    ::_exit(0);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace verdelo
