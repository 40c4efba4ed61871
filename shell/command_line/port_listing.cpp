#include "shell/command_line/port_listing.h"

#include "console/config_file.h"
#include "serial/udev_ports.h"
#include "shell/port_window/port_traffic.h"

namespace verdelo {

namespace {

std::string OrDash(const std::string& text) { return text.empty() ? "-" : text; }

const char* SourceText(SlotSource source) {
  switch (source) {
    case SlotSource::Key: return "[key]";
    case SlotSource::Discovery: return "[discovered]";
    case SlotSource::None: break;
  }
  return "[empty]";
}

}  // namespace

std::string FormatPortListing(const std::vector<PortSlot>& slots,
                              const std::filesystem::path& configFile, bool configFound) {
  std::string out;
  for (const PortSlot& slot : slots) {
    std::string line = "COM" + std::to_string(slot.number);
    line.resize(std::max<std::size_t>(line.size(), 6), ' ');
    if (slot.source == SlotSource::None) {
      line += "-  no device";
    } else {
      // What the slot opens, then the node behind it where that differs.
      line += slot.path;
      if (!slot.node.empty() && slot.node != slot.path) line += "  node " + slot.node;
      if (!slot.byId.empty() && slot.byId != slot.path) line += "  by-id " + slot.byId;
      line += "  " + OrDash(slot.description);
    }
    out += line + "  " + SourceText(slot.source) + "\n";
  }
  out += configFound ? "config file: " + configFile.string() + "\n"
                     : "config file: none (would be " + configFile.string() + ")\n";
  return out;
}

std::vector<PortSlot> CurrentPortSlots(const std::filesystem::path& configFile) {
  const PortWindowSettings settings = ReadPortWindowSettings(ReadConfigFile(configFile));
  return AssignSlots(settings.devices, DiscoverSerialPorts(), kPortCount);
}

std::string CurrentPortListing(const std::filesystem::path& configFile) {
  std::error_code error;
  return FormatPortListing(CurrentPortSlots(configFile), configFile,
                           std::filesystem::is_regular_file(configFile, error));
}

}  // namespace verdelo
