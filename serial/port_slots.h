// The program's ports COM1..COM10 filled from the [COMn] configuration keys
// and the serial ports found on the system.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/real_path.h"
#include "serial/port_discovery.h"
#include "serial/port_names.h"

namespace verdelo {

enum class SlotSource { None, Key, Discovery };

struct PortSlot {
  int number = 0;           // n of COMn
  std::string path;         // what to open; empty for an empty slot
  std::string node;         // the device node behind it, where known
  std::string byId;         // its /dev/serial/by-id link, where it has one
  std::string description;  // of the found port behind it; empty when none matches
  SlotSource source = SlotSource::None;
};

// Gives the target of a path after following its symbolic links, or the
// path itself when it cannot be resolved.
using PathResolver = std::function<std::string(const std::string&)>;

// The path a [COMn] value stands for: a bare name is a device in /dev
// ("ttyUSB0" -> "/dev/ttyUSB0"); a path, and a network address such as
// "tcp://host:port" or "rfc2217://host:port", are kept as given.
std::string PathOfKeyValue(const std::string& value);

// Slots 1..slotCount, in order:
//  - a slot with a [COMn] key opens that key's path; its node, by-id link
//    and description are those of the found port it names directly (node
//    or by-id link) or through symbolic links (as `resolve` follows them);
//  - a slot without a key takes the found port at its own position (COM1
//    the first, COM2 the second, ...), so a key added for one slot never
//    moves a port into or out of another; the same port can thus show in
//    a keyed slot and in its positional one. A port with a by-id link is
//    opened by that link, so the slot follows the adapter to whichever node
//    it gets when plugged in again; other ports by node;
//  - a slot with neither stays empty.
// `found` is expected in SortPorts order; keys with an empty value or a
// number outside 1..slotCount are ignored.
std::vector<PortSlot> AssignSlots(const PortDeviceMap& keys,
                                  const std::vector<SerialPortInfo>& found, int slotCount = 10,
                                  const PathResolver& resolve = [](const std::string& path) {
                                    return RealPath(path).value_or(path);
                                  });

}  // namespace verdelo
