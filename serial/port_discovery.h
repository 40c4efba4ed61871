// Which of the system's tty devices are serial ports, how each is named and
// described, and in which order they are listed. Works on plain device
// records, so the same rules apply to what libudev reports (udev_ports.h)
// and to recorded `udevadm info` output.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace verdelo {

using DeviceValues = std::map<std::string, std::string, std::less<>>;

// One tty device as udev knows it.
struct TtyDevice {
  std::string name;            // kernel name: "ttyUSB0"
  DeviceValues properties;     // udev properties: DEVNAME, DEVLINKS, ID_VENDOR_ENC, ...
  DeviceValues attributes;     // the tty's own sysfs attributes; "type" matters
  DeviceValues usbAttributes;  // the nearest USB device above it: manufacturer, product, serial
  // (subsystem, driver) of each parent device bound to a driver, nearest first.
  std::vector<std::pair<std::string, std::string>> drivers;
};

enum class PortKind { Usb, Bluetooth, Uart };

struct SerialPortInfo {
  std::string node;         // "/dev/ttyUSB0"
  std::string name;         // "ttyUSB0"
  std::string byId;         // "/dev/serial/by-id/usb-FTDI_..." or empty
  std::string description;  // "FTDI FT232R USB UART A50285BI", or the driver's name
  std::string driver;       // "ftdi_sio", "cdc_acm", "serial8250", "rfcomm", ...
  PortKind kind = PortKind::Uart;
};

// True for the names serial ports go by: USB adapters (ttyUSB*, ttyACM*),
// Bluetooth serial (rfcomm*) and the on-board UART families (ttyS*,
// ttyAMA*, ttymxc*, ttySAC*, ...), each followed by a number.
bool IsSerialPortName(std::string_view name);

// The port a tty device is, or nothing when it is no serial port:
//  - ttyUSB*, ttyACM* and rfcomm* always are;
//  - a tty with a numeric `type` attribute is a port of the kernel's
//    serial core, and a port only when that type is not 0: the 8250 driver
//    registers ttyS0-ttyS31 whether or not a UART stands behind them and
//    leaves the empty ones at type 0 (unknown);
//  - without that attribute, the on-board UART names of IsSerialPortName.
// Virtual consoles, pseudo-terminals, ttyprintk and the like are none.
//
// The description is "<manufacturer> <product> <serial number>" of a USB
// device, leaving out parts it does not give (and the manufacturer when the
// product already starts with it); each part comes from the USB device's
// attributes, else from udev's ID_VENDOR_ENC / ID_MODEL_ENC /
// ID_SERIAL_SHORT, else from the USB ID database. Other ports, and USB
// ports that give none of these, are described by their driver's name.
std::optional<SerialPortInfo> SerialPortFromDevice(const TtyDevice& device);

// A udev "_ENC" value with its \xHH escapes decoded ("FT232R\x20USB" ->
// "FT232R USB"), blanks at either end removed and runs of blanks made one.
std::string DecodeUdevString(std::string_view encoded);

// Names compared with their digit runs taken as numbers, so that ttyUSB2
// comes before ttyUSB10; names equal that way are compared as plain text.
bool NaturalLess(std::string_view a, std::string_view b);

// The listing order: ports with a /dev/serial/by-id link first, by that
// link's name, then the rest by node name, both in natural order. The by-id
// name stays the same whichever node an adapter gets when plugged in, so
// the USB adapters keep their places between runs.
void SortPorts(std::vector<SerialPortInfo>& ports);

}  // namespace verdelo
