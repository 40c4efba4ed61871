// The MQTT client against a real Mosquitto broker the test starts on free
// loopback ports: what it publishes and retains, its last will, logins and
// certificates that fail, and a broker that goes away and comes back.
#include <gtest/gtest.h>

#include <mosquitto.h>
#include <netdb.h>

#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>

#include "telemetry/mqtt_telemetry.h"
#include "tests/support/temp_dir.h"
#include "tests/telemetry/test_broker.h"
#include "tests/telemetry/test_subscriber.h"

namespace verdelo::test {
namespace {

constexpr int kPatienceMs = 5000;

// What the network thread reported, for the test's thread to wait on.
class StatusLog : public ITelemetryListener {
 public:
  void OnTelemetryStatus(bool connected, const std::string& text) override {
    std::lock_guard lock(mutex_);
    statuses_.push_back({connected, text});
    changed_.notify_all();
  }
  void OnTelemetryCommand(const std::string&) override {}
  void Clear() {
    std::lock_guard lock(mutex_);
    statuses_.clear();
  }
  std::size_t Count() {
    std::lock_guard lock(mutex_);
    return statuses_.size();
  }

  // Waits for a status whose text holds `part` (and that is connected or
  // not, as asked) and returns its text; fails the test when none comes.
  std::string Await(bool connected, const std::string& part) {
    std::unique_lock lock(mutex_);
    std::string found;
    changed_.wait_for(lock, std::chrono::milliseconds(kPatienceMs), [&] {
      for (const auto& [isConnected, text] : statuses_)
        if (isConnected == connected && text.find(part) != std::string::npos) return found = text, true;
      return false;
    });
    if (!found.empty()) return found;
    std::string all;
    for (const auto& status : statuses_) all += "\n  " + status.second;
    ADD_FAILURE() << "no status " << (connected ? "connected" : "not connected") << " with \"" << part
                  << "\"; reported:" << all;
    return found;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::pair<bool, std::string>> statuses_;
};

TelemetrySettings SettingsFor(const std::string& url) {
  std::string error;
  return *ReadTelemetrySettings({{"MQTT_BROKER", url}, {"MQTT_NAME", "garden"}}, error);
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class BrokerTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(broker_.running()) << broker_.error(); }

  std::unique_ptr<MqttTelemetry> Start(const TelemetrySettings& settings,
                                       std::optional<std::string> password = std::nullopt, NameLookup lookup = {},
                                       ConnectCall connect = {}) {
    status_.Clear();
    return std::make_unique<MqttTelemetry>(settings, std::move(password), "83", status_, std::move(lookup),
                                           std::move(connect));
  }

