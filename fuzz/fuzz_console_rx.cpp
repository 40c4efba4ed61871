// The console's receive path under arbitrary bytes: the answer assembler,
// the decoder and everything a decoded answer sets off (status actions,
// alarms, scripts, the data log), with the memory tool idle, reading or
// writing, and with timer ticks, clicks and keys mixed into the stream.
//
// Input layout:
//   byte 0-1   check boxes to tick before anything else (one bit each; the
//              top bit starts with the port closed)
//   byte 2     modulo 3: 0 plain; 1 start a memory read; 2 start a write
//   read:      Begin (16 bits, signed), span to End (8 bits, signed)
//   write:     length n of Moro-mem.txt, then its n bytes
//   the rest:  a program of operations, see RunOperation.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <tuple>

#include "console/control_ids.h"
#include "console/memory_lines.h"
#include "console/mower_frame.h"
#include "fuzz/console_checks.h"
#include "tests/console/console_rig.h"

using namespace verdelo;
using verdelo::test::ConsoleRig;

namespace {

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool empty() const { return pos_ >= size_; }
  std::uint8_t Byte() { return empty() ? 0 : data_[pos_++]; }
  std::uint16_t Word() {
    const unsigned high = Byte();
    return static_cast<std::uint16_t>(high << 8 | Byte());
  }
  std::string Bytes(std::size_t count) {
    const std::size_t n = std::min(count, size_ - std::min(pos_, size_));
    std::string out(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ += n;
    return out;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

constexpr int kBoxes[15] = {
    IDC_ALARM_IF_NO_RESPONSE, IDC_AUTO_AFTER_MAN, IDC_MAN_AFTER_AUTO, IDC_AUTO_IF_OUT,
    IDC_DISABLE_VALUES_UPDATE, IDC_MEM_FILTER, IDC_MEM_TEST_READ, IDC_AUTO_TIMER,
    IDC_KEYBOARD, IDC_LEFT_RIGHT, IDC_AUTO_VMIN, IDC_DISABLE_SQUARE_TIMER,
    IDC_MEM_ASCII, IDC_MEM_EVEN_ONLY, IDC_OR_IF_NO_POWER};

constexpr int kClicks[16] = {
    IDC_MEM_READ, IDC_MEM_WRITE, IDC_DISABLE_VALUES_UPDATE, IDC_ALARM_IF_NO_RESPONSE,
    IDC_AUTO_TIMER, IDC_GO_BACK, IDC_MAX_CHARGE_TIME, IDC_AUTO_AFTER_MAN,
    IDC_MAN_AFTER_AUTO, IDC_PULSE_CHARGE, IDC_MEM_EVEN_ONLY, IDC_MEM_ASCII,
    IDC_KEY_YES, IDC_MODE_HOME, IDC_INIT_MOVEMENT, IDC_MENU_DEV};

constexpr int kDoubleClicks[4] = {IDC_MIN_VOLTAGE, IDC_TIMER_OVERRIDE, IDC_SQUARE_CUTTING,
                                  IDC_CUTTING_EFFORT};

constexpr unsigned kKeys[7] = {VK_RETURN, VK_PRIOR, VK_NEXT, VK_LEFT, VK_UP, VK_RIGHT, VK_DOWN};

// Every register the decoder knows, so that whole answers reach each branch.
constexpr std::uint16_t kRegisters[] = {
    REG_VALUE127,  REG_MAX_CAPACITY, REG_ROBOT_MODE,     REG_STOP_STATUS,    REG_CUTTING_EFFORT,
    REG_SQUARE_CUTTING, REG_MAX_CHARGE_TIME, REG_NEAR_SIGNAL, REG_QUALITY,  REG_FAR_SIGNAL,
    REG_BOUNDARY_FRONT, REG_BOUNDARY_REAR, REG_CURRENT,  REG_STATUS,         REG_GUIDE_G1,
    REG_TEMPERATURE, REG_POWER,        REG_RAIN_LEVEL,     REG_CHARGE,         REG_VOLTAGE,
    REG_VALUE12030, REG_CLOCK_SECONDS, REG_CLOCK_MINUTES, REG_CLOCK_HOURS,    REG_TIMER_OVERRIDE};

class Session {
 private:
  bool MemoryBusy() const {
    const MemoryTool& m = rig.console.memoryTool();
    return m.memReadActive || m.memWriteActive;
  }

  auto Shown() const {
    const MowerValues& v = rig.console.values();
    return std::make_tuple(v.status, v.voltage, v.minVoltage, v.current, v.charge, v.temperature,
                           v.robotMode, v.boundaryFront, v.powerPresent, v.cuttingSeen,
                           v.clockSeconds, v.timerOverride, rig.console.alarmState().alarmActive);
  }

 public:
  Session() {
    rig.WriteConfig({"[NO_SPLASH_DIALOG]", "[MORO_EXPERT_MODE]", "[ALARM_TIMER]3000",
                     "[MIN_CURRENT_TIMER]2", "[PULS_CHARGE_TIMER]5", "[VMIN_PULS_CHARGE]30000"});
    rig.Start();
    rig.clock.SetTimerHandler([this](int id) { OnTimer(id); });
  }

  void SetRange(std::int16_t begin, std::int8_t span) {
    rig.controls.SetText(IDC_MEM_BEGIN, std::to_string(begin));
    rig.controls.SetText(IDC_MEM_END, std::to_string(begin + span));
  }

  void WriteMemoryFile(std::string bytes) {
    rig.WriteFile(MowerConsole::kMemoryFileName, bytes);
    ourMemoryFile_ = std::move(bytes);
  }

  // One operation, chosen by its first byte:
  //   00-BF  the next 1-64 bytes arrive on the line (low 6 bits + 1)
  //   C0-C7  1-8 poll-timer periods       C8-CF  7-56 s of virtual time
  //   D0-DF  a click                      E0-E3  a double-click
  //   E4-EA  a driving key                EB     go.txt appears
  //   EC     the port closes or opens     ED     new Begin/End (3 bytes)
  //   EE     new Moro-mem.txt (length, bytes), only while the tool is idle
  //   EF     new filter Min/Max (2 bytes)
  //   F0-FF  a whole answer: register index, value (3 bytes)
  void RunOperation(Input& in) {
    const std::uint8_t op = in.Byte();
    if (op < 0xC0) {  // 1 to 64 bytes straight from the line
      Receive(in.Bytes((op & 0x3F) + 1u));
    } else if (op < 0xC8) {
      rig.Tick((op & 7) + 1);
    } else if (op < 0xD0) {  // long enough for the alarm and pulse timers
      rig.clock.Advance(((op & 7) + 1) * 7000);
    } else if (op < 0xE0) {
      rig.Click(kClicks[op & 15]);
    } else if (op < 0xE4) {
      rig.DoubleClick(kDoubleClicks[op & 3]);
    } else if (op < 0xEB) {
      rig.console.OnKeyDown(kKeys[op - 0xE4]);
    } else if (op == 0xEB) {
      rig.WriteFile(MowerConsole::kGoFileName, "");
    } else if (op == 0xEC) {
      rig.link.setPortOpen(rig.link.portOpen() == 1 ? 0 : 1);
    } else if (op == 0xED) {
      const std::uint16_t begin = in.Word();
      SetRange(static_cast<std::int16_t>(begin), static_cast<std::int8_t>(in.Byte()));
    } else if (op == 0xEE) {
      // Only while the tool is idle: during a read or a write the console
      // holds the file, and a writer that ignores its lock is no test of it.
      std::string bytes = in.Bytes(in.Byte());
      if (!MemoryBusy()) WriteMemoryFile(std::move(bytes));
    } else if (op == 0xEF) {
      const int min = static_cast<std::int8_t>(in.Byte()) * 256;
      rig.controls.SetText(IDC_MEM_MIN, std::to_string(min));
      rig.controls.SetText(IDC_MEM_MAX, std::to_string(min + in.Byte() * 256));
    } else {  // a whole answer of a known register, its echo when odd
      const std::uint16_t reg = kRegisters[in.Byte() % std::size(kRegisters)];
      const MowerFrame frame =
          BuildAnswer(static_cast<std::uint16_t>(reg | (op & 1 ? WRITE_FLAG : 0)), in.Word());
      Receive(std::string(frame.begin(), frame.end()));
    }
    CheckConsoleState();
  }

  void Receive(const std::string& bytes) {
    const bool memoryBusy = MemoryBusy();
    const auto before = Shown();
    for (char b : bytes) rig.console.OnRxByte(static_cast<std::uint8_t>(b));
    // Answers taken by the memory tool are never decoded.
    if (memoryBusy && MemoryBusy()) FUZZ_CHECK(Shown() == before);
  }

  void CheckFiles() {
    fuzz::CheckDataLog(rig);
    const std::string dump = rig.ReadFile(MowerConsole::kMemoryFileName);
    if (dump != ourMemoryFile_) fuzz::CheckMemoryDump(dump);
    fuzz::CheckMemoryAnswers(rig);
  }

  void CheckConsoleState() { fuzz::CheckConsoleState(rig.console); }

  ConsoleRig rig;

 private:
  // Each firing of a timer, checked against what the memory tool may send:
  // one read of the next address without WRITE_FLAG, or exactly the frame
  // that the shown line of the write file holds.
  void OnTimer(int id) {
    const MemoryTool before = rig.console.memoryTool();
    const int pollStep = rig.console.pollStep();
    const ScriptEngine scripts = rig.console.scriptEngine();
    const std::size_t sent = rig.link.writes().size();
    rig.console.OnTimer(id);
    if (id != TIMER_POLL) return;
    const auto& writes = rig.link.writes();
    if (before.memReadActive) {
      FUZZ_CHECK(rig.console.pollStep() == pollStep);
      FUZZ_CHECK(rig.console.scriptEngine().step == scripts.step);
      FUZZ_CHECK(writes.size() <= sent + 1);
      if (writes.size() == sent + 1) {
        const auto& frame = writes.back().bytes;
        FUZZ_CHECK(frame.size() == kFrameSize && frame[0] == kFrameStart);
        FUZZ_CHECK((frame[1] & 0x80) == 0);
        FUZZ_CHECK((frame[1] << 8 | frame[2]) == before.memNext);
        FUZZ_CHECK(before.memNext >= before.memBegin && before.memNext <= before.memEnd);
        FUZZ_CHECK(frame[3] == 0 && frame[4] == 0);
      }
    } else if (before.memWriteActive) {
      FUZZ_CHECK(rig.console.pollStep() == pollStep);
      FUZZ_CHECK(rig.console.scriptEngine().step == scripts.step);
      FUZZ_CHECK(writes.size() <= sent + 1);
      const MemoryTool& after = rig.console.memoryTool();
      const auto parsed = after.memWriteActive
                              ? ParseMemoryWriteLine(rig.controls.Text(IDC_SCRIPT_STATE))
                              : std::nullopt;
      if (writes.size() == sent + 1) {
        FUZZ_CHECK(parsed.has_value());
        const bool testRead = rig.controls.IsChecked(IDC_MEM_TEST_READ);
        const auto& frame = writes.back().bytes;
        FUZZ_CHECK(frame.size() == kFrameSize && frame[0] == kFrameStart);
        FUZZ_CHECK((frame[1] << 8 | frame[2]) == (parsed->address | (testRead ? 0 : WRITE_FLAG)));
        FUZZ_CHECK((frame[3] << 8 | frame[4]) == parsed->value);
      } else {
        FUZZ_CHECK(!parsed || rig.link.portOpen() != 1);
      }
    }
  }

  std::string ourMemoryFile_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input in(data, size);
  Session session;
  ConsoleRig& rig = session.rig;

  const unsigned boxes = in.Word();
  for (int bit = 0; bit < 15; ++bit)
    if (boxes & (1u << bit)) rig.Click(kBoxes[bit]);
  if (boxes & 0x8000) rig.link.setPortOpen(0);

  switch (in.Byte() % 3) {
    case 1: {
      const std::uint16_t begin = in.Word();
      session.SetRange(static_cast<std::int16_t>(begin), static_cast<std::int8_t>(in.Byte()));
      rig.Click(IDC_MEM_READ);
      break;
    }
    case 2:
      session.WriteMemoryFile(in.Bytes(in.Byte()));
      rig.Click(IDC_MEM_WRITE);
      break;
    default:
      break;
  }

  while (!in.empty()) session.RunOperation(in);
  // Give a running read or write the ticks it needs to finish, then check
  // what the files hold.
  rig.Tick(8);
  session.CheckConsoleState();
  session.CheckFiles();
  return 0;
}
