// The console window in-process (offscreen), its port on a pseudo-terminal,
// with the port window's receive hook wrapped: every received byte is
// counted, then handed to MowerConsole::OnRxByte exactly as the program does.
//
//   console_harness flood   --mower PATH [--seconds 30] [--fps 2304] [--phases] [--expert] [--trends] [--tcp]
//                           [--mqtt URL]
//       verdelo-mower floods the line while the console polls; counts every
//       frame against the mower's trace and measures the process's CPU time
//       and wake-ups. --phases switches every second between the windows
//       shown, the windows hidden (nothing to paint) and the bytes only
//       counted (what is left is the serial layer and the event loop), and
//       gives the CPU time of each. --trends opens the Trends window, which
//       then draws the live values. --expert turns [COMPORT_EXPERT_MODE] on,
//       so every read and send adds a line to the port window's traffic
//       lists, and counts how often their views are refreshed. --tcp serves
//       the mower on a loopback TCP port (verdelo-mower --tcp) and the
//       console reaches it as tcp://127.0.0.1:PORT. --mqtt URL
//       publishes the telemetry to the broker there (which must be running)
//       and counts the state documents it sends a second; with --phases it
//       switches every second between the decoded values handed over to the
//       telemetry and kept back, and gives the CPU time of each.
//   console_harness latency [--answers 10000] [--baseline-p50 US] [--baseline-p99 US] [--tcp]
//       writes answers on the master one at a time and times each from the
//       write() to its label set, and from the label set to the label's
//       first paint event after it. --tcp writes them on a loopback TCP
//       connection instead, the harness being a raw bridge the console
//       connects to; the baseline is then the same run over a pty.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QGraphicsObject>
#include <QGraphicsScene>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <thread>

#include "bench/bench_util.h"
#include "bench/qt_main.h"
#include "bench/traffic_feed.h"
#include "console/control_ids.h"
#include "console/mower_frame.h"
#include "res/port_window_ids.h"
#include "shell/console_window/console_dlg.h"
#include "shell/telemetry/telemetry_bridge.h"

namespace verdelo::bench {
namespace {

class ConsoleUnderTest {
 public:
  explicit ConsoleUnderTest(const std::string& device, bool shown = true, bool expert = false,
                            bool trends = false, const std::string& mqtt = {}) {
    dir_ = MakeTempDir("verdelo-bench-console");
    // The Trends window keeps its place in the desktop's settings: here, ours.
    if (trends) ::setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
    WriteFile(dir_ + "/config.txt",
              ConsoleConfig(device, expert, trends) +
                  (mqtt.empty() ? std::string() : "[MQTT_BROKER]" + mqtt + "\r\n[MQTT_NAME]bench\r\n"));
    dlg_ = std::make_unique<CKelvoPCDlg>(ConsolePaths{dir_, dir_ + "/config.txt"});
    dlg_->OnInitDialog();
    dlg_->portDialog().SetRxByteHandler([this](std::uint32_t byte) {
      if (decode) dlg_->console().OnRxByte(byte);
      const bool frameDone = counter.Push(static_cast<std::uint8_t>(byte));
      if (afterByte) afterByte(frameDone);
    });
    Show(shown);
  }
  // Both windows shown, or both hidden (nothing to paint).
  void Show(bool shown) {
    dlg_->setVisible(shown);
    dlg_->portDialog().setVisible(shown);
  }
  ~ConsoleUnderTest() {
    dlg_.reset();
    RemoveTree(dir_);
  }
  CKelvoPCDlg& dlg() { return *dlg_; }

  FrameCounter counter;
  std::function<void(bool frameDone)> afterByte;
  bool decode = true;  // false: bytes are counted, not handed to the console

 private:
  std::string dir_;
  std::unique_ptr<CKelvoPCDlg> dlg_;
};

// Runs the event loop for `ms`, or until `done` holds (checked every 10 ms).
void RunEvents(int ms, const std::function<bool()>& done = {}) {
  QEventLoop loop;
  QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
  QTimer check;
  if (done) {
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
      if (done()) loop.quit();
    });
    check.start(10);
  }
  loop.exec();
}

// Notes when the window's thread is told that its line has news (the
// socket notifier on the line's events).
class NotifyWatch : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::SockAct) {
      deliveredNs = NowNs();
      ++delivered;
    }
    return QObject::eventFilter(watched, event);
  }
  std::int64_t deliveredNs = 0;
  long delivered = 0;
};

