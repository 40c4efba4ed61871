#include "trends/log_line.h"

#include <cstdint>

#include "console/text.h"
#include "trends/epoch_time.h"

namespace verdelo::trends {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Two or four digits at `at`; -1 if any is not a digit.
int Digits(const char* at, int count) {
  int value = 0;
  for (int i = 0; i < count; ++i) {
    if (!IsDigit(at[i])) return -1;
    value = value * 10 + (at[i] - '0');
  }
  return value;
}

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// " :" then spaces and a whole number at the very end: a status change.
bool EndsWithStatusCode(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0 && text[end - 1] == ' ') --end;
  std::size_t i = end;
  while (i > 0 && IsDigit(text[i - 1])) --i;
  if (i == end) return false;
  if (i > 0 && text[i - 1] == '-') --i;
  while (i > 0 && text[i - 1] == ' ') --i;
  return i >= 2 && text[i - 1] == ':' && text[i - 2] == ' ';
}

}  // namespace

LineFault ParseLogLine(std::string_view line, LogLine& out) {
  constexpr std::size_t kStampLength = 20;  // "dd/mm/yyyy;hh:mm:ss;"
  if (line.size() < kStampLength) return LineFault::Layout;
  const char* s = line.data();
  if (s[2] != '/' || s[5] != '/' || s[10] != ';' || s[13] != ':' || s[16] != ':' || s[19] != ';')
    return LineFault::Layout;
  const int day = Digits(s, 2), month = Digits(s + 3, 2), year = Digits(s + 6, 4);
  const int hour = Digits(s + 11, 2), minute = Digits(s + 14, 2), second = Digits(s + 17, 2);
  if ((day | month | year | hour | minute | second) < 0) return LineFault::Layout;

  const char* p = s + kStampLength;
  const char* end = s + line.size();
  for (int f = 0; f < kLogFieldCount; ++f) {
    while (p < end && *p == ' ') ++p;
    const bool negative = p < end && *p == '-';
    if (negative) ++p;
    const char* digits = p;
    std::int64_t value = 0;
    while (p < end && IsDigit(*p) && p - digits < 11) value = value * 10 + (*p++ - '0');
    if (p == digits || p == end || *p != ';') return LineFault::Layout;
    if (negative) value = -value;
    if (value < INT32_MIN || value > INT32_MAX) return LineFault::Layout;
    out.fields[static_cast<std::size_t>(f)] = static_cast<std::int32_t>(value);
    ++p;
  }
  out.text = std::string_view(p, static_cast<std::size_t>(end - p));
  out.time = LocalTime{year, month, day, hour, minute, second, 0};
  if (!IsValidLocalTime(out.time)) return LineFault::Date;
  return LineFault::None;
}

std::optional<MarkerKind> ClassifyText(std::string_view text) {
  if (text.find_first_not_of(' ') == std::string_view::npos) return std::nullopt;
  if (text.find("SCRIPT") != std::string_view::npos || StartsWith(text, "script ")) return MarkerKind::Script;
  if (StartsWith(text, "ALARM")) return MarkerKind::Alarm;
  if (text.find("puls") != std::string_view::npos) return MarkerKind::Pulse;
  if (StartsWith(text, "=>") && EndsWithStatusCode(text)) return std::nullopt;
  return MarkerKind::Event;
}

std::optional<SeriesId> SeriesOfField(LogField field) {
  switch (field) {
    case LogField::Status: return SeriesId::Status;
    case LogField::Current: return SeriesId::Current;
    case LogField::Temperature: return SeriesId::Temperature;
    case LogField::Voltage: return SeriesId::Voltage;
    case LogField::Charge: return SeriesId::Charge;
    case LogField::BoundaryFront: return SeriesId::BoundaryFront;
    case LogField::CuttingEffort: return SeriesId::CuttingEffort;
    case LogField::RainLevel: return SeriesId::RainLevel;
    default: return std::nullopt;
  }
}

std::string MarkerText(std::string_view text) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return Cp1252ToUtf8(text);
}

}  // namespace verdelo::trends
