#include "serial/platform/LinuxSerialDevice.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "serial/platform/EventWait.h"
#include "serial/platform/PortResolver.h"
#include "serial/platform/Ticks.h"

namespace {

// What a terminal answers once its device has gone: a USB adapter unplugged (EIO, ENODEV), a
// pseudo-terminal whose other end closed (EIO), a line hung up (EIO, ENXIO).
bool IsHangUpError(int Error) {
  return Error == EIO || Error == ENXIO || Error == ENODEV || Error == EPIPE;
}

// Another opener holds the device: TIOCEXCL answers EBUSY, flock EWOULDBLOCK.
bool IsBusy(int Error) {
  return Error == EBUSY || Error == EWOULDBLOCK || Error == EAGAIN;
}

}  // namespace

TLinuxSerialDevice::~TLinuxSerialDevice() {
  Close();
}

bool TLinuxSerialDevice::Fail() {
  FLastError = errno;
  if (IsHangUpError(FLastError)) FHungUp = true;
  return false;
}

bool TLinuxSerialDevice::HangUp(int Error) {
  FHungUp = true;
  FLastError = Error;
  errno = Error;
  return false;
}

bool TLinuxSerialDevice::Open(const QString& Name) {
  if (FFd >= 0 || FOpening) {
    errno = EBUSY;
    return Fail();
  }
  const TPortResolution Where = ResolvePortName(Name);
  if (!Where.Resolved) {
    errno = ENOENT;
    return Fail();
  }
  // The waits below keep the events flowing, so the owner may close or even destroy this
  // device meanwhile: either ends them, and a destroyed device is not touched again.
  FOpening = true;
  FCancelOpen = false;
  const std::weak_ptr<bool> Alive = FAlive;
  const auto Gone = [Alive, this] { return Alive.expired() || FCancelOpen; };
  // ModemManager, when it manages the device, is asked to let go of it first.
  FModemManager.SetAside(Where.DevicePath, Gone);
  if (Alive.expired()) {
    errno = ECANCELED;
    return false;
  }
  // A port that a prober (gpsd's hot-plug rule, ModemManager itself) holds for a moment after
  // it appears, or that ModemManager still locks after letting go, is tried again for a while.
  const QByteArray Path = Where.DevicePath.toLocal8Bit();
  int Error = 0;
  WaitWithEvents(
      [&] {
        Error = OpenPath(Path) ? 0 : FLastError;
        return !IsBusy(Error);
      },
      OpenRetryMs, Gone, OpenRetryStepMs);
  if (Alive.expired()) {
    errno = ECANCELED;
    return false;
  }
  FOpening = false;
  if (FCancelOpen && Error == 0) {
    FCancelOpen = false;
    Close();
    Error = ECANCELED;
  }
  if (Error != 0) {
    FModemManager.Release();
    errno = Error;
    return Fail();
  }
  FLastError = 0;
  return true;
}

