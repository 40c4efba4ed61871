// The port on a network bridge played by the test on loopback: raw TCP and
// RFC 2217, the failures Open tells apart, and a connection that ends,
// resets or stops taking bytes. Calls that wait for the bridge run aside
// (std::async) while the test plays the bridge; every wait has a deadline.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <vector>

#include "serial/com_line.h"
#include "serial/net_failure.h"
#include "serial/telnet_codec.h"
#include "tests/serial/loopback_bridge.h"
#include "tests/serial/notify_recorder.h"
#include "tests/serial/pty_pair.h"

namespace verdelo {
namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;
using test::LoopbackBridge;
using namespace telnet;

constexpr uint8_t kOptionEcho = 1;  // an option the line refuses

// Reads through the line until `count` bytes came, waiting for each arrival.
Bytes ReadAll(CComLine& line, std::size_t count) {
  Bytes got;
  uint8_t buffer[300];
  while (got.size() < count) {
    if (line.WaitForEvent(nullptr, 3000) != 0) break;
    uint32_t n = 0;
    EXPECT_EQ(line.Read(buffer, sizeof buffer, &n, nullptr, INFINITE), 0);
    got.insert(got.end(), buffer, buffer + n);
  }
  return got;
}

template <typename T>
T Within(std::future<T>& pending, int ms = 3000) {
  if (pending.wait_for(std::chrono::milliseconds(ms)) != std::future_status::ready) {
    ADD_FAILURE() << "no result in " << ms << " ms";
    return T{-1};
  }
  return pending.get();
}

TEST(NetLine, RawBridgeCarriesEveryByteValueAndKeepsTheLineValuesAsSet) {
  for (const char* host : {"127.0.0.1", "::1"}) {
    LoopbackBridge bridge(host);
    if (!bridge.ok()) continue;  // no IPv6 loopback here
    CComLine line;
    ASSERT_EQ(line.Open(bridge.Address("tcp"), 0, 0, true), 0) << host;
    ASSERT_TRUE(bridge.Accept());
    EXPECT_TRUE(line.IsNetworkLine());
    EXPECT_NE(line.NetworkNote().find("raw TCP"), std::string::npos);
    ASSERT_EQ(line.Configure(19200, 7, kParityOdd, kStopBitsTwo), 0);
    ASSERT_EQ(line.SetFlowControl(kFlowSoftware), 0);
    EXPECT_EQ(line.Configure(12345, 8, 0, 0), EINVAL);
    EXPECT_EQ(line.GetBaudRate(), 19200);
    EXPECT_EQ(line.GetDataBits(), 7);
    EXPECT_EQ(line.GetParity(), kParityOdd);
    EXPECT_EQ(line.GetStopBits(), kStopBitsTwo);
    EXPECT_EQ(line.GetFlowControl(), kFlowSoftware);

    const Bytes all = test::AllByteValues();
    bridge.Send(all);
    EXPECT_EQ(ReadAll(line, all.size()), all);
    EXPECT_EQ(line.WaitForEvent(nullptr, 20), ERROR_TIMEOUT);  // nothing more, no repeat
    uint32_t written = 0;
    ASSERT_EQ(line.Write(all.data(), 256, &written, nullptr, INFINITE), 0);
    EXPECT_EQ(bridge.Receive(256), all);
  }
}

TEST(NetLine, OpenTellsTheFailuresApart) {
  CComLine line;
  line.SetNetworkTimeLimit(300);
  EXPECT_EQ(line.Open("tcp://bridge:port", 0, 0, true), ERROR_INVALID_NETNAME);
  const int32_t unknown = line.Open("tcp://verdelo-no-such-host.invalid:4001", 0, 0, true);
  EXPECT_TRUE(unknown == ERROR_HOST_NOT_FOUND || unknown == ERROR_HOST_LOOKUP_FAILED) << unknown;

  LoopbackBridge deaf("127.0.0.1", 0, -1);  // bound, not listening
  EXPECT_EQ(line.Open(deaf.Address("tcp"), 0, 0, true), ECONNREFUSED);

  // A listener whose backlog is full drops the handshake: no answer.
  LoopbackBridge busy("127.0.0.1", 0, 0);
  ASSERT_TRUE(busy.FillBacklog());
  const auto start = Clock::now();
  EXPECT_EQ(line.Open(busy.Address("tcp"), 0, 0, true), ETIMEDOUT);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(290));
  EXPECT_FALSE(line.IsOpen());

