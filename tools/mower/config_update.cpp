#include "tools/mower/config_update.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

namespace verdelo::mower {
namespace {

// The key of a line: the text between its first "[" and its first "]".
std::string KeyOf(const std::string& line) {
  const auto open = line.find('[');
  const auto close = line.find(']');
  if (open == std::string::npos || close == std::string::npos || close < open) return {};
  return line.substr(open + 1, close - open - 1);
}

}  // namespace

std::string WithMowerPort(const std::string& text, const std::string& device) {
  const std::vector<std::string> ours = {"[COM1]" + device, "[COMPORT]0", "[COMPORT_AUTO_OPEN]1"};
  std::vector<std::string> lines;
  std::vector<bool> written(ours.size(), false);
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string key = KeyOf(line);
    bool replaced = false;
    for (std::size_t i = 0; i < ours.size(); ++i) {
      if (key == KeyOf(ours[i])) {
        // The first line with the key takes its place; later ones go.
        if (!written[i]) lines.push_back(ours[i]);
        written[i] = true;
        replaced = true;
      }
    }
    if (!replaced) lines.push_back(line);
  }
  for (std::size_t i = 0; i < ours.size(); ++i)
    if (!written[i]) lines.push_back(ours[i]);
  std::string out;
  for (const auto& line : lines) out += line + "\r\n";
  return out;
}

bool UpdateConsoleConfig(const std::string& path, const std::string& device, std::string& error) {
  std::string text;
  {
    std::ifstream in(path, std::ios::binary);
    if (in) {
      std::ostringstream content;
      content << in.rdbuf();
      text = content.str();
    } else if (errno != ENOENT) {
      error = path + ": " + std::strerror(errno);
      return false;
    }
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << WithMowerPort(text, device);
  out.flush();
  if (!out) {
    error = path + ": cannot write";
    return false;
  }
  return true;
}

}  // namespace verdelo::mower
