#include "console/memory_lines.h"

#include "console/text.h"

namespace verdelo {

namespace {

void SkipBlanks(std::string_view text, std::size_t& pos) {
  while (pos < text.size() && IsCSpace(text[pos])) ++pos;
}

// White space, an optional sign and at least one digit, from `pos`.
std::optional<std::int64_t> ScanNumber(std::string_view text, std::size_t& pos) {
  SkipBlanks(text, pos);
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  const std::size_t first = pos;
  std::int64_t magnitude = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    if (magnitude <= 1'000'000'000) magnitude = magnitude * 10 + (text[pos] - '0');
    ++pos;
  }
  if (pos == first) return std::nullopt;
  return negative ? -magnitude : magnitude;
}

// The low byte as the character it stands for in the dump's last column.
std::string LowByteCharacter(std::uint16_t value) {
  return CodePointToUtf8(value & 0xFF);
}

}  // namespace

std::optional<MemoryWriteLine> ParseMemoryWriteLine(std::string_view line) {
  std::size_t pos = 0;
  const auto address = ScanNumber(line, pos);
  if (!address || *address < 0 || *address > 0x7FFF) return std::nullopt;
  SkipBlanks(line, pos);
  if (pos >= line.size() || line[pos] != ';') return std::nullopt;
  ++pos;
  const auto value = ScanNumber(line, pos);
  if (!value || *value < -32768 || *value > 65535) return std::nullopt;
  return MemoryWriteLine{static_cast<std::uint16_t>(*address),
                         static_cast<std::uint16_t>(*value)};
}

std::string FormatMemoryDumpLine(std::uint16_t address, std::uint16_t value, bool ascii) {
  std::string line = Format("%5d ; %6d ; %5u ; %04X ; %02X ; %02X ;", int(address),
                            int(static_cast<std::int16_t>(value)), unsigned(value),
                            unsigned(value), unsigned(value >> 8), unsigned(value & 0xFF));
  if (ascii) line += LowByteCharacter(value);
  return line;
}

std::string FormatMemoryAnswerLine(std::uint16_t command, std::uint16_t value) {
  return Format("%5d ; %5d ; %5d ; ", int(command), int(static_cast<std::int16_t>(value)),
                int(value)) +
         LowByteCharacter(value);
}

}  // namespace verdelo
