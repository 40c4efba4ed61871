#include "telemetry/topics.h"

#include "telemetry/commands.h"
#include "telemetry/json.h"

namespace verdelo {

MowerTopics::MowerTopics(const std::string& mowerName)
    : name(mowerName),
      availability("verdelo/" + mowerName + "/availability"),
      state("verdelo/" + mowerName + "/state"),
      event("verdelo/" + mowerName + "/event"),
      command("verdelo/" + mowerName + "/command") {}

namespace {

struct SensorInfo {
  const char* key;    // member of the state document
  const char* label;  // the entity's name in Home Assistant
  const char* unit;   // nullptr: none
  const char* deviceClass;
  bool measurement;   // a number whose history is worth keeping
};

// The values the console shows, each a sensor of the mower's device.
constexpr SensorInfo kSensors[] = {
    {"voltage", "Battery voltage", "mV", "voltage", true},
    {"current", "Battery current", "mA", "current", true},
    {"charge", "Charge", "mAh", nullptr, true},
    {"max_capacity", "Max. capacity", "mAh", nullptr, true},
    {"temperature", "Temperature", "\u00b0C", "temperature", true},
    {"quality", "Signal quality", "%", nullptr, true},
    {"boundary_front", "Boundary wire front", nullptr, nullptr, true},
    {"boundary_rear", "Boundary wire rear", nullptr, nullptr, true},
    {"guide_g1", "Guide wire G1", nullptr, nullptr, true},
    {"far_signal", "Far signal", nullptr, nullptr, true},
    {"near_signal", "Near signal", nullptr, nullptr, true},
    {"cutting_effort", "Cutting effort", nullptr, nullptr, true},
    {"rain_level", "Rain level", nullptr, nullptr, true},
    {"max_charge_time", "Max. charge time", "min", "duration", false},
    {"power", "Power", nullptr, nullptr, false},
    {"stop_status", "Stop status", nullptr, nullptr, false},
    {"timer_override", "Timer override", nullptr, nullptr, false},
    {"square_cutting", "Square cutting", nullptr, nullptr, false},
    {"status", "Status code", nullptr, nullptr, false},
    {"status_text", "Status", nullptr, nullptr, false},
    {"robot_mode_text", "Robot mode", nullptr, nullptr, false},
    {"clock", "Clock", nullptr, nullptr, false},
};

std::string DeviceJson(const MowerTopics& topics, const std::string& version) {
  // Appended rather than added up: GCC 12 warns falsely about "[" + s at -O3.
  std::string identifiers = "[";
  identifiers += JsonString("verdelo_" + topics.name);
  identifiers += ']';
  return JsonObject()
      .AddRaw("identifiers", identifiers)
      .Add("name", "Verdelo " + topics.name)
      .Add("model", "robotic lawn mower")
      .Add("manufacturer", "Verdelo")
      .Add("sw_version", version)
      .Text();
}

// The members every entity of the mower shares. Home Assistant makes the
// entity's id from default_entity_id ("sensor.verdelo_garden_voltage") the
// first time it sees the entity, and from then on knows it by unique_id.
JsonObject Entity(const MowerTopics& topics, const std::string& device, const char* domain,
                  const std::string& key, const std::string& label) {
  const std::string id = "verdelo_" + topics.name + "_" + key;
  JsonObject doc;
  doc.Add("name", label)
      .Add("unique_id", id)
      .Add("default_entity_id", domain + ("." + id))
      .Add("availability_topic", topics.availability)
      .AddRaw("device", device);
  return doc;
}

std::string Identifier(std::string text) {
  for (char& c : text)
    if (c == ' ') c = '_';
  return text;
}

}  // namespace

std::vector<RetainedMessage> DiscoveryDocuments(const MowerTopics& topics, bool commands,
                                                const std::string& version) {
  const std::string device = DeviceJson(topics, version);
  const std::string node = "verdelo_" + topics.name;
  std::vector<RetainedMessage> out;
  for (const SensorInfo& sensor : kSensors) {
    JsonObject doc = Entity(topics, device, "sensor", sensor.key, sensor.label);
    // A sensor with a unit or a state class takes a null value ("None") as
    // unknown; one without shows any text it gets, so it is given
    // Home Assistant's own word for a value nobody told yet.
    const std::string value = std::string("value_json.") + sensor.key;
    doc.Add("state_topic", topics.state)
        .Add("value_template", sensor.unit || sensor.measurement
                                   ? "{{ " + value + " }}"
                                   : "{{ " + value + " if " + value + " is not none else 'unknown' }}");
    if (sensor.unit) doc.Add("unit_of_measurement", sensor.unit);
    if (sensor.deviceClass) doc.Add("device_class", sensor.deviceClass);
    if (sensor.measurement) doc.Add("state_class", "measurement");
    out.push_back({"homeassistant/sensor/" + node + "/" + sensor.key + "/config", doc.Text()});
  }
  JsonObject link = Entity(topics, device, "binary_sensor", "link", "Link to the mower");
  link.Add("state_topic", topics.state)
      .Add("value_template", "{{ 'ON' if value_json.link == 'open' else 'OFF' }}")
      .Add("device_class", "connectivity");
  out.push_back({"homeassistant/binary_sensor/" + node + "/link/config", link.Text()});
  for (const CommandName& command : AllCommands()) {
    const std::string key = Identifier(command.payload);
    std::string payload;
    if (commands) {
      payload = Entity(topics, device, "button", key, command.label)
                    .Add("command_topic", topics.command)
                    .Add("payload_press", command.payload)
                    .Text();
    }
    out.push_back({"homeassistant/button/" + node + "/" + key + "/config", payload});
  }
  return out;
}

}  // namespace verdelo
