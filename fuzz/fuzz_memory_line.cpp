// Lines of the memory writer's input file: whatever a line holds, an accepted
// line names a register (0-32767) and a 16-bit value that are exactly the two
// numbers at its start, and writing them out again reads back the same.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "console/memory_lines.h"
#include "console/text.h"
#include "fuzz/fuzz_check.h"

using namespace verdelo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  const auto parsed = ParseMemoryWriteLine(line);
  if (!parsed) return 0;

  FUZZ_CHECK(parsed->address <= 32767);

  // The two numbers come from the line itself: the leading one, and the one
  // after the first semicolon.
  const auto address = ReadLeadingNumber(line);
  FUZZ_CHECK(address && *address == parsed->address);
  const std::size_t semicolon = line.find(';');
  FUZZ_CHECK(semicolon != std::string_view::npos);
  const auto value = ReadLeadingNumber(line.substr(semicolon + 1));
  FUZZ_CHECK(value && *value >= -32768 && *value <= 65535);
  FUZZ_CHECK(static_cast<std::uint16_t>(*value) == parsed->value);

  // Written back as a plain line and as a dump line, it reads the same.
  const std::string plain = Format("%u ; %d", unsigned(parsed->address),
                                   int(static_cast<std::int16_t>(parsed->value)));
  for (const std::string& again :
       {plain, FormatMemoryDumpLine(parsed->address, parsed->value, false),
        FormatMemoryDumpLine(parsed->address, parsed->value, true)}) {
    const auto reparsed = ParseMemoryWriteLine(again);
    FUZZ_CHECK(reparsed);
    FUZZ_CHECK(reparsed->address == parsed->address);
    FUZZ_CHECK(reparsed->value == parsed->value);
  }
  return 0;
}
