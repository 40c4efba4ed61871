// Translation between the port's line values (baud rate, data bits, parity,
// stop bits, flow control) and a termios record. Pure functions on the
// record; the port class reads and writes it.
#pragma once

#include <termios.h>

#include <cstdint>

#include "serial/com_types.h"

namespace verdelo {

// termios speed for a rate in bits per second; B0 when the rate is not one
// of the standard rates the kernel knows.
speed_t SpeedFromBaud(uint32_t baud);
// Bits per second of a termios speed; 0 when unknown.
uint32_t BaudFromSpeed(speed_t speed);

// A raw line: no echo, no canonical mode, no signals, no CR/LF, break or
// parity translation, no software or hardware flow control, 8 data bits, no
// parity, one stop bit, modem lines ignored, receiver on. Every byte value
// passes unchanged. A read waits for at least one byte (VMIN 1), so on a
// non-blocking descriptor an idle line gives EAGAIN and only a hung-up
// device gives end of file. The speed is left as it was.
void MakeRawLine(termios& t);

// Sets speed, character size, parity (with the input parity check on exactly
// when parity is not none) and stop bits. Returns 0, or EINVAL and leaves
// the record untouched when a value cannot be expressed: a non-standard
// rate, data bits outside 5..8, an unknown parity, 1.5 stop bits without 5
// data bits, or 2 stop bits with 5 data bits.
int SetLineValues(termios& t, uint32_t baud, uint8_t dataBits, uint8_t parity, uint8_t stopBits);

int DataBitsOf(const termios& t);
// The parity in use when the input check is on, else none. Some drivers (a
// pseudo-terminal, for one) drop the parity generator bit, so the kind is
// read from the odd and mark/space bits, which they keep.
int ParityOf(const termios& t);
// With 5 data bits the second-stop-bit flag means one and a half.
int StopBitsOf(const termios& t);

// Sets or clears RTS/CTS handshake and XON/XOFF in both directions.
void SetFlowFlags(termios& t, FlowControl flow);
// 1 with RTS/CTS handshake, else 2 with XON/XOFF both ways, else 0.
int FlowControlOf(const termios& t);

// The event character is kept in the VEOL slot, which a non-canonical line
// never looks at.
inline uint8_t EventCharacterOf(const termios& t) { return t.c_cc[VEOL]; }
inline void SetEventCharacterIn(termios& t, uint8_t c) { t.c_cc[VEOL] = c; }

}  // namespace verdelo
