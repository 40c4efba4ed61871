// What `verdelo --list-ports` prints: the ten port slots with the device
// each opens, and the config file whose [COMn] keys were read.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "serial/port_slots.h"

namespace verdelo {

// One line per slot: its name, the node, the by-id link, the description
// and what put it there (a key, discovery, or nothing); then the config
// file.
std::string FormatPortListing(const std::vector<PortSlot>& slots,
                              const std::filesystem::path& configFile, bool configFound);

// The slots as the port window fills them: the [COMn] keys of `configFile`
// over the serial ports found on this machine.
std::vector<PortSlot> CurrentPortSlots(const std::filesystem::path& configFile);

// What --list-ports prints: the current slots of `configFile`, and whether
// the file is there.
std::string CurrentPortListing(const std::filesystem::path& configFile);

}  // namespace verdelo
