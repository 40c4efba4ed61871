// The serial ports the system has, read through libudev, and a watch that
// tells when one comes or goes. Without udev (a container with no sysfs or
// no udev database, or udev_new failing) both simply find nothing.
#pragma once

#include <vector>

#include "serial/port_discovery.h"

struct udev;
struct udev_monitor;

namespace verdelo {

// Every tty device SerialPortFromDevice takes for a serial port, in
// SortPorts order; empty when udev cannot be reached.
std::vector<SerialPortInfo> DiscoverSerialPorts();

// Watches udev's tty events. Its file descriptor becomes readable when
// events wait; TakeChanges then reads them all.
class SerialPortMonitor {
 public:
  // Without a running udev daemon there is nobody to announce devices, so
  // the monitor stays idle: fd() is -1 and TakeChanges() always false.
  SerialPortMonitor();
  ~SerialPortMonitor();
  SerialPortMonitor(const SerialPortMonitor&) = delete;
  SerialPortMonitor& operator=(const SerialPortMonitor&) = delete;

  int fd() const { return fd_; }

  // Reads every pending event, without waiting; true when one of them added
  // a serial port or removed (or renamed) a device with a serial port's name.
  bool TakeChanges();

 private:
  udev* udev_ = nullptr;
  udev_monitor* monitor_ = nullptr;
  int fd_ = -1;
};

}  // namespace verdelo
