// The console's own text files: 8-bit Windows-1252 lines ending in CR LF.
// Files written by the console are held under an exclusive advisory lock so
// that a second console in the same folder cannot interleave its lines.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace verdelo {

class TextFileWriter {
 public:
  enum class Mode { Append, Truncate };

  TextFileWriter() = default;
  ~TextFileWriter();
  TextFileWriter(const TextFileWriter&) = delete;
  TextFileWriter& operator=(const TextFileWriter&) = delete;

  // Creates the file if absent. Append keeps its lines and writes after
  // them; Truncate empties it. Fails when the file cannot be opened or
  // another program holds it.
  bool Open(const std::filesystem::path& path, Mode mode);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

  // Writes one line (UTF-8 in, Windows-1252 on disk) followed by CR LF.
  // A line is written whole or not at all: a short write (full disk, file
  // size limit) is rolled back so the file never holds half a line. A file
  // deleted while open (alone or with its folder) takes no more lines, as
  // no one would see them.
  bool WriteLine(std::string_view utf8Text);

  // Why the last Open or WriteLine failed: an errno value (EWOULDBLOCK when
  // another program holds the file, ENOENT when it was deleted while open).
  int lastError() const { return lastError_; }

 private:
  int fd_ = -1;
  int lastError_ = 0;
};

class TextLineReader {
 public:
  TextLineReader() = default;
  ~TextLineReader();
  TextLineReader(const TextLineReader&) = delete;
  TextLineReader& operator=(const TextLineReader&) = delete;

  // Opens for reading while denying writers (a shared advisory lock).
  bool Open(const std::filesystem::path& path);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

  // Next line as UTF-8, without its LF or CR LF; false at the end of the
  // file. A line longer than kMaxLine bytes is cut there and its remainder
  // skipped, so a file without line breaks cannot exhaust memory.
  bool ReadLine(std::string& utf8Line);

  static constexpr std::size_t kMaxLine = 4096;

 private:
  bool Fill();

  int fd_ = -1;
  std::string buffer_;
  std::size_t pos_ = 0;
  bool eof_ = false;
};

}  // namespace verdelo
