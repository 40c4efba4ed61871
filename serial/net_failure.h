// Plain-English words for why a network line could not be opened or was
// lost, and why a port could not be opened. Qt-free.
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

// Whether an open failed because the device is not there (rather than
// busy, refused or broken): what a watch for its return waits out.
bool IsDeviceAbsent(int32_t code);

// Whether opening a network address failed because its bridge could not be
// reached now (unknown host, refused, no answer, no route): worth trying
// again later, unlike a malformed address.
bool IsBridgeUnreachable(int32_t code);

// A plain-language reason for a failed open, for the "COM-port NOK" box. For
// a network address the bridge's failure comes first ("... unknown host"),
// `networkLimitMs` being the time limit its connect had.
std::string DescribeOpenFailure(int32_t code, const std::string& device,
                                uint32_t networkLimitMs = 5000);

}  // namespace verdelo
