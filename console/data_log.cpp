// The data log: one semicolon-separated line of the latest values per event,
// appended to "Moro-log.txt".
#include "console/console.h"
#include "console/data_log_line.h"

namespace verdelo {

void MowerConsole::WriteLogLine(const std::string& text) {
  dataLog_.WriteLine(FormatDataLogLine(host_.clock.Now(), values_, text));
}

}  // namespace verdelo
