// Built-in scripts played one step per poll cycle, the option boxes that
// arm them, and the go.txt trigger of the memory writer.
#include <cstdint>
#include <system_error>

#include "console/console.h"
#include "console/control_ids.h"
#include "console/mower_frame.h"
#include "console/mower_status.h"
#include "console/text.h"

namespace verdelo {

namespace {

constexpr int kScriptToggleManAuto = 2;
constexpr int kScriptGoBack = 3;
constexpr int kScriptHome = 4;
constexpr std::uint32_t kGoBackGapMs = 100;
constexpr int kGoBackStatusReads = 6;

}  // namespace

bool MowerConsole::StartScript(int script) {
  if (scripts_.script != 0) return false;  // no script is ever replaced
  scripts_.script = script;
  scripts_.step = 0;
  return true;
}

void MowerConsole::RunScriptStep() {
  ++scripts_.step;
  WriteLogLine(Format("script %02u : step : %02u", unsigned(scripts_.script),
                      unsigned(scripts_.step)));
  const int step = scripts_.step;
  int length = 0;

  if (step == 1) {
    // Pressing "0" would wake a stopped mower's menu; leave it alone then.
    if (values_.status != STATUS_STOPPED) SendKey(KEY_0);
  }
  switch (scripts_.script) {
    case kScriptToggleManAuto:
      length = 5;
      if (step == 2 || step == 3) SendKey(KEY_SMALL_C);
      if (step == 4) SendKey(KEY_MAN_AUTO);
      break;
    case kScriptGoBack:
      length = 5;
      if (step == 2) {
        SendFrame(CMD_SPECIAL_MODE, kMovementTestMode);
        SendFrame(CMD_DRIVE_SPEED_A, static_cast<std::uint16_t>(kSpeedGoBack));
        SendFrame(CMD_DRIVE_SPEED_B, static_cast<std::uint16_t>(kSpeedGoBack));
        for (int i = 0; i < kGoBackStatusReads; ++i) {
          host_.pacing.Pause(kGoBackGapMs);
          SendFrame(CMD_READ_STATUS, 0);
        }
        host_.pacing.Pause(kGoBackGapMs);
        SendFrame(CMD_SPECIAL_MODE, 0);
      }
      if (step == 3) SendFrame(CMD_SPECIAL_MODE, 0);
      if (step == 4) SendKey(KEY_SMALL_C);
      break;
    case kScriptHome:
      length = 6;
      if (step == 2 || step == 3 || step == 5) SendKey(KEY_SMALL_C);
      if (step == 4) SendKey(KEY_HOME);
      break;
    default:
      break;
  }
  if (step >= length) {
    if (step == length) SendKey(KEY_0);
    scripts_ = ScriptEngine{};
  }
}

void MowerConsole::OnOptionBox(int id) {
  const bool ticked = host_.controls.IsChecked(id);
  if (id == IDC_AUTO_AFTER_MAN) {
    WriteLogLine(ticked ? "=> ManToAutoEnabled" : "=> ManToAutoDisabled");
  } else {
    WriteLogLine(ticked ? "=> AutoToManEnabled" : "=> AutoToManDisabled");
  }
}

void MowerConsole::GoTrigger() {
  const std::filesystem::path goFile = host_.workDir / kGoFileName;
  {
    TextLineReader probe;  // only its presence counts; it is never read
    if (!probe.Open(goFile)) return;
  }
  StartMemoryWrite();
  std::error_code ignored;
  std::filesystem::remove(goFile, ignored);
  WriteLogLine("SCRIPT GO.txt executed");
}

}  // namespace verdelo
