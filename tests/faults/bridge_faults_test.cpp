// The console window reaching the mower through a network bridge: the
// virtual mower serving a TCP port itself, and ser2net in front of its
// pseudo-terminal, raw and with RFC 2217. The bridge goes away mid-run and
// comes back, or is not there at start. Real time, real event loop, every
// peer started here on loopback and stopped again.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <QElapsedTimer>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "console/control_ids.h"
#include "tests/e2e/mower_process.h"
#include "tests/e2e/records.h"
#include "tests/faults/console_window.h"
#include "tests/faults/fault_support.h"
#include "tests/serial/loopback_bridge.h"
#include "tests/serial/ser2net_bridge.h"
#include "tests/support/qt_wait.h"
#include "widgets/traffic_list.h"

namespace verdelo::test {
namespace {

constexpr int kPollMs = 20;
const std::string kEmptyVoltage = "Voltage(mV) :";

class BridgeFaults : public ::testing::Test {
 protected:
  void TearDown() override { window_.reset(); }

  // The mower serving `listen` ("0" for a free port); its address.
  std::string StartMower(MowerProcess& mower, const std::string& listen) {
    std::string error;
    EXPECT_TRUE(mower.Start(VERDELO_MOWER_PATH,
                            {"--tcp", listen, "--start", "22:00", "--phase", "timer"},
                            dir_.path() / "mower.err", error))
        << error;
    return mower.device();
  }
  void StartConsole(const std::string& device, std::vector<std::string> extra = {}) {
    extra.push_back("[COMPORT_EXPERT_MODE]");
    window_ = StartConsoleWindow(dir_.path(), dir_.path() / "config.txt", device, kPollMs, extra);
  }

  CPortControlDlg& Port() { return window_->portDialog(); }
  std::string PortStatus() { return PortStatusLabel(*window_)->text().toStdString(); }
  std::string PortReason() { return PortStatusLabel(*window_)->toolTip().toStdString(); }
  std::string Label(int id) { return window_->controls().Text(id); }
  TrafficList& RxList() { return *qobject_cast<TrafficList*>(Port().Control(1000)); }
  // Answers of the mower have come since the RX list was last cleared.
  bool AnswersCame() {
    for (int i = 0; i < RxList().count(); ++i)
      if (RxList().text(i).startsWith("RX ")) return true;
    return false;
  }

