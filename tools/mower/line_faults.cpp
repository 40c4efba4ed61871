#include "tools/mower/line_faults.h"

namespace verdelo::mower {

std::vector<std::uint8_t> LineFaults::Damage(const MowerFrame& answer) {
  ++answers_;
  std::vector<std::uint8_t> bytes(answer.begin(), answer.end());
  if (corrupt_every > 0 && answers_ % corrupt_every == 0) {
    // XOR with a non-zero mask, so the byte always changes.
    const int at = RandomIndex(static_cast<int>(bytes.size()));
    bytes[at] = static_cast<std::uint8_t>(bytes[at] ^ (1 + RandomIndex(255)));
  }
  if (drop_every > 0 && answers_ % drop_every == 0)
    bytes.erase(bytes.begin() + RandomIndex(static_cast<int>(bytes.size())));
  return bytes;
}

std::vector<std::uint8_t> LineFaults::Garbage(int count) {
  std::vector<std::uint8_t> bytes;
  for (int i = 0; i < count; ++i) bytes.push_back(static_cast<std::uint8_t>(RandomIndex(256)));
  return bytes;
}

void LineFaults::Clear() {
  silent = false;
  muted.clear();
  drop_every = 0;
  corrupt_every = 0;
  delay_ms = 0;
}

bool LineFaults::any() const {
  return silent || !muted.empty() || drop_every > 0 || corrupt_every > 0 || delay_ms > 0;
}

std::string LineFaults::Describe() const {
  std::string text;
  auto add = [&text](const std::string& item) { text += (text.empty() ? "" : ", ") + item; };
  if (silent) add("silent");
  for (auto reg : muted) add("mute " + std::to_string(reg));
  if (drop_every > 0) add("drop " + std::to_string(drop_every));
  if (corrupt_every > 0) add("corrupt " + std::to_string(corrupt_every));
  if (delay_ms > 0) add("delay " + std::to_string(delay_ms));
  return text;
}

}  // namespace verdelo::mower
