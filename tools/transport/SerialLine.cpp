// termios settings of an RTU line.
#include "transport/SerialLine.h"

#include <cerrno>
#include <fcntl.h>
#include <termios.h>

namespace arxhost::transport {
namespace {

speed_t speedOf(uint32_t baud) {
  switch (baud) {
  case 1200:
    return B1200;
  case 2400:
    return B2400;
  case 4800:
    return B4800;
  case 9600:
    return B9600;
  case 38400:
    return B38400;
  case 57600:
    return B57600;
  case 115200:
    return B115200;
  case 230400:
    return B230400;
  case 460800:
    return B460800;
  case 921600:
    return B921600;
  default:
    return B19200;
  }
}

} // namespace

FileDescriptor openSerialLine(const RtuAddress &address, std::string &error) {
  FileDescriptor fd(::open(address.device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!fd.valid()) {
    error = "cannot open " + address.device + ": " + errorText(errno);
    return fd;
  }
  termios tio{};
  if (tcgetattr(fd.get(), &tio) != 0) {
    error = address.device + " is not a serial line: " + errorText(errno);
    return {};
  }
  cfmakeraw(&tio);
  cfsetispeed(&tio, speedOf(address.baud));
  cfsetospeed(&tio, speedOf(address.baud));
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
  tio.c_cflag |= address.dataBits == 7 ? CS7 : CS8;
  if (address.parity != 'N')
    tio.c_cflag |= PARENB | (address.parity == 'O' ? PARODD : 0);
  if (address.stopBits == 2)
    tio.c_cflag |= CSTOPB;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  if (tcsetattr(fd.get(), TCSANOW, &tio) != 0) {
    error = "cannot set up " + address.device + ": " + errorText(errno);
    return {};
  }
  tcflush(fd.get(), TCIOFLUSH);
  return fd;
}

} // namespace arxhost::transport
