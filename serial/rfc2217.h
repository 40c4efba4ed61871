// The client's side of the Telnet COM port control option (RFC 2217), as a
// bridge such as ser2net's telnet mode speaks it: the option negotiation,
// the requests that set the line and the bridge's answers to them. Bytes in,
// bytes out; no sockets and no locking (the owner serialises the calls).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "serial/com_types.h"
#include "serial/telnet_codec.h"

namespace verdelo {

// Line values of a network line, in the port's own terms (com_types.h).
struct NetLineValues {
  uint32_t baud = 0;  // 0: not known yet
  int dataBits = 8;
  int parity = kParityNone;
  int stopBits = kStopBitsOne;
  int flow = kFlowOff;
  uint8_t eventCharacter = 0;
};

enum class ComPortState { kOffered, kAccepted, kRefused };

class Rfc2217Client {
 public:
  // Client to bridge request codes; the bridge answers with code + 100.
  enum : uint8_t {
    kSetBaudRate = 1,
    kSetDataSize = 2,
    kSetParity = 3,
    kSetStopSize = 4,
    kSetControl = 5
  };
  static constexpr uint8_t kAnswerOffset = 100;

  // What opens the session: WILL COM-PORT-OPTION, and binary transmission
  // and suppress-go-ahead offered and asked for both ways.
  void Start(std::vector<uint8_t>& out);

  // Takes one command from the bridge and appends what answers it to
  // `reply`: options other than those above are refused (so a bridge's
  // WILL ECHO gets DONT ECHO, and our bytes never come back). True when the
  // option settled or an awaited answer came.
  bool Handle(const TelnetCommand& command, std::vector<uint8_t>& reply);

  // Accepted on DO COM-PORT-OPTION; refused on DONT, or on WONT before it
  // was accepted.
  ComPortState State() const { return state_; }

  // SET-BAUDRATE, SET-DATASIZE, SET-PARITY and SET-STOPSIZE for the values
  // given (a baud rate of 0 asks for the rate in use without changing it),
  // each then awaited until the bridge answers.
  void RequestLine(uint32_t baud, uint8_t dataBits, uint8_t parity, uint8_t stopBits,
                   std::vector<uint8_t>& out);
  // SET-CONTROL with the outbound flow control setting for `flow`.
  void RequestFlow(int flow, std::vector<uint8_t>& out);

  // An answer to a request is still outstanding.
  bool Awaiting() const { return awaited_ != 0; }
  // The values as the bridge last answered them.
  const NetLineValues& Confirmed() const { return confirmed_; }

 private:
  struct Side {
    bool enabled = false;
    bool asked = false;  // we asked for it and await the answer
  };
  void Request(uint8_t code, const std::vector<uint8_t>& value, std::vector<uint8_t>& out);
  bool TakeAnswer(const std::vector<uint8_t>& parameters);
  void Negotiate(uint8_t verb, uint8_t option, std::vector<uint8_t>& reply);

  std::array<Side, 256> local_{};   // options we perform (WILL / DO asks us)
  std::array<Side, 256> remote_{};  // options the bridge performs
  ComPortState state_ = ComPortState::kOffered;
  uint32_t awaited_ = 0;  // bit n: the answer to request code n
  NetLineValues confirmed_;
};

}  // namespace verdelo
