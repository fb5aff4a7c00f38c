#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "serial/platform/SerialDevice.h"

class QSocketNotifier;
class QTimer;

enum class TPortNumber : std::uint8_t {
  pnCustom,
  pnCOM1,
  pnCOM2,
  pnCOM3,
  pnCOM4,
  pnCOM5,
  pnCOM6,
  pnCOM7,
  pnCOM8,
  pnCOM9,
  pnCOM10,
  pnCOM11,
  pnCOM12,
  pnCOM13,
  pnCOM14,
  pnCOM15,
  pnCOM16
};
enum class TBaudRate : std::uint8_t {
  brCustom,
  br110,
  br300,
  br600,
  br1200,
  br2400,
  br4800,
  br9600,
  br14400,
  br19200,
  br38400,
  br56000,
  br57600,
  br115200,
  br128000,
  br256000
};
enum class TDataBits : std::uint8_t { db5BITS, db6BITS, db7BITS, db8BITS };
enum class TStopBits : std::uint8_t { sb1BITS, sb1HALFBITS, sb2BITS };
enum class TParity : std::uint8_t { ptNONE, ptODD, ptEVEN, ptMARK, ptSPACE };
enum class THwFlowControl : std::uint8_t { hfNONE, hfNONERTSON, hfRTSCTS };
enum class TSwFlowControl : std::uint8_t { sfNONE, sfXONXOFF };
enum class TPacketMode : std::uint8_t { pmDiscard, pmPass };
enum class TModemLine : std::uint8_t { mlCTS, mlDSR, mlRING, mlRLSD };

// A set of modem input lines.
class TModemLines {
 public:
  constexpr TModemLines() = default;
  constexpr TModemLines(std::initializer_list<TModemLine> Lines) {
    for (TModemLine L : Lines) Include(L);
  }
  constexpr void Include(TModemLine L) { FBits |= Bit(L); }
  constexpr bool Contains(TModemLine L) const { return (FBits & Bit(L)) != 0; }
  constexpr bool IsEmpty() const { return FBits == 0; }
  constexpr std::uint8_t Bits() const { return FBits; }
  friend constexpr bool operator==(TModemLines A, TModemLines B) { return A.FBits == B.FBits; }

 private:
  static constexpr std::uint8_t Bit(TModemLine L) {
    return static_cast<std::uint8_t>(1u << static_cast<unsigned>(L));
  }
  std::uint8_t FBits = 0;
};

using TReceiveDataEvent =
    std::function<void(QObject* Sender, const std::uint8_t* DataPtr, std::uint32_t DataSize)>;
using TReceivePacketEvent =
    std::function<void(QObject* Sender, const std::uint8_t* Packet, std::uint32_t DataSize)>;
using TDeviceLostEvent = std::function<void(QObject* Sender)>;

// Milliseconds that Size bytes take at Rate bit/s, ten bit times a character, rounded half to
// even. A rate of 0 gives 0: such a line has no packet time and the packet clock stands still.
std::uint32_t PacketTimeMs(std::uint32_t Rate, std::uint32_t Size);

// Owns one serial port: line settings, sending with a time-out from the last progress, and
// reception polled by a timer on the owner's thread (no reader thread, nothing locked).
class TSerialPortDriver : public QObject {
  Q_OBJECT

 public:
  static constexpr std::uint32_t MinBufSize = 128;
  static constexpr std::uint32_t MaxBufSize = 8192;
  static constexpr std::uint16_t MinPollingDelay = 5;
  // The pause of a send that finds no room in the output queue before it looks again.
  static constexpr std::uint32_t RoomWaitMs = 2;

  // The Linux serial device and the monotonic tick clock.
  explicit TSerialPortDriver(QObject* Owner = nullptr);
  TSerialPortDriver(std::unique_ptr<ISerialDevice> Device, std::function<std::uint32_t()> TickCount,
                    QObject* Owner = nullptr);
  ~TSerialPortDriver() override;

