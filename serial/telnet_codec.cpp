#include "serial/telnet_codec.h"

namespace verdelo {

using namespace telnet;

void TelnetDecoder::Decode(const uint8_t* bytes, std::size_t count, std::vector<uint8_t>& data,
                           std::vector<TelnetCommand>& commands) {
  for (std::size_t i = 0; i < count; ++i) {
    const uint8_t byte = bytes[i];
    switch (state_) {
      case State::kData:
        if (byte == kIac)
          state_ = State::kIac;
        else
          data.push_back(byte);
        break;
      case State::kIac: AfterIac(byte, data); break;
      case State::kOption:
        pending_.option = byte;
        commands.push_back(pending_);
        state_ = State::kData;
        break;
      case State::kSubOption:
        pending_.option = byte;
        state_ = State::kSub;
        break;
      case State::kSub:
        if (byte == kIac)
          state_ = State::kSubIac;
        else if (pending_.parameters.size() < kMaxParameters)
          pending_.parameters.push_back(byte);
        break;
      case State::kSubIac:
        if (byte == kIac) {
          if (pending_.parameters.size() < kMaxParameters) pending_.parameters.push_back(kIac);
          state_ = State::kSub;
          break;
        }
        // SE ends it; any other command ends it too, and is then taken as
        // the command it is.
        commands.push_back(pending_);
        state_ = State::kData;
        if (byte != kSe) AfterIac(byte, data);
        break;
    }
  }
}

void TelnetDecoder::AfterIac(uint8_t byte, std::vector<uint8_t>& data) {
  state_ = State::kData;
  if (byte == kIac) {
    data.push_back(kIac);
  } else if (byte >= kWill && byte <= kDont) {
    pending_ = TelnetCommand{byte, 0, {}};
    state_ = State::kOption;
  } else if (byte == kSb) {
    pending_ = TelnetCommand{kSb, 0, {}};
    state_ = State::kSubOption;
  }
}

void AppendEscaped(const uint8_t* bytes, std::size_t count, std::vector<uint8_t>& out) {
  for (std::size_t i = 0; i < count; ++i) {
    out.push_back(bytes[i]);
    if (bytes[i] == kIac) out.push_back(kIac);
  }
}

void AppendNegotiation(uint8_t verb, uint8_t option, std::vector<uint8_t>& out) {
  out.insert(out.end(), {kIac, verb, option});
}

void AppendSubnegotiation(uint8_t option, const std::vector<uint8_t>& parameters,
                          std::vector<uint8_t>& out) {
  out.insert(out.end(), {kIac, kSb, option});
  AppendEscaped(parameters.data(), parameters.size(), out);
  out.insert(out.end(), {kIac, kSe});
}

}  // namespace verdelo