  EXPECT_EQ(DescribeNetworkFailure(ERROR_HOST_NOT_FOUND), "unknown host");
  EXPECT_EQ(DescribeNetworkFailure(ECONNREFUSED), "connection refused");
  EXPECT_EQ(DescribeNetworkFailure(ETIMEDOUT), "no answer in 5 s");
  EXPECT_EQ(DescribeNetworkFailure(ENOENT), "");
}

TEST(NetLine, ClosedConnectionDeliversItsLastBytesThenIsALostLine) {
  LoopbackBridge bridge;
  test::NotifyRecorder recorder;
  CNotifyingComLine line;
  ASSERT_EQ(line.Open(bridge.Address("tcp"), &recorder, 0, 0, 0, 0), 0);
  ASSERT_TRUE(bridge.Accept());
  bridge.Send({'b', 'y', 'e'});
  ASSERT_TRUE(recorder.WaitFor(1));
  EXPECT_EQ(recorder.Received()[0].param1, EV_RXCHAR);
  uint8_t buffer[8];
  uint32_t count = 0;
  ASSERT_EQ(line.Read(buffer, sizeof buffer, &count, nullptr, INFINITE), 0);
  EXPECT_EQ(std::string(buffer, buffer + count), "bye");

  bridge.Close();
  ASSERT_TRUE(recorder.WaitFor(2));
  EXPECT_EQ(recorder.Received()[1].param1 >> 16, kLineErrorDeviceLost);
  EXPECT_TRUE(line.WaitListenerEnd(3000));  // it reported once and ended
  EXPECT_EQ(recorder.Count(), 2u);
  EXPECT_EQ(line.LostCause(), ERROR_GRACEFUL_DISCONNECT);
  EXPECT_EQ(line.Write("x", &count, nullptr, INFINITE), kDeviceLostErrno);
}

TEST(NetLine, ResetConnectionIsLostWithItsCause) {
  LoopbackBridge bridge;
  CComLine line;
  ASSERT_EQ(line.Open(bridge.Address("tcp"), 0, 0, true), 0);
  ASSERT_TRUE(bridge.Accept());
  bridge.Close(true);
  EXPECT_EQ(line.WaitForEvent(nullptr, 3000), kDeviceLostErrno);
  EXPECT_EQ(line.LostCause(), ECONNRESET);
  EXPECT_EQ(DescribeLineLoss(line.LostCause()), "the bridge reset the connection");
}

TEST(NetLine, BridgeThatStopsReadingHitsTheStallLimit) {
  LoopbackBridge bridge("127.0.0.1", 4096);
  CComLine line;
  ASSERT_EQ(line.Open(bridge.Address("tcp"), 0, 0, true), 0);
  const Bytes big(16 << 20, 0x55);  // more than the socket buffers hold
  uint32_t written = 0;
  EXPECT_EQ(line.Write(big.data(), static_cast<uint32_t>(big.size()), &written, nullptr, 50),
            ERROR_TIMEOUT);
  EXPECT_FALSE(line.IsLineLost());  // the caller chose that limit
  // The stall limit on a connection of its own, whose buffers start empty.
  LoopbackBridge fresh("127.0.0.1", 4096);
  line.Close();
  ASSERT_EQ(line.Open(fresh.Address("tcp"), 0, 0, true), 0);
  line.SetWriteStallLimit(100);
  EXPECT_EQ(line.Write(big.data(), static_cast<uint32_t>(big.size()), &written, nullptr, INFINITE),
            ERROR_TIMEOUT);
  EXPECT_GT(written, 0u);
  EXPECT_TRUE(line.IsLineLost());
  EXPECT_EQ(line.LostCause(), ERROR_TIMEOUT);
}

