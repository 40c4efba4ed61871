#include "serial/device_watch.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "base/real_path.h"

namespace verdelo {

namespace {

// What can make a path lead to a device again: an entry made or moved in,
// a link replaced, a folder made; and the folder itself going away, which
// calls for watching the one above.
constexpr uint32_t kWatchedEvents = IN_CREATE | IN_MOVED_TO | IN_ATTRIB | IN_DELETE_SELF |
                                    IN_MOVE_SELF | IN_ONLYDIR;

std::string ParentOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

DeviceWatch::DeviceWatch(std::string path)
    : path_(std::move(path)), lastTarget_(RealPath(path_).value_or("")) {
  hadLost_ = Identify(path_, lost_);
  inotify_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  Arm();
}

bool DeviceWatch::Identify(const std::string& path, Identity& identity) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  identity = {static_cast<unsigned long>(st.st_dev), static_cast<unsigned long>(st.st_ino),
              static_cast<unsigned long>(st.st_rdev)};
  return true;
}

DeviceWatch::~DeviceWatch() {
  if (inotify_ >= 0) ::close(inotify_);
}

// Watching a folder again is harmless: inotify keeps one watch per folder.
// Watches are never taken off, since each removal would report itself as an
// event and wake the waiter for nothing; a folder that goes takes its watch
// with it.
void DeviceWatch::AddWatch(std::string folder) {
  // The nearest folder that exists stands in for one that does not.
  for (;;) {
    if (::inotify_add_watch(inotify_, folder.c_str(), kWatchedEvents) >= 0) return;
    if ((errno != ENOENT && errno != ENOTDIR) || folder == "/" || folder == ".") return;
    folder = ParentOf(folder);
  }
}

void DeviceWatch::Arm() {
  if (inotify_ < 0) return;
  AddWatch(ParentOf(path_));
  if (!lastTarget_.empty() && ParentOf(lastTarget_) != ParentOf(path_))
    AddWatch(ParentOf(lastTarget_));
}

bool DeviceWatch::Check() {
  if (inotify_ >= 0) {
    alignas(inotify_event) char events[4096];
    while (::read(inotify_, events, sizeof events) > 0) {
    }
  }
  if (const auto target = RealPath(path_)) lastTarget_ = *target;
  // Folders may have come or gone since: watch what exists now.
  Arm();
  Identity now;
  if (!Identify(path_, now)) {
    seenAway_ = true;
    return false;
  }
  return !hadLost_ || seenAway_ || !(now == lost_);
}

}  // namespace verdelo