bool TLinuxSerialDevice::OpenPath(const QByteArray& Path) {
  // O_NONBLOCK keeps a FIFO or a modem without carrier from blocking the UI thread in open().
  const int Fd = ::open(Path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (Fd < 0) return Fail();
  termios Tio{};
  if (tcgetattr(Fd, &Tio) != 0) {  // regular files, FIFOs and the like are no serial ports
    FLastError = errno;
    ::close(Fd);
    return false;
  }
  // The port is never shared: flock stops another open of the same device (also by root,
  // which TIOCEXCL does not), TIOCEXCL stops programs that do not use flock.
  if (flock(Fd, LOCK_EX | LOCK_NB) != 0 || ioctl(Fd, TIOCEXCL) != 0) {
    FLastError = errno;
    ::close(Fd);
    return false;
  }
  cfmakeraw(&Tio);
  Tio.c_iflag &= ~static_cast<tcflag_t>(INPCK);  // left on by an earlier program, it would stay
  Tio.c_cflag |= CLOCAL | CREAD;
  Tio.c_cc[VMIN] = 0;
  Tio.c_cc[VTIME] = 0;
  if (tcsetattr(Fd, TCSANOW, &Tio) != 0) {
    FLastError = errno;
    ioctl(Fd, TIOCNXCL);
    ::close(Fd);
    return false;
  }
  FFd = Fd;
  FLastError = 0;
  FHungUp = false;
  return true;
}

void TLinuxSerialDevice::Close() {
  if (FFd < 0) {
    if (FOpening) FCancelOpen = true;  // ends the open's waits; it cleans up itself
    return;
  }
  ioctl(FFd, TIOCNXCL);
  ::close(FFd);  // releases the flock as well
  FFd = -1;
  FModemManager.Release();
}

void TLinuxSerialDevice::WaitForRoom(std::uint32_t Ms) {
  SleepMs(Ms);
}

bool TLinuxSerialDevice::SetCommState(const TDeviceControlBlock& Dcb) {
  if (FFd < 0) {
    errno = EBADF;
    return Fail();
  }
  if (Dcb.BaudRate == 0) {  // rate 0 would hang the line up instead of setting a rate
    errno = EINVAL;
    return Fail();
  }
  termios Tio{};
  if (tcgetattr(FFd, &Tio) != 0) return Fail();
  cfmakeraw(&Tio);
  Tio.c_cflag |= CLOCAL | CREAD;
  Tio.c_cc[VMIN] = 0;
  Tio.c_cc[VTIME] = 0;

  Tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE);
  switch (Dcb.ByteSize) {
    case 5:
      Tio.c_cflag |= CS5;
      break;
    case 6:
      Tio.c_cflag |= CS6;
      break;
    case 7:
      Tio.c_cflag |= CS7;
      break;
    case 8:
      Tio.c_cflag |= CS8;
      break;
    default:
      errno = EINVAL;
      return Fail();
  }
  Tio.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD | CMSPAR);
  switch (Dcb.Parity) {
    case 0:
      break;
    case 1:
      Tio.c_cflag |= PARENB | PARODD;
      break;
    case 2:
      Tio.c_cflag |= PARENB;
      break;
    case 3:
      Tio.c_cflag |= PARENB | CMSPAR | PARODD;
      break;
    case 4:
      Tio.c_cflag |= PARENB | CMSPAR;
      break;
    default:
      errno = EINVAL;
      return Fail();
  }
  // Parity is generated on output; input parity errors are checked only when fParity asks,
  // whatever an earlier user of the device left set.
  Tio.c_iflag &= ~static_cast<tcflag_t>(INPCK);
  if (Dcb.Flags & dcb::fParity) Tio.c_iflag |= INPCK;
  // Linux has no one and a half stop bits; the longer frame is the safe choice.
  if (Dcb.StopBits == 0)
    Tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB);
  else
    Tio.c_cflag |= CSTOPB;
  if (Dcb.Flags & dcb::fOutxCtsFlow)
    Tio.c_cflag |= CRTSCTS;
  else
    Tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
  Tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  if (Dcb.Flags & dcb::fOutX) Tio.c_iflag |= IXON;
  if (Dcb.Flags & dcb::fInX) Tio.c_iflag |= IXOFF;
  Tio.c_cc[VSTART] = static_cast<cc_t>(Dcb.XonChar);
  Tio.c_cc[VSTOP] = static_cast<cc_t>(Dcb.XoffChar);
  if (tcsetattr(FFd, TCSANOW, &Tio) != 0) return Fail();
  if (const int Err = SetTerminalRate(FFd, Dcb.BaudRate); Err != 0) {
    errno = Err;
    return Fail();
  }

  // DTR and RTS are best effort: pseudo-terminals and some adapters have no modem control.
  const int Dtr = TIOCM_DTR;
  ioctl(FFd, (Dcb.Flags & dcb::DtrControlMask) == dcb::DtrControlEnable ? TIOCMBIS : TIOCMBIC,
        &Dtr);
  const std::uint32_t Rts = Dcb.Flags & dcb::RtsControlMask;
  if (Rts != dcb::RtsControlHandshake) {  // with handshake the kernel drives RTS itself
    const int RtsBit = TIOCM_RTS;
    ioctl(FFd, Rts == dcb::RtsControlEnable ? TIOCMBIS : TIOCMBIC, &RtsBit);
  }
  return true;
}

bool TLinuxSerialDevice::SetupComm(std::uint32_t, std::uint32_t) {
  // The kernel sizes its own queues; there is nothing to ask for.
  if (FFd < 0) {
    errno = EBADF;
    return Fail();
  }
  return true;
}

bool TLinuxSerialDevice::SetCommTimeouts(const TCommTimeouts& Timeouts) {
  if (FFd < 0) {
    errno = EBADF;
    return Fail();
  }
  // Reads never wait (the descriptor is non-blocking); only the write time-out matters.
  FWriteTimeoutMs = Timeouts.WriteTotalTimeoutConstant;
  return true;
}

