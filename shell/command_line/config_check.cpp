#include "shell/command_line/config_check.h"

#include <algorithm>
#include <iostream>
#include <optional>
#include <set>

#include "console/config_file.h"
#include "console/config_keys.h"
#include "console/console.h"
#include "console/text.h"
#include "serial/net_endpoint.h"
#include "serial/port_names.h"
#include "shell/port_window/port_traffic.h"
#include "shell/command_line/window_keys.h"
#include "telemetry/settings.h"

namespace verdelo {

namespace {

const ConfigKeyInfo* FindKey(std::string_view name) {
  for (auto keys : {ConsoleConfigKeys(), PortConfigKeys(), WindowConfigKeys(), TelemetryConfigKeys()})
    for (const ConfigKeyInfo& key : keys)
      if (key.name == name) return &key;
  return nullptr;
}

// The digits of the number "%d" reads from `value`, without sign and
// leading zeros, and the text after them, which the program ignores.
struct NumberText {
  std::string_view digits;
  std::string_view after;
};
NumberText SplitNumber(std::string_view value) {
  std::size_t i = std::min(value.find_first_not_of(" \t\n\v\f\r"), value.size());
  if (i < value.size() && (value[i] == '+' || value[i] == '-')) ++i;
  while (i < value.size() && value[i] == '0') ++i;
  const std::size_t end = std::min(value.find_first_not_of("0123456789", i), value.size());
  return {value.substr(i, end - i), value.substr(end)};
}

// True when the number read from `value` was cut to 32 bits: its digits say
// more than the number does.
bool BeyondIntRange(std::string_view value, std::int64_t read) {
  if (read != INT32_MAX && read != INT32_MIN) return false;
  return SplitNumber(value).digits != (read == INT32_MAX ? "2147483647" : "2147483648");
}

// The unit a key's meaning names (", in ms"); it may follow the number.
std::string_view UnitOf(const ConfigKeyInfo& key) {
  const std::size_t at = key.meaning.rfind(", in ");
  return at == std::string_view::npos ? std::string_view() : key.meaning.substr(at + 5);
}

// Control characters (a 0 byte among them) shown as \xNN, so that a report
// line says what the file holds.
std::string Shown(std::string_view text) {
  std::string shown;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    shown += (byte < 0x20 && c != '\t') || byte == 0x7F ? Format("\\x%02X", byte) : std::string(1, c);
  }
  return shown;
}

// Empty, or the problem with text after a number, which the program reads
// no further than its digits: "60 000" is 60, "0x10" is 0. Blanks and the
// key's unit may follow.
std::string IgnoredAfterNumber(std::string_view value, std::string_view unit) {
  std::string_view after = SplitNumber(value).after;
  after = after.substr(0, after.find_last_not_of(" \t\r") + 1);
  const std::size_t word = after.find_first_not_of(" \t");
  if (after.empty() || (!unit.empty() && after.substr(word) == unit)) return {};
  return '"' + Shown(after) + "\" after the number is ignored";
}

// What a key given a second time does.
std::string GivenAgain(ConfigKind kind) {
  switch (kind) {
    case ConfigKind::Switch:
      return "given again; every line acts, and none switches off what another switched on";
    case ConfigKind::Presence:
      return "given again; it acts once more";
    case ConfigKind::Number:
    case ConfigKind::Text:
      break;
  }
  return "given again; the later line wins";
}

class Reporter {
 public:
  explicit Reporter(ConfigReport& report) : report_(report) {}

  void Fine(const ConfigEntry& entry, const std::string& understood) {
    report_.lines.push_back(Entry(entry) + " -> " + understood);
  }
  void Warn(const ConfigEntry& entry, const std::string& problem) {
    report_.lines.push_back(Entry(entry) + " -> warning: " + problem);
    ++report_.warnings;
  }
  void WarnFile(const std::string& problem) {
    report_.lines.push_back("warning: " + problem);
    ++report_.warnings;
  }

  void Number(const ConfigEntry& entry, const ConfigKeyInfo& key) {
    const std::optional<std::int64_t> read = ReadLeadingNumber(entry.value);
    if (!read) {
      Warn(entry, "not a number; " + std::string(key.name) + " keeps " + std::string(key.defaultValue));
      return;
    }
    const std::string ignored = IgnoredAfterNumber(entry.value, UnitOf(key));
    const bool cut = BeyondIntRange(entry.value, *read);
    if (key.periodScaleMs > 0) {
      const std::int64_t ms = *read * key.periodScaleMs;
      const std::uint32_t used = ClampTimerPeriod(ms);
      if (cut || used != ms) {
        const std::string problem = Format("a period of %s%s is outside 10 to 2147483647 ms; %u ms is used",
                                           cut ? "more than " : "", PeriodText(*read, key).c_str(), used);
        Verdict(entry, ignored, problem, "");
        report_.correctedPeriods.push_back(std::string(key.name) + ": " + problem);
      } else {
        Verdict(entry, ignored, "", PeriodText(*read, key));
      }
      return;
    }
    if (cut) {
      Verdict(entry, ignored, Format("beyond the 32-bit range; %lld is used", static_cast<long long>(*read)), "");
    } else if (key.low <= key.high && (*read < key.low || *read > key.high)) {
      Verdict(entry, ignored, Format("outside %d to %d; the list is left without a selection", key.low, key.high),
              "");
    } else {
      Verdict(entry, ignored, "", std::to_string(*read));
    }
  }

