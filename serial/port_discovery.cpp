#include "serial/port_discovery.h"

#include <algorithm>
#include <charconv>

namespace verdelo {
namespace {

constexpr std::string_view kUsbFamilies[] = {"ttyUSB", "ttyACM"};
constexpr std::string_view kBluetoothFamilies[] = {"rfcomm"};
// On-board UARTs: PCs' 8250, ARM PrimeCell, i.MX, Samsung, OMAP, Tegra,
// Qualcomm, Amlogic, SuperH/Renesas, Zynq, i.MX LPUART, Marvell, STM32.
constexpr std::string_view kUartFamilies[] = {
    "ttyS",   "ttyAMA", "ttymxc", "ttySAC", "ttyO",  "ttyTHS", "ttyHS",
    "ttyMSM", "ttyAML", "ttySC",  "ttyPS",  "ttyLP", "ttyMV",  "ttySTM"};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// True when the name is the family's prefix followed by digits only.
template <std::size_t N>
bool InFamily(std::string_view name, const std::string_view (&families)[N]) {
  for (std::string_view family : families) {
    if (name.size() <= family.size() || !name.starts_with(family)) continue;
    std::string_view number = name.substr(family.size());
    if (std::all_of(number.begin(), number.end(), IsDigit)) return true;
  }
  return false;
}

std::string_view Value(const DeviceValues& values, std::string_view key) {
  auto it = values.find(key);
  return it == values.end() ? std::string_view() : std::string_view(it->second);
}

// The serial core's port type, when the attribute is there and a number.
std::optional<int> PortType(const TtyDevice& device) {
  std::string_view text = Value(device.attributes, "type");
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.remove_suffix(1);
  int type = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), type);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return type;
}

// The first driver up the chain. The serial-base bus of newer kernels puts
// its generic "port" and "ctrl" drivers between a UART and its real driver.
std::string DriverOf(const TtyDevice& device) {
  for (const auto& [subsystem, driver] : device.drivers)
    if (subsystem != "serial-base" && !driver.empty()) return driver;
  // A virtual tty such as rfcomm0 has no parent: its family names the driver.
  std::string_view name = device.name;
  while (!name.empty() && IsDigit(name.back())) name.remove_suffix(1);
  return std::string(name);
}

// One part of a USB description: the device's own string, else udev's
// encoded copy (unless that is only the hexadecimal ID, which udev puts
// there when the device gives no string), else the ID database's name.
std::string UsbPart(const TtyDevice& device, std::string_view attribute, std::string_view encoded,
                    std::string_view id, std::string_view database) {
  std::string part = DecodeUdevString(Value(device.usbAttributes, attribute));
  if (part.empty() && !encoded.empty()) {
    part = DecodeUdevString(Value(device.properties, encoded));
    if (!id.empty() && part == Value(device.properties, id)) part.clear();
  }
  if (part.empty() && !database.empty()) part = DecodeUdevString(Value(device.properties, database));
  return part;
}

std::string UsbDescription(const TtyDevice& device) {
  std::string vendor =
      UsbPart(device, "manufacturer", "ID_VENDOR_ENC", "ID_VENDOR_ID", "ID_VENDOR_FROM_DATABASE");
  const std::string product =
      UsbPart(device, "product", "ID_MODEL_ENC", "ID_MODEL_ID", "ID_MODEL_FROM_DATABASE");
  const std::string serial = UsbPart(device, "serial", "ID_SERIAL_SHORT", "", "");
  if (!vendor.empty() && product.starts_with(vendor)) vendor.clear();
  std::string text;
  for (const std::string& part : {vendor, product, serial}) {
    if (part.empty()) continue;
    if (!text.empty()) text += ' ';
    text += part;
  }
  return text;
}

std::string ByIdLink(const TtyDevice& device) {
  std::string_view links = Value(device.properties, "DEVLINKS");
  while (!links.empty()) {
    const std::size_t end = std::min(links.find(' '), links.size());
    if (std::string_view link = links.substr(0, end); link.starts_with("/dev/serial/by-id/"))
      return std::string(link);
    links.remove_prefix(std::min(end + 1, links.size()));
  }
  return {};
}

std::string NodeOf(const TtyDevice& device) {
  std::string_view devname = Value(device.properties, "DEVNAME");
  if (devname.empty()) return "/dev/" + device.name;
  return devname.front() == '/' ? std::string(devname) : "/dev/" + std::string(devname);
}

int HexDigit(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool IsSerialPortName(std::string_view name) {
  return InFamily(name, kUsbFamilies) || InFamily(name, kBluetoothFamilies) ||
         InFamily(name, kUartFamilies);
}

std::optional<SerialPortInfo> SerialPortFromDevice(const TtyDevice& device) {
  SerialPortInfo port;
  if (InFamily(device.name, kUsbFamilies)) {
    port.kind = PortKind::Usb;
  } else if (InFamily(device.name, kBluetoothFamilies)) {
    port.kind = PortKind::Bluetooth;
  } else if (std::optional<int> type = PortType(device)) {
    if (*type == 0) return std::nullopt;
  } else if (!InFamily(device.name, kUartFamilies)) {
    return std::nullopt;
  }
  port.name = device.name;
  port.node = NodeOf(device);
  port.byId = ByIdLink(device);
  port.driver = DriverOf(device);
  if (port.kind == PortKind::Usb) port.description = UsbDescription(device);
  if (port.description.empty()) port.description = port.driver;
  return port;
}

std::string DecodeUdevString(std::string_view encoded) {
  std::string text;
  for (std::size_t i = 0; i < encoded.size(); ++i) {
    char c = encoded[i];
    if (c == '\\' && i + 3 < encoded.size() && encoded[i + 1] == 'x' &&
        HexDigit(encoded[i + 2]) >= 0 && HexDigit(encoded[i + 3]) >= 0) {
      c = static_cast<char>(HexDigit(encoded[i + 2]) * 16 + HexDigit(encoded[i + 3]));
      i += 3;
    }
    const bool blank = c == ' ' || c == '\t' || c == '\n' || c == '\r';
    if (!blank) {
      text += c;
    } else if (!text.empty() && text.back() != ' ') {
      text += ' ';
    }
  }
  if (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

bool NaturalLess(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      // Compare the runs as numbers: leading zeros dropped, then the
      // longer run is the larger number, equal lengths compare as text.
      std::size_t ai = i, bj = j;
      while (ai < a.size() && IsDigit(a[ai])) ++ai;
      while (bj < b.size() && IsDigit(b[bj])) ++bj;
      std::string_view x = a.substr(i, ai - i), y = b.substr(j, bj - j);
      while (x.size() > 1 && x.front() == '0') x.remove_prefix(1);
      while (y.size() > 1 && y.front() == '0') y.remove_prefix(1);
      if (x.size() != y.size()) return x.size() < y.size();
      if (x != y) return x < y;
      i = ai;
      j = bj;
    } else {
      if (a[i] != b[j])
        return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
      ++i;
      ++j;
    }
  }
  if (a.size() - i != b.size() - j) return a.size() - i < b.size() - j;
  return a < b;
}

void SortPorts(std::vector<SerialPortInfo>& ports) {
  std::sort(ports.begin(), ports.end(), [](const SerialPortInfo& a, const SerialPortInfo& b) {
    if (a.byId.empty() != b.byId.empty()) return !a.byId.empty();
    if (a.byId != b.byId) return NaturalLess(a.byId, b.byId);
    if (a.node != b.node) return NaturalLess(a.node, b.node);
    return a.name < b.name;
  });
}

}  // namespace verdelo
