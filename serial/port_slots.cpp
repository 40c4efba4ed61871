#include "serial/port_slots.h"

namespace verdelo {
namespace {

const SerialPortInfo* FindPort(const std::string& path, const std::vector<SerialPortInfo>& found,
                               const PathResolver& resolve) {
  for (const SerialPortInfo& port : found)
    if (path == port.node || (!port.byId.empty() && path == port.byId)) return &port;
  const std::string target = resolve(path);
  for (const SerialPortInfo& port : found)
    if (target == port.node) return &port;
  return nullptr;
}

void Describe(PortSlot& slot, const SerialPortInfo& port) {
  slot.node = port.node;
  slot.byId = port.byId;
  slot.description = port.description;
}

PortSlot KeySlot(int number, const std::string& value, const std::vector<SerialPortInfo>& found,
                 const PathResolver& resolve) {
  PortSlot slot{number, PathOfKeyValue(value), {}, {}, {}, SlotSource::Key};
  if (slot.path.front() != '/') return slot;  // a network address: no node on this machine
  if (const SerialPortInfo* port = FindPort(slot.path, found, resolve))
    Describe(slot, *port);
  else
    slot.node = resolve(slot.path);
  return slot;
}

}  // namespace

std::string PathOfKeyValue(const std::string& value) {
  if (value.empty() || value.front() == '/' || value.find("://") != std::string::npos)
    return value;
  return "/dev/" + value;
}

std::vector<PortSlot> AssignSlots(const PortDeviceMap& keys,
                                  const std::vector<SerialPortInfo>& found, int slotCount,
                                  const PathResolver& resolve) {
  std::vector<PortSlot> slots;
  for (int number = 1; number <= slotCount; ++number) {
    if (auto key = keys.find(number); key != keys.end() && !key->second.empty()) {
      slots.push_back(KeySlot(number, key->second, found, resolve));
    } else if (static_cast<std::size_t>(number) <= found.size()) {
      const SerialPortInfo& port = found[number - 1];
      PortSlot slot{number, port.byId.empty() ? port.node : port.byId, {}, {}, {},
                    SlotSource::Discovery};
      Describe(slot, port);
      slots.push_back(std::move(slot));
    } else {
      slots.push_back(PortSlot{number, {}, {}, {}, {}, SlotSource::None});
    }
  }
  return slots;
}

}  // namespace verdelo
