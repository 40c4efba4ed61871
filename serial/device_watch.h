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
  // says whether the device is back: the path leads to an existing file
  // (links followed) that is not the one it led to when the watch began,
  // unless that one has been away since. So a device that was given up on
  // while still there (it stopped taking bytes) is not taken for one that
  // came back.
  bool Check();

 private:
  void Arm();
  void AddWatch(std::string folder);

  struct Identity {
    unsigned long device = 0, inode = 0, rdev = 0;
    bool operator==(const Identity&) const = default;
  };
  static bool Identify(const std::string& path, Identity& identity);

  std::string path_;
  std::string lastTarget_;  // where the path led when it last did
  Identity lost_;           // the file the path led to when the watch began
  bool hadLost_ = false;    // there was one
  bool seenAway_ = false;   // the path has led nowhere since
  int inotify_ = -1;
};

}  // namespace verdelo