// Times each answer from its label's text set to the first paint event of
// that label after it: how long a new value waits to be drawn.
class PaintWatch : public QObject {
 public:
  explicit PaintWatch(std::vector<QWidget*> labels) : labels_(std::move(labels)), pending_(labels_.size()) {
    for (QWidget* label : labels_) label->installEventFilter(this);
  }
  void TextSet(std::size_t which, std::int64_t ns) { pending_[which].push_back(ns); }
  // Texts set that no paint has followed yet.
  long Unpainted() const {
    long count = 0;
    for (const auto& times : pending_) count += static_cast<long>(times.size());
    return count;
  }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Paint) return false;
    const std::int64_t now = NowNs();
    for (std::size_t i = 0; i < labels_.size(); ++i) {
      if (watched != labels_[i]) continue;
      for (const std::int64_t set : pending_[i]) toPaintUs.push_back(static_cast<double>(now - set) / 1000.0);
      pending_[i].clear();
    }
    return false;
  }
  std::vector<double> toPaintUs;

 private:
  std::vector<QWidget*> labels_;
  std::vector<std::vector<std::int64_t>> pending_;
};

// The CPU time the Trends window takes on the window's thread: every event
// delivered to it or to anything inside it (its refresh ticks, its charts'
// layouts and painting), timed with whatever it sets off, on this thread's
// clock. Each such event is handed on from here and timed around.
class WindowCost : public QObject {
 public:
  explicit WindowCost(const QWidget* window) : window_(window) {}
  std::int64_t ns = 0;

  bool eventFilter(QObject* receiver, QEvent* event) override {
    if (inside_ || !Inside(receiver)) return false;
    inside_ = true;
    const std::int64_t start = ThreadCpuNs();
    QCoreApplication::sendEvent(receiver, event);
    ns += ThreadCpuNs() - start;
    inside_ = false;
    return true;
  }

 private:
  static std::int64_t ThreadCpuNs() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
  }
  bool Inside(const QObject* o) const {
    if (const auto* item = qobject_cast<const QGraphicsObject*>(o); item && item->scene()) o = item->scene();
    for (; o != nullptr; o = o->parent())
      if (o == window_) return true;
    return false;
  }

  const QWidget* window_;
  bool inside_ = false;
};

// The three ways the flood is taken in by --phases, one after the other
// every second: the program as it is, with nothing to paint, and with the
// bytes not even decoded.
struct Phase {
  const char* name;
  bool shown;
  bool decode;
  bool telemetry = true;  // decoded values handed over to the MQTT telemetry
  std::int64_t cpuNs = 0;
  long frames = 0;
  long notifications = 0;
};

