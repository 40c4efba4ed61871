#include "console/text_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "console/text.h"

namespace verdelo {

namespace {

// The descriptor, or -1 with errno saying why.
int OpenLocked(const std::filesystem::path& path, int flags, int lockKind) {
  // Non-blocking, so a FIFO in place of a file cannot stall the window.
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0644);
  if (fd < 0) return -1;
  if (::flock(fd, lockKind | LOCK_NB) != 0) {
    const int err = errno;
    ::close(fd);
    errno = err;
    return -1;
  }
  return fd;
}

}  // namespace

TextFileWriter::~TextFileWriter() { Close(); }

bool TextFileWriter::Open(const std::filesystem::path& path, Mode mode) {
  Close();
  // Truncate only after the lock is ours, so a held file is left intact.
  const int fd = OpenLocked(path, O_RDWR | O_CREAT | O_APPEND, LOCK_EX);
  if (fd < 0) {
    lastError_ = errno;
    return false;
  }
  if (mode == Mode::Truncate && ::ftruncate(fd, 0) != 0) {
    lastError_ = errno;
    ::close(fd);
    return false;
  }
  fd_ = fd;
  lastError_ = 0;
  return true;
}

void TextFileWriter::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool TextFileWriter::WriteLine(std::string_view utf8Text) {
  if (fd_ < 0) {
    lastError_ = EBADF;
    return false;
  }
  // One fstat per line: a file without a name left is a deleted one.
  struct stat st {};
  if (::fstat(fd_, &st) == 0 && st.st_nlink == 0) {
    lastError_ = ENOENT;
    return false;
  }
  std::string bytes = Utf8ToCp1252(utf8Text);
  bytes += "\r\n";
  const off_t end = ::lseek(fd_, 0, SEEK_END);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      lastError_ = n < 0 ? errno : ENOSPC;
      if (end >= 0 && done > 0) {
        // Take back the part that made it, so the file ends on a whole line.
        [[maybe_unused]] int ignored = ::ftruncate(fd_, end);
      }
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  lastError_ = 0;
  return true;
}

TextLineReader::~TextLineReader() { Close(); }

bool TextLineReader::Open(const std::filesystem::path& path) {
  Close();
  fd_ = OpenLocked(path, O_RDONLY, LOCK_SH);
  return fd_ >= 0;
}

void TextLineReader::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  buffer_.clear();
  pos_ = 0;
  eof_ = false;
}

bool TextLineReader::Fill() {
  if (eof_ || fd_ < 0) return false;
  char chunk[4096];
  ssize_t n;
  do {
    n = ::read(fd_, chunk, sizeof chunk);
  } while (n < 0 && errno == EINTR);
  if (n <= 0) {
    eof_ = true;
    return false;
  }
  buffer_.erase(0, pos_);
  pos_ = 0;
  buffer_.append(chunk, static_cast<std::size_t>(n));
  return true;
}

bool TextLineReader::ReadLine(std::string& utf8Line) {
  if (fd_ < 0) return false;
  std::string raw;
  bool truncated = false;
  for (;;) {
    const std::size_t newline = buffer_.find('\n', pos_);
    const std::size_t stop = newline == std::string::npos ? buffer_.size() : newline;
    const std::size_t room = kMaxLine - raw.size();
    const std::size_t take = std::min(stop - pos_, room);
    raw.append(buffer_, pos_, take);
    if (take < stop - pos_) truncated = true;
    if (newline != std::string::npos) {
      pos_ = newline + 1;
      break;
    }
    pos_ = buffer_.size();
    if (!Fill()) {
      if (raw.empty() && !truncated) return false;
      break;
    }
  }
  if (!truncated && !raw.empty() && raw.back() == '\r') raw.pop_back();
  utf8Line = Cp1252ToUtf8(raw);
  return true;
}

}  // namespace verdelo
