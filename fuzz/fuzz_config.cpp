// config.txt under arbitrary bytes: the reader splits it into entries that
// come from whole lines (LF or CR LF) in file order, the key table acts exactly on
// the entries of its keys, and the console starts up from the file with
// settings and timers it can run with.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/config_file.h"
#include "console/control_ids.h"
#include "console/text.h"
#include "fuzz/console_checks.h"
#include "fuzz/fuzz_check.h"
#include "shell/port_window/port_traffic.h"
#include "tests/console/console_rig.h"

using namespace verdelo;

namespace {

struct Call {
  std::size_t row;
  int value;
  bool operator==(const Call&) const = default;
};

// A table with every kind, a repeated name (only its first row may act), an
// empty name and a name with a blank.
const std::vector<std::pair<std::string, ConfigKind>> kRows = {
    {"SCHEDULER_TIMER", ConfigKind::Number}, {"GO_BACK", ConfigKind::Switch},
    {"NO_SPLASH_DIALOG", ConfigKind::Presence}, {"SCHEDULER_TIMER", ConfigKind::Switch},
    {"", ConfigKind::Number}, {"A B", ConfigKind::Switch},
    {"x", ConfigKind::Presence}, {"MIN_CURRENT", ConfigKind::Number}};

// The file's whole lines: text before each LF, less one CR right before it.
std::vector<std::string_view> WholeLines(std::string_view text) {
  std::vector<std::string_view> lines;
  for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string_view::npos;
       start = end + 1) {
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
  }
  return lines;
}

void CheckEntries(std::string_view bytes, const std::vector<ConfigEntry>& entries) {
  const std::vector<std::string_view> lines = WholeLines(bytes);
  FUZZ_CHECK(entries.size() <= lines.size());

  // Each entry is a whole line of the file, later than the one before, with
  // no bracket in front of its key.
  std::size_t next = 0;
  for (const ConfigEntry& entry : entries) {
    for (const std::string* part : {&entry.key, &entry.value}) {
      FUZZ_CHECK(part->find('\n') == std::string::npos);
      // Valid UTF-8 that comes back byte for byte from the file's code page.
      FUZZ_CHECK(Cp1252ToUtf8(Utf8ToCp1252(*part)) == *part);
    }
    FUZZ_CHECK(entry.key.find(']') == std::string::npos);
    const std::string line = Utf8ToCp1252("[" + entry.key + "]" + entry.value);
    bool found = false;
    for (; next < lines.size() && !found; ++next) {
      const std::size_t open = lines[next].find('[');
      found = open != std::string_view::npos && lines[next].substr(open) == line &&
              lines[next].substr(0, open).find(']') == std::string_view::npos;
    }
    FUZZ_CHECK(found);
  }
}

void CheckApply(const std::vector<ConfigEntry>& entries) {
  std::vector<Call> calls;
  std::vector<ConfigKey> table;
  for (std::size_t row = 0; row < kRows.size(); ++row)
    table.push_back({kRows[row].first, kRows[row].second,
                     [&calls, row](int value) { calls.push_back({row, value}); }});
  ApplyConfig(entries, table);

  std::vector<Call> expected;
  for (const ConfigEntry& entry : entries) {
    for (std::size_t row = 0; row < kRows.size(); ++row) {
      if (kRows[row].first != entry.key) continue;
      const auto number = ReadLeadingNumber(entry.value);
      switch (kRows[row].second) {
        case ConfigKind::Number:
          if (number) expected.push_back({row, static_cast<int>(*number)});
          break;
        case ConfigKind::Switch:
          expected.push_back({row, number ? static_cast<int>(*number) : 0});
          break;
        case ConfigKind::Presence:
        case ConfigKind::Text:
          expected.push_back({row, 0});
          break;
      }
      break;
    }
  }
  FUZZ_CHECK(calls == expected);
  for (const Call& call : calls) FUZZ_CHECK(call.row != 3);
}

void CheckPortWindow(const std::vector<ConfigEntry>& entries) {
  const PortWindowSettings settings = ReadPortWindowSettings(entries);
  FUZZ_CHECK(settings.portIndex >= -1 && settings.portIndex < kPortCount);
  FUZZ_CHECK(settings.speedIndex >= -1 && settings.speedIndex < 3);
  (void)BaudForIndex(settings.speedIndex);
}

// The last readable number of a key, as the file sets it.
std::optional<int> LastNumber(const std::vector<ConfigEntry>& entries, const char* key) {
  std::optional<int> last;
  for (const ConfigEntry& entry : entries)
    if (entry.key == key)
      if (const auto number = ReadLeadingNumber(entry.value)) last = static_cast<int>(*number);
  return last;
}

bool Present(const std::vector<ConfigEntry>& entries, const char* key) {
  for (const ConfigEntry& entry : entries)
    if (entry.key == key) return true;
  return false;
}

void CheckStartUp(std::string_view bytes, const std::vector<ConfigEntry>& entries) {
  test::ConsoleRig rig;
  rig.WriteFile("config.txt", std::string(bytes));
  rig.Start();

  const ConsoleSettings& settings = rig.console.settings();
  FUZZ_CHECK(settings.pollPeriod == LastNumber(entries, "SCHEDULER_TIMER").value_or(1000));
  FUZZ_CHECK(settings.alarmPeriod == LastNumber(entries, "ALARM_TIMER").value_or(60000));
  FUZZ_CHECK(settings.minCurrent == LastNumber(entries, "MIN_CURRENT").value_or(-5000));
  FUZZ_CHECK(settings.mainExpertMode == Present(entries, "MORO_EXPERT_MODE"));
  FUZZ_CHECK((rig.window.aboutShown == 0) == Present(entries, "NO_SPLASH_DIALOG"));
  FUZZ_CHECK(rig.window.portWindowsCreated == 1);
  FUZZ_CHECK(rig.link.hasHandler());
  for (int timer : {TIMER_POLL, TIMER_ALARM, TIMER_PULSE_CHARGE})
    if (rig.clock.IsRunning(timer))
      FUZZ_CHECK(rig.clock.PeriodOf(timer) >= 10 && rig.clock.PeriodOf(timer) <= 0x7FFFFFFFu);
  FUZZ_CHECK(rig.clock.IsRunning(TIMER_POLL) ==
             !rig.controls.IsChecked(IDC_DISABLE_VALUES_UPDATE));

  // A little of a mowing day on these settings: a bounded span of virtual
  // time, so that a 10 ms timer cannot run away with the fuzzer.
  rig.clock.Advance(2500);
  rig.Answer(REG_STATUS, 1002);
  rig.Answer(REG_CURRENT, 0xFC18);
  rig.Answer(REG_STATUS, 1062);
  rig.Answer(REG_VOLTAGE, 20000);
  rig.Answer(REG_STATUS, 1056);
  rig.Answer(REG_POWER, 0);
  rig.clock.Advance(2500);
  fuzz::CheckConsoleState(rig.console);
  fuzz::CheckDataLog(rig);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::vector<ConfigEntry> entries = ParseConfigText(bytes);
  CheckEntries(bytes, entries);
  CheckApply(entries);
  CheckPortWindow(entries);
  CheckStartUp(bytes, entries);
  return 0;
}
