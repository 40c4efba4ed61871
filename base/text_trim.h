// `text` without the characters of `blanks` at its start and its end; each
// caller names the blanks its input may carry.
#pragma once

#include <string_view>

namespace verdelo {

inline std::string_view Trimmed(std::string_view text, std::string_view blanks) {
  const std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

}  // namespace verdelo
