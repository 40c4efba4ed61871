#include "telemetry/mqtt_telemetry.h"

#include <mosquitto.h>
#include <netdb.h>
#include <openssl/x509.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <vector>

#include "telemetry/commands.h"
#include "telemetry/pacing.h"

namespace verdelo {

namespace {

constexpr int kKeepAliveSeconds = 30;
constexpr int kQos = 1;
// A connection the broker has not accepted by then is given up.
constexpr auto kConnectLimit = std::chrono::seconds(10);
// The network thread looks after the connection's keep-alive this often.
constexpr int kLookMs = 1000;
// "offline" and the farewell get this long to leave at the end.
constexpr auto kFarewellLimit = std::chrono::milliseconds(500);
// A close waits this long for the network thread, the farewell included.
constexpr auto kCloseLimit = std::chrono::milliseconds(700);
// Events waiting for the network thread; beyond it the oldest go.
constexpr std::size_t kMostEvents = 256;

std::once_flag libraryStarted;

// The folder OpenSSL takes the system's authorities from, as its default
// paths do: SSL_CERT_DIR when set.
std::string SystemCaFolder() {
  const char* chosen = std::getenv(X509_get_default_cert_dir_env());
  return chosen != nullptr && *chosen != '\0' ? chosen : X509_get_default_cert_dir();
}

// What a name lookup on its own thread hands over; whichever side lets go
// last frees it.
struct PendingLookup {
  PendingLookup() : doneFd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}
  ~PendingLookup() {
    if (doneFd >= 0) ::close(doneFd);
  }
  std::mutex mutex;
  bool done = false;
  int result = EAI_AGAIN;
  std::vector<std::string> addresses;
  const int doneFd;  // readable once done
};

bool IsNumericHost(const std::string& host) {
  addrinfo hints{};
  hints.ai_flags = AI_NUMERICHOST;
  addrinfo* found = nullptr;
  const bool numeric = ::getaddrinfo(host.c_str(), nullptr, &hints, &found) == 0;
  if (found != nullptr) ::freeaddrinfo(found);
  return numeric;
}

std::string NumericAddress(const addrinfo& address) {
  char text[NI_MAXHOST] = "";
  if (::getnameinfo(address.ai_addr, address.ai_addrlen, text, sizeof text, nullptr, 0, NI_NUMERICHOST) != 0)
    return {};
  return text;
}

int Millis(std::chrono::nanoseconds span) {
  return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(span).count());
}

}  // namespace

class MqttTelemetry::Network {
 public:
  Network(const TelemetrySettings& settings, std::optional<std::string> password, std::string version,
          ITelemetryListener& listener, NameLookup lookup, ConnectCall connect);
  ~Network();

  // The window's thread.
  void OnValue(ValueId id, int value);
  void SetLink(LinkState link);
  void PublishEvent(const std::string& text);
  void Wake();
  // From now on the listener is told nothing; a call under way ends first.
  void Forget();

  // The network thread.
  void Run();

  const MowerTopics topics_;
  std::atomic<bool> stop_{false};
  std::atomic<std::uint64_t> statesPublished_{0};
  std::atomic<std::uint64_t> eventsPublished_{0};
  std::atomic<std::uint64_t> connects_{0};

 private:
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
  void DrainWake();
  static void OnConnect(mosquitto* mosq, void* self, int rc);
  static void OnDisconnect(mosquitto* mosq, void* self, int rc);
  static void OnMessage(mosquitto* mosq, void* self, const mosquitto_message* message);
  static void OnLog(mosquitto* mosq, void* self, int level, const char* text);

  const TelemetrySettings settings_;
  const std::string version_;
  const NameLookup lookup_;
  const ConnectCall connect_;
  mosquitto* mosq_ = nullptr;
  std::string setupError_;  // a fault that keeps it from ever connecting
  int wakeFd_ = -1;

  // Shared between the threads.
  std::mutex listenerMutex_;
  ITelemetryListener* listener_;  // none once the console let go
  std::mutex mutex_;
  MowerState state_;
  bool stateDirty_ = false;
  std::deque<std::string> events_;
  std::atomic<bool> connected_{false};

  // The network thread's own.
  StatePacer pacer_;
  Backoff backoff_ = BrokerBackoff();
  std::size_t attempts_ = 0;  // attempts at a name's addresses
  TelemetryClock::time_point attemptStart_{};
  std::string refusal_;    // why the broker refused the last connection
  std::string lastError_;  // the library's last error message
};

