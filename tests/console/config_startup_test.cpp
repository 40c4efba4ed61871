// config.txt: how lines are read, and what each of the console's keys does
// at start-up, in file order.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "console/config_file.h"
#include "console/control_ids.h"
#include "console/text_files.h"
#include "tests/console/console_rig.h"

namespace verdelo::test {
namespace {

using Strings = std::vector<std::string>;

std::vector<std::pair<std::string, std::string>> Entries(std::string_view bytes) {
  std::vector<std::pair<std::string, std::string>> out;
  for (const auto& e : ParseConfigText(bytes)) out.emplace_back(e.key, e.value);
  return out;
}

TEST(ConfigText, LinesEndAtLfWithOrWithoutCrAndTheLastUnterminatedLineIsDropped) {
  using Pairs = decltype(Entries(""));
  const Pairs both{{"A", "1"}, {"B", " 2 "}};
  // The same keys from Windows, Linux and mixed line ends.
  for (const char* text : {"[A]1\r\n\r\n[B] 2 \r\n", "[A]1\n\n[B] 2 \n", "[A]1\r\n[B] 2 \n"})
    EXPECT_EQ(Entries(text), both) << text;
  EXPECT_EQ(Entries("[A]1\r\n[B]2"), (Pairs{{"A", "1"}}));
  EXPECT_EQ(Entries("[A]1\n[B]2\r"), (Pairs{{"A", "1"}}));
  // A CR alone ends no line; only the one right before the LF is dropped.
  EXPECT_EQ(Entries("[A]1\r[B]2\r\r\n"), (Pairs{{"A", "1\r[B]2\r"}}));
}

TEST(ConfigText, FileBesideTheExecutableWinsElseTheDesktopsPlace) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    ("verdelo-config-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir / "bin");
  const std::filesystem::path beside = dir / "bin" / "config.txt", missing = dir / "none" / "config.txt";
  std::ofstream(beside) << "[COMPORT]1\n";
  struct Case {
    std::filesystem::path besideExecutable;
    const char* xdg;
    const char* home;
    std::filesystem::path expected;
  };
  const Case cases[] = {
      {beside, "/xdg", "/home/u", beside},
      {missing, "/xdg", "/home/u", "/xdg/verdelo/config.txt"},
      {missing, nullptr, "/home/u", "/home/u/.config/verdelo/config.txt"},
      {missing, "", "/home/u", "/home/u/.config/verdelo/config.txt"},
      {missing, "relative/xdg", "/home/u", "/home/u/.config/verdelo/config.txt"},
      {missing, nullptr, nullptr, missing},
  };
  for (const Case& c : cases)
    EXPECT_EQ(LocateConfigFile(c.besideExecutable, c.xdg, c.home), c.expected)
        << c.besideExecutable << " " << (c.xdg ? c.xdg : "(unset)");
  std::filesystem::remove_all(dir);
}

TEST(ConfigText, KeyIsBetweenTheFirstBrackets) {
  const auto e = Entries("word [SCHEDULER_TIMER]700\r\n] [X]1\r\nno brackets\r\n[K]v]w[x\r\n[]e\r\n");
  ASSERT_EQ(e.size(), 3u);
  EXPECT_EQ(e[0], (std::pair<std::string, std::string>{"SCHEDULER_TIMER", "700"}));
  EXPECT_EQ(e[1], (std::pair<std::string, std::string>{"K", "v]w[x"}));
  EXPECT_EQ(e[2], (std::pair<std::string, std::string>{"", "e"}));
}

TEST(ConfigText, AZeroByteSpoilsOnlyItsOwnLineAndTextIsReadAsWindows1252) {
  using namespace std::string_literals;
  using Pairs = decltype(Entries(""));
  EXPECT_EQ(Entries("[A]1\r\n[B\0]2\r\n\0[C]3\0\r\n[D]4\r\n"s),
            (Pairs{{"A", "1"}, {"B\0"s, "2"}, {"C", "3\0"s}, {"D", "4"}}));
  EXPECT_EQ(Entries("[A]\xE9\r\n")[0].second, "\xC3\xA9");
}

TEST(ConfigText, KindsOfValue) {
  std::vector<int> got;
  const std::vector<ConfigKey> table = {
      {"N", ConfigKind::Number, [&](int v) { got.push_back(v); }},
      {"S", ConfigKind::Switch, [&](int v) { got.push_back(1000 + v); }},
      {"P", ConfigKind::Presence, [&](int v) { got.push_back(2000 + v); }},
      {"N", ConfigKind::Number, [&](int) { got.push_back(-1); }},  // never reached
  };
  ApplyConfig(ParseConfigText("[N] 500\r\n[N]500ms\r\n[N]\r\n[N]x5\r\n[n]7\r\n[N]-3\r\n"
                              "[S]0\r\n[S]abc\r\n[S] 4\r\n[P]0\r\n[P]\r\n"),
              table);
  EXPECT_EQ(got, (std::vector<int>{500, 500, -3, 1000, 1000, 1004, 2000, 2000}));
}

TEST(ConfigText, MissingFileOrFifoGivesNothing) {
  ConsoleRig rig;
  EXPECT_TRUE(ReadConfigFile(rig.dir / "absent.txt").empty());
  const auto fifo = rig.dir / "fifo.txt";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_TRUE(ReadConfigFile(fifo).empty());  // and does not block
}

class StartUp : public ::testing::Test {
 protected:
  ConsoleRig rig;
};

// A config.txt that is there but cannot be read, or only in part, is told
// with its reason; what was not read keeps its default. None is no trouble.
TEST(StartUpConfig, AFileThatCannotBeReadIsToldWithItsReason) {
  enum Kind { kNone, kFolder, kLocked, kLong };
  const std::tuple<Kind, Strings, int> cases[] = {
      {kNone, {}, 1000},
      {kFolder, {"cannot be read: it is a folder; the defaults hold"}, 1000},
      {kLocked, {"cannot be read: held by another program's lock; the defaults hold"}, 1000},
      {kLong, {"is longer than 16 MB; only its first 16 MB are read"}, 500}};
  for (const auto& [kind, trouble, pollPeriod] : cases) {
    ConsoleRig rig;
    TextFileWriter holder;
    if (kind == kFolder) std::filesystem::create_directory(rig.dir / "config.txt");
    if (kind == kLocked) rig.WriteConfig({"[SCHEDULER_TIMER]500"});
    ASSERT_TRUE(kind != kLocked || holder.Open(rig.dir / "config.txt", TextFileWriter::Mode::Append));
    if (kind == kLong)
      rig.WriteFile("config.txt", "[SCHEDULER_TIMER]500\n" + std::string(kMaxConfigSize, '#') +
                                      "\n[NO_SPLASH_DIALOG]\n");
    rig.Start();
    holder.Close();
    EXPECT_EQ(rig.window.configTrouble, trouble);
    EXPECT_EQ(rig.console.settings().pollPeriod, pollPeriod);
    EXPECT_EQ(rig.window.aboutShown, 1);
  }
}

TEST_F(StartUp, WithoutConfigDefaultsAndTheSplashBeforeThePortWindow) {
  rig.Start();
  EXPECT_EQ(rig.window.order, (Strings{"about", "port"}));
  const ConsoleSettings& s = rig.console.settings();
  EXPECT_EQ(s.pollPeriod, 1000);
  EXPECT_EQ(s.alarmPeriod, 60000);
  EXPECT_EQ(s.pulsePeriod, 600);
  EXPECT_EQ(s.pulseVmin, 21220);
  EXPECT_EQ(s.minCurrent, -5000);
  EXPECT_EQ(s.minCurrentTimer, 10);
  EXPECT_FALSE(s.mainExpertMode);
  EXPECT_EQ(rig.console.values().minVoltage, 99999);
  EXPECT_TRUE(rig.link.hasHandler());
  EXPECT_TRUE(rig.clock.IsRunning(TIMER_POLL));
  EXPECT_FALSE(rig.clock.IsRunning(TIMER_ALARM));
  EXPECT_FALSE(rig.clock.IsRunning(TIMER_PULSE_CHARGE));
  EXPECT_FALSE(rig.controls.IsEnabled(IDC_MEM_READ));
  EXPECT_TRUE(rig.FileExists("Moro-log.txt"));
}

TEST_F(StartUp, LfOnlyFileActsLikeCrLf) {
  rig.WriteFile("config.txt", "[SCHEDULER_TIMER]500\n[NO_SPLASH_DIALOG]\n");
  rig.Start();
  EXPECT_EQ(rig.console.settings().pollPeriod, 500);
  EXPECT_EQ(rig.window.aboutShown, 0);
}

TEST_F(StartUp, TheFiveLineExample) {
  rig.WriteConfig({"[SCHEDULER_TIMER]500", "[ALARM_TIMER]5000", "[ALARM_IF_NO_RESPONSE]1",
                   "[NO_SPLASH_DIALOG]", "[COMPORT]2"});
  rig.Start();
  EXPECT_EQ(rig.window.order, Strings{"port"});
  EXPECT_EQ(rig.clock.PeriodOf(TIMER_POLL), 500u);
  EXPECT_TRUE(rig.controls.IsChecked(IDC_ALARM_IF_NO_RESPONSE));
  EXPECT_EQ(rig.clock.PeriodOf(TIMER_ALARM), 5000u);
}

TEST_F(StartUp, KeysActInFileOrderWithWhatIsReadSoFar) {
  rig.WriteConfig({"[ALARM_IF_NO_RESPONSE]1", "[ALARM_TIMER]5000", "[PULS_CHARGE]1",
                   "[PULS_CHARGE_TIMER]30", "[NO_SPLASH_DIALOG]0"});
  rig.Start();
  EXPECT_EQ(rig.clock.PeriodOf(TIMER_ALARM), 60000u);
  EXPECT_EQ(rig.console.settings().alarmPeriod, 5000);
  EXPECT_EQ(rig.clock.PeriodOf(TIMER_PULSE_CHARGE), 600000u);
  EXPECT_EQ(rig.LogTexts(), Strings{"start puls charge timer:  600"});
  EXPECT_EQ(rig.window.aboutShown, 0);
}

TEST_F(StartUp, SwitchesThatAreZeroStillCallTheirHandlers) {
  rig.WriteConfig({"[PULS_CHARGE]0", "[AUTO_TO_MAN]0", "[ALARM_IF_NO_RESPONSE]0",
                   "[NO_SPLASH_DIALOG]"});
  rig.Start();
  EXPECT_FALSE(rig.controls.IsChecked(IDC_AUTO_TIMER));
  EXPECT_EQ(rig.LogTexts(), (Strings{"stop puls charge timer", "=> AutoToManDisabled"}));
  EXPECT_FALSE(rig.clock.IsRunning(TIMER_ALARM));
  EXPECT_EQ(rig.controls.Text(IDC_ALARM_IF_NO_RESPONSE), "AlarmIfNoResponse");
}

TEST_F(StartUp, EveryCheckBoxKey) {
  const std::vector<std::pair<std::string, int>> keys = {
      {"DISABLE_SQUARE_CUTTING_TIMER", IDC_DISABLE_SQUARE_TIMER},
      {"VALUES_UPDATE_DISABLE", IDC_DISABLE_VALUES_UPDATE},
      {"MAN_TO_AUTO", IDC_AUTO_AFTER_MAN}, {"AUTO_TO_MAN", IDC_MAN_AFTER_AUTO},
      {"GO_BACK", IDC_AUTO_IF_OUT}, {"FILTER", IDC_MEM_FILTER},
      {"TEST_READ", IDC_MEM_TEST_READ}, {"PULS_CHARGE", IDC_AUTO_TIMER},
      {"PULS_CHARGE_VMIN", IDC_AUTO_VMIN}, {"PC_KEYBOARD", IDC_KEYBOARD},
      {"REVERT_LEFT_RIGHT", IDC_LEFT_RIGHT}, {"ALARM_IF_NO_RESPONSE", IDC_ALARM_IF_NO_RESPONSE},
  };
  Strings lines = {"[NO_SPLASH_DIALOG]"};
  for (const auto& [key, id] : keys) lines.push_back("[" + key + "]1");
  rig.WriteConfig(lines);
  rig.Start();
  for (const auto& [key, id] : keys) EXPECT_TRUE(rig.controls.IsChecked(id)) << key;
  EXPECT_FALSE(rig.clock.IsRunning(TIMER_POLL));
  EXPECT_EQ(rig.LogTexts(), (Strings{"=> AutoToManEnabled", "start puls charge timer:  600"}));
}

TEST_F(StartUp, NumberKeysAndExpertMode) {
  rig.WriteConfig({"[VMIN_PULS_CHARGE]22000", "[MIN_CURRENT]-300", "[MIN_CURRENT_TIMER]3",
                   "[ALARM_TIMER]", "[MORO_EXPERT_MODE]0", "[NO_SPLASH_DIALOG]",
                   "[scheduler_timer]5"});
  rig.Start();
  EXPECT_EQ(rig.console.settings().pulseVmin, 22000);
  EXPECT_EQ(rig.console.settings().minCurrent, -300);
  EXPECT_EQ(rig.console.settings().minCurrentTimer, 3);
  EXPECT_EQ(rig.console.settings().alarmPeriod, 60000);
  EXPECT_EQ(rig.console.settings().pollPeriod, 1000);
  EXPECT_TRUE(rig.console.settings().mainExpertMode);
  for (int id : {IDC_MEM_READ, IDC_MEM_WRITE, IDC_MENU_DEV, IDC_STOP_TO_ZERO_DEV})
    EXPECT_TRUE(rig.controls.IsEnabled(id)) << id;
}

TEST_F(StartUp, NothingGoesOutWhileTheSplashIsOpen) {
  rig.WriteConfig({"[ALARM_TIMER]100", "[ALARM_IF_NO_RESPONSE]1"});
  rig.window.onAbout = [this] {
    rig.clock.Advance(250);  // the user reads the About box
  };
  rig.Start();
  EXPECT_TRUE(rig.link.writes().empty());
  // The alarm timer already ran behind the splash.
  EXPECT_EQ(rig.controls.Text(IDC_ALARM_IF_NO_RESPONSE), "ALARM !!");
  EXPECT_EQ(rig.window.order, (Strings{"about", "port"}));
}

TEST_F(StartUp, OddTimerPeriodsAreKeptInTheWindowSystemsRange) {
  rig.WriteConfig({"[SCHEDULER_TIMER]0", "[ALARM_TIMER]-5", "[ALARM_IF_NO_RESPONSE]1",
                   "[NO_SPLASH_DIALOG]"});
  rig.Start();
  EXPECT_EQ(rig.clock.PeriodOf(TIMER_POLL), 10u);
  EXPECT_EQ(rig.clock.PeriodOf(TIMER_ALARM), 10u);
}

TEST_F(StartUp, PortWindowSeesTheReceiveHookAlreadySet) {
  bool hookSet = false;
  rig.window.onPortWindow = [&] { hookSet = rig.link.hasHandler(); };
  rig.WriteConfig({"[NO_SPLASH_DIALOG]"});
  rig.Start();
  EXPECT_TRUE(hookSet);
}

}  // namespace
}  // namespace verdelo::test