bool TLinuxSerialDevice::Purge(std::uint32_t Flags) {
  if (FFd < 0) {
    errno = EBADF;
    return Fail();
  }
  const bool In = (Flags & (PurgeRxAbort | PurgeRxClear)) != 0;
  const bool Out = (Flags & (PurgeTxAbort | PurgeTxClear)) != 0;
  if (!In && !Out) return true;
  if (tcflush(FFd, In && Out ? TCIOFLUSH : (In ? TCIFLUSH : TCOFLUSH)) != 0) return Fail();
  return true;
}

bool TLinuxSerialDevice::ClearCommError(std::uint32_t& InQue, std::uint32_t& OutQue) {
  InQue = 0;
  OutQue = 0;
  if (FFd < 0) {
    errno = EBADF;
    return Fail();
  }
  // A gone device shows on the descriptor itself; the queue counts alone would only read
  // as an idle line.
  pollfd P{FFd, POLLIN, 0};
  if (::poll(&P, 1, 0) > 0 && (P.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) return HangUp(EIO);
  int In = 0;
  int Out = 0;
  if (ioctl(FFd, FIONREAD, &In) != 0) return Fail();
  if (ioctl(FFd, TIOCOUTQ, &Out) != 0) return Fail();
  InQue = In > 0 ? static_cast<std::uint32_t>(In) : 0u;
  OutQue = Out > 0 ? static_cast<std::uint32_t>(Out) : 0u;
  return true;
}

bool TLinuxSerialDevice::GetModemStatus(std::uint32_t& Bits) {
  Bits = 0;
  if (FFd < 0) {
    errno = EBADF;
    return Fail();
  }
  int Lines = 0;
  if (ioctl(FFd, TIOCMGET, &Lines) != 0) return Fail();  // e.g. a pseudo-terminal
  if (Lines & TIOCM_CTS) Bits |= MsCtsOn;
  if (Lines & TIOCM_DSR) Bits |= MsDsrOn;
  if (Lines & TIOCM_RNG) Bits |= MsRingOn;
  if (Lines & TIOCM_CD) Bits |= MsRlsdOn;
  return true;
}

bool TLinuxSerialDevice::Read(void* Buffer, std::uint32_t Count, std::uint32_t& Got) {
  Got = 0;
  if (FFd < 0) {
    errno = EBADF;
    return Fail();
  }
  if (Count == 0) return true;
  ssize_t Result;
  do {
    Result = ::read(FFd, Buffer, Count);
  } while (Result < 0 && errno == EINTR);
  if (Result < 0) {
    if (errno == EAGAIN || errno == EWOULDBLOCK) return true;
    return Fail();  // EIO: the other end hung up
  }
  Got = static_cast<std::uint32_t>(Result);  // 0 after a hang-up: nothing delivered
  return true;
}

bool TLinuxSerialDevice::Write(const void* Data, std::uint32_t Count, std::uint32_t& Written) {
  Written = 0;
  if (FFd < 0) {
    errno = EBADF;
    return Fail();
  }
  if (Count == 0) return true;
  const std::uint32_t Start = GetTickCount();
  const auto* Bytes = static_cast<const char*>(Data);
  for (;;) {
    const ssize_t Put = ::write(FFd, Bytes + Written, Count - Written);
    if (Put > 0) {
      Written += static_cast<std::uint32_t>(Put);
      if (Written == Count) return true;
      continue;
    }
    if (Put < 0 && errno == EINTR) continue;
    // A gone device ends the send at once: nothing will ever take the rest.
    if (Put < 0 && IsHangUpError(errno)) {
      HangUp(errno);
      return Written > 0;
    }
    const std::uint32_t Spent = GetTickCount() - Start;
    if (Put < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      // Another failure: waiting out the time-out here keeps a caller's send loop from
      // spinning hot until its own time-out.
      FLastError = errno;
      if (Spent < FWriteTimeoutMs) SleepMs(FWriteTimeoutMs - Spent);
      return Written > 0;
    }
    if (Spent >= FWriteTimeoutMs) {
      errno = EAGAIN;
      FLastError = errno;
      return Written > 0;
    }
    pollfd P{FFd, POLLOUT, 0};
    ::poll(&P, 1, static_cast<int>(FWriteTimeoutMs - Spent));
    if (P.revents & (POLLHUP | POLLERR | POLLNVAL)) {
      HangUp(EIO);
      return Written > 0;
    }
  }
}
