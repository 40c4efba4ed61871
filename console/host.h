// The narrow seams through which the console's logic reaches the outside
// world. The Qt window and the serial layer implement them in the program;
// the tests implement them with plain tables and a virtual clock.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace verdelo {

// The console window's controls, addressed by their numeric identifiers.
// Texts are UTF-8.
class IControls {
 public:
  virtual ~IControls() = default;
  virtual void SetText(int id, std::string_view text) = 0;
  virtual std::string Text(int id) const = 0;
  virtual bool IsChecked(int id) const = 0;
  virtual void SetChecked(int id, bool checked) = 0;
  virtual void SetEnabled(int id, bool enabled) = 0;
};

// Window timers keyed by identifier. Starting a running timer restarts its
// count with the new period; stopping a stopped timer does nothing.
class ITimers {
 public:
  virtual ~ITimers() = default;
  virtual void StartTimer(int id, std::uint32_t periodMs) = 0;
  virtual void StopTimer(int id) = 0;
};

// Blocking pauses and tones between the frames of multi-frame actions.
class IPacing {
 public:
  virtual ~IPacing() = default;
  virtual void Pause(std::uint32_t ms) = 0;
  virtual void Beep(std::uint32_t hz, std::uint32_t ms) = 0;
};

// Starts an event file ("ALARM.bat" and the others) from the working
// directory, never waiting for it. A missing file is skipped silently.
class IEventLauncher {
 public:
  virtual ~IEventLauncher() = default;
  virtual void Launch(const std::string& fileName) = 0;
};

// Local wall-clock time.
struct LocalTime {
  int year = 1970;   // four digits
  int month = 1;     // 1-12
  int day = 1;       // 1-31
  int hour = 0;      // 0-23
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

class IWallClock {
 public:
  virtual ~IWallClock() = default;
  virtual LocalTime Now() const = 0;
};

// The receive hook: one call per received byte, in order of arrival.
using RxByteHandler = std::function<void(std::uint32_t byte)>;

// The members of the port window that the console's senders and its decoder
// meet.
class ILink {
 public:
  virtual ~ILink() = default;
  // 1 while the port is open; a sender sends only when it is exactly 1.
  virtual int portOpen() const = 0;
  // Writes the bytes, returning when they are written; the result is not
  // looked at by the console.
  virtual void Write(const std::uint8_t* data, std::uint32_t length) = 0;
  // Records the sent bytes in the traffic log.
  virtual void LogTx(const std::uint8_t* data, std::uint32_t length) = 0;
  virtual void SetRxByteHandler(RxByteHandler handler) = 0;
};

// What only a window can do: two start-up actions, and telling the user.
class IWindowHost {
 public:
  virtual ~IWindowHost() = default;
  // Shows the About box modally; returns once it is closed.
  virtual void ShowAboutModal() = 0;
  // Creates the port window and shows it; its own start-up may open the port.
  virtual void CreatePortWindow() = 0;
  // The data log cannot be opened or written: `reason` says why. Empty: it
  // is written again. Called once for each change, not for every line.
  virtual void ShowDataLogTrouble(const std::string& reason) = 0;
  // config.txt is there but cannot be read, or only in part: `trouble`
  // says how, as the words that follow the file's name. Called at start-up.
  virtual void ShowConfigTrouble(const std::string& trouble) = 0;
};

}  // namespace verdelo
