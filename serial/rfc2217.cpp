#include "serial/rfc2217.h"

#include <algorithm>

namespace verdelo {
namespace {

using namespace telnet;

bool WantedHere(uint8_t option) {
  return option == kOptionBinary || option == kOptionSuppressGoAhead || option == kOptionComPort;
}

bool WantedThere(uint8_t option) {
  return option == kOptionBinary || option == kOptionSuppressGoAhead;
}

// RFC 2217 stop-size values: 1 one, 2 two, 3 one and a half.
uint8_t StopSizeOf(uint8_t stopBits) {
  switch (stopBits) {
    case kStopBitsOneAndHalf: return 3;
    case kStopBitsTwo: return 2;
    default: return 1;
  }
}

// RFC 2217 outbound flow control values: 1 none, 2 XON/XOFF, 3 hardware.
uint8_t ControlOf(int flow) {
  switch (flow) {
    case kFlowSoftware: return 2;
    case kFlowHardware: return 3;
    default: return 1;
  }
}

}  // namespace

void Rfc2217Client::Start(std::vector<uint8_t>& out) {
  for (uint8_t option : {kOptionComPort, kOptionBinary, kOptionSuppressGoAhead}) {
    AppendNegotiation(kWill, option, out);
    local_[option].asked = true;
  }
  for (uint8_t option : {kOptionBinary, kOptionSuppressGoAhead}) {
    AppendNegotiation(kDo, option, out);
    remote_[option].asked = true;
  }
}

bool Rfc2217Client::Handle(const TelnetCommand& command, std::vector<uint8_t>& reply) {
  if (command.verb == kSb)
    return command.option == kOptionComPort && TakeAnswer(command.parameters);
  const ComPortState before = state_;
  Negotiate(command.verb, command.option, reply);
  return state_ != before;
}

// Each side of an option is answered only when the request changes it, so
// that two ends that agree never send each other the same request forever
// (RFC 854's rule against negotiation loops).
void Rfc2217Client::Negotiate(uint8_t verb, uint8_t option, std::vector<uint8_t>& reply) {
  const bool here = verb == kDo || verb == kDont;
  Side& side = here ? local_[option] : remote_[option];
  const bool enable = verb == kDo || verb == kWill;
  const bool wanted = here ? WantedHere(option) : WantedThere(option);
  const uint8_t yes = here ? kWill : kDo;
  const uint8_t no = here ? kWont : kDont;
  const bool wasAsked = side.asked;
  side.asked = false;
  if (enable && wanted) {
    if (!side.enabled && !wasAsked) AppendNegotiation(yes, option, reply);
    side.enabled = true;
  } else if (enable) {
    AppendNegotiation(no, option, reply);
  } else if (side.enabled) {
    side.enabled = false;
    AppendNegotiation(no, option, reply);
  }
  if (option != kOptionComPort) return;
  if (verb == kDo) state_ = ComPortState::kAccepted;
  if (verb == kDont || (verb == kWont && state_ == ComPortState::kOffered))
    state_ = ComPortState::kRefused;
}

void Rfc2217Client::Request(uint8_t code, const std::vector<uint8_t>& value,
                            std::vector<uint8_t>& out) {
  std::vector<uint8_t> parameters(value.size() + 1);
  parameters[0] = code;
  std::copy(value.begin(), value.end(), parameters.begin() + 1);
  AppendSubnegotiation(kOptionComPort, parameters, out);
  awaited_ |= 1u << code;
}

void Rfc2217Client::RequestLine(uint32_t baud, uint8_t dataBits, uint8_t parity, uint8_t stopBits,
                                std::vector<uint8_t>& out) {
  Request(kSetBaudRate,
          {static_cast<uint8_t>(baud >> 24), static_cast<uint8_t>(baud >> 16),
           static_cast<uint8_t>(baud >> 8), static_cast<uint8_t>(baud)},
          out);
  Request(kSetDataSize, {dataBits}, out);
  Request(kSetParity, {static_cast<uint8_t>(parity + 1)}, out);
  Request(kSetStopSize, {StopSizeOf(stopBits)}, out);
}

void Rfc2217Client::RequestFlow(int flow, std::vector<uint8_t>& out) {
  Request(kSetControl, {ControlOf(flow)}, out);
}

// An answer carries the value now in use. One the port cannot express is
// not taken, but still ends the wait for it.
bool Rfc2217Client::TakeAnswer(const std::vector<uint8_t>& parameters) {
  if (parameters.size() < 2 || parameters[0] < kAnswerOffset + kSetBaudRate ||
      parameters[0] > kAnswerOffset + kSetControl)
    return false;  // signatures, line and modem state notices, flow suspends
  const uint8_t code = parameters[0] - kAnswerOffset;
  const uint8_t value = parameters[1];
  switch (code) {
    case kSetBaudRate:
      if (parameters.size() < 5) return false;
      confirmed_.baud = static_cast<uint32_t>(parameters[1]) << 24 | parameters[2] << 16 |
                        parameters[3] << 8 | parameters[4];
      break;
    case kSetDataSize:
      if (value >= 5 && value <= 8) confirmed_.dataBits = value;
      break;
    case kSetParity:
      if (value >= 1 && value <= 5) confirmed_.parity = value - 1;
      break;
    case kSetStopSize:
      if (value >= 1 && value <= 3)
        confirmed_.stopBits = value == 1   ? kStopBitsOne
                              : value == 2 ? kStopBitsTwo
                                           : kStopBitsOneAndHalf;
      break;
    case kSetControl:
      // The same code also reports break, DTR and RTS states; only the
      // outbound flow control values answer a flow request.
      if (value < 1 || value > 3) return false;
      confirmed_.flow = value == 1 ? kFlowOff : value == 2 ? kFlowSoftware : kFlowHardware;
      break;
  }
  const bool awaited = awaited_ & (1u << code);
  awaited_ &= ~(1u << code);
  return awaited;
}

}  // namespace verdelo
