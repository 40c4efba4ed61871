#include "console/config_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "console/text.h"

namespace verdelo {

std::vector<ConfigEntry> ParseConfigText(std::string_view bytes) {
  const std::size_t nul = bytes.find('\0');
  if (nul != std::string_view::npos) bytes = bytes.substr(0, nul);
  const std::string text = Cp1252ToUtf8(bytes);

  std::vector<ConfigEntry> entries;
  std::size_t start = 0;
  for (;;) {
    // A line ends at LF, with or without a CR before it, so files saved on
    // either system read the same.
    const std::size_t end = text.find('\n', start);
    if (end == std::string::npos) break;  // an unterminated last line is not read
    std::string_view line(text.data() + start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    start = end + 1;
    const std::size_t open = line.find('[');
    const std::size_t close = line.find(']');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open)
      continue;
    entries.push_back({std::string(line.substr(open + 1, close - open - 1)),
                       std::string(line.substr(close + 1))});
  }
  return entries;
}

std::vector<ConfigEntry> ReadConfigFile(const std::filesystem::path& path) {
  // A configuration file is small; anything beyond this is not one.
  constexpr off_t kMaxSize = 16 * 1024 * 1024;
  // Non-blocking, so a FIFO of that name cannot stall start-up.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return {};
  std::string bytes;
  struct stat st {};
  if (::flock(fd, LOCK_SH | LOCK_NB) == 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    bytes.resize(static_cast<std::size_t>(std::min(st.st_size, kMaxSize)));
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
  }
  ::close(fd);
  return ParseConfigText(bytes);
}

void ApplyConfig(const std::vector<ConfigEntry>& entries,
                 const std::vector<ConfigKey>& table) {
  for (const ConfigEntry& entry : entries) {
    for (const ConfigKey& row : table) {
      if (row.name != entry.key) continue;
      switch (row.kind) {
        case ConfigKind::Number:
          if (const auto number = ReadLeadingNumber(entry.value))
            row.action(static_cast<int>(*number));
          break;
        case ConfigKind::Switch:
          row.action(ToInt(entry.value));
          break;
        case ConfigKind::Presence:
        case ConfigKind::Text:
          row.action(0);
          break;
      }
      break;
    }
  }
}

std::filesystem::path ConfigFileBesideExecutable() {
  std::error_code error;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return "config.txt";
  return exe.parent_path() / "config.txt";
}

std::filesystem::path LocateConfigFile(const std::filesystem::path& besideExecutable,
                                       const char* xdgConfigHome, const char* home) {
  std::error_code error;
  if (std::filesystem::exists(besideExecutable, error)) return besideExecutable;
  // A relative or empty XDG_CONFIG_HOME is not to be used.
  std::filesystem::path base;
  if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/') {
    base = xdgConfigHome;
  } else if (home != nullptr && home[0] != '\0') {
    base = std::filesystem::path(home) / ".config";
  } else {
    return besideExecutable;  // nowhere else to look
  }
  return base / "verdelo" / "config.txt";
}

std::filesystem::path LocateConfigFile() {
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] == '\0') {
    if (const passwd* user = ::getpwuid(::getuid())) home = user->pw_dir;
  }
  return LocateConfigFile(ConfigFileBesideExecutable(), std::getenv("XDG_CONFIG_HOME"), home);
}

}  // namespace verdelo
