#include "serial/line_settings.h"

#include <cerrno>

namespace verdelo {
namespace {

struct SpeedEntry {
  uint32_t baud;
  speed_t speed;
};

constexpr SpeedEntry kSpeeds[] = {
    {50, B50},         {75, B75},           {110, B110},         {134, B134},
    {150, B150},       {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},     {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},     {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200}, {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000}, {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

// Character size flag for 5 to 8 data bits (CS5 is 0, so not a failure value).
tcflag_t CharacterSize(uint8_t dataBits) {
  switch (dataBits) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
  }
}

}  // namespace

speed_t SpeedFromBaud(uint32_t baud) {
  for (const auto& e : kSpeeds)
    if (e.baud == baud) return e.speed;
  return B0;
}

uint32_t BaudFromSpeed(speed_t speed) {
  for (const auto& e : kSpeeds)
    if (e.speed == speed) return e.baud;
  return 0;
}

void MakeRawLine(termios& t) {
  t.c_iflag &= ~(IGNBRK | BRKINT | IGNPAR | PARMRK | INPCK | ISTRIP | INLCR | IGNCR | ICRNL |
                 IUCLC | IXON | IXOFF | IXANY | IMAXBEL);
  t.c_oflag &= ~OPOST;
  t.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  t.c_cflag |= CS8 | CLOCAL | CREAD;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
}

int SetLineValues(termios& t, uint32_t baud, uint8_t dataBits, uint8_t parity, uint8_t stopBits) {
  const speed_t speed = SpeedFromBaud(baud);
  if (speed == B0 || dataBits < 5 || dataBits > 8 || parity > kParitySpace) return EINVAL;
  if (stopBits > kStopBitsTwo) return EINVAL;
  if (stopBits == kStopBitsOneAndHalf && dataBits != 5) return EINVAL;
  if (stopBits == kStopBitsTwo && dataBits == 5) return EINVAL;

  termios n = t;
  if (cfsetispeed(&n, speed) != 0 || cfsetospeed(&n, speed) != 0) return EINVAL;
  n.c_cflag = (n.c_cflag & ~CSIZE) | CharacterSize(dataBits);

  n.c_cflag &= ~(PARENB | PARODD | CMSPAR);
  n.c_iflag &= ~INPCK;
  if (parity != kParityNone) {
    n.c_cflag |= PARENB;
    n.c_iflag |= INPCK;
    if (parity == kParityOdd || parity == kParityMark) n.c_cflag |= PARODD;
    if (parity == kParityMark || parity == kParitySpace) n.c_cflag |= CMSPAR;
  }

  if (stopBits == kStopBitsOne)
    n.c_cflag &= ~CSTOPB;
  else
    n.c_cflag |= CSTOPB;
  t = n;
  return 0;
}

int DataBitsOf(const termios& t) {
  switch (t.c_cflag & CSIZE) {
    case CS5: return 5;
    case CS6: return 6;
    case CS7: return 7;
    default: return 8;
  }
}

int ParityOf(const termios& t) {
  if (!(t.c_iflag & INPCK)) return kParityNone;
  const bool odd = t.c_cflag & PARODD;
  if (t.c_cflag & CMSPAR) return odd ? kParityMark : kParitySpace;
  return odd ? kParityOdd : kParityEven;
}

int StopBitsOf(const termios& t) {
  if (!(t.c_cflag & CSTOPB)) return kStopBitsOne;
  return (t.c_cflag & CSIZE) == CS5 ? kStopBitsOneAndHalf : kStopBitsTwo;
}

void SetFlowFlags(termios& t, FlowControl flow) {
  t.c_cflag &= ~CRTSCTS;
  t.c_iflag &= ~(IXON | IXOFF | IXANY);
  if (flow == kFlowHardware) t.c_cflag |= CRTSCTS;
  if (flow == kFlowSoftware) t.c_iflag |= IXON | IXOFF;
}

int FlowControlOf(const termios& t) {
  if (t.c_cflag & CRTSCTS) return kFlowHardware;
  if ((t.c_iflag & IXON) && (t.c_iflag & IXOFF)) return kFlowSoftware;
  return kFlowOff;
}

}  // namespace verdelo