  TempDir dir_;
  TestBroker broker_{dir_.path()};
  StatusLog status_;
};

TEST_F(BrokerTest, PublishesRetainedAvailabilityDiscoveryAndPacedStateEventsAndSaysOfflineAtTheEnd) {
  TestSubscriber watcher(broker_.plainPort());
  ASSERT_TRUE(watcher.ok());
  auto telemetry = Start(SettingsFor(broker_.PlainUrl()));
  const MowerTopics topics = telemetry->topics();
  const std::size_t discoveryCount = DiscoveryDocuments(topics, false, "83").size();
  ASSERT_TRUE(watcher.Await([&](const std::vector<Received>& all) {
    std::size_t docs = 0;
    for (const Received& r : all) docs += r.topic.starts_with("homeassistant/");
    return docs == discoveryCount;
  }));
  EXPECT_TRUE(watcher.HasPayload(topics.availability, "online"));

  const LocalTime now;
  telemetry->SetLink(LinkState::Open);
  telemetry->OnValue(ValueId::Status, 1014, now);
  ASSERT_TRUE(watcher.Await([&](auto&) {
    const auto state = watcher.Last(topics.state);
    return state && Contains(*state, R"("status":1014)") && Contains(*state, R"("link":"open")");
  })) << watcher.Last(topics.state).value_or("no state");

  // A burst of answers: the state follows at most once a second and ends
  // on the last value.
  const std::size_t before = watcher.Payloads(topics.state).size();
  for (int i = 0; i < 300; ++i) telemetry->OnValue(ValueId::Voltage, 20000 + i, now);
  ASSERT_TRUE(watcher.Await([&](auto&) { return Contains(watcher.Last(topics.state).value_or(""), "20299"); }));
  EXPECT_LE(watcher.Payloads(topics.state).size() - before, 2u);
  // Nothing changed: nothing more to say.
  telemetry->OnValue(ValueId::Voltage, 20299, now);

  telemetry->OnLogEvent("=> Charging :1014", LocalTime{});
  telemetry->OnLogEvent("ALARM K\xFChlung", LocalTime{});  // the log's code page goes out as UTF-8
  ASSERT_TRUE(watcher.Await([&](auto&) { return watcher.HasPayload(topics.event, "ALARM K\u00FChlung"); }));
  EXPECT_TRUE(watcher.HasPayload(topics.event, "=> Charging :1014"));

  // Whoever comes later finds the retained ones.
  TestSubscriber late(broker_.plainPort());
  ASSERT_TRUE(late.Await([&](const std::vector<Received>& all) {
    std::size_t retained = 0;
    for (const Received& r : all) retained += r.retained;
    return late.HasPayload(topics.availability, "online") && late.Last(topics.state) &&
           retained == discoveryCount - 24 + 2;  // the emptied buttons are no longer held
  })) << late.All().size();
  EXPECT_TRUE(late.Payloads(topics.event).empty());
  EXPECT_EQ(telemetry->counts().connects, 1u);

  telemetry.reset();
  EXPECT_TRUE(watcher.Await([&](auto&) { return watcher.Last(topics.availability) == "offline"; }));
}

TEST_F(BrokerTest, LoginsAndCertificatesThatFailGiveTheReasonAndGoodOnesConnect) {
  TelemetrySettings settings = SettingsFor(broker_.PasswordUrl());
  settings.user = TestBroker::kUser;
  {
    auto telemetry = Start(settings, "wrong");
    const std::string reason = status_.Await(false, "refused");
    EXPECT_TRUE(Contains(reason, "not authorised") && Contains(reason, "trying again in 1 s")) << reason;
  }
  {
    auto telemetry = Start(settings, TestBroker::kPassword);
    EXPECT_TRUE(Contains(status_.Await(true, "connected to " + broker_.PasswordUrl()), "garden"));
  }
  settings = SettingsFor(broker_.TlsUrl());
  {
    // The system's authorities do not know the test CA.
    auto telemetry = Start(settings);
    EXPECT_TRUE(Contains(status_.Await(false, "TLS"), "certificate verify failed"));
  }
  {
    settings.caFile = broker_.caFile();
    auto telemetry = Start(settings);
    status_.Await(true, "connected to " + broker_.TlsUrl());
    EXPECT_EQ(telemetry->counts().connects, 1u);
  }
  {
    settings.caFile.clear();
    settings.insecure = true;
    auto telemetry = Start(settings);
    status_.Await(true, "connected to " + broker_.TlsUrl());
    EXPECT_EQ(telemetry->counts().connects, 1u);
  }
  {
    auto telemetry = Start(SettingsFor("mqtt://127.0.0.1:" + std::to_string(FreeLoopbackPort())));
    EXPECT_TRUE(Contains(status_.Await(false, "Connection refused"), "trying again in 1 s"));
  }
}

TEST_F(BrokerTest, TlsConnectsOnceTheBrokerIsUpWithOrWithoutACaFile) {
  // The system's authorities are OpenSSL's default paths, which take the
  // test CA from SSL_CERT_FILE.
  struct SystemTrustsTestCa {
    explicit SystemTrustsTestCa(const std::filesystem::path& ca) { ::setenv("SSL_CERT_FILE", ca.c_str(), 1); }
    ~SystemTrustsTestCa() { ::unsetenv("SSL_CERT_FILE"); }
  } trust(broker_.caFile());
  for (const bool withCaFile : {true, false}) {
    SCOPED_TRACE(withCaFile ? "CA file" : "system's authorities");
    TelemetrySettings settings = SettingsFor(broker_.TlsUrl());
    if (withCaFile) settings.caFile = broker_.caFile();
    broker_.Stop();
    auto telemetry = Start(settings);
    status_.Await(false, "trying again in 1 s");
    ASSERT_TRUE(broker_.Start()) << broker_.error();
    status_.Await(true, "connected to " + broker_.TlsUrl());
  }
}

TEST_F(BrokerTest, ABrokersNameIsLookedUpAndClosingWaitsNeitherForTheLookupNorForAConnectHeldUp) {
  // A name server that answers for "broker.test" with the loopback address.
  auto named = Start(SettingsFor("mqtt://broker.test:" + std::to_string(broker_.plainPort())), {},
                     [](auto, auto port, auto hints, auto found) {
                       return ::getaddrinfo("127.0.0.1", port, hints, found);
                     });
  status_.Await(true, "connected to mqtt://broker.test:");
  named.reset();
  // One that answers only when the test lets it, long after the close: asked
  // by the console itself, or over TLS by the library inside its connect call.
  struct Gate {
    std::once_flag told;
    std::promise<void> asked, freed;
    std::shared_future<void> open;
    int Hold(int answer) {
      std::call_once(told, [this] { asked.set_value(); });
      open.wait();
      return answer;
    }
    ~Gate() { freed.set_value(); }
  };
  for (const bool tls : {false, true}) {
    SCOPED_TRACE(tls ? "mqtts" : "mqtt");
    std::promise<void> opener;
    auto gate = std::make_shared<Gate>();
    gate->open = opener.get_future().share();
    std::future<void> asked = gate->asked.get_future(), freed = gate->freed.get_future();
    auto telemetry = Start(SettingsFor(tls ? broker_.TlsUrl() : "mqtt://broker.test"), {},
                           [gate](auto...) { return gate->Hold(EAI_AGAIN); },
                           tls ? ConnectCall([gate](auto...) { return gate->Hold(MOSQ_ERR_EAI); }) : ConnectCall());
    gate.reset();  // the console's threads hold it, and let go when done
    ASSERT_EQ(asked.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    auto closed = std::async(std::launch::async, [&] { telemetry.reset(); });
    EXPECT_EQ(closed.wait_for(std::chrono::milliseconds(1000)), std::future_status::ready);
    // The held-up thread finishes alone and tells the closed window nothing.
    opener.set_value();
    closed.wait();
    ASSERT_EQ(freed.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(status_.Count(), 0u);
  }
}

TEST_F(BrokerTest, BrokerRestartedMidRunGetsTheLatestStateOnly) {
  auto telemetry = Start(SettingsFor(broker_.PlainUrl()));
  const MowerTopics topics = telemetry->topics();
  status_.Await(true, "connected");
  ASSERT_EQ(telemetry->counts().connects, 1u);

  broker_.Stop();
  EXPECT_TRUE(Contains(status_.Await(false, "lost"), "trying again in 1 s"));
  // While there is no broker only the latest state is kept.
  const LocalTime now;
  const std::uint64_t statesBefore = telemetry->counts().states;
  for (int i = 0; i < 500; ++i) telemetry->OnValue(ValueId::Charge, i, now);
  telemetry->OnLogEvent("dropped while nobody listens", LocalTime{});
  ASSERT_TRUE(broker_.Start()) << broker_.error();

  TestSubscriber watcher(broker_.plainPort());
  ASSERT_TRUE(watcher.ok());
  ASSERT_TRUE(watcher.Await([&](auto&) { return Contains(watcher.Last(topics.state).value_or(""), R"("charge":499)"); }));
  EXPECT_TRUE(watcher.HasPayload(topics.availability, "online"));
  EXPECT_TRUE(watcher.Payloads(topics.event).empty());
  EXPECT_EQ(telemetry->counts().connects, 2u);
  EXPECT_LE(telemetry->counts().states - statesBefore, 2u);
}

}  // namespace
}  // namespace verdelo::test
