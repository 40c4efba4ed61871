// Test doubles for every seam of the console, driven by one virtual clock on
// which timers fire and pauses elapse in order, and a rig that wires them to
// a MowerConsole working in a fresh temporary folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "console/console.h"
#include "console/mower_frame.h"

namespace verdelo::test {

// Timers, pacing and the wall clock on one virtual time line (ms).
class VirtualClock : public ITimers, public IPacing, public IWallClock {
 public:
  struct Pacing {
    std::int64_t at;
    std::uint32_t ms;
    std::uint32_t hz;  // 0 for a silent pause
  };

  void SetTimerHandler(std::function<void(int)> handler) { handler_ = std::move(handler); }

  void StartTimer(int id, std::uint32_t periodMs) override;
  void StopTimer(int id) override;
  void Pause(std::uint32_t ms) override;
  void Beep(std::uint32_t hz, std::uint32_t ms) override;
  LocalTime Now() const override;

  // Moves time forward, firing due timers in order of their due time.
  void Advance(std::int64_t ms);

  std::int64_t now() const { return now_; }
  bool IsRunning(int id) const { return timers_.count(id) != 0; }
  std::uint32_t PeriodOf(int id) const { return timers_.at(id).period; }
  std::int64_t DueOf(int id) const { return timers_.at(id).due; }
  const std::vector<Pacing>& pacing() const { return pacing_; }
  int timerStarts(int id) const { return starts_.count(id) ? starts_.at(id) : 0; }

  // Wall-clock time at virtual time 0; seconds since 1970 read as local time.
  void SetWallClockBase(int year, int month, int day, int hour, int minute, int second);

 private:
  struct Timer {
    std::uint32_t period;
    std::int64_t due;
    std::uint64_t generation;
  };
  std::function<void(int)> handler_;
  std::map<int, Timer> timers_;
  std::map<int, int> starts_;
  std::vector<Pacing> pacing_;
  std::int64_t now_ = 0;
  std::uint64_t generation_ = 0;
  std::int64_t baseEpoch_ = 0;
};

class FakeControls : public IControls {
 public:
  FakeControls();
  void SetText(int id, std::string_view text) override;
  std::string Text(int id) const override;
  bool IsChecked(int id) const override;
  void SetChecked(int id, bool checked) override { controls_[id].checked = checked; }
  void SetEnabled(int id, bool enabled) override { controls_[id].enabled = enabled; }
  bool IsEnabled(int id) const;
  bool IsCheckBox(int id) const;
  // How many times a text was set on the control.
  int TextChanges(int id) const;

 private:
  struct Control {
    std::string text;
    bool checked = false;
    bool enabled = true;
    int textChanges = 0;
  };
  mutable std::map<int, Control> controls_;
};

class FakeLink : public ILink {
 public:
  struct Sent {
    std::int64_t at;
    std::vector<std::uint8_t> bytes;
  };
  explicit FakeLink(const VirtualClock& clock) : clock_(clock) {}
  int portOpen() const override { return portOpen_; }
  void Write(const std::uint8_t* data, std::uint32_t length) override;
  void LogTx(const std::uint8_t* data, std::uint32_t length) override;
  void SetRxByteHandler(RxByteHandler handler) override { handler_ = std::move(handler); }

  // The mower's answer arriving byte by byte.
  void Receive(const std::vector<std::uint8_t>& bytes);
  void ReceiveAnswer(std::uint16_t command, std::uint16_t value);

  void setPortOpen(int value) { portOpen_ = value; }
  const std::vector<Sent>& writes() const { return writes_; }
  const std::vector<std::vector<std::uint8_t>>& logged() const { return logged_; }
  void ClearRecords() { writes_.clear(); logged_.clear(); }
  bool hasHandler() const { return static_cast<bool>(handler_); }

 private:
  const VirtualClock& clock_;
  int portOpen_ = 1;
  RxByteHandler handler_;
  std::vector<Sent> writes_;
  std::vector<std::vector<std::uint8_t>> logged_;
};

class FakeLauncher : public IEventLauncher {
 public:
  void Launch(const std::string& name) override { launched.push_back(name); }
  std::vector<std::string> launched;
};

class FakeWindowHost : public IWindowHost {
 public:
  void ShowAboutModal() override;
  void CreatePortWindow() override;
  void ShowDataLogTrouble(const std::string& reason) override { logTrouble.push_back(reason); }
  void ShowConfigTrouble(const std::string& trouble) override { configTrouble.push_back(trouble); }
  int aboutShown = 0;
  std::vector<std::string> logTrouble;  // every report, "" when the log works again
  std::vector<std::string> configTrouble;
  int portWindowsCreated = 0;
  std::vector<std::string> order;  // "about", "port" in call order
  std::function<void()> onAbout;
  std::function<void()> onPortWindow;
};

// A console on fakes, in a temporary folder that holds its files and
// config.txt.
class ConsoleRig {
 public:
  ConsoleRig();
  ~ConsoleRig();

  // Writes config.txt from lines, each ended by CR LF.
  void WriteConfig(const std::vector<std::string>& lines);
  void WriteFile(const std::string& name, const std::string& bytes);
  std::string ReadFile(const std::string& name) const;
  bool FileExists(const std::string& name) const;

  void Start() { console.OnInitDialog(); }
  // Lines of the data log without their CR LF.
  std::vector<std::string> LogLines() const;
  // The text part of each data-log line (after the eleventh value).
  std::vector<std::string> LogTexts() const;
  // Frames written to the link since the last ClearRecords, as
  // space-separated upper-case hex ("0F 80 5F 00 12").
  std::vector<std::string> SentHex() const;

  // Clicks as the window delivers them: an automatic check box toggles first.
  void Click(int id);
  void DoubleClick(int id);
  void Answer(std::uint16_t command, std::uint16_t value) { link.ReceiveAnswer(command, value); }
  // One poll-timer period.
  void Tick(int count = 1);

  std::filesystem::path dir;
  VirtualClock clock;
  FakeControls controls;
  FakeLink link{clock};
  FakeLauncher launcher;
  FakeWindowHost window;
  MowerConsole console;
};

std::string Hex(const std::vector<std::uint8_t>& bytes);
std::string Hex(const MowerFrame& frame);
std::string Req(std::uint16_t command, std::uint16_t value = 0);

}  // namespace verdelo::test