Bytes Sub(std::initializer_list<uint8_t> parameters) {
  Bytes out;
  AppendSubnegotiation(kOptionComPort, parameters, out);
  return out;
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// The bridge's side of the opening: the client's offer, the bridge's
// acceptance, the client's 8N1 / no flow requests and the bridge's answers.
void OpenRfc2217(CComLine& line, LoopbackBridge& bridge) {
  auto opened = std::async(std::launch::async,
                           [&] { return line.Open(bridge.Address("rfc2217"), 0, 0, true); });
  ASSERT_TRUE(bridge.Accept());
  EXPECT_EQ(bridge.Receive(15),
            (Bytes{kIac, kWill, 44, kIac, kWill, 0, kIac, kWill, 3, kIac, kDo, 0, kIac, kDo, 3}));
  bridge.Send({kIac, kDo, 44, kIac, kDo, 0, kIac, kWill, 0, kIac, kDo, 3, kIac, kWill, 3});
  EXPECT_EQ(bridge.Receive(38),
            Join({Sub({1, 0, 0, 0, 0}), Sub({2, 8}), Sub({3, 1}), Sub({4, 1}), Sub({5, 1})}));
  bridge.Send(Join(
      {Sub({101, 0, 0, 0x25, 0x80}), Sub({102, 8}), Sub({103, 1}), Sub({104, 1}), Sub({105, 1})}));
  ASSERT_EQ(Within(opened), 0);
}

TEST(NetLine, Rfc2217BridgeSetsTheLineAndEveryByteValuePassesAmidItsCommands) {
  LoopbackBridge bridge;
  CComLine line;
  ASSERT_NO_FATAL_FAILURE(OpenRfc2217(line, bridge));
  EXPECT_EQ(line.GetBaudRate(), 9600);  // the bridge's rate, asked for at Open

  auto configured = std::async(std::launch::async,
                               [&] { return line.Configure(19200, 7, kParityEven, kStopBitsTwo); });
  EXPECT_EQ(bridge.Receive(31),
            Join({Sub({1, 0, 0, 0x4B, 0}), Sub({2, 7}), Sub({3, 3}), Sub({4, 2})}));
  bridge.Send(Join({Sub({101, 0, 0, 0x4B, 0}), Sub({102, 7}), Sub({103, 3}), Sub({104, 2})}));
  EXPECT_EQ(Within(configured), 0);
  EXPECT_EQ(line.GetDataBits(), 7);
  EXPECT_EQ(line.GetParity(), kParityEven);
  EXPECT_EQ(line.GetStopBits(), kStopBitsTwo);
  // A rate the bridge does not take: the getters show the one it kept.
  configured = std::async(std::launch::async, [&] { return line.Configure(115200, 8, 0, 0); });
  bridge.Receive(31);
  bridge.Send(Join({Sub({101, 0, 0, 0x4B, 0}), Sub({102, 8}), Sub({103, 1}), Sub({104, 1})}));
  EXPECT_EQ(Within(configured), EINVAL);
  EXPECT_EQ(line.GetBaudRate(), 19200);

  // Commands alone are not input.
  bridge.Send(Sub({107, 0x30}));
  EXPECT_EQ(line.WaitForEvent(nullptr, 50), ERROR_TIMEOUT);
  const Bytes all = test::AllByteValues();
  Bytes wire;
  AppendEscaped(all.data(), 128, wire);
  wire.insert(wire.end(), {kIac, 241});  // NOP
  wire = Join({wire, Sub({106, 0x60})});
  AppendEscaped(all.data() + 128, 128, wire);
  bridge.Send(wire);
  EXPECT_EQ(ReadAll(line, 256), all);
  uint32_t written = 0;
  ASSERT_EQ(line.Write(all.data(), 256, &written, nullptr, INFINITE), 0);
  EXPECT_EQ(written, 256u);
  Bytes escaped;
  AppendEscaped(all.data(), all.size(), escaped);
  EXPECT_EQ(bridge.Receive(257), escaped);

  // Last words and the closing arrive together: the words come first.
  bridge.Send({'e', 'n', 'd', kIac, kIac});
  bridge.Close();
  EXPECT_EQ(ReadAll(line, 4), (Bytes{'e', 'n', 'd', 0xFF}));
  EXPECT_EQ(line.WaitForEvent(nullptr, 3000), kDeviceLostErrno);
  EXPECT_EQ(line.LostCause(), ERROR_GRACEFUL_DISCONNECT);
}

// Megabytes of 0xFF fill the socket again and again, so its partial writes
// split many IAC IAC pairs; each must still arrive whole.
TEST(NetLine, Rfc2217WriteSplitByAFullSocketArrivesWhole) {
  LoopbackBridge bridge;
  CComLine line;
  ASSERT_NO_FATAL_FAILURE(OpenRfc2217(line, bridge));
  Bytes data(4 << 20, 0xFF);
  for (std::size_t i = 0; i < data.size(); i += 7) data[i] = static_cast<uint8_t>(i);
  auto wrote = std::async(std::launch::async, [&] {
    return line.Write(data.data(), static_cast<uint32_t>(data.size()), nullptr, nullptr, INFINITE);
  });
  Bytes escaped;
  AppendEscaped(data.data(), data.size(), escaped);
  const Bytes got = bridge.Receive(escaped.size(), 10000);
  EXPECT_EQ(Within(wrote), 0);
  EXPECT_TRUE(got == escaped) << got.size() << " of " << escaped.size() << " bytes, or others";
}

TEST(NetLine, Rfc2217BridgeThatRefusesTheOptionIsUsedRaw) {
  LoopbackBridge bridge;
  CComLine line;
  auto opened = std::async(std::launch::async,
                           [&] { return line.Open(bridge.Address("rfc2217"), 0, 0, true); });
  ASSERT_TRUE(bridge.Accept());
  bridge.Receive(15);
  bridge.Send({kIac, kDont, 44});
  ASSERT_EQ(Within(opened), 0);
  EXPECT_NE(line.NetworkNote().find("refused the COM port option"), std::string::npos);
  ASSERT_EQ(line.Configure(19200, 8, 0, 0), 0);  // kept, nothing sent
  EXPECT_EQ(line.GetBaudRate(), 19200);
  ASSERT_EQ(line.Write("\xFF", nullptr, nullptr, INFINITE), 0);
  EXPECT_EQ(bridge.Receive(2), (Bytes{kIac, kIac}));  // still Telnet
}

TEST(NetLine, Rfc2217BridgeThatNeverAnswersIsNoAnswer) {
  LoopbackBridge bridge;
  CComLine line;
  line.SetNetworkTimeLimit(200);
  auto opened = std::async(std::launch::async,
                           [&] { return line.Open(bridge.Address("rfc2217"), 0, 0, true); });
  ASSERT_TRUE(bridge.Accept());
  EXPECT_EQ(Within(opened), ETIMEDOUT);
  EXPECT_FALSE(line.IsOpen());
}

// A set-up the bridge keeps waiting, broken off from another thread at each
// step, ends at once whatever the time limit; the settings that follow too.
TEST(NetLine, Rfc2217SetUpBrokenOffEndsAtOnceInEveryStep) {
  for (const std::size_t asked : {0u, 38u, 31u}) {  // the offers, opening settings, Configure
    SCOPED_TRACE(asked);
    LoopbackBridge bridge;
    CComLine line;
    if (asked == 31) {
      ASSERT_NO_FATAL_FAILURE(OpenRfc2217(line, bridge));
    }
    auto waiting = std::async(std::launch::async, [&] {
      return asked == 31 ? line.Configure(19200, 8, kParityNone, kStopBitsOne)
                         : line.Open(bridge.Address("rfc2217"), 0, 0, true);
    });
    if (asked != 31) {
      ASSERT_TRUE(bridge.Accept());
      EXPECT_EQ(bridge.Receive(15).size(), 15u);
      if (asked == 38) bridge.Send({kIac, kDo, 44});
    }
    EXPECT_EQ(bridge.Receive(asked).size(), asked);
    const auto start = Clock::now();
    line.BreakOffNetworkWaits();
    EXPECT_EQ(Within(waiting, 1000), ERROR_OPERATION_ABORTED);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_EQ(line.SetFlowControl(kFlowOff),
              line.IsOpen() ? ERROR_OPERATION_ABORTED : ERROR_INVALID_HANDLE);
  }
}

// A bridge that floods offers to refuse and never reads the refusals: past
// their bound the line is lost with its reason, rather than let them grow.
TEST(NetLine, Rfc2217BridgeThatFloodsNegotiationsAndNeverReadsIsALostLine) {
  LoopbackBridge bridge("127.0.0.1", 4096);
  CComLine line;
  ASSERT_NO_FATAL_FAILURE(OpenRfc2217(line, bridge));
  Bytes flood;
  for (int i = 0; i < (16 << 20) / 3; ++i) flood.insert(flood.end(), {kIac, kWill, kOptionEcho});
  auto flooding = std::async(std::launch::async, [&] {
    try { bridge.Send(flood); } catch (const std::exception&) {}  // the line gave up
  });
  EXPECT_EQ(line.WaitForEvent(nullptr, 5000), kDeviceLostErrno);
  EXPECT_EQ(line.LostCause(), ERROR_NEGOTIATION_BACKLOG);
  EXPECT_EQ(DescribeLineLoss(line.LostCause()),
            "the bridge sends negotiations faster than it reads them");
  line.Close();
  flooding.wait();
}

}  // namespace
}  // namespace verdelo