int Flood(const Args& args) {
  const std::string mowerProgram = args.Text("mower");
  const double seconds = args.Number("seconds", 30);
  const double fps = args.Number("fps", 2304);
  const bool phased = args.Has("phases");
  const bool expert = args.Has("expert");
  const bool trends = args.Has("trends");
  const bool tcp = args.Has("tcp");
  const std::string mqtt = args.Has("mqtt") ? args.Text("mqtt") : std::string();
  const long frames = static_cast<long>(fps * seconds + 0.5);

  const std::string traceDir = MakeTempDir("verdelo-bench-trace");
  const std::string trace = traceDir + "/trace.txt";
  MowerChild mower(mowerProgram, trace,
                   tcp ? std::vector<std::string>{"--tcp", "0"} : std::vector<std::string>{});
  if (!mower.ok()) {
    std::cerr << "console_harness: the mower did not start\n";
    return 1;
  }
  ConsoleUnderTest console(mower.device(), true, expert, trends, mqtt);
  // A bridge's connect may finish after start-up has returned.
  RunEvents(5000, [&] { return console.dlg().portDialog().portOpen() == 1; });
  if (!mqtt.empty()) {
    TelemetryBridge* telemetry = console.dlg().telemetry();
    RunEvents(5000, [&] { return telemetry && telemetry->telemetry().counts().connects > 0; });
    if (telemetry == nullptr || telemetry->telemetry().counts().connects == 0) {
      std::cerr << "console_harness: the telemetry did not connect to " << mqtt << "\n";
      return 1;
    }
  }
  if (trends && !console.dlg().trendsShown()) {
    std::cerr << "console_harness: [TRENDS_AT_START] did not open the Trends window\n";
    return 1;
  }
  if (console.dlg().portDialog().portOpen() != 1) {
    std::cerr << "console_harness: the console did not open " << mower.device() << "\n";
    return 1;
  }
  if (console.dlg().portDialog().expertMode() != expert) {
    std::cerr << "console_harness: the port window's expert mode is not " << (expert ? "on" : "off") << "\n";
    return 1;
  }
  // What the traffic lists' views were told: how often, and how many lines.
  TrafficWatch traffic({qobject_cast<TrafficList*>(console.dlg().portDialog().Control(port_window::IDC_RX_LIST)),
                        qobject_cast<TrafficList*>(console.dlg().portDialog().Control(port_window::IDC_TX_LIST))});
  // One request answered: the line is up both ways.
  console.dlg().console().SendFrame(CMD_READ_STATUS, 0);
  RunEvents(5000, [&] { return console.counter.frames >= 1; });
  // The Trends window's first drawing (fonts, layouts, every chart's first
  // values and value range) belongs to start-up, not to the flood: one
  // whole poll cycle first, so every charted value has come once.
  if (trends) RunEvents(7000);

  NotifyWatch watch;
  qApp->installEventFilter(&watch);
  std::optional<WindowCost> trendsCost;
  if (trends) {
    trendsCost.emplace(&console.dlg().trends());
    qApp->installEventFilter(&*trendsCost);
  }
  // With --mqtt the phases are the telemetry being handed the decoded
  // values and not: its own cost, measured beside the rest in one run.
  std::vector<Phase> phases = mqtt.empty() ? std::vector<Phase>{{"shown", true, true}, {"hidden", false, true},
                                                                 {"undecoded", false, false}}
                                           : std::vector<Phase>{{"handed_over", true, true, true},
                                                                {"kept_back", true, true, false}};
  const auto handOver = [&](bool on) {
    if (mqtt.empty()) return;
    MqttTelemetry& telemetry = console.dlg().telemetry()->telemetry();
    console.dlg().console().RemoveValueObserver(&telemetry);
    if (on) console.dlg().console().AddValueObserver(&telemetry);
  };
  std::size_t phase = 0;
  std::int64_t phaseCpu = 0;
  long phaseFrames = 0, phaseNotifications = 0;
  QTimer switcher;
  switcher.setTimerType(Qt::PreciseTimer);
  QObject::connect(&switcher, &QTimer::timeout, [&] {
    phases[phase].cpuNs += ProcessCpuNs() - phaseCpu;
    phases[phase].frames += console.counter.frames - phaseFrames;
    phases[phase].notifications += watch.delivered - phaseNotifications;
    phase = (phase + 1) % phases.size();
    console.decode = phases[phase].decode;
    console.Show(phases[phase].shown);
    handOver(phases[phase].telemetry);
    // Windows shown again are painted whole once; that belongs to no phase.
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    phaseCpu = ProcessCpuNs();
    phaseFrames = console.counter.frames;
    phaseNotifications = watch.delivered;
  });

  const std::string reply = mower.Command("flood " + Fixed(fps, 0) + " " + std::to_string(frames));
  const long frames0 = console.counter.frames;
  const long notifications0 = watch.delivered;
  const long refreshes0 = traffic.refreshes, lines0 = traffic.lines;
  const std::uint64_t states0 = mqtt.empty() ? 0 : console.dlg().telemetry()->telemetry().counts().states;
  MeasuringWindow window;
  window.Begin();
  const std::int64_t cpu0 = ProcessCpuNs();
  const std::int64_t trendsNs0 = trendsCost ? trendsCost->ns : 0;
  if (phased) {
    phaseCpu = cpu0;
    phaseFrames = frames0;
    phaseNotifications = notifications0;
    switcher.start(1000);
  }
  RunEvents(static_cast<int>(seconds * 1000) + 50);
  switcher.stop();
  window.End();
  const std::uint64_t windowStates =
      mqtt.empty() ? 0 : console.dlg().telemetry()->telemetry().counts().states - states0;
  const long windowFrames = console.counter.frames - frames0;
  const long windowNotifications = watch.delivered - notifications0;
  const long windowRefreshes = traffic.refreshes - refreshes0, windowLines = traffic.lines - lines0;
  qApp->removeEventFilter(&watch);
  const std::int64_t trendsNs = trendsCost ? trendsCost->ns - trendsNs0 : 0;
  if (trendsCost) qApp->removeEventFilter(&*trendsCost);
  console.decode = true;
  console.Show(true);
  handOver(true);

  // The tail, then the mower stops and what it sent last is taken in.
  RunEvents(300);
  mower.Stop();
  RunEvents(300);
  const TracedFrames sent = CountTracedFrames(trace);
  RemoveTree(traceDir);

  std::cout << "DETAIL|mower said '" << reply << "'; " << windowFrames << " frames in "
            << Fixed(window.WallMs() / 1000, 1) << " s, CPU " << Fixed(window.CpuMs(), 0) << " ms = "
            << Fixed(window.CpuShare(), 1) << "% of a core, " << window.Threads().threads << " threads; mower sent " << sent.flood << " flood + " << sent.answers
            << " answer frames, the hook counted " << console.counter.frames << " frames ("
            << console.counter.bytes << " bytes), " << console.counter.broken << " broken\n";
  if (phased) {
    // Whole phases only (the one running at the end is left out), per frame
    // and per notification: the fewer bytes a notification finds, the more
    // notifications there are, so the cost per frame alone mixes the two.
    for (const Phase& p : phases)
      std::cout << "VALUE|" << p.name << "_cpu_ms_per_1000|"
                << static_cast<double>(p.cpuNs) / 1e6 / static_cast<double>(p.frames) * 1000.0 << "\nVALUE|"
                << p.name << "_cpu_us_per_notification|"
                << static_cast<double>(p.cpuNs) / 1e3 / static_cast<double>(p.notifications) << "\n";
    std::cout << std::flush;
    return 0;
  }
  window.PrintRates(windowFrames, windowNotifications, "notification");
  if (expert) {
    // A run that showed no traffic measured nothing of the lists.
    if (windowLines == 0) {
      std::cerr << "console_harness: expert mode on, yet the traffic lists showed no line\n";
      return 1;
    }
    std::cout << "VALUE|traffic_refreshes_per_s|" << static_cast<double>(windowRefreshes) / (window.WallMs() / 1000)
              << "\nVALUE|traffic_lines_per_1000|"
              << static_cast<double>(windowLines) / static_cast<double>(windowFrames) * 1000.0 << "\n";
  }
  if (trends)
    std::cout << "VALUE|trends_window_cpu_ms_per_1000|"
              << static_cast<double>(trendsNs) / 1e6 / static_cast<double>(windowFrames) * 1000.0 << "\n";
  if (!mqtt.empty())
    std::cout << "VALUE|mqtt_states_per_s|" << static_cast<double>(windowStates) / (window.WallMs() / 1000)
              << "\n";
  std::cout << "VALUE|frames_sent|" << sent.total() << "\nVALUE|frames_counted|" << console.counter.frames
            << "\nVALUE|frames_broken|"
            << console.counter.broken << "\nVALUE|flood_short|" << (frames - sent.flood) << std::endl;
  return 0;
}

