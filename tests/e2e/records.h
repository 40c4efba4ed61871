// Reading back what a run left behind: the console's data log, checked
// strictly line by line, and the mower's trace of the dialogue on the line.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace verdelo::test {

// One line of Moro-log.txt.
struct LogLine {
  int day = 0, month = 0, year = 0;
  int hour = 0, minute = 0, second = 0;
  // status, current, temperature, voltage, charge, boundary front,
  // cutting seen, cutting effort, value 12030, value 127, rain level
  std::array<int, 11> fields{};
  std::string text;
};

// Indexes into LogLine::fields.
enum LogField : int { kStatusField = 0, kVoltageField = 3 };

// Parses the whole log. Every line must be "DD/MM/YYYY;hh:mm:ss; ", eleven
// integers printed at their widths each followed by ";", the text, CR LF;
// nothing may follow the last CR LF. On the first fault, returns nullopt
// and says which line and why in `error`.
std::optional<std::vector<LogLine>> ParseDataLog(const std::filesystem::path& file,
                                                 std::string& error);

// The status code at the end of a status line ("=> ... : 1014"), if the
// text is one.
std::optional<int> StatusLineCode(const std::string& text);

// One frame of the mower's trace.
struct TraceFrame {
  long ms = 0;
  std::string kind;         // REQ, ANS, BURST, NOISE
  std::uint16_t code = 0;   // command code without the write bit
  std::uint16_t value = 0;  // as the frame carries it (requests high byte first,
                            // answers low byte first)
};

std::vector<TraceFrame> ReadTrace(const std::filesystem::path& file);

// What the answers of a trace told the console.
struct AnswerHistory {
  std::map<std::uint16_t, std::uint16_t> last;  // last value per code
  // Values of `code` each time it differed from the one before, starting
  // from `initial`.
  std::vector<int> ChangesOf(std::uint16_t code, int initial, bool lowByte = false) const;
  std::vector<TraceFrame> answers;
};

AnswerHistory AnswersOf(const std::vector<TraceFrame>& trace);

}  // namespace verdelo::test
