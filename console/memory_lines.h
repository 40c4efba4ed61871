// Line formats of the memory tool's files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace verdelo {

struct MemoryWriteLine {
  std::uint16_t address;  // 0-32767
  std::uint16_t value;    // the line's value as 16 bits
};

// Reads a line of the write input: an address, a semicolon and a value, with
// optional white space around them ("%u ; %d"); the rest is ignored. Empty
// unless the line holds both numbers, the address lies in 0-32767 and the
// value in -32768-65535, so no frame is ever built from numbers the line
// does not hold.
std::optional<MemoryWriteLine> ParseMemoryWriteLine(std::string_view line);

// A dump line of the read: address, value signed, unsigned, in hex, its two
// bytes, and with `ascii` the low byte as a character (a 0 byte ends the
// line before it).
std::string FormatMemoryDumpLine(std::uint16_t address, std::uint16_t value, bool ascii);

// An answer line of the write: code, value signed, unsigned, low byte as a
// character.
std::string FormatMemoryAnswerLine(std::uint16_t command, std::uint16_t value);

}  // namespace verdelo
