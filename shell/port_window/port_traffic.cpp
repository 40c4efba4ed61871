#include "shell/port_window/port_traffic.h"

#include <functional>
#include <iterator>

#include "console/text.h"

namespace verdelo {

std::string FormatTrafficLine(const char* direction, const LocalTime& t,
                              const std::uint8_t* bytes, std::size_t count) {
  std::string line = Format("%s %02u:%02u:%02u:%03u ", direction, unsigned(t.hour),
                            unsigned(t.minute), unsigned(t.second), unsigned(t.millisecond));
  line.reserve(line.size() + 3 * count);
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (std::size_t i = 0; i < count; ++i) {
    line += ' ';
    line += kHex[bytes[i] >> 4];
    line += kHex[bytes[i] & 0xF];
  }
  return line;
}

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

SendText ParseSendText(std::string_view text) {
  SendText out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (HexValue(text[i]) < 0) {
      out.error = Format("The send text holds \"%s\" at position %zu; only the hexadecimal "
                         "digits 0-9 and A-F may be sent.",
                         std::string(1, text[i]).c_str(), i + 1);
      return out;
    }
  }
  const std::size_t count = text.size() / 2;
  if (count > kMaxSendBytes) {
    out.error = Format("The send text holds %zu bytes; at most %zu can be sent at once.", count,
                       kMaxSendBytes);
    return out;
  }
  out.bytes.reserve(count);
  for (std::size_t i = 0; i < count; ++i)
    out.bytes.push_back(
        static_cast<std::uint8_t>(HexValue(text[2 * i]) * 16 + HexValue(text[2 * i + 1])));
  return out;
}

std::uint32_t BaudForIndex(int index) {
  return index >= 0 && index < 3 ? kSpeeds[index] : kSpeeds[0];
}

namespace {

constexpr ConfigKeyInfo kPortKeys[] = {
    {"COMPORT", ConfigKind::Number, "the port selected at start: 0 = COM1 ... 9 = COM10", "0", 0, 0,
     kPortCount - 1},
    {"COMSPEED", ConfigKind::Number, "the speed selected at start: 0 = 9600, 1 = 19200, 2 = 115200",
     "0", 0, 0, 2},
    {"COMPORT_AUTO_OPEN", ConfigKind::Switch, "opens the selected port at start", "off"},
    {"COMPORT_EXPERT_MODE", ConfigKind::Presence, "the port window's Send and traffic lists",
     "absent"},
    {"COMPORT_AUTO_REOPEN", ConfigKind::Number,
     "0: a lost device is not reopened when it comes back, nor a lost bridge reconnected; any "
     "other number: they are",
     "1"},
};

}  // namespace

std::span<const ConfigKeyInfo> PortConfigKeys() { return kPortKeys; }

PortWindowSettings ReadPortWindowSettings(const std::vector<ConfigEntry>& entries) {
  PortWindowSettings settings;
  auto select = [](int& index, int count) {
    return [&index, count](int value) { index = value >= 0 && value < count ? value : -1; };
  };
  const std::function<void(int)> actions[] = {
      select(settings.portIndex, kPortCount),
      select(settings.speedIndex, 3),
      [&settings](int value) {
        if (value != 0) settings.autoOpen = true;
      },
      [&settings](int) { settings.expertMode = true; },
      [&settings](int value) { settings.autoReopen = value != 0; },
  };
  static_assert(std::size(actions) == std::size(kPortKeys));
  std::vector<ConfigKey> keys;
  for (std::size_t i = 0; i < std::size(kPortKeys); ++i)
    keys.push_back({std::string(kPortKeys[i].name), kPortKeys[i].kind, actions[i]});
  ApplyConfig(entries, keys);
  // [COMn]device: the Linux device behind port n.
  for (const ConfigEntry& entry : entries) {
    const int port = PortNumberOf(entry.key);
    std::string device = entry.value;
    while (!device.empty() && (device.back() == ' ' || device.back() == '\t')) device.pop_back();
    if (port >= 1 && port <= kPortCount && !device.empty()) settings.devices[port] = device;
  }
  return settings;
}

std::string PortEntryText(const PortSlot& slot) {
  std::string text = "COM" + std::to_string(slot.number);
  if (slot.source == SlotSource::None) return text;
  if (slot.description.empty() || slot.node.empty()) return text + "  " + slot.path;
  const std::size_t slash = slot.node.find_last_of('/');
  return text + "  " + slot.description + " (" + slot.node.substr(slash + 1) + ")";
}

bool IsTypedDevice(std::string_view text) {
  return text.starts_with('/') || text.starts_with("tcp://") || text.starts_with("rfc2217://");
}

}  // namespace verdelo