// A raw bridge of the harness's own on 127.0.0.1: a listening socket on a
// free port; Take() accepts the console's connection, non-blocking and
// without delaying small writes, as a bridge's socket would be.
class LoopbackListener {
 public:
  LoopbackListener() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(listener_, 1) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
      return;
    port_ = ntohs(address.sin_port);
  }
  ~LoopbackListener() {
    if (listener_ >= 0) ::close(listener_);
  }
  std::string Address() const { return "tcp://127.0.0.1:" + std::to_string(port_); }
  int Take() {
    pollfd pfd{listener_, POLLIN, 0};
    if (port_ == 0 || ::poll(&pfd, 1, 5000) != 1) return -1;
    const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    const int on = 1;
    if (fd >= 0) ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return fd;
  }

 private:
  int listener_ = -1;
  int port_ = 0;
};

int Latency(const Args& args) {
  const int answers = static_cast<int>(args.Number("answers", 10000));
  const bool tcp = args.Has("tcp");
  int master = -1;
  std::string name;
  LoopbackListener bridge;
  if (tcp) {
    name = bridge.Address();
  } else {
    int slave = -1;
    char path[128];
    termios raw{};
    cfmakeraw(&raw);
    if (::openpty(&master, &slave, path, &raw, nullptr) != 0) return 1;
    ::close(slave);  // the console opens it for itself alone
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    name = path;
  }

  ConsoleUnderTest console(name, true);
  if (tcp) {
    RunEvents(5000, [&] { return console.dlg().portDialog().portOpen() == 1; });
    master = bridge.Take();
  }
  if (console.dlg().portDialog().portOpen() != 1 || master < 0) {
    std::cerr << "console_harness: the console did not open " << name << "\n";
    return 1;
  }
  AnswerPacer pacer;
  // The two halves of each answer's way: from write() to the port window
  // getting the listener's notification, and from there to the label set.
  NotifyWatch watch;
  qApp->installEventFilter(&watch);
  std::vector<double> toNotifyUs, toLabelUs;
  toNotifyUs.reserve(static_cast<std::size_t>(answers));
  toLabelUs.reserve(static_cast<std::size_t>(answers));
  ControlTable& controls = console.dlg().controls();
  static constexpr int kLabels[] = {IDC_VOLTAGE, IDC_TEMPERATURE, IDC_BOUNDARY_FRONT, IDC_CURRENT};
  std::vector<QWidget*> labelWidgets;
  for (const int id : kLabels) labelWidgets.push_back(controls.Widget(id));
  PaintWatch painted(labelWidgets);
  std::string lastText[4];
  long unchanged = 0;
  int received = 0;
  console.afterByte = [&](bool frameDone) {
    if (!frameDone) return;
    const std::int64_t now = NowNs();
    pacer.Done(now);
    toNotifyUs.push_back(static_cast<double>(watch.deliveredNs - pacer.lastWriteNs) / 1000.0);
    toLabelUs.push_back(static_cast<double>(now - watch.deliveredNs) / 1000.0);
    // After the time is taken: the label really shows the new value.
    const int which = received++ % 4;
    std::string text = controls.Text(kLabels[which]);
    if (text == lastText[which]) ++unchanged;
    lastText[which] = std::move(text);
    painted.TextSet(static_cast<std::size_t>(which), now);
  };

  AnswerPacer::Result result;
  std::thread writer;
  QTimer::singleShot(200, [&] {
    writer = std::thread([&] {
      result = pacer.Run(master, answers);
      // Quitting closes the windows: the last answers' paints come first.
      QMetaObject::invokeMethod(
          qApp, [] { QTimer::singleShot(100, qApp, &QCoreApplication::quit); }, Qt::QueuedConnection);
    });
  });
  qApp->exec();
  writer.join();
  ::close(master);

  const double p50 = Percentile(result.latencyUs, 0.5);
  const double p99 = Percentile(result.latencyUs, 0.99);
  qApp->removeEventFilter(&watch);
  const std::string about = tcp ? "3 latency, console over a loopback TCP bridge" : "3 latency, console";
  PrintNote(about + ": " + DescribeLatency(result.latencyUs) + "; " + std::to_string(result.lost) +
            " lost, " + std::to_string(unchanged) + " labels unchanged");
  PrintNote(about + ", write() to the port window's notification: " + DescribeLatency(toNotifyUs));
  PrintNote(about + ", notification to label set (read, decode, label): " + DescribeLatency(toLabelUs));
  std::cout << "VALUE|latency_p50_us|" << p50 << "\nVALUE|latency_p99_us|" << p99 << std::endl;
  const double b50 = args.Number("baseline-p50", 0);
  const double b99 = args.Number("baseline-p99", 0);
  const bool clean = result.lost == 0 && unchanged == 0;
  if (tcp) {
    PrintRow("3 answer-to-label latency over TCP p50", Fixed(p50, 1) + " us", Fixed(b50, 1) + " us over a pty",
             Ratio(p50, b50), "-", clean ? "-" : "NO");
    PrintRow("3 answer-to-label latency over TCP p99", Fixed(p99, 1) + " us", Fixed(b99, 1) + " us over a pty",
             Ratio(p99, b99), "< 200 us", Met(p99 < 200 && clean));
    return 0;
  }
  PrintRow("3 answer-to-label latency p50", Fixed(p50, 1) + " us", Fixed(b50, 1) + " us bare poll+read",
           Ratio(p50, b50), "-", clean ? "-" : "NO");
  PrintRow("3 answer-to-label latency p99", Fixed(p99, 1) + " us", Fixed(b99, 1) + " us bare poll+read",
           Ratio(p99, b99), "< 200 us", Met(p99 < 200 && clean));
  // A label's new text waits for the window's next paint.
  const double paint99Ms = Percentile(painted.toPaintUs, 0.99) / 1000.0;
  const long unpainted = painted.Unpainted();
  PrintNote("3 answer to first paint of its label: " + DescribeLatency(painted.toPaintUs) + "; " +
            std::to_string(unpainted) + " never painted");
  PrintRow("3 answer to first paint p99", Fixed(paint99Ms, 2) + " ms", "-", "-", "<= 20 ms",
           Met(paint99Ms <= 20 && unpainted == 0 && !painted.toPaintUs.empty()));
  return 0;
}

}  // namespace
}  // namespace verdelo::bench

int main(int argc, char** argv) {
  using namespace verdelo::bench;
  return RunQtMode(argc, argv, "console_harness", {{"flood", Flood}, {"latency", Latency}});
}
