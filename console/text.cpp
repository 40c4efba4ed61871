#include "console/text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <cstdarg>
#include <cstdio>
#include <limits>

namespace verdelo {

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string out;
  if (length > 0) {
    out.resize(static_cast<std::size_t>(length));
    std::vsnprintf(out.data(), out.size() + 1, format, args);
  }
  va_end(args);
  return out;
}

namespace {

// Formats shaped "text%Nd text" or "text%Nu text" (one conversion, a width
// of one or two digits or none, no flags) are done with std::to_chars: value
// labels are set for nearly every answer, and printf is most of what that
// costs. The conversion character of such a format, and its width; nullptr
// for any other format.
const char* SingleNumberConversion(const char* format, int& width) {
  const char* percent = std::strchr(format, '%');
  if (percent == nullptr) return nullptr;
  const char* conversion = percent + 1;
  if (*conversion == '0') return nullptr;  // a flag, not a width
  width = 0;
  for (int digits = 0; *conversion >= '0' && *conversion <= '9'; ++conversion) {
    if (++digits > 2) return nullptr;
    width = width * 10 + (*conversion - '0');
  }
  if (*conversion != 'd' && *conversion != 'u') return nullptr;
  if (std::strchr(conversion + 1, '%') != nullptr) return nullptr;
  return conversion;
}

bool FormatSingleNumber(char* out, std::size_t size, std::size_t& length, const char* format,
                        const char* conversion, int width, int value) {
  char digits[16];
  const auto [end, error] =
      *conversion == 'u' ? std::to_chars(digits, digits + sizeof digits, static_cast<unsigned>(value))
                   : std::to_chars(digits, digits + sizeof digits, value);
  if (error != std::errc()) return false;
  const char* percent = std::strchr(format, '%');
  const char* rest = conversion + 1;
  const std::size_t prefix = static_cast<std::size_t>(percent - format);
  const std::size_t number = static_cast<std::size_t>(end - digits);
  const std::size_t padding = number < static_cast<std::size_t>(width) ? width - number : 0;
  const std::size_t suffix = std::strlen(rest);
  if (prefix + padding + number + suffix >= size) return false;
  char* p = std::copy(format, percent, out);
  p = std::fill_n(p, padding, ' ');
  p = std::copy(digits, end, p);
  p = std::copy(rest, rest + suffix, p);
  *p = '\0';
  length = static_cast<std::size_t>(p - out);
  return true;
}

}  // namespace

ShortText::ShortText(const char* format, ...) {
  va_list args;
  va_start(args, format);
  *this = NumberV(format, args);
  va_end(args);
}

ShortText ShortText::Number(const char* format, ...) {
  va_list args;
  va_start(args, format);
  ShortText text = NumberV(format, args);
  va_end(args);
  return text;
}

ShortText ShortText::NumberV(const char* format, va_list args) {
  ShortText text;
  int width = 0;
  if (const char* conversion = SingleNumberConversion(format, width)) {
    va_list copy;
    va_copy(copy, args);
    const int value = va_arg(copy, int);
    va_end(copy);
    if (FormatSingleNumber(text.buffer_, sizeof text.buffer_, text.length_, format, conversion,
                           width, value))
      return text;
  }
  const int length = std::vsnprintf(text.buffer_, sizeof text.buffer_, format, args);
  text.length_ = length < 0 ? 0 : std::min(static_cast<std::size_t>(length), sizeof text.buffer_ - 1);
  return text;
}

bool IsCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::optional<std::int64_t> ReadLeadingNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsCSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  const std::size_t firstDigit = i;
  constexpr std::int64_t kLimit = std::int64_t{1} << 40;  // far beyond 32 bits
  std::int64_t magnitude = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    if (magnitude < kLimit) magnitude = magnitude * 10 + (text[i] - '0');
    ++i;
  }
  if (i == firstDigit) return std::nullopt;
  const std::int64_t value = negative ? -magnitude : magnitude;
  constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  return value < kMin ? kMin : value > kMax ? kMax : value;
}

int ToInt(std::string_view text) {
  return static_cast<int>(ReadLeadingNumber(text).value_or(0));
}

namespace {

// Code points of the bytes 0x80-0x9F in Windows-1252; 0 marks the five
// bytes the code page leaves unassigned.
constexpr std::array<std::uint16_t, 32> kCp1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

std::uint32_t Cp1252ToCodePoint(std::uint8_t byte) {
  if (byte < 0x80 || byte >= 0xA0) return byte;
  const std::uint16_t mapped = kCp1252High[byte - 0x80];
  return mapped != 0 ? mapped : byte;
}

char CodePointToCp1252(std::uint32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
  for (std::size_t i = 0; i < kCp1252High.size(); ++i) {
    const std::uint32_t mapped = kCp1252High[i] != 0 ? kCp1252High[i] : 0x80 + i;
    if (mapped == cp) return static_cast<char>(0x80 + i);
  }
  return '?';
}

}  // namespace

std::string CodePointToUtf8(std::uint32_t cp) {
  std::string out;
  if (cp == 0) return out;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return out;
}

std::string Utf8ToCp1252(std::string_view in) {
  std::string out;
  out.reserve(in.size());
  std::size_t i = 0;
  while (i < in.size()) {
    const auto lead = static_cast<std::uint8_t>(in[i]);
    std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3
                                         : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > in.size()) {
      out += '?';
      ++i;
      continue;
    }
    std::uint32_t cp = length == 1 ? lead : lead & (0x7F >> length);
    bool valid = true;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<std::uint8_t>(in[i + k]);
      if ((next & 0xC0) != 0x80) { valid = false; break; }
      cp = (cp << 6) | (next & 0x3F);
    }
    if (!valid) {
      out += '?';
      ++i;
      continue;
    }
    out += CodePointToCp1252(cp);
    i += length;
  }
  return out;
}

std::string Cp1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    const auto byte = static_cast<std::uint8_t>(c);
    if (byte < 0x80) {
      out += c;
    } else {
      out += CodePointToUtf8(Cp1252ToCodePoint(byte));
    }
  }
  return out;
}

}  // namespace verdelo
