#include "serial/port_names.h"

#include <cctype>
#include <vector>

#include "serial/port_slots.h"
#include "serial/udev_ports.h"

namespace verdelo {

int PortNumberOf(std::string_view name) {
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  if (name.size() < 4 || name.size() > 8) return 0;
  for (int i = 0; i < 3; ++i)
    if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return 0;
  int number = 0;
  for (char c : name.substr(3)) {
    if (c < '0' || c > '9') return 0;
    number = number * 10 + (c - '0');
  }
  return number;
}

std::string ResolvePortDevice(std::string_view name, const PortDeviceMap& configured) {
  if (const int port = PortNumberOf(name); port > 0) {
    // Ports are only looked for when the slot has no key of its own.
    const auto key = configured.find(port);
    const bool keyed = key != configured.end() && !key->second.empty();
    const std::vector<PortSlot> slots =
        AssignSlots(configured, keyed ? std::vector<SerialPortInfo>{} : DiscoverSerialPorts(), port);
    return slots.back().path;
  }
  return PathOfKeyValue(std::string(name));
}

}  // namespace verdelo
