#pragma once

#include <QString>
#include <cstdint>

// The line settings handed to the device in one block. The layout is the classic 28-byte
// serial control block, so the flag word and field values can be checked bit for bit.
struct TDeviceControlBlock {
  std::uint32_t DCBlength = 0;
  std::uint32_t BaudRate = 0;
  std::uint32_t Flags = 0;
  std::uint16_t wReserved = 0;
  std::uint16_t XonLim = 0;
  std::uint16_t XoffLim = 0;
  std::uint8_t ByteSize = 0;
  std::uint8_t Parity = 0;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
  std::uint8_t StopBits = 0;  // 0 one, 1 one and a half, 2 two
  char XonChar = 0;
  char XoffChar = 0;
  char ErrorChar = 0;
  char EofChar = 0;
  char EvtChar = 0;
  std::uint16_t wReserved1 = 0;
};
static_assert(sizeof(TDeviceControlBlock) == 28, "the control block must keep its 28-byte layout");

// Bits of TDeviceControlBlock::Flags.
namespace dcb {
inline constexpr std::uint32_t fBinary = 0x0001;
inline constexpr std::uint32_t fParity = 0x0002;
inline constexpr std::uint32_t fOutxCtsFlow = 0x0004;
inline constexpr std::uint32_t fOutxDsrFlow = 0x0008;
inline constexpr std::uint32_t DtrControlMask = 0x0030;
inline constexpr std::uint32_t DtrControlEnable = 0x0010;
inline constexpr std::uint32_t fOutX = 0x0100;
inline constexpr std::uint32_t fInX = 0x0200;
inline constexpr std::uint32_t RtsControlMask = 0x3000;
inline constexpr std::uint32_t RtsControlEnable = 0x1000;
inline constexpr std::uint32_t RtsControlHandshake = 0x2000;
}  // namespace dcb

// Purge flags, combined by the driver.
inline constexpr std::uint32_t PurgeTxAbort = 0x01;
inline constexpr std::uint32_t PurgeRxAbort = 0x02;
inline constexpr std::uint32_t PurgeTxClear = 0x04;
inline constexpr std::uint32_t PurgeRxClear = 0x08;

// Modem status bits.
inline constexpr std::uint32_t MsCtsOn = 0x10;
inline constexpr std::uint32_t MsDsrOn = 0x20;
inline constexpr std::uint32_t MsRingOn = 0x40;
inline constexpr std::uint32_t MsRlsdOn = 0x80;

struct TCommTimeouts {
  std::uint32_t ReadIntervalTimeout = 0;
  std::uint32_t ReadTotalTimeoutMultiplier = 0;
  std::uint32_t ReadTotalTimeoutConstant = 0;
  std::uint32_t WriteTotalTimeoutMultiplier = 0;
  std::uint32_t WriteTotalTimeoutConstant = 0;
};

// What the driver needs from the operating system, one operation per device call it makes.
// Every failing operation returns false and leaves its errno in LastError().
class ISerialDevice {
 public:
  virtual ~ISerialDevice() = default;

  virtual bool Open(const QString& Name) = 0;  // exclusive: a second open must fail
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  virtual bool SetCommState(const TDeviceControlBlock& Dcb) = 0;
  virtual bool SetupComm(std::uint32_t InQueue, std::uint32_t OutQueue) = 0;
  virtual bool SetCommTimeouts(const TCommTimeouts& Timeouts) = 0;
  virtual bool Purge(std::uint32_t Flags) = 0;
  // Fills both counts (0 on failure).
  virtual bool ClearCommError(std::uint32_t& InQue, std::uint32_t& OutQue) = 0;
  virtual bool GetModemStatus(std::uint32_t& Bits) = 0;
  // Never blocks: returns at once with what is queued, at most Count bytes.
  virtual bool Read(void* Buffer, std::uint32_t Count, std::uint32_t& Got) = 0;
  // Gives up after the write time-out; Written holds what went out.
  virtual bool Write(const void* Data, std::uint32_t Count, std::uint32_t& Written) = 0;
  virtual int LastError() const = 0;
  // True once an operation found the device gone (hung up, unplugged, its other end closed),
  // as opposed to slow; stays true until the next Open. A device that cannot tell says false.
  virtual bool HungUp() const { return false; }
  // Lets the output queue drain for up to Ms before a send looks for room again. A device on a
  // clock of its own (a test's fake) may return at once.
  virtual void WaitForRoom(std::uint32_t Ms) { (void)Ms; }
  // The descriptor to watch for readable bytes while open; -1 when the device has none.
  virtual int Descriptor() const { return -1; }
};
