// Start-up of the console window and the console's configuration keys.
#include <cstdint>
#include <functional>
#include <map>
#include <string_view>

#include "console/config_file.h"
#include "console/config_keys.h"
#include "console/console.h"
#include "console/control_ids.h"

namespace verdelo {

void MowerConsole::ResetState() {
  settings_ = ConsoleSettings{};
  values_ = MowerValues{};
  rx_.Reset();
  scripts_ = ScriptEngine{};
  alarms_ = AlarmState{};
  pollStep_ = 0;
  pollRotation_ = 0;
}

void MowerConsole::ReadConfiguration() {
  bool showSplash = true;
  IControls& controls = host_.controls;
  // A switch ticks its box when non-zero and never unticks it.
  auto check = [&controls](int id) {
    return [&controls, id](int value) {
      if (value != 0) controls.SetChecked(id, true);
    };
  };
  auto checkThen = [&controls](int id, auto handler) {
    return [&controls, id, handler](int value) {
      if (value != 0) controls.SetChecked(id, true);
      handler();
    };
  };
  const std::map<std::string_view, std::function<void(int)>> actions = {
      {"SCHEDULER_TIMER", [this](int v) { settings_.pollPeriod = v; }},
      {"ALARM_TIMER", [this](int v) { settings_.alarmPeriod = v; }},
      {"PULS_CHARGE_TIMER", [this](int v) { settings_.pulsePeriod = v; }},
      {"VMIN_PULS_CHARGE", [this](int v) { settings_.pulseVmin = v; }},
      {"ALARM_IF_NO_RESPONSE", checkThen(IDC_ALARM_IF_NO_RESPONSE, [this] { OnAlarmIfNoResponse(); })},
      {"DISABLE_SQUARE_CUTTING_TIMER", check(IDC_DISABLE_SQUARE_TIMER)},
      {"VALUES_UPDATE_DISABLE", check(IDC_DISABLE_VALUES_UPDATE)},
      {"MAN_TO_AUTO", check(IDC_AUTO_AFTER_MAN)},
      {"AUTO_TO_MAN", checkThen(IDC_MAN_AFTER_AUTO, [this] { OnOptionBox(IDC_MAN_AFTER_AUTO); })},
      {"GO_BACK", check(IDC_AUTO_IF_OUT)},
      {"FILTER", check(IDC_MEM_FILTER)},
      {"TEST_READ", check(IDC_MEM_TEST_READ)},
      {"PULS_CHARGE", checkThen(IDC_AUTO_TIMER, [this] { OnAutoTimer(); })},
      {"PULS_CHARGE_VMIN", check(IDC_AUTO_VMIN)},
      {"PC_KEYBOARD", check(IDC_KEYBOARD)},
      {"REVERT_LEFT_RIGHT", check(IDC_LEFT_RIGHT)},
      {"MORO_EXPERT_MODE",
       [this, &controls](int) {
         for (int id : {IDC_MEM_READ, IDC_MEM_WRITE, IDC_MENU_DEV, IDC_STOP_TO_ZERO_DEV})
           controls.SetEnabled(id, true);
         settings_.mainExpertMode = true;
       }},
      {"NO_SPLASH_DIALOG", [&showSplash](int) { showSplash = false; }},
      {"MIN_CURRENT", [this](int v) { settings_.minCurrent = v; }},
      {"MIN_CURRENT_TIMER", [this](int v) { settings_.minCurrentTimer = v; }},
  };
  // The table follows the published list of keys, which says each key's kind.
  std::vector<ConfigKey> keys;
  for (const ConfigKeyInfo& key : ConsoleConfigKeys())
    keys.push_back({std::string(key.name), key.kind, actions.at(key.name)});
  std::string trouble;
  ApplyConfig(ReadConfigFile(host_.configFile, &trouble), keys);
  if (!trouble.empty()) host_.window.ShowConfigTrouble(trouble);

  if (showSplash) host_.window.ShowAboutModal();
}

void MowerConsole::OnInitDialog() {
  // The console runs without its log; the window is told, and every line
  // tries the log again.
  OpenDataLog();
  ResetState();
  ReadConfiguration();

  host_.link.SetRxByteHandler([this](std::uint32_t byte) { OnRxByte(byte); });
  host_.window.CreatePortWindow();

  memory_ = MemoryTool{};
  OnDisableValuesUpdate();
}

}  // namespace verdelo
