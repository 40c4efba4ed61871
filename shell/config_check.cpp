#include "shell/config_check.h"

#include <fstream>
#include <iterator>
#include <optional>

#include "console/config_file.h"
#include "console/config_keys.h"
#include "console/console.h"
#include "console/text.h"
#include "serial/port_names.h"
#include "shell/port_traffic.h"
#include "shell/window_keys.h"
#include "telemetry/settings.h"

namespace verdelo {

namespace {

const ConfigKeyInfo* FindKey(std::string_view name) {
  for (auto keys : {ConsoleConfigKeys(), PortConfigKeys(), WindowConfigKeys(), TelemetryConfigKeys()})
    for (const ConfigKeyInfo& key : keys)
      if (key.name == name) return &key;
  return nullptr;
}

// True when the number read from `value` was cut to 32 bits: its digits say
// more than the number does.
bool BeyondIntRange(std::string_view value, std::int64_t read) {
  if (read != INT32_MAX && read != INT32_MIN) return false;
  std::size_t i = value.find_first_not_of(" \t\n\v\f\r");
  if (i != std::string_view::npos && (value[i] == '+' || value[i] == '-')) ++i;
  while (i < value.size() && value[i] == '0') ++i;
  const std::size_t end = value.find_first_not_of("0123456789", i);
  const std::string_view digits = value.substr(i, end == std::string_view::npos ? end : end - i);
  return digits != (read == INT32_MAX ? "2147483647" : "2147483648");
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
    const bool cut = BeyondIntRange(entry.value, *read);
    if (key.periodScaleMs > 0) {
      const std::int64_t ms = *read * key.periodScaleMs;
      const std::uint32_t used = ClampTimerPeriod(ms);
      if (cut || used != ms) {
        const std::string problem = Format("a period of %s%s is outside 10 to 2147483647 ms; %u ms is used",
                                           cut ? "more than " : "", PeriodText(*read, key).c_str(), used);
        Warn(entry, problem);
        report_.correctedPeriods.push_back(std::string(key.name) + ": " + problem);
      } else {
        Fine(entry, PeriodText(*read, key));
      }
      return;
    }
    if (cut) {
      Warn(entry, Format("beyond the 32-bit range; %lld is used", static_cast<long long>(*read)));
    } else if (key.low <= key.high && (*read < key.low || *read > key.high)) {
      Warn(entry, Format("outside %d to %d; the list is left without a selection", key.low, key.high));
    } else {
      Fine(entry, std::to_string(*read));
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
      Fine(entry, *read != 0 ? "on" : "0: switches nothing on");
    }
  }

 private:
  static std::string Entry(const ConfigEntry& entry) { return "[" + entry.key + "]" + entry.value; }
  static std::string PeriodText(std::int64_t value, const ConfigKeyInfo& key) {
    return std::to_string(value) + (key.periodScaleMs == 1000 ? " s" : " ms");
  }

  ConfigReport& report_;
};

}  // namespace

ConfigReport CheckConfigText(std::string_view bytes) {
  ConfigReport report;
  Reporter reporter(report);
  for (const ConfigEntry& entry : ParseConfigText(bytes)) {
    if (const ConfigKeyInfo* key = FindKey(entry.key)) {
      switch (key->kind) {
        case ConfigKind::Number: reporter.Number(entry, *key); break;
        case ConfigKind::Switch: reporter.Switch(entry); break;
        case ConfigKind::Presence: reporter.Fine(entry, "present"); break;
        case ConfigKind::Text: reporter.Text(entry); break;
      }
    } else if (const int port = PortNumberOf(entry.key); port > 0) {
      if (port > kPortCount)
        reporter.Warn(entry, Format("only COM1 to COM%d exist", kPortCount));
      else if (entry.value.find_first_not_of(" \t") == std::string::npos)
        reporter.Warn(entry, "no device given; the slot is left as discovered");
      else
        reporter.Fine(entry, "COM" + std::to_string(port) + " opens " + entry.value);
    } else {
      reporter.Warn(entry, "unknown key; ignored");
    }
  }
  const std::string_view text = bytes.substr(0, bytes.find('\0'));
  const std::size_t lastEnd = text.rfind('\n');
  if (lastEnd == std::string_view::npos && !text.empty()) {
    reporter.WarnFile("the file has no line ends, so no line of it is read");
  } else if (lastEnd != std::string_view::npos &&
             text.find_first_not_of(" \t\r", lastEnd + 1) != std::string_view::npos) {
    reporter.WarnFile("the last line has no line end and is not read");
  }
  return report;
}

ConfigReport CheckConfigFile(const std::filesystem::path& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) {
    ConfigReport report;
    report.lines.push_back("config file: none at " + path.string() + "; the defaults hold");
    return report;
  }
  std::ifstream in(path, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  ConfigReport report = CheckConfigText(bytes);
  report.lines.insert(report.lines.begin(), "config file: " + path.string());
  return report;
}

}  // namespace verdelo
