// Waits for a device path to lead to a device again, at no cost while it
// waits: inotify watches the folder that holds the path and the folder of
// the device it last led to (a symbolic link such as a /dev/serial/by-id
// name or a link to a pseudo-terminal), so the watch wakes when either is
// put back. A folder that is itself gone (by-id is removed with the last USB
// adapter) is waited for through the nearest folder above it that exists.
#pragma once

#include <string>

namespace verdelo {

class DeviceWatch {
 public:
  explicit DeviceWatch(std::string path);
  ~DeviceWatch();
  DeviceWatch(const DeviceWatch&) = delete;
  DeviceWatch& operator=(const DeviceWatch&) = delete;

  const std::string& path() const { return path_; }
  // Readable when something changed in a watched folder; -1 when inotify
  // could not be had (then only Check, called now and then, sees a return).
  int fd() const { return inotify_; }

  // Takes the pending events, watches again the folders that now exist, and
  // says whether the path leads to an existing file (links followed).
  bool Check();

 private:
  void Arm();
  void AddWatch(std::string folder);

  std::string path_;
  std::string lastTarget_;  // where the path led when it last did
  int inotify_ = -1;
};

// Whether `path` leads to an existing file, following links.
bool PathLeadsToFile(const std::string& path);

}  // namespace verdelo
