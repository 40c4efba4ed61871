// Serial ports picked, described, ordered and put into COM slots, from
// device records recorded with `udevadm info --query=all` and
// `udevadm info -a` (udev_samples/), read into the same record libudev fills.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <sstream>

#include "serial/port_discovery.h"
#include "serial/port_slots.h"
#include "serial/udev_ports.h"

namespace verdelo {
namespace {

std::string Quoted(const std::string& line) {
  const std::size_t open = line.find("==\"");
  return open == std::string::npos ? "" : line.substr(open + 3, line.size() - open - 4);
}

// "E: KEY=value" lines give the properties; of the `-a` chain, the device's
// own ATTR{} lines give its attributes, every parent's DRIVERS its driver,
// and the first parent bound to "usb" (a USB device, not an interface) its
// ATTRS{} strings.
TtyDevice ParseUdevadm(std::istream& in) {
  TtyDevice device;
  int block = -1;  // -1 before the chain, 0 the device, then its parents
  std::string subsystem, driver;
  DeviceValues parentAttributes;
  auto endBlock = [&] {
    if (block > 0 && !driver.empty()) device.drivers.emplace_back(subsystem, driver);
    if (subsystem == "usb" && driver == "usb" && device.usbAttributes.empty())
      for (const char* key : {"manufacturer", "product", "serial"})
        if (parentAttributes.count(key)) device.usbAttributes[key] = parentAttributes[key];
    subsystem.clear();
    driver.clear();
    parentAttributes.clear();
  };
  for (std::string line; std::getline(in, line);) {
    line.erase(0, line.find_first_not_of(' '));
    if (line.starts_with("E: ")) {
      const std::size_t eq = line.find('=');
      device.properties[line.substr(3, eq - 3)] = line.substr(eq + 1);
    } else if (line.starts_with("looking at")) {
      endBlock();
      ++block;
    } else if (line.starts_with("KERNEL==")) {
      device.name = Quoted(line);
    } else if (line.starts_with("SUBSYSTEMS==")) {
      subsystem = Quoted(line);
    } else if (line.starts_with("DRIVERS==")) {
      driver = Quoted(line);
    } else if (line.starts_with("ATTR{") || line.starts_with("ATTRS{")) {
      const std::size_t open = line.find('{') + 1;
      const std::string key = line.substr(open, line.find('}') - open);
      (block == 0 ? device.attributes : parentAttributes)[key] = Quoted(line);
    }
  }
  endBlock();
  return device;
}

TtyDevice Sample(const std::string& file) {
  std::ifstream in(std::string(VERDELO_UDEV_SAMPLES) + "/" + file);
  EXPECT_TRUE(in) << file;
  return ParseUdevadm(in);
}

// The sampled machine: the five ports, a virtual console, and the 8250
// driver's empty ttyS1..ttyS31.
std::vector<TtyDevice> SampleSystem() {
  std::vector<TtyDevice> devices;
  for (const char* file : {"tty1.txt", "ttyS0_16550A.txt", "rfcomm0.txt", "ttyAMA0_pl011.txt",
                           "ttyUSB0_ftdi.txt", "ttyACM0_stm32.txt"})
    devices.push_back(Sample(file));
  const TtyDevice placeholder = Sample("ttyS1_placeholder.txt");
  for (int n = 1; n <= 31; ++n) {
    TtyDevice device = placeholder;
    device.name = "ttyS" + std::to_string(n);
    device.properties["DEVNAME"] = "/dev/" + device.name;
    devices.push_back(device);
  }
  return devices;
}

std::vector<SerialPortInfo> Found(const std::vector<TtyDevice>& devices) {
  std::vector<SerialPortInfo> ports;
  for (const TtyDevice& device : devices)
    if (auto port = SerialPortFromDevice(device)) ports.push_back(*port);
  SortPorts(ports);
  return ports;
}

std::vector<std::string> Names(const std::vector<SerialPortInfo>& ports) {
  std::vector<std::string> names;
  for (const SerialPortInfo& port : ports) names.push_back(port.name);
  return names;
}

const std::string kFtdiById = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
const std::string kStmById =
    "/dev/serial/by-id/usb-STMicroelectronics_STM32_Virtual_ComPort_206A36705430-if00";
const std::string kFtdi = "FTDI FT232R USB UART A50285BI";
const std::string kStm = "STMicroelectronics STM32 Virtual ComPort 206A36705430";

TEST(PortDiscovery, KeepsRealPortsInByIdThenNodeOrder) {
  std::vector<TtyDevice> devices = SampleSystem();
  const std::vector<std::string> expected = {"ttyUSB0", "ttyACM0", "rfcomm0", "ttyAMA0", "ttyS0"};
  EXPECT_EQ(Names(Found(devices)), expected);
  std::reverse(devices.begin(), devices.end());
  EXPECT_EQ(Names(Found(devices)), expected);
}

TEST(PortDiscovery, DescribesEachKindOfPort) {
  struct Case { std::string name, node, byId, description, driver; PortKind kind; };
  const Case cases[] = {
      {"ttyUSB0", "/dev/ttyUSB0", kFtdiById, kFtdi, "ftdi_sio", PortKind::Usb},
      {"ttyACM0", "/dev/ttyACM0", kStmById, kStm, "cdc_acm", PortKind::Usb},
      {"rfcomm0", "/dev/rfcomm0", "", "rfcomm", "rfcomm", PortKind::Bluetooth},
      {"ttyAMA0", "/dev/ttyAMA0", "", "uart-pl011", "uart-pl011", PortKind::Uart},
      // Past the serial-base bus's generic drivers to the 8250 PNP driver.
      {"ttyS0", "/dev/ttyS0", "", "serial", "serial", PortKind::Uart},
  };
  const std::vector<SerialPortInfo> ports = Found(SampleSystem());
  ASSERT_EQ(ports.size(), std::size(cases));
  for (std::size_t i = 0; i < ports.size(); ++i) {
    SCOPED_TRACE(cases[i].name);
    EXPECT_EQ(ports[i].name, cases[i].name);
    EXPECT_EQ(ports[i].node, cases[i].node);
    EXPECT_EQ(ports[i].byId, cases[i].byId);
    EXPECT_EQ(ports[i].description, cases[i].description);
    EXPECT_EQ(ports[i].driver, cases[i].driver);
    EXPECT_EQ(ports[i].kind, cases[i].kind);
  }
}

TEST(PortDiscovery, UsbDescriptionFallsBackPartByPart) {
  struct Case { const char* what; DeviceValues usb, properties; std::string expected; };
  const DeviceValues none;
  const Case cases[] = {
      {"udev's encoded strings", {}, none, kFtdi},
      {"encoded strings that are only IDs",
       {},
       {{"ID_VENDOR_ENC", "0403"}, {"ID_MODEL_ENC", "6001"}, {"ID_SERIAL_SHORT", ""}},
       "Future Technology Devices International, Ltd FT232 Serial (UART) IC"},
      {"padded device strings", {{"manufacturer", " FTDI "}, {"product", "FT232R  USB UART  "}},
       none, kFtdi},
      {"product naming its maker", {{"manufacturer", "Arduino"}, {"product", "Arduino Uno"},
       {"serial", "7583"}}, none, "Arduino Uno 7583"},
      {"nothing at all",
       {},
       {{"ID_VENDOR_ENC", ""}, {"ID_MODEL_ENC", ""}, {"ID_SERIAL_SHORT", ""},
        {"ID_VENDOR_FROM_DATABASE", ""}, {"ID_MODEL_FROM_DATABASE", ""}},
       "ftdi_sio"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TtyDevice device = Sample("ttyUSB0_ftdi.txt");
    device.usbAttributes = c.usb;
    for (const auto& [key, value] : c.properties) device.properties[key] = value;
    auto port = SerialPortFromDevice(device);
    ASSERT_TRUE(port);
    EXPECT_EQ(port->description, c.expected);
  }
}

TEST(PortDiscovery, NameAndPortTypeDecide) {
  struct Case { std::string name; const char* type; bool kept; };
  const Case cases[] = {
      {"ttyUSB12", nullptr, true}, {"ttyACM0", nullptr, true},  {"rfcomm3", nullptr, true},
      {"ttyS3", nullptr, true},    {"ttymxc1", nullptr, true},  {"ttySAC2", nullptr, true},
      {"ttyS3", "0", false},       {"ttyS3", "4\n", true},      {"ttyXR0", "4", true},
      {"ttyAMA0", "0\n", false},   {"tty0", nullptr, false},    {"tty63", nullptr, false},
      {"ttyprintk", nullptr, false}, {"ptmx", nullptr, false},  {"console", nullptr, false},
      {"ttyp0", nullptr, false},   {"ttyUSB", nullptr, false},  {"ttyUSBx", nullptr, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name + " type " + (c.type ? c.type : "-"));
    TtyDevice device{c.name, {}, {}, {}, {}};
    if (c.type) device.attributes["type"] = c.type;
    EXPECT_EQ(SerialPortFromDevice(device).has_value(), c.kept);
    if (!c.type) {
      EXPECT_EQ(IsSerialPortName(c.name), c.kept);
    }
  }
}

TEST(PortDiscovery, DecodesUdevEscapes) {
  const std::pair<std::string, std::string> cases[] = {
      {"FT232R\\x20USB\\x20UART", "FT232R USB UART"},
      {"\\x20USB\\x20Serial\\x20\\x20\\x20", "USB Serial"},
      {"\\x41\\x2f\\x42", "A/B"},
      {"bad\\xZZ\\x2", "bad\\xZZ\\x2"},
      {"", ""},
  };
  for (const auto& [encoded, text] : cases) EXPECT_EQ(DecodeUdevString(encoded), text) << encoded;
}

TEST(PortDiscovery, NaturalOrder) {
  const std::vector<std::string> sorted = {"rfcomm0", "ttyS01",   "ttyS1",    "ttyS2",
                                           "ttyS10",  "ttyUSB2",  "ttyUSB10", "ttyUSB10a"};
  std::vector<std::string> names(sorted.rbegin(), sorted.rend());
  std::sort(names.begin(), names.end(), NaturalLess);
  EXPECT_EQ(names, sorted);
  for (const std::string& name : sorted) EXPECT_FALSE(NaturalLess(name, name)) << name;
}

TEST(PortDiscovery, AdaptersOrderedByLinkNotByNode) {
  TtyDevice first = Sample("ttyUSB0_ftdi.txt"), second = first;
  first.properties["DEVLINKS"] = "/dev/serial/by-id/usb-FTDI_X_B-if00-port0";
  second.name = "ttyUSB1";
  second.properties["DEVNAME"] = "/dev/ttyUSB1";
  second.properties["DEVLINKS"] = "/dev/serial/by-id/usb-FTDI_X_A-if00-port0";
  EXPECT_EQ(Names(Found({first, second, Sample("rfcomm0.txt")})),
            (std::vector<std::string>{"ttyUSB1", "ttyUSB0", "rfcomm0"}));
}

struct SlotRow { std::string path, node, description; SlotSource source; };

void ExpectSlots(const std::vector<PortSlot>& slots, const std::vector<SlotRow>& rows) {
  ASSERT_EQ(slots.size(), rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE("COM" + std::to_string(i + 1));
    EXPECT_EQ(slots[i].number, int(i + 1));
    EXPECT_EQ(slots[i].path, rows[i].path);
    EXPECT_EQ(slots[i].node, rows[i].node);
    EXPECT_EQ(slots[i].description, rows[i].description);
    EXPECT_EQ(slots[i].source, rows[i].source);
  }
}

std::string FakeDisk(const std::string& path) {
  return path == "/dev/mower" ? "/dev/ttyUSB0" : path;
}

TEST(PortSlots, FoundPortsFillTheSlotsByPosition) {
  const SlotRow empty{"", "", "", SlotSource::None};
  ExpectSlots(AssignSlots({}, Found(SampleSystem()), 10, FakeDisk),
              {{kFtdiById, "/dev/ttyUSB0", kFtdi, SlotSource::Discovery},
               {kStmById, "/dev/ttyACM0", kStm, SlotSource::Discovery},
               {"/dev/rfcomm0", "/dev/rfcomm0", "rfcomm", SlotSource::Discovery},
               {"/dev/ttyAMA0", "/dev/ttyAMA0", "uart-pl011", SlotSource::Discovery},
               {"/dev/ttyS0", "/dev/ttyS0", "serial", SlotSource::Discovery},
               empty, empty, empty, empty, empty});
  EXPECT_EQ(AssignSlots({}, Found(SampleSystem()), 3, FakeDisk).size(), 3u);
}

TEST(PortSlots, KeysWinTheirSlotsOnly) {
  const PortDeviceMap keys = {{0, "ttyS9"},
                              {1, ""},  // no device given: the slot is free
                              {3, "ttyUSB0"},
                              {6, "/dev/ttyUSB5"},
                              {7, kStmById},
                              {8, "/dev/mower"},
                              {9, "tcp://192.168.1.20:4001"},
                              {10, "rfc2217://mower.local:2217"},
                              {11, "ttyS9"}};
  const SlotSource key = SlotSource::Key;
  ExpectSlots(AssignSlots(keys, Found(SampleSystem()), 10, FakeDisk),
              {{kFtdiById, "/dev/ttyUSB0", kFtdi, SlotSource::Discovery},
               {kStmById, "/dev/ttyACM0", kStm, SlotSource::Discovery},
               {"/dev/ttyUSB0", "/dev/ttyUSB0", kFtdi, key},
               {"/dev/ttyAMA0", "/dev/ttyAMA0", "uart-pl011", SlotSource::Discovery},
               {"/dev/ttyS0", "/dev/ttyS0", "serial", SlotSource::Discovery},
               {"/dev/ttyUSB5", "/dev/ttyUSB5", "", key},
               {kStmById, "/dev/ttyACM0", kStm, key},
               {"/dev/mower", "/dev/ttyUSB0", kFtdi, key},
               {"tcp://192.168.1.20:4001", "", "", key},
               {"rfc2217://mower.local:2217", "", "", key}});
}

// Whatever this machine has; in a container that may be nothing at all.
TEST(PortDiscovery, RunsOnThisMachine) {
  const std::vector<SerialPortInfo> ports = DiscoverSerialPorts();
  std::cout << ports.size() << " serial port(s) found\n";
  for (const SerialPortInfo& port : ports) {
    std::cout << "  " << port.node << "  " << port.description << "  [" << port.driver << "] "
              << port.byId << "\n";
    EXPECT_TRUE(port.node.starts_with("/dev/")) << port.node;
    EXPECT_FALSE(port.description.empty()) << port.node;
  }
  std::vector<SerialPortInfo> sorted = ports;
  SortPorts(sorted);
  EXPECT_EQ(Names(sorted), Names(ports));

  SerialPortMonitor monitor;
  std::cout << "monitor fd " << monitor.fd() << "\n";
  const bool changed = monitor.TakeChanges();  // must not wait
  if (monitor.fd() < 0) {
    EXPECT_FALSE(changed);
  }
}

}  // namespace
}  // namespace verdelo
