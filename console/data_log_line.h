// Layout of a data-log line: time stamp, eleven values, the caller's text.
#pragma once

#include <string>
#include <string_view>

#include "console/host.h"
#include "console/mower_values.h"

namespace verdelo {

// "DD/MM/YYYY;hh:mm:ss; " then the eleven values, each followed by ";",
// then the text; without the line end.
std::string FormatDataLogLine(const LocalTime& time, const MowerValues& values,
                              std::string_view text);

}  // namespace verdelo
