// An MQTT client of the test's own that records every message under
// verdelo/# and homeassistant/#, retained ones included, on its own thread.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct mosquitto;
struct mosquitto_message;

namespace verdelo::test {

struct Received {
  std::string topic;
  std::string payload;
  bool retained = false;
};

class TestSubscriber {
 public:
  // Connects to 127.0.0.1:`port` and subscribes; ok() says whether it did.
  explicit TestSubscriber(int port);
  ~TestSubscriber();
  TestSubscriber(const TestSubscriber&) = delete;
  TestSubscriber& operator=(const TestSubscriber&) = delete;
  bool ok() const { return ok_; }

  std::vector<Received> All() const;
  std::vector<std::string> Payloads(const std::string& topic) const;
  std::optional<std::string> Last(const std::string& topic) const;
  bool HasPayload(const std::string& topic, const std::string& payload) const;

  // Blocks the calling thread until `done` holds over the messages, or
  // `limitMs` passes; returns `done`. Not for threads that must keep an
  // event loop turning.
  bool Await(const std::function<bool(const std::vector<Received>&)>& done, int limitMs = 5000) const;

  // Publishes as another client would.
  void Publish(const std::string& topic, const std::string& payload, bool retain = false);

 private:
  static void OnMessage(mosquitto*, void* self, const mosquitto_message* message);
  static void OnSubscribe(mosquitto*, void* self, int, int, const int*);

  mosquitto* mosq_ = nullptr;
  bool ok_ = false;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<Received> received_;
  bool subscribed_ = false;
};

}  // namespace verdelo::test
