// Invariants of a console driven by a fuzz target on the test rig: its state
// stays within the values it can legitimately hold, and every file it writes
// keeps its line layout whatever the mower sent.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "console/console.h"
#include "console/memory_lines.h"
#include "console/text.h"
#include "fuzz/fuzz_check.h"
#include "tests/console/console_rig.h"

// FUZZ_CHECK that shows the file line it is about when it fails.
#define LINE_CHECK(line, condition)                                         \
  do {                                                                      \
    if (!(condition)) std::fprintf(stderr, "line: '%s'\n", (line).c_str()); \
    FUZZ_CHECK(condition);                                                  \
  } while (0)

namespace verdelo::fuzz {

// Lines of a file written by the console, split at CR LF. A file whose last
// line lacks its CR LF gets a last line that no check accepts.
inline std::vector<std::string> FileLines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(bytes.substr(start, end - start));
  if (start != bytes.size()) lines.push_back("\x01unterminated");
  return lines;
}

class Cursor {
 public:
  explicit Cursor(std::string_view text) : text_(text) {}
  bool Digits(std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
      if (pos_ >= text_.size() || text_[pos_] < '0' || text_[pos_] > '9') return false;
      else ++pos_;
    return true;
  }
  bool Char(char c) {
    if (pos_ >= text_.size() || text_[pos_] != c) return false;
    ++pos_;
    return true;
  }
  // Blanks, an optional minus and digits: a number printed with a minimum
  // width.
  bool Number(long long& value) {
    while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
    const bool negative = Char('-');
    const std::size_t first = pos_;
    value = 0;
    while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9' && pos_ - first < 12)
      value = value * 10 + (text_[pos_++] - '0');
    if (negative) value = -value;
    return pos_ != first;
  }
  std::string_view Rest() const { return text_.substr(pos_); }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

// A data-log line: "DD/MM/YYYY;hh:mm:ss; ", eleven numbers each followed by
// ";", then the text, which is always plain printable ASCII.
inline bool WellFormedLogLine(std::string_view line) {
  Cursor c(line);
  if (!(c.Digits(2) && c.Char('/') && c.Digits(2) && c.Char('/') && c.Digits(4) && c.Char(';') &&
        c.Digits(2) && c.Char(':') && c.Digits(2) && c.Char(':') && c.Digits(2) && c.Char(';') &&
        c.Char(' ')))
    return false;
  // The range each field's source can hold: status, current, temperature,
  // voltage, charge, front boundary / 100, cutting seen, cutting effort,
  // 12030, 127, rain level.
  static constexpr long long kRange[11][2] = {
      {-32768, 32767}, {-32768, 32767}, {-32768, 32767}, {0, 65535}, {-32768, 32767},
      {-327, 327},     {0, 1},          {-32768, 32767}, {0, 65535}, {0, 65535},
      {0, 255}};
  for (const auto& range : kRange) {
    long long value;
    if (!c.Number(value) || !c.Char(';')) return false;
    if (value < range[0] || value > range[1]) return false;
  }
  for (char ch : c.Rest())
    if (ch < 0x20 || ch > 0x7E) return false;
  return true;
}

inline void CheckDataLog(const test::ConsoleRig& rig) {
  const std::string bytes = rig.ReadFile(MowerConsole::kDataLogName);
  for (const std::string& line : FileLines(bytes)) LINE_CHECK(line, WellFormedLogLine(line));
}

// Dump lines of a read: the address and value fields agree with each other
// and with the layout the dump is written in; the optional character column
// is one byte, whatever it is.
inline void CheckMemoryDump(const std::string& bytes) {
  for (const std::string& line : FileLines(bytes)) {
    int address = -1, asSigned = 0;
    unsigned asUnsigned = 0;
    LINE_CHECK(line,
               std::sscanf(line.c_str(), "%d ; %d ; %u", &address, &asSigned, &asUnsigned) == 3);
    LINE_CHECK(line, address >= 0 && address <= 0xFFFF && asUnsigned <= 0xFFFF);
    LINE_CHECK(line, asSigned == static_cast<std::int16_t>(asUnsigned));
    const std::string expected = FormatMemoryDumpLine(
        static_cast<std::uint16_t>(address), static_cast<std::uint16_t>(asUnsigned), false);
    LINE_CHECK(line, line.compare(0, expected.size(), expected) == 0);
    LINE_CHECK(line, line.size() <= expected.size() + 1);
  }
}

// Answer lines of a write: "%5d ; %5d ; %5d ; " and the low byte's character.
inline void CheckMemoryAnswers(const test::ConsoleRig& rig) {
  for (const std::string& line : FileLines(rig.ReadFile(MowerConsole::kMemoryAnswerFileName))) {
    int command = -1, asSigned = 0, asUnsigned = -1;
    LINE_CHECK(line,
               std::sscanf(line.c_str(), "%d ; %d ; %d", &command, &asSigned, &asUnsigned) == 3);
    LINE_CHECK(line,
               command >= 0 && command <= 0xFFFF && asUnsigned >= 0 && asUnsigned <= 0xFFFF);
    LINE_CHECK(line, asSigned == static_cast<std::int16_t>(asUnsigned));
    const std::string expected = Format("%5d ; %5d ; %5d ; ", command, asSigned, asUnsigned);
    LINE_CHECK(line, line.compare(0, expected.size(), expected) == 0);
    LINE_CHECK(line, line.size() <= expected.size() + 1);
  }
}

inline void CheckConsoleState(const MowerConsole& console) {
  const MemoryTool& memory = console.memoryTool();
  FUZZ_CHECK(!(memory.memReadActive && memory.memWriteActive));
  if (memory.memReadActive) {
    FUZZ_CHECK(0 <= memory.memBegin && memory.memBegin <= memory.memEnd &&
               memory.memEnd <= 0x7FFF);
    FUZZ_CHECK(memory.memBegin <= memory.memNext && memory.memNext <= memory.memEnd + 2);
    FUZZ_CHECK(memory.ticksAwaitingLastAnswer < MowerConsole::kMemoryReadGraceTicks);
  }
  FUZZ_CHECK(console.pollStep() >= 0 && console.pollStep() <= 9);
  FUZZ_CHECK(console.pollRotation() >= 0 && console.pollRotation() <= 5);

  const ScriptEngine& scripts = console.scriptEngine();
  FUZZ_CHECK(scripts.script == 0 || scripts.script == 2 || scripts.script == 3 ||
             scripts.script == 4);
  FUZZ_CHECK(scripts.step >= 0 && scripts.step < 6 && (scripts.script != 0 || scripts.step == 0));

  const AlarmState& alarms = console.alarmState();
  FUZZ_CHECK(alarms.alarmActive == 0 || alarms.alarmActive == 1);
  FUZZ_CHECK(alarms.lowCurrentCount >= 0);

  const MowerValues& v = console.values();
  FUZZ_CHECK(v.status >= -32768 && v.status <= 32767);
  FUZZ_CHECK(v.voltage >= 0 && v.voltage <= 65535);
  FUZZ_CHECK(v.minVoltage >= 0 && v.minVoltage <= kMinVoltageReset);
  FUZZ_CHECK(v.rainLevel >= 0 && v.rainLevel <= 255);
  FUZZ_CHECK(v.powerPresent == 0 || v.powerPresent == 1);
  FUZZ_CHECK(v.cuttingSeen == 0 || v.cuttingSeen == 1);
  FUZZ_CHECK(v.followingActive == 0 || v.followingActive == 1);
  FUZZ_CHECK(v.boundaryFront >= -327 && v.boundaryFront <= 327);
  FUZZ_CHECK(v.quality >= -6553 && v.quality <= 6553);
}

}  // namespace verdelo::fuzz
