// Text helpers shared by the console: printf-style formatting, the C
// library's lenient integer readers, and the 8-bit Windows-1252 encoding the
// console's files use so they move unchanged between systems.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace verdelo {

// printf into a std::string (UTF-8 in, UTF-8 out).
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A short text formatted on the stack, so that showing a value allocates
// nothing; longer results are cut at the buffer's end.
class ShortText {
 public:
  ShortText(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // Meant for one "%d" or "%u" (optionally with a width) and an int, which
  // it formats without printf; any other format goes to printf. The same
  // text as printf either way.
  static ShortText Number(const char* format, ...) __attribute__((format(printf, 1, 2)));
  static ShortText NumberV(const char* format, va_list args) __attribute__((format(printf, 1, 0)));
  std::string_view view() const { return {buffer_, length_}; }
  operator std::string_view() const { return view(); }

 private:
  ShortText() = default;

  char buffer_[120];
  std::size_t length_ = 0;
};

// The blanks isspace() knows in the "C" locale.
bool IsCSpace(char c);

// Reads a signed decimal number the way "%d" does: leading white space, an
// optional sign, then at least one digit; whatever follows is ignored.
// Empty when no digit follows. Values beyond 32 bits saturate.
std::optional<std::int64_t> ReadLeadingNumber(std::string_view text);

// The same reader with the wide-character atoi convention: 0 when the text
// does not begin with a number; the result saturates to 32 bits.
int ToInt(std::string_view text);

// UTF-8 to Windows-1252; a character the code page lacks, or a broken UTF-8
// sequence, becomes "?".
std::string Utf8ToCp1252(std::string_view utf8);

// Windows-1252 to UTF-8; the five unassigned bytes map to the matching C1
// control characters, as on Windows.
std::string Cp1252ToUtf8(std::string_view bytes);

// The UTF-8 form of one Unicode code point (0 gives an empty string).
std::string CodePointToUtf8(std::uint32_t codePoint);

}  // namespace verdelo
