// The Telnet stream and the RFC 2217 client's side, bytes in and bytes out:
// commands split anywhere between two reads, IAC escaping, the option
// negotiation as ser2net opens it, and the bridge's answers.
#include <gtest/gtest.h>

#include <vector>

#include "serial/net_endpoint.h"
#include "serial/rfc2217.h"
#include "serial/telnet_codec.h"

namespace verdelo {
namespace {

using Bytes = std::vector<uint8_t>;
using namespace telnet;

TEST(TelnetCodec, CommandsAndEscapesSplitAtAnyPointDecodeTheSame) {
  // Data 0xFF doubled, a NOP, a negotiation, a subnegotiation holding a
  // doubled IAC, and one ended by a command other than SE.
  const Bytes stream = {'a',  kIac, kIac, 'b', kIac, 241,  kIac, kWill, 1, kIac, kSb, 44, 107, kIac,
                        kIac, 7,    kIac, kSe, 'c',  kIac, kSb,  44,    6, kIac, kDo, 3,  'd'};
  const Bytes data = {'a', 0xFF, 'b', 'c', 'd'};
  const std::vector<TelnetCommand> commands = {
      {kWill, 1, {}}, {kSb, 44, {107, 0xFF, 7}}, {kSb, 44, {6}}, {kDo, 3, {}}};
  for (std::size_t split = 0; split <= stream.size(); ++split) {
    TelnetDecoder decoder;
    Bytes gotData;
    std::vector<TelnetCommand> gotCommands;
    decoder.Decode(stream.data(), split, gotData, gotCommands);
    decoder.Decode(stream.data() + split, stream.size() - split, gotData, gotCommands);
    EXPECT_EQ(gotData, data) << "split at " << split;
    EXPECT_EQ(gotCommands, commands) << "split at " << split;
  }
}

std::vector<TelnetCommand> Commands(const Bytes& wire) {
  TelnetDecoder decoder;
  Bytes data;
  std::vector<TelnetCommand> commands;
  decoder.Decode(wire.data(), wire.size(), data, commands);
  return commands;
}

TEST(Rfc2217Client, AnswersSer2netsGreetingOnlyWhereItMustAndTakesTheOption) {
  Rfc2217Client client;
  Bytes offer;
  client.Start(offer);
  EXPECT_EQ(offer,
            (Bytes{kIac, kWill, 44, kIac, kWill, 0, kIac, kWill, 3, kIac, kDo, 0, kIac, kDo, 3}));
  // What ser2net 4 sends on connecting.
  const Bytes greeting = {kIac, kWill, 3,   kIac, kDo,  3,     kIac, kWill, 1,   kIac, kDont,
                          1,    kIac,  kDo, 0,    kIac, kWill, 0,    kIac,  kDo, 44};
  Bytes reply;
  bool settled = false;
  for (const TelnetCommand& command : Commands(greeting)) settled |= client.Handle(command, reply);
  EXPECT_TRUE(settled);
  EXPECT_EQ(client.State(), ComPortState::kAccepted);
  EXPECT_EQ(reply, (Bytes{kIac, kDont, 1}));  // never let the bridge echo
  // The bridge's acknowledgement of that refusal asks for nothing more.
  reply.clear();
  client.Handle({kWont, 1, {}}, reply);
  client.Handle({kDo, 5, {}}, reply);
  EXPECT_EQ(reply, (Bytes{kIac, kWont, 5}));

  Rfc2217Client refused;  // a bridge without the option says WONT before DO
  refused.Start(reply);
  EXPECT_TRUE(refused.Handle({kWont, 44, {}}, reply));
  EXPECT_EQ(refused.State(), ComPortState::kRefused);
}

TEST(Rfc2217Client, RequestsAreAwaitedAndTheAnswersAreTheValues) {
  Rfc2217Client client;
  Bytes out;
  client.RequestLine(0x0001C2FF, 7, kParityEven, kStopBitsTwo, out);
  client.RequestFlow(kFlowHardware, out);
  // The rate's 0xFF byte is doubled inside the subnegotiation.
  EXPECT_EQ(out, (Bytes{kIac, kSb, 44, 1, 0x00, 0x01, 0xC2, kIac, kIac, kIac, kSe,                //
                        kIac, kSb, 44, 2, 7,    kIac, kSe,  kIac, kSb,  44,   3,   3, kIac, kSe,  //
                        kIac, kSb, 44, 4, 2,    kIac, kSe,  kIac, kSb,  44,   5,   3, kIac, kSe}));
  EXPECT_TRUE(client.Awaiting());
  const Bytes answers = {
      kIac, kSb, 44,   107,  0x30, kIac, kSe,  // modem state: not an answer
      kIac, kSb, 44,   101,  0,    0,    0x4B, 0,   kIac, kSe,  kIac, kSb,  44,
      102,  7,   kIac, kSe,  kIac, kSb,  44,   103, 5,    kIac, kSe,  kIac, kSb,
      44,   104, 3,    kIac, kSe,  kIac, kSb,  44,  105,  8,    kIac, kSe,  // DTR on: not a flow
                                                                            // answer
      kIac, kSb, 44,   105,  3,    kIac, kSe};
  Bytes reply;
  for (const TelnetCommand& command : Commands(answers)) client.Handle(command, reply);
  EXPECT_FALSE(client.Awaiting());
  EXPECT_TRUE(reply.empty());
  const NetLineValues& values = client.Confirmed();
  EXPECT_EQ(values.baud, 19200u);  // what the bridge took, not what was asked
  EXPECT_EQ(values.dataBits, 7);
  EXPECT_EQ(values.parity, kParitySpace);
  EXPECT_EQ(values.stopBits, kStopBitsOneAndHalf);
  EXPECT_EQ(values.flow, kFlowHardware);
}

TEST(NetEndpoint, AddressForms) {
  NetEndpoint endpoint;
  ASSERT_EQ(ParseNetEndpoint("tcp://bridge.local:4001", endpoint), 0);
  EXPECT_EQ(endpoint.protocol, NetProtocol::kRawTcp);
  EXPECT_EQ(endpoint.host, "bridge.local");
  EXPECT_EQ(endpoint.port, 4001);
  ASSERT_EQ(ParseNetEndpoint("RFC2217://[fe80::1]:65535", endpoint), 0);
  EXPECT_EQ(endpoint.protocol, NetProtocol::kRfc2217);
  EXPECT_EQ(endpoint.host, "fe80::1");
  EXPECT_EQ(HostPortText(endpoint.host, 7), "[fe80::1]:7");
  ASSERT_EQ(ParseNetEndpoint("tcp://[fe80::1%eth0]:004001", endpoint), 0);  // as an MQTT broker's
  EXPECT_EQ(HostPortText(endpoint.host, endpoint.port), "[fe80::1%eth0]:4001");
  for (const char* bad : {"tcp://", "tcp://host", "tcp://host:", "tcp://:80", "tcp://host:0",
                          "tcp://host:65536", "tcp://host:80x", "tcp://::1:80", "tcp://[::1]80",
                          "tcp://[host]:80", "tcp://a b:80", "udp://host:80", "tcp://[::1%]:80",
                          "tcp://[1.2.3.4]:80", "tcp://host:000065536"})
    EXPECT_EQ(ParseNetEndpoint(bad, endpoint), ERROR_INVALID_NETNAME) << bad;
  EXPECT_TRUE(IsNetworkAddress("Tcp://x"));
  EXPECT_FALSE(IsNetworkAddress("/dev/ttyUSB0"));
}

}  // namespace
}  // namespace verdelo
