// What a bridge sends on an RFC 2217 line, taken apart as the line does:
// the Telnet decoder fed in pieces split where the input says, and each
// command answered by the COM port client. However the bytes come and
// however they are split, the pieces decode as the whole does, the data
// encoded again decodes to itself with no commands, and the answers never
// outgrow the commands they answer.
//
// Input: one byte N (the count of split points, N % 16), N bytes of piece
// lengths, then the stream.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "serial/rfc2217.h"
#include "serial/telnet_codec.h"

using namespace verdelo;

namespace {

struct Decoded {
  std::vector<std::uint8_t> data;
  std::vector<TelnetCommand> commands;
};

Decoded DecodeWhole(const std::uint8_t* bytes, std::size_t size) {
  Decoded out;
  TelnetDecoder decoder;
  decoder.Decode(bytes, size, out.data, out.commands);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::size_t splits = data[0] % 16;
  if (size < 1 + splits) return 0;
  const std::uint8_t* lengths = data + 1;
  const std::uint8_t* stream = data + 1 + splits;
  const std::size_t length = size - 1 - splits;

  const Decoded whole = DecodeWhole(stream, length);
  FUZZ_CHECK(whole.data.size() <= length);

  Decoded pieces;
  TelnetDecoder decoder;
  Rfc2217Client client;
  std::vector<std::uint8_t> offers;
  client.Start(offers);
  std::size_t at = 0;
  std::size_t answered = 0;
  std::vector<std::uint8_t> reply;
  for (std::size_t i = 0; at < length; ++i) {
    const std::size_t piece = i < splits ? std::min<std::size_t>(lengths[i], length - at) : length - at;
    const std::size_t before = pieces.commands.size();
    decoder.Decode(stream + at, piece, pieces.data, pieces.commands);
    for (std::size_t c = before; c < pieces.commands.size(); ++c) {
      const TelnetCommand& command = pieces.commands[c];
      FUZZ_CHECK(command.parameters.size() <= TelnetDecoder::kMaxParameters);
      client.Handle(command, reply);
      ++answered;
    }
    at += piece;
  }
  FUZZ_CHECK(pieces.data == whole.data);
  FUZZ_CHECK(pieces.commands == whole.commands);
  // One negotiation answered by at most one, a subnegotiation by none.
  FUZZ_CHECK(reply.size() <= 3 * answered);
  const ComPortState state = client.State();
  FUZZ_CHECK(state == ComPortState::kOffered || state == ComPortState::kAccepted ||
             state == ComPortState::kRefused);

  // The data encoded again is every byte as it is, IAC doubled.
  std::vector<std::uint8_t> encoded;
  AppendEscaped(whole.data.data(), whole.data.size(), encoded);
  const Decoded again = DecodeWhole(encoded.data(), encoded.size());
  FUZZ_CHECK(again.data == whole.data);
  FUZZ_CHECK(again.commands.empty());
  return 0;
}
