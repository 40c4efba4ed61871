// `text` without the characters of `blanks` at its start and its end; each
// caller names the blanks its input may carry.
#pragma once

#include <string_view>

namespace verdelo {

std::string_view Trimmed(std::string_view text, std::string_view blanks);

}  // namespace verdelo