  TPortNumber Port() const { return FPort; }
  void SetPort(TPortNumber Value);
  QString PortName() const { return FPortName; }
  void SetPortName(const QString& Value);
  TBaudRate BaudRate() const { return FBaudRate; }
  void SetBaudRate(TBaudRate Value);
  std::uint32_t BaudRateValue() const { return FBaudRateValue; }
  void SetBaudRateValue(std::uint32_t Value);
  TDataBits DataBits() const { return FDataBits; }
  void SetDataBits(TDataBits Value);
  TStopBits StopBits() const { return FStopBits; }
  void SetStopBits(TStopBits Value);
  TParity Parity() const { return FParity; }
  void SetParity(TParity Value);
  THwFlowControl HwFlow() const { return FHwFlow; }
  void SetHwFlow(THwFlowControl Value);
  TSwFlowControl SwFlow() const { return FSwFlow; }
  void SetSwFlow(TSwFlowControl Value);
  std::uint32_t InBufSize() const { return FInBufSize; }
  void SetInBufSize(std::uint32_t Value);
  std::uint32_t OutBufSize() const { return FOutBufSize; }
  void SetOutBufSize(std::uint32_t Value);
  std::int16_t PacketSize() const { return FPacketSize; }
  void SetPacketSize(std::int16_t Value);
  std::int32_t PacketTimeout() const { return FPacketTimeout; }
  void SetPacketTimeout(std::int32_t Value);
  TPacketMode PacketMode() const { return FPacketMode; }
  void SetPacketMode(TPacketMode Value) { FPacketMode = Value; }
  std::uint16_t PollingDelay() const { return FPollingDelay; }
  void SetPollingDelay(std::uint16_t Value);
  bool EnableDTROnOpen() const { return FEnableDTROnOpen; }
  void SetEnableDTROnOpen(bool Value) { FEnableDTROnOpen = Value; }
  std::uint16_t OutputTimeout() const { return FOutputTimeout; }
  void SetOutputTimeout(std::uint16_t Value) { FOutputTimeout = Value; }
  std::uint32_t InputTimeout() const { return FInputTimeout; }
  void SetInputTimeout(std::uint32_t Value) { FInputTimeout = Value; }
  bool CheckLineStatus() const { return FCheckLineStatus; }
  void SetCheckLineStatus(bool Value) { FCheckLineStatus = Value; }

  TReceiveDataEvent OnReceiveData;
  TReceivePacketEvent OnReceivePacket;
  // The device went away while open (hung up, unplugged, its other end closed), as found by
  // the receive poll or a send. The port is closed before the event; raised once per loss.
  TDeviceLostEvent OnDeviceLost;

  // True when the port is open on return; an open port is left as it is.
  bool OpenPort();
  void ClosePort();
  bool IsOpen() const { return FOpen; }
  // Applies the line settings and purges both queues; false when closed or refused.
  bool ConfigureLine();
  TModemLines ReadModemLines();
  bool PurgeBuffers(bool Input, bool Output);
  std::uint16_t OutputSpaceLeft();
  // Bytes sent; gives up once more than TimeoutMs passed without progress.
  std::uint32_t TransmitTimed(const void* Data, std::uint32_t Count, std::uint32_t TimeoutMs);
  std::uint32_t Transmit(const void* Data, std::uint32_t Count);
  bool TransmitText(const QByteArray& Text);
  static std::uint32_t BaudRateBps(TBaudRate Rate);

  // The control block the current settings give (what ConfigureLine hands to the device).
  TDeviceControlBlock MakeControlBlock() const;
  // The tick count the pending partial packet is timed from, -1 when none is pending.
  std::int64_t PacketStart() const { return FPacketStart; }

  // Sleeps up to Ms, or less once the port has bytes to read: a wait step that ends when the
  // reply's next bytes arrive. A closed port, a device without a descriptor or packet mode
  // (where a partial packet stays queued) sleeps the whole time.
  void WaitForInput(std::uint32_t Ms);

  // One receive poll; the driver's timer calls it every PollingDelay ms while open, and so
  // does the port's becoming readable.
  void PollWindowProc();
  int LastError() const;

 private:
  void ReceivePackets(std::uint32_t Queued);
  void PortReadable();
  void LoseDevice();

  std::unique_ptr<ISerialDevice> FDevice;
  std::function<std::uint32_t()> FTickCount;
  QTimer* FPollTimer = nullptr;
  QSocketNotifier* FReadNotifier = nullptr;  // the port has bytes: poll now
  std::uint64_t FBytesTaken = 0;             // read by the poll so far
  bool FOpening = false;                     // inside the device's open
  // Lets the poll notice that an event handler destroyed the driver.
  std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
  bool FOpen = false;
  std::vector<std::uint8_t> FRxBuffer;
  std::int64_t FPacketStart = -1;

  TPortNumber FPort = TPortNumber::pnCOM2;
  QString FPortName = QStringLiteral("\\\\.\\COM2");
  TBaudRate FBaudRate = TBaudRate::br9600;
  std::uint32_t FBaudRateValue = 9600;
  TDataBits FDataBits = TDataBits::db8BITS;
  TStopBits FStopBits = TStopBits::sb1BITS;
  TParity FParity = TParity::ptNONE;
  THwFlowControl FHwFlow = THwFlowControl::hfNONERTSON;
  TSwFlowControl FSwFlow = TSwFlowControl::sfNONE;
  std::uint32_t FInBufSize = 2048;
  std::uint32_t FOutBufSize = 2048;
  std::int16_t FPacketSize = -1;
  std::int32_t FPacketTimeout = -1;
  TPacketMode FPacketMode = TPacketMode::pmDiscard;
  std::uint16_t FPollingDelay = 50;
  bool FEnableDTROnOpen = true;
  std::uint16_t FOutputTimeout = 500;
  std::uint32_t FInputTimeout = 200;
  bool FCheckLineStatus = false;
};
