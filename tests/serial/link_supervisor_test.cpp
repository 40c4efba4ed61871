// The link supervisor's moves, on real pseudo-terminals and loopback
// bridges, with a virtual clock: timers fire when the test moves the clock,
// and the line's events and the connect helper's words are run when the test
// takes them.
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>

#include "link/link_supervisor.h"
#include "tests/serial/loopback_bridge.h"
#include "tests/serial/pty_pair.h"

namespace verdelo {
namespace {

namespace fs = std::filesystem;
using test::LoopbackBridge;
using test::PtyPair;
using S = LinkSupervisor::State;
using Timer = ILinkHost::Timer;
using Watch = ILinkHost::Watch;

bool Readable(int fd) {
  pollfd ready{fd, POLLIN, 0};
  return ::poll(&ready, 1, 0) > 0;
}

class FakeHost : public ILinkHost {
 public:
  LinkSupervisor* supervisor = nullptr;
  std::map<Timer, long> due;  // virtual ms
  long now = 0;
  int watched = -1;
  int lineFd = -1;

  void StartTimer(Timer timer, int ms) override { due[timer] = now + ms; }
  void StopTimer(Timer timer) override { due.erase(timer); }
  void WatchReadable(Watch watch, int fd) override { (watch == Watch::Line ? lineFd : watched) = fd; }
  void Post(std::function<void()> task) override {
    const std::lock_guard lock(mutex_);
    posts_.push_back(std::move(task));
    posted_.notify_all();
  }
  std::chrono::steady_clock::time_point Now() override {
    return std::chrono::steady_clock::time_point(std::chrono::milliseconds(now + 3600000));
  }
  // Moves the clock on by `ms`, firing the timers that come due on the way.
  void Advance(long ms) {
    const long until = now + ms;
    for (;;) {
      auto next = due.end();
      for (auto it = due.begin(); it != due.end(); ++it)
        if (it->second <= until && (next == due.end() || it->second < next->second)) next = it;
      if (next == due.end()) break;
      now = next->second;
      const Timer timer = next->first;
      due.erase(next);
      supervisor->OnTimer(timer);
    }
    now = until;
  }
  // Runs what the other threads posted until `done` holds or `limitMs` pass.
  bool Await(const std::function<bool()>& done, int limitMs = 3000) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    for (;;) {
      std::deque<std::function<void()>> tasks;
      {
        std::unique_lock lock(mutex_);
        if (posts_.empty() && !done() && !(lineFd >= 0 && Readable(lineFd)))
          posted_.wait_until(lock, std::min(limit, std::chrono::steady_clock::now() + std::chrono::milliseconds(10)),
                             [&] { return !posts_.empty(); });
        tasks.swap(posts_);
      }
      for (auto& task : tasks) task();
      if (lineFd >= 0 && Readable(lineFd)) supervisor->OnReadable(Watch::Line);
      if (done()) return true;
      if (tasks.empty() && std::chrono::steady_clock::now() >= limit) return false;
    }
  }

 private:
  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<std::function<void()>> posts_;
};

// What the user would be told, one line each.
class RecordingView : public ILinkView {
 public:
  std::vector<std::string> told;
  std::size_t received = 0;
  bool Has(const std::string& start) const {
    for (const std::string& line : told)
      if (line.rfind(start, 0) == 0) return true;
    return false;
  }
  int Count(const std::string& start) const {
    int n = 0;
    for (const std::string& line : told) n += line.rfind(start, 0) == 0;
    return n;
  }
  // Every move the link makes must be one its table allows.
  const LinkSupervisor* link = nullptr;
  S last = S::Closed;
  int disallowed = 0;
  void StateChanged() override {
    disallowed += !LinkSupervisor::MayMove(last, link->state());
    last = link->state();
  }
  void Opened() override { told.push_back("opened"); }
  void Closed(const std::string& reason) override { told.push_back("closed " + reason); }
  void Lost(const std::string& reason) override { told.push_back("lost " + reason); }
  void Reopened() override { told.push_back("reopened"); }
  void Tip(const std::string&) override {}
  void Failed(const std::string& reason, bool inBox) override {
    told.push_back((inBox ? "box " : "nok ") + reason);
  }
  void Note(const std::string&) override {}
  void Received(const uint8_t*, uint32_t count) override { received += count; }
};

const std::vector<uint8_t> kAnswer{0x0F, 0x00, 0x7F, 0x01, 0x00};

struct Rig {
  Rig() {
    char name[] = "/tmp/verdelo-link-XXXXXX";
    dir = ::mkdtemp(name);
    host.supervisor = &link;
    view.link = &link;
  }
  ~Rig() { fs::remove_all(dir); }
  // Points the device's name at a new pseudo-terminal, as udev does.
  void PlugIn() {
    pty = std::make_unique<PtyPair>();
    fs::create_symlink(pty->SlavePath(), device() + ".new");
    fs::rename(device() + ".new", device());
  }
  void Unplug() {
    pty->CloseMaster();
    fs::remove(device());
  }
  std::string device() const { return (fs::path(dir) / "ttyMower").string(); }

