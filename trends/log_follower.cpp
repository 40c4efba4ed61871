#include "trends/log_follower.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace verdelo::trends {

namespace {

constexpr std::size_t kHeadBytes = 256;

}  // namespace

LogFollower::LogFollower(std::filesystem::path path) : path_(std::move(path)) {}

LogFollower::~LogFollower() { Close(); }

void LogFollower::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool LogFollower::SameFile() {
  struct stat atPath {};
  if (::stat(path_.c_str(), &atPath) != 0) return true;  // gone: keep reading what is open
  if (atPath.st_dev != device_ || atPath.st_ino != inode_) return false;
  if (static_cast<std::uint64_t>(atPath.st_size) < offset_) return false;
  if (head_.empty()) return true;
  std::string now(head_.size(), '\0');
  const ssize_t n = ::pread(fd_, now.data(), now.size(), 0);
  return n == static_cast<ssize_t>(head_.size()) && now == head_;
}

LogFollower::Result LogFollower::Read(std::string& bytes, std::size_t maxBytes) {
  bytes.clear();
  if (fd_ >= 0 && !SameFile()) {
    Close();
    offset_ = 0;
    size_ = 0;
    head_.clear();
    return Result::StartedOver;
  }
  if (fd_ < 0) {
    // Read without any lock: the console holds the log it writes under an
    // exclusive advisory lock, which plain reads ignore.
    fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat opened {};
    if (fd_ < 0 || ::fstat(fd_, &opened) != 0) {
      error_ = errno;
      Close();
      return Result::Missing;
    }
    if (S_ISDIR(opened.st_mode)) {
      error_ = EISDIR;
      Close();
      return Result::Missing;
    }
    device_ = opened.st_dev;
    inode_ = opened.st_ino;
    size_ = static_cast<std::uint64_t>(opened.st_size);
    offset_ = 0;
  }
  struct stat now {};
  if (::fstat(fd_, &now) == 0) size_ = static_cast<std::uint64_t>(now.st_size);
  if (size_ <= offset_) return Result::NothingNew;
  bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(maxBytes, size_ - offset_)));
  const ssize_t n = ::pread(fd_, bytes.data(), bytes.size(), static_cast<off_t>(offset_));
  if (n <= 0) {
    bytes.clear();
    return Result::NothingNew;
  }
  bytes.resize(static_cast<std::size_t>(n));
  if (head_.size() < kHeadBytes && offset_ < kHeadBytes) {
    const std::size_t take = std::min<std::size_t>(kHeadBytes - head_.size(), bytes.size());
    head_.append(bytes, 0, take);
  }
  offset_ += static_cast<std::uint64_t>(n);
  size_ = std::max(size_, offset_);
  return Result::Data;
}

}  // namespace verdelo::trends
