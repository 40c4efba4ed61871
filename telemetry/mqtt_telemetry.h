// The console as an MQTT client: the mower's state, the data log's events
// and the link go to the broker from a network thread of its own; commands
// and the connection's state come back through a listener, also on that
// thread. The window's thread only hands values over: it never waits on the
// network.
#pragma once

#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "console/text.h"
#include "console/value_observer.h"
#include "telemetry/mower_state.h"
#include "telemetry/settings.h"
#include "telemetry/topics.h"

struct addrinfo;
struct mosquitto;

namespace verdelo {

// Called on the network thread: whoever shows them posts them on.
class ITelemetryListener {
 public:
  virtual ~ITelemetryListener() = default;
  // Connected, or why not (and when it tries again).
  virtual void OnTelemetryStatus(bool connected, const std::string& text) = 0;
  // A payload that came live on the command topic (only subscribed to when
  // commands are allowed); a retained one is refused on the event topic.
  virtual void OnTelemetryCommand(const std::string& payload) = 0;
};

struct TelemetryCounts {
  std::uint64_t states = 0;    // state documents published
  std::uint64_t events = 0;    // event lines published
  std::uint64_t connects = 0;  // connections the broker accepted
};

// How the broker's name is looked up: getaddrinfo, or a stand-in with its
// signature. It may take as long as the name servers do.
using NameLookup = std::function<int(const char* host, const char* port, const addrinfo* hints, addrinfo** found)>;
// How the client sets out to connect: mosquitto_connect_async, or a stand-in
// with its signature. Over TLS it looks the name up itself, as long as the
// name servers take.
using ConnectCall = std::function<int(mosquitto* client, const char* host, int port, int keepAlive)>;

class MqttTelemetry : public IValueObserver, public ILogEventObserver {
 public:
  // `password`: the password file's line, if there is one. `version` goes
  // into the discovery documents. Starts the network thread.
  MqttTelemetry(const TelemetrySettings& settings, std::optional<std::string> password,
                std::string version, ITelemetryListener& listener, NameLookup lookup = {},
                ConnectCall connect = {});
  // Says "offline" and leaves the broker (waiting at most half a second for
  // it to take that), then ends the network thread. A thread held up inside
  // the library is not waited for: it finishes alone, no longer telling the
  // listener anything.
  ~MqttTelemetry() override;
  MqttTelemetry(const MqttTelemetry&) = delete;
  MqttTelemetry& operator=(const MqttTelemetry&) = delete;

  // The window's thread.
  void OnValue(ValueId id, int value, const LocalTime& arrival) override;
  // The log's lines are in its own code page; MQTT payloads are UTF-8.
  void OnLogEvent(const std::string& text, const LocalTime&) override { PublishEvent(Cp1252ToUtf8(text)); }
  void SetLink(LinkState link);
  // A line for the event topic; dropped while there is no connection.
  void PublishEvent(const std::string& text);

  const MowerTopics& topics() const;
  TelemetryCounts counts() const;

 private:
  // What the network thread works with; the thread holds it too, so it may
  // outlive this.
  class Network;
  std::shared_ptr<Network> net_;
  std::future<void> ended_;  // ready when the network thread is done
  std::thread thread_;
};

}  // namespace verdelo