  std::string dir;
  FakeHost host;
  RecordingView view;
  LinkSupervisor link{host, view};
  std::unique_ptr<PtyPair> pty;
};

struct Scenario {
  const char* name;
  std::function<void(Rig&)> run;
};

const Scenario kScenarios[] = {
    {"click open", [](Rig& r) {
       r.PlugIn();
       r.link.Open(r.device(), 19200);
       EXPECT_EQ(r.link.state(), S::Open);
       EXPECT_EQ(r.link.line().GetBaudRate(), 19200);
       r.pty->Send(kAnswer);
       EXPECT_TRUE(r.host.Await([&] { return r.view.received == 5; }));
     }},
    {"device absent at start", [](Rig& r) {
       r.link.OpenAtStart(r.device(), 9600);
       EXPECT_EQ(r.link.state(), S::AbsentWaiting);
       EXPECT_TRUE(r.view.Has("nok There is no device")) << r.view.told.at(0);
       EXPECT_GE(r.host.watched, 0);
       r.PlugIn();
       r.link.OnReadable(Watch::Device);
       EXPECT_EQ(r.link.state(), S::Open);
       EXPECT_EQ(r.host.watched, -1);
       EXPECT_FALSE(r.view.Has("box"));
     }},
    {"lost and back", [](Rig& r) {
       r.PlugIn();
       r.link.Open(r.device(), 9600);
       r.Unplug();
       ASSERT_TRUE(r.host.Await([&] { return r.link.state() == S::LostWaiting; }));
       EXPECT_EQ(r.link.StateWords(), "lost: device gone, waiting");
       EXPECT_TRUE(r.view.Has("lost " + r.device() + " is gone"));
       r.PlugIn();
       r.host.Advance(1000);  // the look once a second
       EXPECT_EQ(r.link.state(), S::Open);
       EXPECT_EQ(r.view.told.back(), "reopened");
     }},
    {"lost for good", [](Rig& r) {
       r.link.SetAutoReopen(false);
       r.PlugIn();
       r.link.Open(r.device(), 9600);
       r.Unplug();
       ASSERT_TRUE(r.host.Await([&] { return r.link.state() == S::Lost; }));
       EXPECT_FALSE(r.link.IsWaiting());
       EXPECT_TRUE(r.host.due.empty());
       EXPECT_EQ(r.host.watched, -1);
     }},
    {"bridge refused then up", [](Rig& r) {
       LoopbackBridge bridge("127.0.0.1", 0, -1);
       r.link.OpenAtStart(bridge.Address("tcp"), 9600);
       EXPECT_EQ(r.link.state(), S::AbsentRetrying);
       EXPECT_TRUE(r.view.Has("nok The bridge")) << r.view.told.back();
       EXPECT_NE(r.view.told.back().find("Trying again in 1 s."), std::string::npos);
       r.host.Advance(1000);  // refused again: the next try 2 s on
       EXPECT_EQ(r.host.due.at(Timer::Retry), 3000);
       ASSERT_TRUE(bridge.Listen());
       r.host.Advance(2000);
       ASSERT_TRUE(r.host.Await([&] { return r.link.IsOpen(); }));
       EXPECT_EQ(r.link.state(), S::Reopened);  // not told until the mower answers
       ASSERT_TRUE(bridge.Accept());
       bridge.Send(kAnswer);
       ASSERT_TRUE(r.host.Await([&] { return r.view.Has("reopened"); }));
       EXPECT_EQ(r.link.state(), S::Open);
     }},
    {"bridge drops every connection", [](Rig& r) {
       LoopbackBridge bridge;
       r.link.Open(bridge.Address("tcp"), 9600);
       ASSERT_TRUE(r.host.Await([&] { return r.link.IsOpen(); }));
       for (long step : {1000, 2000, 4000}) {  // never sound: the pauses grow
         ASSERT_TRUE(bridge.Accept());
         bridge.Close();
         ASSERT_TRUE(r.host.Await([&] { return r.link.state() == S::LostRetrying; }));
         EXPECT_EQ(r.host.due.at(Timer::Retry) - r.host.now, step);
         r.host.Advance(step);
         ASSERT_TRUE(r.host.Await([&] { return r.link.state() == S::Reopened; }));
       }
       EXPECT_EQ(r.view.Count("lost"), 1);  // the untold reopenings were never back
       EXPECT_EQ(r.view.Count("reopened"), 0);
     }},
    {"close during a connect", [](Rig& r) {
       LoopbackBridge silent;  // takes the connection, never negotiates
       r.link.Open(silent.Address("rfc2217"), 9600);
       ASSERT_TRUE(silent.Accept());
       EXPECT_EQ(r.link.state(), S::Connecting);
       EXPECT_EQ(r.link.StateWords(), "connecting");
       r.link.Close();
       EXPECT_EQ(r.link.state(), S::Closed);
       const auto start = std::chrono::steady_clock::now();
       ASSERT_TRUE(r.host.Await([&] { return !r.link.IsConnecting(); }));
       EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
       EXPECT_FALSE(r.view.Has("box"));
       EXPECT_FALSE(r.link.line().IsOpen());
     }},
    {"another port chosen during a retry", [](Rig& r) {
       LoopbackBridge bridge("127.0.0.1", 0, -1);
       r.link.OpenAtStart(bridge.Address("tcp"), 9600);
       ASSERT_EQ(r.link.state(), S::AbsentRetrying);
       r.link.Close();
       r.PlugIn();
       r.link.Open(r.device(), 9600);
       EXPECT_TRUE(r.host.due.empty());  // no try left to come
       ASSERT_TRUE(bridge.Listen());
       r.host.Advance(60000);
       EXPECT_EQ(r.link.state(), S::Open);
       EXPECT_FALSE(r.link.line().IsNetworkLine());
     }},
    {"stale notification from an earlier open", [](Rig& r) {
       r.PlugIn();
       r.link.Open(r.device(), 9600);
       r.Unplug();
       r.link.Close();
       r.PlugIn();
       r.link.Open(r.device(), 9600);
       r.host.Await([] { return false; }, 200);  // nothing more comes
       EXPECT_EQ(r.link.state(), S::Open);
       EXPECT_FALSE(r.view.Has("lost"));
       // A connect done within the click's grace still sends its word: it
       // must not end the connect of the next open.
       LoopbackBridge bridge, silent;
       r.link.Close();
       r.link.Open(bridge.Address("tcp"), 9600);
       ASSERT_EQ(r.link.state(), S::Open);
       r.link.Close();
       r.link.Open(silent.Address("rfc2217"), 9600);
       r.host.Await([] { return false; }, 200);
       EXPECT_EQ(r.link.state(), S::Connecting);
     }},
};

TEST(LinkSupervisor, MovesThroughItsStatesAsTheLinkComesAndGoes) {
  for (const Scenario& scenario : kScenarios) {
    SCOPED_TRACE(scenario.name);
    Rig rig;
    scenario.run(rig);
    EXPECT_EQ(rig.view.disallowed, 0);
    EXPECT_EQ(rig.host.lineFd >= 0, rig.link.IsOpen());
  }
}

}  // namespace
}  // namespace verdelo
