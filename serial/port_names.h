// From the names the program shows for its ports ("COM1 ", "COM10") to the
// Linux devices behind them.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace verdelo {

// Devices given for ports by the port window's [COMn] configuration keys,
// by port number (e.g. 1 -> "/dev/ttyUSB0").
using PortDeviceMap = std::map<int, std::string>;

// The number of a port name "COMn" (any letter case; trailing blanks, as the
// left-aligned "COM%-2u" format leaves them, are not part of the name), or
// 0 when the name is not of that form.
int PortNumberOf(std::string_view name);

// The device to open for a port name:
//  - a path (starting with '/') or a network address ("tcp://host:port",
//    "rfc2217://host:port") is used exactly as given;
//  - "COMn" is the device of port slot n: its [COMn] key in `configured`
//    (a bare name there is taken from /dev), else the n-th serial port
//    found on this machine; empty when the slot has neither;
//  - any other name is a device in /dev ("ttyUSB0" -> "/dev/ttyUSB0").
std::string ResolvePortDevice(std::string_view name, const PortDeviceMap& configured = {});

}  // namespace verdelo
