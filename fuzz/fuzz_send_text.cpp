// The port window's send text: a text is accepted exactly when it is all
// hexadecimal digits and at most a send buffer long, and then its bytes are
// its digit pairs; a refused text yields no byte and says why.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "shell/port_window/port_traffic.h"

using namespace verdelo;

namespace {

int Digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const SendText parsed = ParseSendText(text);

  bool allHex = true;
  for (char c : text) allHex = allHex && Digit(c) >= 0;
  const bool fits = text.size() / 2 <= kMaxSendBytes;

  if (!parsed.error.empty()) {
    FUZZ_CHECK(parsed.bytes.empty());
    FUZZ_CHECK(!allHex || !fits);
    return 0;
  }
  FUZZ_CHECK(allHex && fits);
  FUZZ_CHECK(parsed.bytes.size() == text.size() / 2);
  for (std::size_t i = 0; i < parsed.bytes.size(); ++i)
    FUZZ_CHECK(parsed.bytes[i] == Digit(text[2 * i]) * 16 + Digit(text[2 * i + 1]));
  return 0;
}
