// The console as an MQTT client: the mower's state, the data log's events
// and the link go to the broker from a network thread of its own; commands
// and the connection's state come back through a listener, also on that
// thread. The window's thread only hands values over: it never waits on the
// network.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "console/text.h"
#include "console/value_observer.h"
#include "telemetry/mower_state.h"
#include "telemetry/pacing.h"
#include "telemetry/settings.h"
#include "telemetry/topics.h"

struct addrinfo;
struct mosquitto;
struct mosquitto_message;

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

class MqttTelemetry : public IValueObserver, public ILogEventObserver {
 public:
  // `password`: the password file's line, if there is one. `version` goes
  // into the discovery documents. Starts the network thread.
  MqttTelemetry(const TelemetrySettings& settings, std::optional<std::string> password,
                std::string version, ITelemetryListener& listener, NameLookup lookup = {});
  // Says "offline" and leaves the broker (waiting at most half a second for
  // it to take that), then ends the network thread.
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

  const MowerTopics& topics() const { return topics_; }
  TelemetryCounts counts() const;

 private:
  // The network thread.
  void Run();
  bool Connect();
  // The broker's address as numbers, or a reason why there is none; empty
  // both when the console closed meanwhile.
  std::string LookUp(std::string& reason);
  void Serve();
  void WaitBeforeRetry(const std::string& reason);
  void Flush();
  void Shutdown();
  std::string Reason(int rc, int error) const;
  void Publish(const std::string& topic, const std::string& payload, bool retain);
  void Report(bool connected, const std::string& text);
  void Wake();
  void DrainWake();
  static void OnConnect(mosquitto* mosq, void* self, int rc);
  static void OnDisconnect(mosquitto* mosq, void* self, int rc);
  static void OnMessage(mosquitto* mosq, void* self, const mosquitto_message* message);
  static void OnLog(mosquitto* mosq, void* self, int level, const char* text);

  TelemetrySettings settings_;
  MowerTopics topics_;
  std::string version_;
  ITelemetryListener& listener_;
  NameLookup lookup_;
  mosquitto* mosq_ = nullptr;
  std::string setupError_;  // a fault that keeps it from ever connecting
  int wakeFd_ = -1;

  // Shared between the threads.
  mutable std::mutex mutex_;
  MowerState state_;
  bool stateDirty_ = false;
  std::deque<std::string> events_;
  std::atomic<bool> connected_{false};
  std::atomic<bool> stop_{false};
  std::atomic<std::uint64_t> statesPublished_{0};
  std::atomic<std::uint64_t> eventsPublished_{0};
  std::atomic<std::uint64_t> connects_{0};

  // The network thread's own.
  StatePacer pacer_;
  Backoff backoff_;
  std::size_t attempts_ = 0;  // attempts at a name's addresses
  TelemetryClock::time_point attemptStart_{};
  std::string refusal_;    // why the broker refused the last connection
  std::string lastError_;  // the library's last error message
  std::thread thread_;
};

}  // namespace verdelo
