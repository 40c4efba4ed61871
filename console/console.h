// MowerConsole: everything the console window decides. It talks to the
// mower through the link, shows values through the controls, keeps time
// through the timers and pacing, and writes its files in the working
// directory. The window forwards every notification here.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "console/host.h"
#include "console/mower_frame.h"
#include "console/mower_values.h"
#include "console/text_files.h"
#include "console/value_observer.h"

namespace verdelo {

struct ConsoleHost {
  IControls& controls;
  ITimers& timers;
  IPacing& pacing;
  IEventLauncher& launcher;
  ILink& link;
  IWallClock& clock;
  IWindowHost& window;
  std::filesystem::path workDir;     // data log, memory files, go.txt
  std::filesystem::path configFile;  // config.txt
};

// Settings read from config.txt at start-up.
struct ConsoleSettings {
  int pollPeriod = 1000;      // ms
  int alarmPeriod = 60000;    // ms
  int pulsePeriod = 600;      // s
  int pulseVmin = 21220;      // mV
  int minCurrent = -5000;     // mA
  int minCurrentTimer = 10;   // consecutive low answers
  bool mainExpertMode = false;
};

struct ScriptEngine {
  int script = 0;  // 0 = none; 2, 3 or 4
  int step = 0;    // steps already played
};

struct MemoryTool {
  bool memReadActive = false;
  bool memWriteActive = false;
  int memBegin = 0;
  int memEnd = 0;
  int memNext = 0;
  int ticksAwaitingLastAnswer = 0;
};

struct AlarmState {
  int alarmActive = 0;
  int lowCurrentCount = 0;
};

// Virtual key codes the window translates its keys to.
enum VirtualKey : unsigned {
  VK_RETURN = 13, VK_PRIOR = 33, VK_NEXT = 34,
  VK_LEFT = 37, VK_UP = 38, VK_RIGHT = 39, VK_DOWN = 40,
};

// Window timers run between 10 ms and 0x7FFFFFFF ms; a configured period
// outside that range is brought into it, as the window system does.
std::uint32_t ClampTimerPeriod(std::int64_t ms);

class MowerConsole {
 public:
  explicit MowerConsole(const ConsoleHost& host);
  MowerConsole(const MowerConsole&) = delete;
  MowerConsole& operator=(const MowerConsole&) = delete;

  // Start-up of the console window, once, before it is first shown.
  void OnInitDialog();

  // Notifications from the window.
  void OnClicked(int controlId);
  void OnDoubleClicked(int controlId);
  void OnTimer(int timerId);
  // A plain key-down (not with Alt) while the window is active; true when
  // keyboard driving consumed it.
  bool OnKeyDown(unsigned virtualKey);
  // The receive hook: one received byte.
  void OnRxByte(std::uint32_t byte);
  // Followers of the decoded values; each sees every value the decoder
  // takes from an answer. Nobody following costs nothing.
  void AddValueObserver(IValueObserver* observer) { observers_.push_back(observer); }
  void RemoveValueObserver(IValueObserver* observer);
  // Followers of the data log's event lines.
  void AddLogEventObserver(ILogEventObserver* observer) { logEventObservers_.push_back(observer); }
  void RemoveLogEventObserver(ILogEventObserver* observer);
  // The link closed because its device or connection was lost, and opened
  // again by itself once the device came back: event lines in the data log.
  void OnLinkLost(const std::string& reason);
  void OnLinkReopened();

  // The one way a request reaches the mower.
  void SendFrame(std::uint16_t command, std::uint16_t value);
  // Appends one line to the data log. A log that could not be opened or
  // written is tried again for every line; each change between working and
  // failing (and each new reason) is told to the window once.
  void WriteLogLine(const std::string& text);
  // Lets go of the data log and opens "Moro-log.txt" again, so once the
  // old one was renamed (logrotate) new lines go to a new file.
  void ReopenDataLog();

  const MowerValues& values() const { return values_; }
  const ConsoleSettings& settings() const { return settings_; }
  const ScriptEngine& scriptEngine() const { return scripts_; }
  const MemoryTool& memoryTool() const { return memory_; }
  const AlarmState& alarmState() const { return alarms_; }
  int pollStep() const { return pollStep_; }
  int pollRotation() const { return pollRotation_; }

  // Memory files in the working directory.
  static constexpr const char* kDataLogName = "Moro-log.txt";
  static constexpr const char* kMemoryFileName = "Moro-mem.txt";
  static constexpr const char* kMemoryAnswerFileName = "Moro-mem-answer.txt";
  static constexpr const char* kGoFileName = "go.txt";
  // Ticks a memory read waits for its last answer before it ends anyway.
  static constexpr int kMemoryReadGraceTicks = 5;

 private:
  // Start-up and configuration keys.
  void ResetState();
  void ReadConfiguration();

  // Command table of the window's buttons and clickable labels.
  bool HandleCommandButton(int controlId);
  void SendKey(std::uint16_t key);
  void SendEditValue(int editId, std::uint16_t command);

  // Decoder.
  void DecodeAnswer();
  void HandleStatus(int status);
  void HandleRobotMode(std::uint8_t mode);
  void RunEventFile(const char* name);
  void ShowNumber(int controlId, const char* format, ...) __attribute__((format(printf, 3, 4)));

  // Poll cycle.
  void PollTick();
  void SquareCuttingCheck();
  void SendPollRequest(std::uint16_t command);
  void OnDisableValuesUpdate();
  void StartPollTimer();

  // Alarms and pulse charging.
  void AlarmStart();
  void AlarmEnd();
  void CheckLowCurrent(int current);
  void CheckPowerAlarm(int previousPower);
  void PulseCharge();
  void OnAlarmIfNoResponse();
  void OnAutoTimer();
  void OnAlarmTimer();
  void OnPulseChargeTimer();
  void VoltagePulseTest();
  bool AtRestAndDischarging() const;

  // Scripts.
  bool StartScript(int script);
  void RunScriptStep();
  void OnOptionBox(int controlId);
  void GoTrigger();

  // Memory tool.
  void StartMemoryRead();
  void StartMemoryWrite();
  void MemoryReadTick();
  void MemoryWriteTick();
  void MemoryAnswer(std::uint16_t command, std::uint16_t value);
  void EndMemoryRead();

  // Keyboard driving.
  void InitMovement();
  void Forward();
  void Backward();
  void Go();
  void Stop();
  void TurnLeft();
  void TurnRight();
  void SwitchDrives(std::uint16_t offCommand, std::uint16_t onCommand, std::uint32_t beepHz);
  void SetSpeeds(std::int16_t speed);

  ConsoleHost host_;
  ConsoleSettings settings_;
  MowerValues values_;
  FrameAssembler rx_;  // answer frames
  ScriptEngine scripts_;
  MemoryTool memory_;
  AlarmState alarms_;
  int pollStep_ = 0;
  int pollRotation_ = 0;

  void ReportDecoded(std::uint16_t reg);

  void OpenDataLog();
  void NoteDataLogResult(bool written);
  // Writes one line, opening the log first when it is closed; closes it
  // again when the line cannot be written.
  bool AppendToDataLog(const std::string& line);

  std::vector<IValueObserver*> observers_;
  std::vector<ILogEventObserver*> logEventObservers_;
  TextFileWriter dataLog_;
  int dataLogError_ = 0;  // errno of the failure last told; 0 while it works
  TextFileWriter memoryDump_;
  TextFileWriter memoryAnswers_;
  TextLineReader memoryScript_;
};

}  // namespace verdelo
