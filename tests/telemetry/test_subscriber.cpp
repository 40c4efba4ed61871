#include "tests/telemetry/test_subscriber.h"

#include <mosquitto.h>

#include <chrono>
#include <cstring>

namespace verdelo::test {

TestSubscriber::TestSubscriber(int port) {
  mosquitto_lib_init();
  mosq_ = mosquitto_new(nullptr, true, this);
  mosquitto_message_callback_set(mosq_, &TestSubscriber::OnMessage);
  mosquitto_subscribe_callback_set(mosq_, &TestSubscriber::OnSubscribe);
  if (mosquitto_connect(mosq_, "127.0.0.1", port, 30) != MOSQ_ERR_SUCCESS) return;
  char* topics[] = {const_cast<char*>("verdelo/#"), const_cast<char*>("homeassistant/#")};
  mosquitto_subscribe_multiple(mosq_, nullptr, 2, topics, 1, 0, nullptr);
  mosquitto_loop_start(mosq_);
  std::unique_lock lock(mutex_);
  ok_ = changed_.wait_for(lock, std::chrono::seconds(5), [this] { return subscribed_; });
}

TestSubscriber::~TestSubscriber() {
  mosquitto_disconnect(mosq_);
  mosquitto_loop_stop(mosq_, true);
  mosquitto_destroy(mosq_);
}

void TestSubscriber::OnMessage(mosquitto*, void* self, const mosquitto_message* message) {
  auto& me = *static_cast<TestSubscriber*>(self);
  std::lock_guard lock(me.mutex_);
  me.received_.push_back({message->topic,
                          std::string(static_cast<const char*>(message->payload),
                                      static_cast<std::size_t>(message->payloadlen)),
                          message->retain});
  me.changed_.notify_all();
}

void TestSubscriber::OnSubscribe(mosquitto*, void* self, int, int, const int*) {
  auto& me = *static_cast<TestSubscriber*>(self);
  std::lock_guard lock(me.mutex_);
  me.subscribed_ = true;
  me.changed_.notify_all();
}

std::vector<Received> TestSubscriber::All() const {
  std::lock_guard lock(mutex_);
  return received_;
}

std::vector<std::string> TestSubscriber::Payloads(const std::string& topic) const {
  std::vector<std::string> payloads;
  for (const Received& r : All())
    if (r.topic == topic) payloads.push_back(r.payload);
  return payloads;
}

std::optional<std::string> TestSubscriber::Last(const std::string& topic) const {
  const std::vector<std::string> payloads = Payloads(topic);
  if (payloads.empty()) return std::nullopt;
  return payloads.back();
}

bool TestSubscriber::HasPayload(const std::string& topic, const std::string& payload) const {
  for (const std::string& p : Payloads(topic))
    if (p == payload) return true;
  return false;
}

bool TestSubscriber::Await(const std::function<bool(const std::vector<Received>&)>& done, int limitMs) const {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  for (;;) {
    // `done` is free to look through the other members, which lock.
    const std::vector<Received> seen = All();
    if (done(seen)) return true;
    std::unique_lock lock(mutex_);
    if (!changed_.wait_until(lock, until, [&] { return received_.size() != seen.size(); })) {
      lock.unlock();
      return done(All());
    }
  }
}

void TestSubscriber::Publish(const std::string& topic, const std::string& payload, bool retain) {
  mosquitto_publish(mosq_, nullptr, topic.c_str(), static_cast<int>(payload.size()), payload.data(), 1, retain);
}

}  // namespace verdelo::test
