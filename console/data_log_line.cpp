#include "console/data_log_line.h"

#include "console/text.h"

namespace verdelo {

std::string FormatDataLogLine(const LocalTime& t, const MowerValues& v, std::string_view text) {
  std::string line = Format("%02u/%02u/%02u;%02u:%02u:%02u; ", unsigned(t.day),
                            unsigned(t.month), unsigned(t.year), unsigned(t.hour),
                            unsigned(t.minute), unsigned(t.second));
  line += Format("%4i;%4i;%2i;%5i;%4i;%4i;%1i;%5i;%5i;%5i;%5i;", v.status, v.current,
                 v.temperature, v.voltage, v.charge, v.boundaryFront, v.cuttingSeen,
                 v.cuttingEffort, v.value12030, v.value127, v.rainLevel);
  line += text;
  return line;
}

}  // namespace verdelo
