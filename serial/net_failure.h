// Plain-English words for why a network line could not be opened or was
// lost, for the port window to show. Qt-free; the caller adds the address.
#pragma once

#include <cstdint>
#include <string>

namespace verdelo {

// For a code Open returned on a network address: "unknown host",
// "connection refused", "no answer in 5 s", ... ; empty for a code that is
// not about reaching a bridge (the caller then words it as for a device).
// `limitMs` is the network time limit the line was opened with.
std::string DescribeNetworkFailure(int32_t code, uint32_t limitMs = 5000);

// For CComLine::LostCause(): why the line went away, e.g. "the bridge closed
// the connection", "the device hung up or was unplugged".
std::string DescribeLineLoss(int32_t cause);

}  // namespace verdelo
