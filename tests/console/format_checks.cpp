// Compiled, not run, by format_checks.cmake: with BAD_FORMATS defined each
// call below must draw a -Wformat warning, so a label format that does not
// match its value cannot slip through the build.
#include "console/text.h"

namespace verdelo {

void LabelFormats(int value, const char* text) {
  (void)ShortText::Number("Voltage(mV) :%5d", value);
  (void)ShortText("%s", text);
  (void)Format("=> Unknown status  %5d", value);
#ifdef BAD_FORMATS
  (void)ShortText::Number("Voltage(mV) :%5d", text);  // BAD 1
  (void)ShortText("%s", value);                      // BAD 2
  (void)Format("=> Unknown status  %5d", text);      // BAD 3
#endif
}

}  // namespace verdelo