MqttTelemetry::MqttTelemetry(const TelemetrySettings& settings, std::optional<std::string> password,
                             std::string version, ITelemetryListener& listener, NameLookup lookup,
                             ConnectCall connect)
    : net_(std::make_shared<Network>(settings, std::move(password), std::move(version), listener, std::move(lookup),
                                     std::move(connect))) {
  std::promise<void> ended;
  ended_ = ended.get_future();
  thread_ = std::thread([net = net_, ended = std::move(ended)]() mutable {
    net->Run();
    ended.set_value();
  });
}

MqttTelemetry::~MqttTelemetry() {
  net_->stop_ = true;
  net_->Wake();
  // A thread still inside the library then (over TLS it looks the broker's
  // name up itself, as long as the name servers take) is left to finish
  // alone: the window it tells things to is going.
  if (ended_.wait_for(kCloseLimit) == std::future_status::ready) {
    thread_.join();
  } else {
    net_->Forget();
    thread_.detach();
  }
}

void MqttTelemetry::OnValue(ValueId id, int value, const LocalTime& /*arrival*/) { net_->OnValue(id, value); }

void MqttTelemetry::SetLink(LinkState link) { net_->SetLink(link); }

void MqttTelemetry::PublishEvent(const std::string& text) { net_->PublishEvent(text); }

const MowerTopics& MqttTelemetry::topics() const { return net_->topics_; }

TelemetryCounts MqttTelemetry::counts() const {
  return {net_->statesPublished_.load(), net_->eventsPublished_.load(), net_->connects_.load()};
}

