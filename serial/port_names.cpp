#include "serial/port_names.h"

#include <cctype>

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
  if (!name.empty() && name.front() == '/') return std::string(name);
  if (const int port = PortNumberOf(name); port > 0) {
    if (auto it = configured.find(port); it != configured.end() && !it->second.empty())
      return it->second.front() == '/' ? it->second : "/dev/" + it->second;
    return "/dev/ttyS" + std::to_string(port - 1);
  }
  return "/dev/" + std::string(name);
}

}  // namespace verdelo
