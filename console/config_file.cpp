#include "console/config_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "console/text.h"

namespace verdelo {

std::vector<ConfigEntry> ParseConfigText(std::string_view bytes) {
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

namespace {

std::string Unreadable(const char* why) {
  return std::string("cannot be read: ") + why + "; the defaults hold";
}

std::string Unreadable(int error) {
  switch (error) {
    case EWOULDBLOCK:
      return Unreadable("held by another program's lock");
    case EISDIR:
      return Unreadable("it is a folder");
    default:
      return Unreadable(std::strerror(error));
  }
}

}  // namespace

ConfigFileBytes ReadConfigBytes(const std::filesystem::path& path) {
  ConfigFileBytes file;
  // Non-blocking, so a FIFO of that name cannot stall start-up.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    // No file is no trouble: the defaults hold.
    const int error = errno;
    file.found = error != ENOENT;
    if (file.found) file.trouble = Unreadable(error);
    return file;
  }
  file.found = true;
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    file.trouble = Unreadable(errno);
  } else if (S_ISDIR(st.st_mode)) {
    file.trouble = Unreadable(EISDIR);
  } else if (!S_ISREG(st.st_mode)) {
    file.trouble = Unreadable("it is not a regular file");
  } else if (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
    file.trouble = Unreadable(errno);
  } else {
    file.cut = static_cast<std::uint64_t>(st.st_size) > kMaxConfigSize;
    file.bytes.resize(std::min<std::size_t>(static_cast<std::size_t>(st.st_size), kMaxConfigSize));
    std::size_t done = 0;
    while (done < file.bytes.size()) {
      const ssize_t n = ::read(fd, file.bytes.data() + done, file.bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        file.trouble = Unreadable(errno);
        done = 0;  // a file read in part is not used
      }
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    file.bytes.resize(done);
    if (file.cut && file.trouble.empty())
      file.trouble = Format("is longer than %zu MB; only its first %zu MB are read",
                            kMaxConfigSize >> 20, kMaxConfigSize >> 20);
  }
  ::close(fd);
  return file;
}

std::vector<ConfigEntry> ReadConfigFile(const std::filesystem::path& path, std::string* trouble) {
  const ConfigFileBytes file = ReadConfigBytes(path);
  if (trouble != nullptr) *trouble = file.trouble;
  return ParseConfigText(file.bytes);
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
