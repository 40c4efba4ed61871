#include "tools/mower/mower_commands.h"

#include <charconv>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace verdelo::mower {
namespace {

std::vector<std::string> Words(std::string_view line) {
  std::istringstream in{std::string(line)};
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

// Decimal, or hexadecimal with 0x in front.
bool ParseInt(const std::string& text, long low, long high, long& out) {
  int base = 10;
  std::string_view digits = text;
  bool negative = false;
  if (!digits.empty() && digits.front() == '-') {
    negative = true;
    digits.remove_prefix(1);
  }
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    base = 16;
    digits.remove_prefix(2);
  }
  long value = 0;
  auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
  if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) return false;
  if (negative) value = -value;
  if (value < low || value > high) return false;
  out = value;
  return true;
}

CommandReply Error(const std::string& text) { return {false, "error: " + text}; }

}  // namespace

const char* CommandHelp() {
  return "  silent           answer nothing (requests are still obeyed)\n"
         "  mute REG         never answer requests for register REG (e.g. mute 475)\n"
         "  unmute REG       answer register REG again\n"
         "  drop N           lose one byte of every Nth answer (0 = off)\n"
         "  corrupt N        garble one byte of every Nth answer (0 = off)\n"
         "  delay MS         send each answer MS milliseconds late (0 = off)\n"
         "  nopower          the station has no power: power reads 0, no charging\n"
         "  lowcurrent       the battery current reads about -6000 mA\n"
         "  outside          leave the boundary: status 16 until backed in or resumed\n"
         "  burst N          send N unasked answer frames at once\n"
         "  garbage N        send N random bytes at once\n"
         "  resume           end every fault above\n"
         "  flood FPS [N] [voltage]\n"
         "                   send unasked answer frames of the polled registers at\n"
         "                   FPS frames a second, N of them (none or 0: until\n"
         "                   flood 0); 2304 fills a 115200-baud line. With voltage:\n"
         "                   battery-voltage answers only, each a few mV from the\n"
         "                   one before (up and down between 23000 and 24200 mV)\n"
         "  status           print the clock, status, battery and active faults\n"
         "  speed F          simulated seconds per real second from now on\n"
         "  set REG VALUE    store VALUE in register REG (measured values are\n"
         "                   overwritten at the next simulated second)\n"
         "  phase NAME       jump in the day: timer charged plugout starting blade\n"
         "                   moving cutting square searching wire guide plugging\n"
         "                   charging stopped outside empty\n"
         "  help             list these commands\n";
}

CommandReply RunCommand(VirtualMower& mower, std::string_view line, LineMillis now) {
  const auto words = Words(line);
  if (words.empty()) return {true, ""};
  const std::string& name = words[0];
  const std::size_t args = words.size() - 1;
  auto& faults = mower.faults();
  auto& day = mower.day();
  mower.AdvanceTo(now);

  auto one_count = [&](long high, long& value) {
    return args == 1 && ParseInt(words[1], 0, high, value);
  };
  long n = 0;

  if (name == "silent" && args == 0) {
    faults.silent = true;
  } else if ((name == "mute" || name == "unmute")) {
    if (!one_count(0x7FFF, n)) return Error(name + " needs a register 0-32767");
    if (name == "mute") faults.muted.insert(static_cast<std::uint16_t>(n));
    else faults.muted.erase(static_cast<std::uint16_t>(n));
  } else if (name == "drop" || name == "corrupt") {
    if (!one_count(1000000, n)) return Error(name + " needs a frame count (0 = off)");
    (name == "drop" ? faults.drop_every : faults.corrupt_every) = static_cast<int>(n);
  } else if (name == "delay") {
    if (!one_count(600000, n)) return Error("delay needs milliseconds (0 = off)");
    faults.delay_ms = static_cast<int>(n);
  } else if (name == "nopower" && args == 0) {
    day.SetNoPower(true);
  } else if (name == "lowcurrent" && args == 0) {
    day.SetLowCurrent(true);
  } else if (name == "outside" && args == 0) {
    day.GoOutside();
  } else if (name == "burst") {
    if (!one_count(100000, n)) return Error("burst needs a frame count");
    mower.SendBurst(static_cast<int>(n), now);
  } else if (name == "garbage") {
    if (!one_count(1000000, n)) return Error("garbage needs a byte count");
    mower.SendGarbage(static_cast<int>(n), now);
  } else if (name == "flood") {
    // A last word "voltage" picks the flood's kind; the numbers come before it.
    const bool voltage = args >= 2 && words.back() == "voltage";
    const std::size_t numbers = args - (voltage ? 1 : 0);
    char* end = nullptr;
    const double rate = numbers >= 1 ? std::strtod(words[1].c_str(), &end) : -1;
    long frames = 0;
    if (numbers < 1 || numbers > 2 || *end != '\0' || !(rate >= 0 && rate <= 100000) ||
        (numbers == 2 && !ParseInt(words[2], 0, 1000000000, frames)))
      return Error("flood needs frames a second (0-100000, 0 = stop), may take a frame count and then voltage");
    mower.StartFlood(rate, frames, now,
                     voltage ? VirtualMower::FloodKind::Voltage : VirtualMower::FloodKind::Polled);
  } else if (name == "resume" && args == 0) {
    mower.Resume();
  } else if (name == "status" && args == 0) {
    return {true, mower.Describe()};
  } else if (name == "speed") {
    char* end = nullptr;
    const double factor = args == 1 ? std::strtod(words[1].c_str(), &end) : 0;
    if (args != 1 || *end != '\0' || !(factor > 0 && factor <= 1e6))
      return Error("speed needs a factor above 0");
    mower.SetSpeed(factor, now);
  } else if (name == "set") {
    long reg = 0, value = 0;
    if (args != 2 || !ParseInt(words[1], 0, 0x7FFF, reg) || !ParseInt(words[2], -32768, 65535, value))
      return Error("set needs a register 0-32767 and a value -32768..65535");
    mower.registers().Set(static_cast<std::uint16_t>(reg), static_cast<std::uint16_t>(value));
  } else if (name == "phase") {
    Phase phase;
    if (args != 1 || !PhaseFromName(words[1], phase)) return Error("unknown phase (see help)");
    day.JumpTo(phase);
  } else if (name == "help" && args == 0) {
    return {true, std::string("commands:\n") + CommandHelp()};
  } else {
    return Error("unknown command '" + name + "' or wrong arguments (try help)");
  }
  std::string done = "ok:";
  for (const auto& word : words) done += " " + word;
  return {true, done};
}

}  // namespace verdelo::mower
