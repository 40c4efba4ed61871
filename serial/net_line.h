// The network side of a port opened as tcp://HOST:PORT or rfc2217://HOST:PORT:
// the connection, its byte stream, and the line settings, which a raw bridge
// keeps to itself (the values are kept here as set) and an RFC 2217 bridge
// negotiates (the values are what the bridge confirmed).
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "serial/completion_record.h"
#include "serial/net_endpoint.h"
#include "serial/net_stream.h"
#include "serial/rfc2217.h"

namespace verdelo {

class NetLine {
 public:
  // Connects within limitMs. On rfc2217:// it then offers the COM port
  // option and, once the bridge accepts, sets the line to 8N1 without flow
  // control at the rate the bridge has, all within the same limit. A bridge
  // that refuses the option is used as a raw one (see Note). Returns 0 with
  // the line, or a code of ConnectEndpoint, ERROR_INVALID_NETNAME, ETIMEDOUT
  // when the bridge does not answer the Telnet negotiation in time, or the
  // LossCause of a connection the bridge closed before it was set up.
  // Every wait for the bridge, here and in Configure and SetFlowControl,
  // ends with ERROR_OPERATION_ABORTED once `cancelFd` (-1: none) is
  // readable; it must outlive the line.
  static int32_t Open(const std::string& address, uint32_t limitMs, int cancelFd,
                      std::unique_ptr<NetLine>& line);

  NetStream& Stream() { return *stream_; }

  // The values are checked as for a serial device (EINVAL when the line
  // could not take them). On a negotiating bridge they are sent and the
  // answers awaited up to limitMs: ERROR_TIMEOUT without all answers,
  // EINVAL when the bridge answered with other values than asked for (the
  // getters then show the bridge's), kDeviceLostErrno when the connection
  // ended.
  int32_t Configure(uint32_t baud, uint8_t dataBits, uint8_t parity, uint8_t stopBits,
                    uint32_t limitMs);
  int32_t SetFlowControl(int flow, uint32_t limitMs);
  void SetEventCharacter(uint8_t character);
  NetLineValues Values();

  // One line about the connection for an expert: where it goes, and whether
  // the bridge sets the line or keeps its own settings (it refused the COM
  // port option).
  std::string Note();

 private:
  NetLine(std::string address, NetProtocol protocol, std::string peer, int cancelFd);
  bool Negotiates();
  void OnCommand(const TelnetCommand& command, std::vector<uint8_t>& reply);
  template <typename Done>
  int32_t AwaitAnswers(uint32_t limitMs, Done done);
  int32_t Negotiate(uint32_t limitMs);

  const std::string address_;
  const NetProtocol protocol_;
  const std::string peer_;
  const int cancelFd_;
  std::unique_ptr<NetStream> stream_;
  CompletionRecord answered_;  // signalled when the bridge answered something

  std::mutex sessionLock_;
  Rfc2217Client session_;
  NetLineValues kept_;  // the values as set, where the bridge does not confirm them
};

}  // namespace verdelo
