#include "serial/udev_ports.h"

#include <fcntl.h>
#include <libudev.h>
#include <unistd.h>

#include <string_view>

namespace verdelo {
namespace {

void Put(DeviceValues& values, const char* key, const char* value) {
  if (key && value) values[key] = value;
}

// The record SerialPortFromDevice needs: properties, the tty's port type,
// the USB device's strings and the drivers up the chain.
TtyDevice ReadTtyDevice(udev_device* device) {
  TtyDevice tty;
  if (const char* name = udev_device_get_sysname(device)) tty.name = name;
  udev_list_entry* entry = nullptr;
  udev_list_entry_foreach(entry, udev_device_get_properties_list_entry(device)) {
    Put(tty.properties, udev_list_entry_get_name(entry), udev_list_entry_get_value(entry));
  }
  Put(tty.properties, "DEVNAME", udev_device_get_devnode(device));
  Put(tty.attributes, "type", udev_device_get_sysattr_value(device, "type"));
  // Parents belong to their child: none of them is released here.
  if (udev_device* usb = udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_device"))
    for (const char* attribute : {"manufacturer", "product", "serial"})
      Put(tty.usbAttributes, attribute, udev_device_get_sysattr_value(usb, attribute));
  for (udev_device* up = device; up; up = udev_device_get_parent(up))
    if (const char* driver = udev_device_get_driver(up)) {
      const char* subsystem = udev_device_get_subsystem(up);
      tty.drivers.emplace_back(subsystem ? subsystem : "", driver);
    }
  return tty;
}

// Whether an event touches the port list. A removed device can no longer
// be read, so its name alone has to tell.
bool ChangesPorts(udev_device* device) {
  const char* action = udev_device_get_action(device);
  const char* name = udev_device_get_sysname(device);
  if (!action || !name) return false;
  const std::string_view what = action;
  if (what == "add") return SerialPortFromDevice(ReadTtyDevice(device)).has_value();
  return (what == "remove" || what == "move") && IsSerialPortName(name);
}

// Virtual consoles, ptmx and the like are most of a machine's ttys and
// none is a serial port; reading their records would cost most of the
// enumeration. Bluetooth serial (rfcomm) is virtual too, and a port.
bool IsVirtualNonPort(std::string_view syspath) {
  if (syspath.find("/devices/virtual/") == std::string_view::npos) return false;
  const std::size_t slash = syspath.find_last_of('/');
  return !syspath.substr(slash + 1).starts_with("rfcomm");
}

}  // namespace

std::vector<SerialPortInfo> DiscoverSerialPorts() {
  std::vector<SerialPortInfo> ports;
  udev* context = udev_new();
  if (!context) return ports;
  if (udev_enumerate* enumerate = udev_enumerate_new(context)) {
    udev_enumerate_add_match_subsystem(enumerate, "tty");
    udev_enumerate_scan_devices(enumerate);  // on failure the list stays empty
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate)) {
      const char* path = udev_list_entry_get_name(entry);
      if (!path || IsVirtualNonPort(path)) continue;
      udev_device* device = udev_device_new_from_syspath(context, path);
      if (!device) continue;  // gone since the scan
      if (auto port = SerialPortFromDevice(ReadTtyDevice(device))) ports.push_back(*port);
      udev_device_unref(device);
    }
    udev_enumerate_unref(enumerate);
  }
  udev_unref(context);
  SortPorts(ports);
  return ports;
}

SerialPortMonitor::SerialPortMonitor() {
  // udevd announces devices once their nodes and links exist; its control
  // socket tells whether it runs at all.
  if (access("/run/udev/control", F_OK) != 0) return;
  udev_ = udev_new();
  if (!udev_) return;
  monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
  if (!monitor_ || udev_monitor_filter_add_match_subsystem_devtype(monitor_, "tty", nullptr) < 0 ||
      udev_monitor_enable_receiving(monitor_) < 0) {
    if (monitor_) udev_monitor_unref(monitor_);
    monitor_ = nullptr;
    return;
  }
  fd_ = udev_monitor_get_fd(monitor_);
  if (fd_ >= 0) fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) | O_NONBLOCK);
}

SerialPortMonitor::~SerialPortMonitor() {
  if (monitor_) udev_monitor_unref(monitor_);
  if (udev_) udev_unref(udev_);
}

bool SerialPortMonitor::TakeChanges() {
  if (!monitor_) return false;
  bool changed = false;
  while (udev_device* device = udev_monitor_receive_device(monitor_)) {
    changed = ChangesPorts(device) || changed;
    udev_device_unref(device);
  }
  return changed;
}

}  // namespace verdelo
