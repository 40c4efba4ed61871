// The README's table of config.txt keys against the keys the program reads
// (the console's, the port window's, the telemetry's and the [COMn] device keys): a key the
// table lacks, a kind or default changed in the code but not in the table,
// and a row for a key the program does not read all fail here.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "console/config_keys.h"
#include "shell/port_window/port_traffic.h"
#include "shell/command_line/window_keys.h"
#include "telemetry/settings.h"

namespace verdelo {
namespace {

struct KeyRow {
  std::string kind;
  std::string defaultValue;
  std::string meaning;
};

// A table cell without the blanks and code quotes around it.
std::string CellText(std::string_view cell) {
  auto loose = [](char c) { return c == ' ' || c == '\t' || c == '`'; };
  while (!cell.empty() && loose(cell.front())) cell.remove_prefix(1);
  while (!cell.empty() && loose(cell.back())) cell.remove_suffix(1);
  return std::string(cell);
}

std::vector<std::string> Cells(const std::string& line) {
  std::vector<std::string> cells;
  std::size_t start = 1;  // past the leading '|'
  for (std::size_t bar; (bar = line.find('|', start)) != std::string::npos; start = bar + 1)
    cells.push_back(CellText(std::string_view(line).substr(start, bar - start)));
  return cells;
}

// The key names of a first cell: each "[NAME]" in it. "[COM1] to [COM10]"
// gives the first and the last of the range.
std::vector<std::string> KeyNames(const std::string& cell) {
  std::vector<std::string> names;
  for (std::size_t open = cell.find('['); open != std::string::npos; open = cell.find('[', open + 1)) {
    const std::size_t close = cell.find(']', open);
    if (close == std::string::npos) break;
    names.push_back(cell.substr(open + 1, close - open - 1));
  }
  return names;
}

// The rows of the table under "## config.txt keys": Key | Kind | Default |
// Meaning.
std::map<std::string, KeyRow> ReadmeKeyRows() {
  std::map<std::string, KeyRow> rows;
  std::ifstream readme(VERDELO_README);
  bool inSection = false;
  for (std::string line; std::getline(readme, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("## ", 0) == 0) inSection = line == "## config.txt keys";
    if (!inSection || line.rfind('|', 0) != 0) continue;
    const std::vector<std::string> cells = Cells(line);
    if (cells.size() != 4) continue;
    for (const std::string& name : KeyNames(cells[0])) rows[name] = {cells[1], cells[2], cells[3]};
  }
  return rows;
}

std::string KindWord(ConfigKind kind) {
  switch (kind) {
    case ConfigKind::Number: return "number";
    case ConfigKind::Switch: return "switch";
    case ConfigKind::Presence: return "presence";
    case ConfigKind::Text: return "text";
  }
  return "?";
}

void ExpectRowsFor(std::span<const ConfigKeyInfo> keys) {
  const std::map<std::string, KeyRow> rows = ReadmeKeyRows();
  for (const ConfigKeyInfo& key : keys) {
    const auto row = rows.find(std::string(key.name));
    if (row == rows.end()) {
      ADD_FAILURE() << "README.md's config.txt table has no row for [" << key.name << "] (" << key.meaning
                    << ", default " << key.defaultValue << ")";
      continue;
    }
    EXPECT_EQ(row->second.kind, KindWord(key.kind)) << "kind of [" << key.name << "]";
    EXPECT_EQ(row->second.defaultValue, key.defaultValue) << "default of [" << key.name << "]";
    EXPECT_FALSE(row->second.meaning.empty()) << "meaning of [" << key.name << "]";
  }
}

TEST(ReadmeConfigKeys, ListsEveryConsoleKeyWithItsKindAndDefault) { ExpectRowsFor(ConsoleConfigKeys()); }

TEST(ReadmeConfigKeys, ListsEveryPortKeyWithItsKindAndDefault) { ExpectRowsFor(PortConfigKeys()); }

TEST(ReadmeConfigKeys, ListsEveryWindowKeyWithItsKindAndDefault) { ExpectRowsFor(WindowConfigKeys()); }

TEST(ReadmeConfigKeys, ListsEveryTelemetryKeyWithItsKindAndDefault) { ExpectRowsFor(TelemetryConfigKeys()); }

// One row covers the slots' device keys, "[COM1] to [COMn]".
TEST(ReadmeConfigKeys, ListsTheDeviceKeysOfAllPortSlots) {
  const std::map<std::string, KeyRow> rows = ReadmeKeyRows();
  const std::string last = "COM" + std::to_string(kPortCount);
  ASSERT_TRUE(rows.contains("COM1")) << "no row for [COM1]";
  ASSERT_TRUE(rows.contains(last)) << "no row for [" << last << "]";
  EXPECT_EQ(rows.at("COM1").meaning, rows.at(last).meaning) << "[COM1] and [" << last << "] are not one row";
}

TEST(ReadmeConfigKeys, ListsNoKeyTheProgramDoesNotRead) {
  std::set<std::string> read;
  for (auto keys : {ConsoleConfigKeys(), PortConfigKeys(), WindowConfigKeys(), TelemetryConfigKeys()})
    for (const ConfigKeyInfo& key : keys) read.insert(std::string(key.name));
  for (int n = 1; n <= kPortCount; ++n) read.insert("COM" + std::to_string(n));
  for (const auto& [name, row] : ReadmeKeyRows())
    EXPECT_TRUE(read.contains(name)) << "README.md lists [" << name << "], which the program does not read";
}

}  // namespace
}  // namespace verdelo
