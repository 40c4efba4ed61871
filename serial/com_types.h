// Codes, event bits and line values shared by the serial port classes.
// The numbers are part of the interface: callers store and compare them.
#pragma once

#include <cerrno>
#include <cstdint>

namespace verdelo {

// Time-out meaning "no limit", in milliseconds like every other time-out.
inline constexpr uint32_t INFINITE = 0xFFFFFFFFu;

// Result codes. Every operation returns one of these or, when the operating
// system refused a call, that call's errno.
inline constexpr int32_t ERROR_SUCCESS = 0;
inline constexpr int32_t ERROR_INVALID_FUNCTION = 1;      // record or finite time-out on a synchronous port
inline constexpr int32_t ERROR_INVALID_HANDLE = 6;        // the port is closed
inline constexpr int32_t ERROR_ALREADY_INITIALIZED = 1247;  // Open of an open port
inline constexpr int32_t ERROR_TIMEOUT = 1460;            // a wait ran out; the transfer was abandoned
inline constexpr int32_t E_INVALIDARG = static_cast<int32_t>(0x80070057u);

// Codes of network lines (tcp://HOST:PORT, rfc2217://HOST:PORT) where errno
// has none. A refused connection is ECONNREFUSED, a connection or bridge that
// gives no answer within the network time limit ETIMEDOUT, a reset one
// ECONNRESET. None of these numbers is an errno value.
inline constexpr int32_t ERROR_INVALID_NETNAME = 1214;      // not tcp:// or rfc2217://HOST:PORT
inline constexpr int32_t ERROR_GRACEFUL_DISCONNECT = 1226;  // the bridge closed the connection
inline constexpr int32_t ERROR_HOST_NOT_FOUND = 11001;      // no such host name
inline constexpr int32_t ERROR_HOST_LOOKUP_FAILED = 11002;  // the name could not be looked up now
// The bridge left our Telnet answers unread until they passed their bound.
inline constexpr int32_t ERROR_NEGOTIATION_BACKLOG = 10055;
// A connect or its line settings broken off by the owner (BreakOffNetworkWaits).
inline constexpr int32_t ERROR_OPERATION_ABORTED = 995;

// Port events, as carried in the event mask, in eventsSeen and in the low
// half of a notification's first parameter.
inline constexpr uint32_t EV_RXCHAR = 0x0001;  // bytes were received
inline constexpr uint32_t EV_RXFLAG = 0x0002;  // the event character was received
inline constexpr uint32_t EV_BREAK = 0x0040;   // a break was detected
inline constexpr uint32_t EV_ERR = 0x0080;     // a framing, parity or overrun error occurred

// Mask that Open applies to every port.
inline constexpr uint32_t kDefaultEventMask = EV_RXCHAR | EV_BREAK | EV_ERR;

// Line-error flags, carried in the high half of a notification's first
// parameter. The first five follow the driver's input counters.
inline constexpr uint32_t kLineErrorBufferOverrun = 0x0001;  // the driver's input buffer overflowed
inline constexpr uint32_t kLineErrorOverrun = 0x0002;        // the UART lost bytes
inline constexpr uint32_t kLineErrorParity = 0x0004;
inline constexpr uint32_t kLineErrorFrame = 0x0008;
inline constexpr uint32_t kLineErrorBreak = 0x0010;
// The device is gone (hung up, unplugged) or stopped taking bytes: the last
// notification a listener sends before it ends. The owner should close.
inline constexpr uint32_t kLineErrorDeviceLost = 0x8000;

// errno reported by operations on a line that has been lost.
inline constexpr int32_t kDeviceLostErrno = EIO;

enum Parity : uint8_t { kParityNone = 0, kParityOdd = 1, kParityEven = 2, kParityMark = 3, kParitySpace = 4 };
enum StopBits : uint8_t { kStopBitsOne = 0, kStopBitsOneAndHalf = 1, kStopBitsTwo = 2 };
enum FlowControl : int { kFlowOff = 0, kFlowHardware = 1, kFlowSoftware = 2 };
enum ReadMode : int { kReadNonBlocking = 0, kReadBlocking = 1 };

}  // namespace verdelo
