// termios2 lets a terminal run at any rate (BOTHER), e.g. 250000 bit/s, which the B* constants
// of <termios.h> cannot express. <asm/termbits.h> redefines struct termios, hence its own file.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstdint>

int SetTerminalRate(int Fd, std::uint32_t Rate) {
  struct termios2 Tio {};
  if (ioctl(Fd, TCGETS2, &Tio) != 0) return errno;
  Tio.c_cflag &= ~static_cast<tcflag_t>(CBAUD);
  Tio.c_cflag |= BOTHER;
  Tio.c_cflag &= ~static_cast<tcflag_t>(CBAUD << IBSHIFT);
  Tio.c_cflag |= BOTHER << IBSHIFT;
  Tio.c_ospeed = Rate;
  Tio.c_ispeed = Rate;
  if (ioctl(Fd, TCSETS2, &Tio) != 0) return errno;
  return 0;
}