  void Text(const ConfigEntry& entry) {
    if (entry.key == "MQTT_BROKER" && !ParseBrokerAddress(entry.value)) {
      // Shown without the password it may carry.
      Warn({entry.key, RedactedBrokerAddress(entry.value)},
           "not mqtt://HOST:PORT or mqtts://HOST:PORT; telemetry cannot connect");
    } else if (entry.key == "MQTT_NAME" && !IsTopicName(entry.value)) {
      Warn(entry, std::string("not a topic name (letters, digits, - and _); \"") + kDefaultMqttName +
                      "\" is used");
    } else if (entry.value.empty()) {
      Warn(entry, "empty");
    } else {
      Fine(entry, "\"" + entry.value + "\"");
    }
  }

  void Switch(const ConfigEntry& entry) {
    const std::optional<std::int64_t> read = ReadLeadingNumber(entry.value);
    if (!read) {
      Warn(entry, "not a number; counts as 0 and switches nothing on");
    } else {
      Verdict(entry, IgnoredAfterNumber(entry.value, {}), "", *read != 0 ? "on" : "0: switches nothing on");
    }
  }

  // A finding from the problem with the value's text, the problem with the
  // value itself, or else what it is understood as.
  void Verdict(const ConfigEntry& entry, const std::string& ignored, const std::string& problem,
               const std::string& understood) {
    if (problem.empty() && ignored.empty()) {
      Fine(entry, understood);
    } else if (problem.empty()) {
      Warn(entry, ignored + "; read as " + understood);
    } else {
      Warn(entry, ignored.empty() ? problem : ignored + "; " + problem);
    }
  }

 private:
  static std::string Entry(const ConfigEntry& entry) { return '[' + Shown(entry.key) + "]" + Shown(entry.value); }
  static std::string PeriodText(std::int64_t value, const ConfigKeyInfo& key) {
    return std::to_string(value) + (key.periodScaleMs == 1000 ? " s" : " ms");
  }

  ConfigReport& report_;
};

}  // namespace

ConfigReport CheckConfigText(std::string_view bytes) {
  ConfigReport report;
  Reporter reporter(report);
  std::set<std::string> seen;
  for (const ConfigEntry& entry : ParseConfigText(bytes)) {
    std::optional<ConfigKind> known;
    if (const ConfigKeyInfo* key = FindKey(entry.key)) {
      known = key->kind;
      switch (key->kind) {
        case ConfigKind::Number: reporter.Number(entry, *key); break;
        case ConfigKind::Switch: reporter.Switch(entry); break;
        case ConfigKind::Presence: reporter.Fine(entry, "present"); break;
        case ConfigKind::Text: reporter.Text(entry); break;
      }
    } else if (const int port = PortNumberOf(entry.key); port > 0) {
      // The device as the port window takes it from the line.
      const std::string device = ReadPortWindowSettings({entry}).devices[port];
      NetEndpoint endpoint;
      if (port > kPortCount) {
        reporter.Warn(entry, Format("only COM1 to COM%d exist", kPortCount));
      } else if (device.empty()) {
        reporter.Warn(entry, "no device given; the slot is left as discovered");
      } else if (IsNetworkAddress(device) && ParseNetEndpoint(device, endpoint) != 0) {
        reporter.Warn(entry, Format("not tcp://HOST:PORT or rfc2217://HOST:PORT with a PORT of 1 to 65535; "
                                    "COM%d cannot be opened", port));
        known = ConfigKind::Text;
      } else {
        reporter.Fine(entry, "COM" + std::to_string(port) + " opens " + device);
        known = ConfigKind::Text;
      }
    } else {
      reporter.Warn(entry, "unknown key; ignored");
    }
    if (known && !seen.insert(entry.key).second) reporter.Warn(entry, GivenAgain(*known));
  }
  const std::size_t lastEnd = bytes.rfind('\n');
  if (lastEnd == std::string_view::npos && !bytes.empty()) {
    reporter.WarnFile("the file has no line ends, so no line of it is read");
  } else if (lastEnd != std::string_view::npos &&
             bytes.find_first_not_of(" \t\r", lastEnd + 1) != std::string_view::npos) {
    reporter.WarnFile("the last line has no line end and is not read");
  }
  return report;
}

ConfigReport CheckConfigFile(const std::filesystem::path& path) {
  // Read as the windows read it, so the report covers what they see.
  ConfigFileBytes file = ReadConfigBytes(path);
  if (!file.found) {
    ConfigReport report;
    report.lines.push_back("config file: none at " + path.string() + "; the defaults hold");
    return report;
  }
  // The line the cut runs through is not read.
  if (file.cut) file.bytes.resize(file.bytes.rfind('\n') + 1);
  ConfigReport report = CheckConfigText(file.bytes);
  report.lines.insert(report.lines.begin(), "config file: " + path.string());
  if (!file.trouble.empty()) Reporter(report).WarnFile("the file " + file.trouble);
  return report;
}

int PrintConfigCheck(const std::filesystem::path& path) {
  const ConfigReport report = CheckConfigFile(path);
  for (const std::string& line : report.lines) std::cout << line << '\n';
  std::cout << report.warnings << (report.warnings == 1 ? " warning" : " warnings") << std::endl;
  return report.warnings == 0 ? 0 : 1;
}

}  // namespace verdelo
