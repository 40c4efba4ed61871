#include "tests/e2e/records.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>

namespace verdelo::test {
namespace {

constexpr int kFieldWidths[11] = {4, 4, 2, 5, 4, 4, 1, 5, 5, 5, 5};

std::string Padded(int width, int value) {
  char text[32];
  std::snprintf(text, sizeof text, "%*d", width, value);
  return text;
}

// Parses one line without its CR LF; empty when it is well formed.
std::string ParseLine(const std::string& line, LogLine& out) {
  static const std::regex stamp(R"(^(\d\d)/(\d\d)/(\d{4});(\d\d):(\d\d):(\d\d); )");
  std::smatch m;
  if (!std::regex_search(line, m, stamp)) return "no time stamp";
  out.day = std::stoi(m[1]);
  out.month = std::stoi(m[2]);
  out.year = std::stoi(m[3]);
  out.hour = std::stoi(m[4]);
  out.minute = std::stoi(m[5]);
  out.second = std::stoi(m[6]);
  if (out.day < 1 || out.day > 31 || out.month < 1 || out.month > 12 || out.hour > 23 ||
      out.minute > 59 || out.second > 60)
    return "time stamp out of range";

  std::size_t at = static_cast<std::size_t>(m.length(0));
  static const std::regex number(R"( *-?\d+)");
  for (int i = 0; i < 11; ++i) {
    const std::size_t end = line.find(';', at);
    if (end == std::string::npos) return "field " + std::to_string(i + 1) + " has no ';'";
    const std::string token = line.substr(at, end - at);
    if (!std::regex_match(token, number))
      return "field " + std::to_string(i + 1) + " is not a number";
    out.fields[i] = std::stoi(token);
    if (token != Padded(kFieldWidths[i], out.fields[i]))
      return "field " + std::to_string(i + 1) + " is not printed at width " +
             std::to_string(kFieldWidths[i]);
    at = end + 1;
  }
  out.text = line.substr(at);
  if (out.text.find_first_of("\r\n") != std::string::npos) return "stray CR or LF in the text";
  return {};
}

}  // namespace

std::optional<std::vector<LogLine>> ParseDataLog(const std::filesystem::path& file,
                                                 std::string& error) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    error = "cannot read " + file.string();
    return std::nullopt;
  }
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::vector<LogLine> lines;
  std::size_t at = 0;
  while (at < bytes.size()) {
    const std::size_t end = bytes.find("\r\n", at);
    const std::string line =
        bytes.substr(at, end == std::string::npos ? std::string::npos : end - at);
    if (end == std::string::npos) {
      error = "line " + std::to_string(lines.size() + 1) + " has no CR LF: \"" + line + "\"";
      return std::nullopt;
    }
    LogLine parsed;
    const std::string fault = ParseLine(line, parsed);
    if (!fault.empty()) {
      error = "line " + std::to_string(lines.size() + 1) + ": " + fault + ": \"" + line + "\"";
      return std::nullopt;
    }
    lines.push_back(std::move(parsed));
    at = end + 2;
  }
  return lines;
}

std::optional<int> StatusLineCode(const std::string& text) {
  static const std::regex status(R"(^=> .* :( *-?\d+)$)");
  std::smatch m;
  if (!std::regex_match(text, m, status)) return std::nullopt;
  return std::stoi(m[1]);
}

std::vector<TraceFrame> ReadTrace(const std::filesystem::path& file) {
  std::vector<TraceFrame> frames;
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    TraceFrame frame;
    words >> frame.ms >> frame.kind;
    std::vector<unsigned> bytes;
    for (std::string hex; words >> hex;)
      bytes.push_back(static_cast<unsigned>(std::stoul(hex, nullptr, 16)));
    // Bursts and noise are not in the runs read here; only single frames.
    if (bytes.size() != 5 || bytes[0] != 0x0F) continue;
    frame.code = static_cast<std::uint16_t>(((bytes[1] << 8) | bytes[2]) & 0x7FFF);
    frame.value = frame.kind == "REQ" ? static_cast<std::uint16_t>((bytes[3] << 8) | bytes[4])
                                      : static_cast<std::uint16_t>(bytes[3] | (bytes[4] << 8));
    frames.push_back(frame);
  }
  return frames;
}

AnswerHistory AnswersOf(const std::vector<TraceFrame>& trace) {
  AnswerHistory history;
  for (const TraceFrame& frame : trace) {
    if (frame.kind != "ANS") continue;
    history.last[frame.code] = frame.value;
    history.answers.push_back(frame);
  }
  return history;
}

std::vector<int> AnswerHistory::ChangesOf(std::uint16_t code, int initial, bool lowByte) const {
  std::vector<int> changes;
  int previous = initial;
  for (const TraceFrame& frame : answers) {
    if (frame.code != code) continue;
    const int value = lowByte ? (frame.value & 0xFF) : static_cast<std::int16_t>(frame.value);
    if (value != previous) changes.push_back(value);
    previous = value;
  }
  return changes;
}

}  // namespace verdelo::test
