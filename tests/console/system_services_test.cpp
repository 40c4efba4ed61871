// The Linux services behind the seams: the event-file launcher and the clock.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <sstream>

#include "console/system_services.h"
#include "tests/console/console_rig.h"

namespace verdelo::test {
namespace {

// Reads what an event file writes into a FIFO, waiting at most a few
// seconds for the child process.
std::string ReadFifo(const std::filesystem::path& fifo) {
  const int fd = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  if (fd < 0) return "<open failed>";
  std::string out;
  pollfd p{fd, POLLIN, 0};
  bool writerSeen = false;
  while (::poll(&p, 1, 5000) > 0) {
    char buf[256];
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n > 0) {
      out.append(buf, static_cast<std::size_t>(n));
      writerSeen = true;
    } else if (writerSeen) {
      break;  // the writer closed its end
    }
  }
  ::close(fd);
  return out;
}

TEST(ShellEventLauncher, RunsTheFileInTheWorkingDirectoryDetached) {
  ConsoleRig rig;
  const auto fifo = rig.dir / "out.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  rig.WriteFile("ALARM.bat",
                "read line || line=eof\n"
                "echo \"$(pwd) $line $(ps -o sid= -p $$ | tr -d ' ') $$\" > out.fifo\n");
  ShellEventLauncher launcher(rig.dir);
  launcher.Launch("ALARM.bat");
  std::istringstream words(ReadFifo(fifo));
  std::string dir, line;
  pid_t session = 0, pid = 0;
  words >> dir >> line >> session >> pid;
  EXPECT_EQ(dir, rig.dir.string());
  EXPECT_EQ(line, "eof");  // standard input is /dev/null
  // A session of its own that it does not lead, so it can never take a
  // controlling terminal.
  EXPECT_NE(session, ::getsid(0));
  EXPECT_NE(session, pid);
  EXPECT_GT(pid, 0);
}

TEST(SystemClock, MatchesLocalTime) {
  const LocalTime now = SystemClock().Now();
  const std::time_t t = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&t, &local);
  EXPECT_EQ(now.year, local.tm_year + 1900);
  EXPECT_EQ(now.month, local.tm_mon + 1);
  EXPECT_GE(now.millisecond, 0);
  EXPECT_LT(now.millisecond, 1000);
}

}  // namespace
}  // namespace verdelo::test