MqttTelemetry::Network::Network(const TelemetrySettings& settings, std::optional<std::string> password,
                                std::string version, ITelemetryListener& listener, NameLookup lookup,
                                ConnectCall connect)
    : topics_(settings.name),
      settings_(settings),
      version_(std::move(version)),
      lookup_(lookup ? std::move(lookup) : NameLookup(&::getaddrinfo)),
      connect_(connect ? std::move(connect) : ConnectCall(&mosquitto_connect_async)),
      listener_(&listener) {
  std::call_once(libraryStarted, [] { mosquitto_lib_init(); });
  wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  // Two consoles of one name may share a broker for a while (one closing,
  // one starting): each has its own client identifier.
  const std::string clientId = "verdelo-" + settings_.name + "-" + std::to_string(::getpid());
  mosq_ = mosquitto_new(clientId.c_str(), true, this);
  if (mosq_ == nullptr) {
    setupError_ = "cannot make an MQTT client: " + std::string(std::strerror(errno));
  } else if (settings_.broker.host.empty()) {
    setupError_ = BrokerAddressError(settings_.brokerText);
  } else {
    mosquitto_connect_callback_set(mosq_, &Network::OnConnect);
    mosquitto_disconnect_callback_set(mosq_, &Network::OnDisconnect);
    mosquitto_message_callback_set(mosq_, &Network::OnMessage);
    mosquitto_log_callback_set(mosq_, &Network::OnLog);
    mosquitto_will_set(mosq_, topics_.availability.c_str(), static_cast<int>(std::strlen(kOffline)), kOffline,
                       kQos, true);
    if (!settings_.user.empty())
      mosquitto_username_pw_set(mosq_, settings_.user.c_str(), password ? password->c_str() : nullptr);
    if (settings_.broker.tls) {
      int rc = MOSQ_ERR_SUCCESS;
      if (!settings_.caFile.empty()) {
        rc = mosquitto_tls_set(mosq_, settings_.caFile.c_str(), nullptr, nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS)
          setupError_ = "cannot use the certificate authority " + settings_.caFile.string() + ": " +
                        mosquitto_strerror(rc);
      } else {
        // The system's authorities: its bundle file through the option, and
        // its folder named as the CA path. The library keeps its TLS setup
        // from the first attempt and checks it again at every later one,
        // wanting a CA file or path then; the option alone passes only the
        // first, and every reconnect failed.
        mosquitto_int_option(mosq_, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        rc = mosquitto_tls_set(mosq_, nullptr, SystemCaFolder().c_str(), nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS)
          setupError_ = "cannot use the system's certificate authorities: " + std::string(mosquitto_strerror(rc));
      }
      if (settings_.insecure) {
        mosquitto_tls_opts_set(mosq_, 0 /* SSL_VERIFY_NONE */, nullptr, nullptr);
        mosquitto_tls_insecure_set(mosq_, true);
      }
    }
  }
}

// The last of the console and its network thread to let go frees the client.
MqttTelemetry::Network::~Network() {
  if (mosq_ != nullptr) mosquitto_destroy(mosq_);
  if (wakeFd_ >= 0) ::close(wakeFd_);
}

void MqttTelemetry::Network::OnValue(ValueId id, int value) {
  bool wake = false;
  {
    std::lock_guard lock(mutex_);
    if (!state_.Set(id, value) || stateDirty_) return;
    stateDirty_ = wake = true;
  }
  // Once per change after a publication, not once per value: the network
  // thread paces the state itself.
  if (wake) Wake();
}

void MqttTelemetry::Network::SetLink(LinkState link) {
  {
    std::lock_guard lock(mutex_);
    if (!state_.SetLink(link)) return;
    stateDirty_ = true;
  }
  Wake();
}

void MqttTelemetry::Network::PublishEvent(const std::string& text) {
  if (!connected_) return;
  {
    std::lock_guard lock(mutex_);
    if (events_.size() >= kMostEvents) events_.pop_front();
    events_.push_back(text);
  }
  Wake();
}

void MqttTelemetry::Network::Wake() {
  const std::uint64_t one = 1;
  [[maybe_unused]] const auto written = ::write(wakeFd_, &one, sizeof one);
}

void MqttTelemetry::Network::DrainWake() {
  std::uint64_t count = 0;
  [[maybe_unused]] const auto read = ::read(wakeFd_, &count, sizeof count);
}

void MqttTelemetry::Network::Forget() {
  std::lock_guard lock(listenerMutex_);
  listener_ = nullptr;
}

void MqttTelemetry::Network::Report(bool connected, const std::string& text) {
  std::lock_guard lock(listenerMutex_);
  if (listener_ != nullptr) listener_->OnTelemetryStatus(connected, text);
}

// --- The network thread ---------------------------------------------------

void MqttTelemetry::Network::Run() {
  if (!setupError_.empty()) {
    Report(false, setupError_);
    while (!stop_) {
      pollfd wake{wakeFd_, POLLIN, 0};
      ::poll(&wake, 1, -1);
      DrainWake();
    }
    return;
  }
  while (!stop_) {
    if (Connect()) Serve();
  }
  Shutdown();
}

std::string MqttTelemetry::Network::LookUp(std::string& reason) {
  reason.clear();
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  const std::string port = std::to_string(settings_.broker.port);
  // Numbers need no name server.
  if (IsNumericHost(settings_.broker.host)) return settings_.broker.host;
  // A name is looked up on a thread of its own that nobody waits for: the
  // console may close (or the time limit pass) while a name server takes
  // its time, and the thread then finishes alone.
  auto pending = std::make_shared<PendingLookup>();
  if (pending->doneFd < 0) return reason = std::strerror(errno), std::string();
  std::thread([pending, lookup = lookup_, host = settings_.broker.host, port, hints] {
    addrinfo* found = nullptr;
    const int rc = lookup(host.c_str(), port.c_str(), &hints, &found);
    std::vector<std::string> addresses;
    for (const addrinfo* one = rc == 0 ? found : nullptr; one != nullptr; one = one->ai_next)
      if (std::string address = NumericAddress(*one); !address.empty()) addresses.push_back(address);
    if (found != nullptr) ::freeaddrinfo(found);
    std::lock_guard lock(pending->mutex);
    pending->result = addresses.empty() && rc == 0 ? EAI_NONAME : rc;
    pending->addresses = std::move(addresses);
    pending->done = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(pending->doneFd, &one, sizeof one);
  }).detach();
  const auto until = TelemetryClock::now() + kConnectLimit;
  while (!stop_) {
    {
      std::lock_guard lock(pending->mutex);
      if (pending->done) {
        if (pending->result != 0) return reason = Reason(MOSQ_ERR_EAI, pending->result), std::string();
        // A name with several addresses: each attempt takes the next, so
        // one the broker does not listen on holds up only one attempt.
        return pending->addresses[attempts_++ % pending->addresses.size()];
      }
    }
    const auto now = TelemetryClock::now();
    if (now >= until) return reason = Reason(MOSQ_ERR_EAI, EAI_AGAIN), std::string();
    pollfd fds[2] = {{pending->doneFd, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    ::poll(fds, 2, Millis(until - now));
    if (fds[1].revents != 0) DrainWake();
  }
  return {};
}

bool MqttTelemetry::Network::Connect() {
  std::string reason;
  const std::string address = LookUp(reason);
  if (address.empty()) {
    if (!reason.empty()) WaitBeforeRetry(reason);
    return false;
  }
  refusal_.clear();
  lastError_.clear();
  errno = 0;
  // The address found, so the library looks nothing up itself; over TLS the
  // name goes on, for the certificate's check and the server name the
  // broker may pick its certificate by.
  const std::string& target = settings_.broker.tls ? settings_.broker.host : address;
  const int rc = connect_(mosq_, target.c_str(), settings_.broker.port, kKeepAliveSeconds);
  const int error = errno;
  if (rc != MOSQ_ERR_SUCCESS) {
    WaitBeforeRetry(Reason(rc, error));
    return false;
  }
  attemptStart_ = TelemetryClock::now();
  return true;
}

void MqttTelemetry::Network::Serve() {
  while (!stop_) {
    const auto now = TelemetryClock::now();
    int timeout = kLookMs;
    if (!connected_) {
      timeout = std::min(timeout, std::max(0, Millis(attemptStart_ + kConnectLimit - now)));
    } else {
      std::lock_guard lock(mutex_);
      if (stateDirty_) timeout = std::min(timeout, static_cast<int>(pacer_.Wait(now).count()));
      if (!events_.empty()) timeout = 0;
    }
    pollfd fds[2] = {{mosquitto_socket(mosq_), static_cast<short>(POLLIN | (mosquitto_want_write(mosq_) ? POLLOUT : 0)), 0},
                     {wakeFd_, POLLIN, 0}};
    ::poll(fds, 2, timeout);
    if (fds[1].revents != 0) DrainWake();
    if (stop_) return;
    // A connection that failed before the broker answered. Over TLS the
    // library takes the failure for a handshake still going on, and the
    // closed socket would wake every turn until the time limit.
    if (!connected_ && (fds[0].revents & (POLLERR | POLLHUP)) != 0) {
      int error = 0;
      socklen_t size = sizeof error;
      ::getsockopt(fds[0].fd, SOL_SOCKET, SO_ERROR, &error, &size);
      WaitBeforeRetry(error != 0 ? std::strerror(error) : "the connection failed");
      return;
    }
    // Read at every turn: TLS may hold decrypted bytes the socket no longer
    // shows, and a read that finds nothing costs one call.
    errno = 0;
    int rc = mosquitto_loop_read(mosq_, 1);
    if (rc == MOSQ_ERR_SUCCESS && (fds[0].revents & POLLOUT)) rc = mosquitto_loop_write(mosq_, 1);
    if (rc == MOSQ_ERR_SUCCESS) rc = mosquitto_loop_misc(mosq_);
    const int error = errno;
    if (rc == MOSQ_ERR_SUCCESS && connected_) Flush();
    if (rc != MOSQ_ERR_SUCCESS) {
      connected_ = false;
      WaitBeforeRetry(Reason(rc, error));
      return;
    }
    if (!connected_ && TelemetryClock::now() - attemptStart_ >= kConnectLimit) {
      WaitBeforeRetry("the broker did not answer within " + std::to_string(kConnectLimit.count()) + " s");
      return;
    }
  }
}

void MqttTelemetry::Network::WaitBeforeRetry(const std::string& reason) {
  const auto wait = std::chrono::duration_cast<std::chrono::seconds>(backoff_.Next());
  Report(false, "MQTT broker " + settings_.brokerText + ": " + reason + "; trying again in " +
                    std::to_string(wait.count()) + " s");
  const auto until = TelemetryClock::now() + wait;
  // Values keep waking the thread meanwhile; only the end of the wait or
  // of the console ends it.
  while (!stop_) {
    const auto now = TelemetryClock::now();
    if (now >= until) break;
    pollfd wake{wakeFd_, POLLIN, 0};
    ::poll(&wake, 1, Millis(until - now));
    DrainWake();
  }
}

void MqttTelemetry::Network::Flush() {
  const auto now = TelemetryClock::now();
  std::optional<std::string> document;
  std::deque<std::string> events;
  {
    std::lock_guard lock(mutex_);
    if (stateDirty_ && pacer_.Wait(now).count() == 0) {
      document = state_.Document();
      stateDirty_ = false;
    }
    events.swap(events_);
  }
  if (document) {
    Publish(topics_.state, *document, true);
    pacer_.Published(now);
    ++statesPublished_;
  }
  for (const std::string& event : events) {
    Publish(topics_.event, event, false);
    ++eventsPublished_;
  }
  if (mosquitto_want_write(mosq_)) mosquitto_loop_write(mosq_, 1);
}

void MqttTelemetry::Network::Publish(const std::string& topic, const std::string& payload, bool retain) {
  mosquitto_publish(mosq_, nullptr, topic.c_str(), static_cast<int>(payload.size()), payload.data(), kQos,
                    retain);
}

void MqttTelemetry::Network::Shutdown() {
  if (!connected_) return;
  // At once, whatever awaits its acknowledgement: no later turn will take
  // a queued one out.
  mosquitto_publish(mosq_, nullptr, topics_.availability.c_str(), static_cast<int>(std::strlen(kOffline)), kOffline,
                    0, true);
  mosquitto_disconnect(mosq_);
  const auto until = TelemetryClock::now() + kFarewellLimit;
  while (mosquitto_socket(mosq_) >= 0 && mosquitto_want_write(mosq_)) {
    const auto now = TelemetryClock::now();
    if (now >= until) break;
    pollfd out{mosquitto_socket(mosq_), POLLOUT, 0};
    ::poll(&out, 1, Millis(until - now));
    if (mosquitto_loop_write(mosq_, 1) != MOSQ_ERR_SUCCESS) break;
  }
  connected_ = false;
}

std::string MqttTelemetry::Network::Reason(int rc, int error) const {
  if (!refusal_.empty()) return "the broker refused the connection: " + refusal_;
  switch (rc) {
    case MOSQ_ERR_ERRNO:
      return error != 0 ? std::strerror(error) : "the connection failed";
    case MOSQ_ERR_EAI:
      return "cannot find " + settings_.broker.host + ": " + ::gai_strerror(error);
    case MOSQ_ERR_CONN_LOST:
    case MOSQ_ERR_NO_CONN:  // the library closed it on its own
      return "the connection was lost";
    case MOSQ_ERR_TLS:
      return "TLS failed" + (lastError_.empty() ? std::string() : ": " + lastError_);
    default:
      return mosquitto_strerror(rc) + (lastError_.empty() ? std::string() : ": " + lastError_);
  }
}

void MqttTelemetry::Network::OnConnect(mosquitto* mosq, void* self, int rc) {
  auto& me = *static_cast<Network*>(self);
  if (rc != 0) {
    me.refusal_ = mosquitto_connack_string(rc);
    return;
  }
  me.connected_ = true;
  ++me.connects_;
  me.backoff_.Reset();
  me.pacer_.Reset();
  // Subscribed before "online" is said, so a command sent by whoever saw
  // "online" is never missed: the broker takes one client's packets in order.
  if (me.settings_.commands) mosquitto_subscribe(mosq, nullptr, me.topics_.command.c_str(), kQos);
  me.Publish(me.topics_.availability, kOnline, true);
  for (const RetainedMessage& doc : DiscoveryDocuments(me.topics_, me.settings_.commands, me.version_))
    me.Publish(doc.topic, doc.payload, true);
  {
    // The state as it is now goes out at once: the broker may have lost the
    // retained one, and a change may have come while there was no broker.
    std::lock_guard lock(me.mutex_);
    me.stateDirty_ = true;
  }
  me.Report(true, "MQTT: connected to " + me.settings_.brokerText + " as " + me.topics_.name);
}

void MqttTelemetry::Network::OnDisconnect(mosquitto* /*mosq*/, void* self, int /*rc*/) {
  static_cast<Network*>(self)->connected_ = false;
}

void MqttTelemetry::Network::OnMessage(mosquitto* /*mosq*/, void* self, const mosquitto_message* message) {
  auto& me = *static_cast<Network*>(self);
  if (message->topic == nullptr || me.topics_.command != message->topic) return;
  const std::string payload(static_cast<const char*>(message->payload),
                            static_cast<std::size_t>(message->payloadlen));
  // A retained command was given some time before, to a console that may
  // not even have run then: the broker hands it over at every subscription,
  // and nobody is there to see the mower move. Only live ones count.
  if (message->retain) {
    me.PublishEvent("ignored a retained command: " + ShownPayload(payload));
    return;
  }
  std::lock_guard lock(me.listenerMutex_);
  if (me.listener_ != nullptr) me.listener_->OnTelemetryCommand(payload);
}

void MqttTelemetry::Network::OnLog(mosquitto* /*mosq*/, void* self, int level, const char* text) {
  if (level == MOSQ_LOG_ERR && text != nullptr) static_cast<Network*>(self)->lastError_ = text;
}

}  // namespace verdelo