  TempDir dir_;
  MessageBoxGuard boxes_;
  std::unique_ptr<CKelvoPCDlg> window_;
};

TEST_F(BridgeFaults, MowerKilledMidRunClosesTheLinkWithItsReasonCostsLittleAndIsReconnected) {
  auto mower = std::make_unique<MowerProcess>();
  const std::string address = StartMower(*mower, "0");
  ASSERT_EQ(address.rfind("tcp://127.0.0.1:", 0), 0u) << address;
  StartConsole(address);
  ASSERT_EQ(Port().portOpen(), 1);
  ASSERT_TRUE(AwaitEvents([&] { return Label(IDC_VOLTAGE) != kEmptyVoltage; }));

  mower->Stop();  // the bridge dies: the kernel closes its end
  ASSERT_TRUE(AwaitEvents([&] { return Port().portOpen() == 0; }));
  EXPECT_EQ(PortStatus(), "PORT CLOSED");
  EXPECT_NE(PortReason().find(address + " is gone: the bridge"), std::string::npos) << PortReason();
  EXPECT_NE(PortReason().find("Trying again in 1 s"), std::string::npos) << PortReason();
  EXPECT_TRUE(Port().link().IsWaiting());

  // Nobody listens now: the tries are refused, cheaply, and the poll cycle
  // runs on.
  const long cpuBefore = ProcessCpuMs();
  std::set<int> steps;
  QElapsedTimer span;
  span.start();
  while (span.elapsed() < 1500) {
    RunEvents(20);
    steps.insert(window_->console().pollStep());
  }
  EXPECT_LT(ProcessCpuMs() - cpuBefore, 300) << "CPU time in 1.5 s without the bridge";
  EXPECT_GE(steps.size(), 5u) << "the poll cycle stopped";
  EXPECT_EQ(Port().portOpen(), 0);
  EXPECT_NE(PortReason().find("connection refused"), std::string::npos) << PortReason();

  // Back on the same port: reconnected at the next try (2 s after the last).
  mower = std::make_unique<MowerProcess>();
  ASSERT_EQ(StartMower(*mower, address.substr(address.rfind(':') + 1)), address);
  RxList().Clear();
  ASSERT_TRUE(AwaitEvents([&] { return Port().portOpen() == 1; }, 4000));
  EXPECT_FALSE(Port().link().IsWaiting());
  EXPECT_TRUE(AwaitEvents([&] { return AnswersCame(); }));

  std::vector<std::string> link;
  std::string error;
  if (const auto lines = ParseDataLog(dir_.path() / "Moro-log.txt", error))
    for (const LogLine& line : *lines)
      if (line.text.rfind("=> Link", 0) == 0) link.push_back(line.text);
  ASSERT_EQ(link.size(), 2u) << error;
  EXPECT_EQ(link[0].rfind("=> Link lost: " + address + " is gone", 0), 0u) << link[0];
  EXPECT_EQ(link[1], "=> Link reopened");
  EXPECT_TRUE(boxes_.texts().empty());
}

TEST_F(BridgeFaults, BridgeUnreachableAtStartHoldsNothingUpAndIsConnectedOnceItListens) {
  auto reserved = std::make_unique<LoopbackBridge>("127.0.0.1", 0, -1);  // nobody listens
  const std::string address = reserved->Address("tcp");
  const std::string port = address.substr(address.rfind(':') + 1);
  StartConsole(address);
  EXPECT_TRUE(boxes_.texts().empty());
  EXPECT_EQ(PortStatus(), "COM-port NOK");
  EXPECT_NE(PortReason().find("connection refused"), std::string::npos) << PortReason();
  EXPECT_TRUE(Port().link().IsWaiting());
  std::set<int> steps;
  AwaitEvents([&] {
    steps.insert(window_->console().pollStep());
    return steps.size() >= 3;
  });
  EXPECT_GE(steps.size(), 3u) << "start-up stopped short of the poll cycle";

  reserved.reset();  // the port is free for the mower
  MowerProcess mower;
  ASSERT_EQ(StartMower(mower, port), address);
  ASSERT_TRUE(AwaitEvents([&] { return Port().portOpen() == 1; }, 4000));
  EXPECT_EQ(PortStatus(), "PORT OPENED");
  EXPECT_TRUE(AwaitEvents([&] { return Label(IDC_VOLTAGE) != kEmptyVoltage; }));
  EXPECT_TRUE(boxes_.texts().empty());
}

// ser2net bridges the pseudo-terminal the mower sits on. Raw, the bytes
// pass as they are; with RFC 2217 the speed chosen in the port window
// reaches the mower's line too.
TEST_F(BridgeFaults, Ser2netRawAndRfc2217CarryTheConsoleAndTheChosenSpeed) {
  if (!Ser2netBridge::Installed()) GTEST_SKIP() << "ser2net is not installed";
  for (const bool telnet : {false, true}) {
    SCOPED_TRACE(telnet ? "rfc2217" : "raw");
    MowerProcess mower;
    std::string error;
    ASSERT_TRUE(mower.Start(VERDELO_MOWER_PATH, {"--start", "22:00", "--phase", "timer"},
                            dir_.path() / "mower.err", error))
        << error;
    Ser2netBridge bridge(mower.device(), telnet);
    ASSERT_TRUE(bridge.ok());
    StartConsole(bridge.Address(), {"[COMSPEED]2"});
    ASSERT_EQ(Port().portOpen(), 1);
    EXPECT_TRUE(AwaitEvents([&] { return Label(IDC_VOLTAGE) != kEmptyVoltage; }));
    EXPECT_EQ(Port().link().line().GetBaudRate(), 115200);
    if (telnet) {
      const int line = ::open(mower.device().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
      ASSERT_GE(line, 0);
      termios settings{};
      ASSERT_EQ(::tcgetattr(line, &settings), 0);
      ::close(line);
      EXPECT_EQ(::cfgetospeed(&settings), static_cast<speed_t>(B115200));
    }
    window_.reset();
  }
  EXPECT_TRUE(boxes_.texts().empty());
}

}  // namespace
}  // namespace verdelo::test
