// What the port window decides without any window: the traffic log's line
// layout and bounds, the hexadecimal send text, the port and speed lists,
// and the port window's configuration keys.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "console/config_file.h"
#include "console/config_keys.h"
#include "console/host.h"
#include "serial/port_names.h"
#include "serial/port_slots.h"

namespace verdelo {

// "TX hh:mm:ss:mmm " or "RX ..." followed by " %02X" per byte.
std::string FormatTrafficLine(const char* direction, const LocalTime& time,
                              const std::uint8_t* bytes, std::size_t count);

// A traffic list never holds more than this many lines after a line is
// added: the line that reaches it empties both lists.
inline constexpr int kTrafficListLimit = 500;

// The send buffer's size; a longer text is refused.
inline constexpr std::size_t kMaxSendBytes = 1024;

struct SendText {
  std::vector<std::uint8_t> bytes;  // empty with an error
  std::string error;                // why nothing may be sent; empty when fine
};

// Pairs of hexadecimal digits, high half first; an odd last character is
// ignored. Any other character, or more than kMaxSendBytes bytes, refuses
// the whole text so no byte the text does not hold is ever written.
SendText ParseSendText(std::string_view text);

inline constexpr int kPortCount = 10;
inline constexpr std::uint32_t kSpeeds[] = {9600, 19200, 115200};

// Baud rate for a speed list index; no selection or another index: 9600.
std::uint32_t BaudForIndex(int index);

struct PortWindowSettings {
  int portIndex = 0;   // -1 when the file asked for an index outside the list
  int speedIndex = 0;  // likewise
  bool autoOpen = false;
  bool expertMode = false;
  bool autoReopen = true;  // reopen a lost device when it comes back
  PortDeviceMap devices;  // [COMn] keys
};

// The port list's entry for a slot: "COM1  FT232R USB UART (ttyUSB0)" for a
// port found on this machine, "COM3  tcp://garden:2000" or "COM4  /dev/x"
// for a key that names no port found, "COM5" alone for an empty slot.
std::string PortEntryText(const PortSlot& slot);

// Whether text typed into the port list names a device to open as typed: a
// path, or a network address such as tcp://host:port.
bool IsTypedDevice(std::string_view text);

// The port window's keys of config.txt. [COMn] keys (n from 1 to
// kPortCount) name the device of port n besides these.
std::span<const ConfigKeyInfo> PortConfigKeys();

// Applies the port window's keys of config.txt, in file order.
PortWindowSettings ReadPortWindowSettings(const std::vector<ConfigEntry>& entries);

}  // namespace verdelo
