// Reads a file from where it was last read, for a data log that grows while
// it is shown. A file cut shorter, or replaced by another one, is read again
// from its start.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>

namespace verdelo::trends {

class LogFollower {
 public:
  explicit LogFollower(std::filesystem::path path);
  ~LogFollower();
  LogFollower(const LogFollower&) = delete;
  LogFollower& operator=(const LogFollower&) = delete;

  enum class Result {
    Data,         // `bytes` holds what came after the last read
    NothingNew,   // at the end of the file
    StartedOver,  // truncated or replaced: what was read before is void;
                  // the next Read starts at the beginning
    Missing,      // cannot be opened (yet); what was read stays valid
  };
  // Reads at most `maxBytes` new bytes into `bytes` (replacing its content).
  Result Read(std::string& bytes, std::size_t maxBytes);

  std::uint64_t offset() const { return offset_; }
  // The file's size when last looked at.
  std::uint64_t size() const { return size_; }
  // Why the last Missing happened (an errno value).
  int lastError() const { return error_; }
  const std::filesystem::path& path() const { return path_; }

 private:
  // True when the file at the path is still the one read so far: same file,
  // not shorter than what was read, and its first bytes unchanged.
  bool SameFile();
  void Close();

  std::filesystem::path path_;
  int fd_ = -1;
  dev_t device_ = 0;
  ino_t inode_ = 0;
  std::uint64_t offset_ = 0;
  std::uint64_t size_ = 0;
  std::string head_;  // the file's first bytes as read, to notice rewrites
  int error_ = 0;
};

}  // namespace verdelo::trends
