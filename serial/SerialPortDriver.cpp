#include "serial/SerialPortDriver.h"

#include <poll.h>

#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "serial/platform/LinuxSerialDevice.h"
#include "serial/platform/Ticks.h"

namespace {

constexpr std::uint32_t RateTable[] = {0,     110,   300,   600,   1200,  2400,   4800,   9600,
                                       14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};

}  // namespace

std::uint32_t PacketTimeMs(std::uint32_t Rate, std::uint32_t Size) {
  if (Rate == 0) return 0;
  const double Ms = static_cast<double>(Size) / (static_cast<double>(Rate) / 10.0) * 1000.0;
  // nearbyint rounds in the default mode, to nearest with halves to even.
  return static_cast<std::uint32_t>(std::nearbyint(Ms));
}

TSerialPortDriver::TSerialPortDriver(QObject* Owner)
    : TSerialPortDriver(std::make_unique<TLinuxSerialDevice>(), &GetTickCount, Owner) {}

TSerialPortDriver::TSerialPortDriver(std::unique_ptr<ISerialDevice> Device,
                                     std::function<std::uint32_t()> TickCount, QObject* Owner)
    : QObject(Owner),
      FDevice(std::move(Device)),
      FTickCount(std::move(TickCount)),
      FPollTimer(new QTimer(this)) {
  // Sized here rather than in the list above: the buffer is declared before its size member.
  FRxBuffer.assign(FInBufSize, 0);
  connect(FPollTimer, &QTimer::timeout, this, [this] {
    // A readable port that gave nothing to take was left to the timer; look at it again.
    if (FReadNotifier) FReadNotifier->setEnabled(true);
    PollWindowProc();
  });
}

TSerialPortDriver::~TSerialPortDriver() {
  ClosePort();
  FAlive.reset();
}

void TSerialPortDriver::SetPort(TPortNumber Value) {
  if (FOpen) return;
  FPort = Value;
  if (Value != TPortNumber::pnCustom)
    FPortName = QStringLiteral("\\\\.\\COM%1").arg(static_cast<int>(Value));
}

void TSerialPortDriver::SetPortName(const QString& Value) {
  if (FOpen) return;
  FPort = TPortNumber::pnCustom;
  FPortName = Value;
}

void TSerialPortDriver::SetBaudRate(TBaudRate Value) {
  FBaudRate = Value;
  if (Value != TBaudRate::brCustom) FBaudRateValue = BaudRateBps(Value);
  if (FOpen) ConfigureLine();
}

void TSerialPortDriver::SetBaudRateValue(std::uint32_t Value) {
  FBaudRate = TBaudRate::brCustom;
  FBaudRateValue = Value;
  if (FOpen) ConfigureLine();
}

void TSerialPortDriver::SetDataBits(TDataBits Value) {
  FDataBits = Value;
  if (FOpen) ConfigureLine();
}

void TSerialPortDriver::SetStopBits(TStopBits Value) {
  FStopBits = Value;
  if (FOpen) ConfigureLine();
}

void TSerialPortDriver::SetParity(TParity Value) {
  FParity = Value;
  if (FOpen) ConfigureLine();
}

void TSerialPortDriver::SetHwFlow(THwFlowControl Value) {
  FHwFlow = Value;
  if (FOpen) ConfigureLine();
}

void TSerialPortDriver::SetSwFlow(TSwFlowControl Value) {
  FSwFlow = Value;
  if (FOpen) ConfigureLine();
}

void TSerialPortDriver::SetInBufSize(std::uint32_t Value) {
  if (FOpen) return;
  FInBufSize = std::clamp(Value, MinBufSize, MaxBufSize);
  // A fresh zero-filled buffer; bytes read but not yet delivered do not survive a resize.
  std::vector<std::uint8_t>(FInBufSize, 0).swap(FRxBuffer);
  SetPacketSize(FPacketSize);  // the buffer grows again if a packet would not fit
}

void TSerialPortDriver::SetOutBufSize(std::uint32_t Value) {
  if (FOpen) return;
  FOutBufSize = std::clamp(Value, MinBufSize, MaxBufSize);
}

void TSerialPortDriver::SetPacketSize(std::int16_t Value) {
  if (Value <= 0) {
    FPacketSize = -1;
    return;
  }
  FPacketSize = Value;
  // Grow the buffer to fit the packet when it can grow at all. A packet above the largest
  // buffer (or one set while the port is open) is kept as asked, and the poll reads at most
  // a buffer's worth per packet; the size check also ends the mutual call with SetInBufSize.
  const auto Wanted = static_cast<std::uint32_t>(Value);
  if (!FOpen && Wanted > FInBufSize && FInBufSize < MaxBufSize) SetInBufSize(Wanted);
}

void TSerialPortDriver::SetPacketTimeout(std::int32_t Value) {
  if (Value <= 0)
    FPacketTimeout = -1;
  else if (Value < FPollingDelay)
    FPacketTimeout = FPollingDelay + (FPollingDelay * 40) / 100;
  else
    FPacketTimeout = Value;
}

void TSerialPortDriver::SetPollingDelay(std::uint16_t Value) {
  Value = std::max(Value, MinPollingDelay);
  if (Value == FPollingDelay) return;
  FPollingDelay = Value;
  if (FOpen) FPollTimer->start(FPollingDelay);  // start() restarts a running timer
  SetPacketTimeout(FPacketTimeout);
}

bool TSerialPortDriver::OpenPort() {
  if (FOpen) return true;
  if (FOpening) return false;  // an open is waiting already (the events flow in its waits)
  FOpening = true;
  const std::weak_ptr<bool> Alive = FAlive;
  const bool Opened = FDevice->Open(FPortName);
  if (Alive.expired()) return false;  // destroyed while the open waited
  FOpening = false;
  if (!Opened) return false;
  FOpen = true;
  if (!ConfigureLine()) {
    ClosePort();
    return false;
  }
  // Reads return at once with what is queued; a write gives up after about 10 ms.
  TCommTimeouts Timeouts;
  Timeouts.ReadIntervalTimeout = 1;
  Timeouts.ReadTotalTimeoutConstant = 1;
  Timeouts.WriteTotalTimeoutConstant = 10;
  FDevice->SetCommTimeouts(Timeouts);
  FPollTimer->start(FPollingDelay);
  // Beside the poll's beat, the same poll step runs as soon as the port has bytes, so a reply
  // is delivered when it arrives rather than up to a beat later.
  if (const int Fd = FDevice->Descriptor(); Fd >= 0) {
    FReadNotifier = new QSocketNotifier(Fd, QSocketNotifier::Read, this);
    connect(FReadNotifier, &QSocketNotifier::activated, this, &TSerialPortDriver::PortReadable);
  }
  return true;
}

void TSerialPortDriver::ClosePort() {
  if (!FOpen) {
    if (FOpening) FDevice->Close();  // ends the open's waits
    return;
  }
  FPollTimer->stop();
  if (FReadNotifier) {
    // Not deleted here: the close may come from inside the notifier's own signal.
    FReadNotifier->setEnabled(false);
    FReadNotifier->deleteLater();
    FReadNotifier = nullptr;
  }
  FDevice->Close();
  FOpen = false;
}

void TSerialPortDriver::WaitForInput(std::uint32_t Ms) {
  const int Fd = FOpen ? FDevice->Descriptor() : -1;
  if (Fd < 0 || FPacketSize > 0) {
    SleepMs(Ms);
    return;
  }
  pollfd P{Fd, POLLIN, 0};
  if (::poll(&P, 1, static_cast<int>(Ms)) < 0) SleepMs(Ms);
}

void TSerialPortDriver::PortReadable() {
  if (!FReadNotifier) return;
  FReadNotifier->setEnabled(false);
  const std::weak_ptr<bool> Alive = FAlive;
  const std::uint64_t Before = FBytesTaken;
  PollWindowProc();
  if (Alive.expired() || !FOpen || !FReadNotifier) return;
  // Readable but nothing taken (a partial packet waiting for the rest or for its time-out, a
  // descriptor that only signals): the timer's next beat looks again, so it cannot spin.
  if (FBytesTaken != Before && FPacketSize <= 0) FReadNotifier->setEnabled(true);
}

TDeviceControlBlock TSerialPortDriver::MakeControlBlock() const {
  TDeviceControlBlock Dcb;
  Dcb.DCBlength = sizeof(TDeviceControlBlock);
  Dcb.BaudRate = FBaudRateValue;
  std::uint32_t Flags = dcb::fBinary;
  if (FEnableDTROnOpen) Flags |= dcb::DtrControlEnable;
  switch (FHwFlow) {
    case THwFlowControl::hfNONE:
      break;
    case THwFlowControl::hfNONERTSON:
      Flags |= dcb::RtsControlEnable;
      break;
    case THwFlowControl::hfRTSCTS:
      Flags |= dcb::fOutxCtsFlow | dcb::RtsControlHandshake;
      break;
  }
  if (FSwFlow == TSwFlowControl::sfXONXOFF) Flags |= dcb::fOutX | dcb::fInX;
  Dcb.Flags = Flags;
  Dcb.XonLim = static_cast<std::uint16_t>(FInBufSize / 4);
  Dcb.XoffLim = static_cast<std::uint16_t>(FInBufSize / 4);
  Dcb.ByteSize = static_cast<std::uint8_t>(static_cast<unsigned>(FDataBits) + 5);
  Dcb.Parity = static_cast<std::uint8_t>(FParity);
  Dcb.StopBits = static_cast<std::uint8_t>(FStopBits);
  Dcb.XonChar = 17;
  Dcb.XoffChar = 19;
  return Dcb;
}

bool TSerialPortDriver::ConfigureLine() {
  if (!FOpen) return false;
  if (!FDevice->SetCommState(MakeControlBlock())) return false;
  if (!PurgeBuffers(true, true)) return false;
  return FDevice->SetupComm(FInBufSize, FOutBufSize);
}

TModemLines TSerialPortDriver::ReadModemLines() {
  TModemLines Lines;
  if (!FOpen) return Lines;
  std::uint32_t Bits = 0;
  if (!FDevice->GetModemStatus(Bits)) return Lines;
  if (Bits & MsCtsOn) Lines.Include(TModemLine::mlCTS);
  if (Bits & MsDsrOn) Lines.Include(TModemLine::mlDSR);
  if (Bits & MsRingOn) Lines.Include(TModemLine::mlRING);
  if (Bits & MsRlsdOn) Lines.Include(TModemLine::mlRLSD);
  return Lines;
}

bool TSerialPortDriver::PurgeBuffers(bool Input, bool Output) {
  if (!FOpen) return false;
  std::uint32_t Flags = 0;
  if (Output) Flags |= PurgeTxAbort | PurgeTxClear;
  if (Input) Flags |= PurgeRxAbort | PurgeRxClear;
  const bool Ok = FDevice->Purge(Flags);
  if (Ok) FPacketStart = -1;
  return Ok;
}

std::uint16_t TSerialPortDriver::OutputSpaceLeft() {
  if (!FOpen) return 65535;
  std::uint32_t InQue = 0;
  std::uint32_t OutQue = 0;
  FDevice->ClearCommError(InQue, OutQue);
  if (OutQue >= FOutBufSize) return 0;
  return static_cast<std::uint16_t>(FOutBufSize - OutQue);
}

std::uint32_t TSerialPortDriver::TransmitTimed(const void* Data, std::uint32_t Count,
                                               std::uint32_t TimeoutMs) {
  std::uint32_t Sent = 0;
  if (!FOpen) return 0;
  const auto* Bytes = static_cast<const std::uint8_t*>(Data);
  std::uint32_t Mark = FTickCount();
  while (Count > 0) {
    const std::uint32_t Room = OutputSpaceLeft();
    if (FDevice->HungUp()) {
      LoseDevice();
      return Sent;  // only locals from here: the event's handler may have freed the driver
    }
    if (Room > 0) {
      // Without any modem line on no device is listening; waiting would only stall the caller.
      if (FCheckLineStatus && ReadModemLines().IsEmpty()) return Sent;
      std::uint32_t Written = 0;
      const std::uint32_t Chunk = std::min(Room, Count);
      FDevice->Write(Bytes, Chunk, Written);
      Written = std::min(Written, Chunk);
      if (FDevice->HungUp()) {
        LoseDevice();
        return Sent + Written;
      }
      if (Written > 0) {
        Sent += Written;
        Count -= Written;
        Bytes += Written;
        Mark = FTickCount();
        continue;
      }
    }
    // The time-out counts from the last progress; unsigned difference survives the wrap.
    const auto Waited = static_cast<std::uint32_t>(FTickCount() - Mark);
    if (Waited > TimeoutMs) return Sent;
    // No room (flow control holds the line) or nothing taken: the queue drains at the line's
    // pace, so look again after a moment instead of asking the device over and over.
    FDevice->WaitForRoom(std::min(RoomWaitMs, TimeoutMs - Waited + 1));
  }
  return Sent;
}

std::uint32_t TSerialPortDriver::Transmit(const void* Data, std::uint32_t Count) {
  return TransmitTimed(Data, Count, FOutputTimeout);
}

bool TSerialPortDriver::TransmitText(const QByteArray& Text) {
  const auto Length = static_cast<std::uint32_t>(Text.size());
  return Transmit(Text.constData(), Length) == Length;
}

std::uint32_t TSerialPortDriver::BaudRateBps(TBaudRate Rate) {
  const auto Index = static_cast<std::size_t>(Rate);
  return Index < std::size(RateTable) ? RateTable[Index] : 0;
}

void TSerialPortDriver::PollWindowProc() {
  if (!FOpen) return;
  std::uint32_t InQue = 0;
  std::uint32_t OutQue = 0;
  FDevice->ClearCommError(InQue, OutQue);
  if (FDevice->HungUp()) {
    LoseDevice();
    return;
  }
  if (FPacketSize > 0) {
    ReceivePackets(InQue);
    return;
  }
  if (InQue == 0) return;
  // One read per tick: whatever exceeds the buffer waits for the next poll.
  const std::uint32_t Want = std::min(InQue, static_cast<std::uint32_t>(FRxBuffer.size()));
  std::uint32_t Got = 0;
  if (!FDevice->Read(FRxBuffer.data(), Want, Got)) {
    if (FDevice->HungUp()) LoseDevice();
    return;
  }
  FBytesTaken += Got;
  if (Got > 0 && OnReceiveData) OnReceiveData(this, FRxBuffer.data(), std::min(Got, Want));
  // Nothing after the event: its handler may have closed the port or freed the driver.
}

void TSerialPortDriver::ReceivePackets(std::uint32_t Queued) {
  // A packet larger than the receive buffer (possible above 8192 bytes, or when set while the
  // port was open) is cut at the buffer's size, so a read never runs past the buffer.
  const std::uint32_t Size = std::min(static_cast<std::uint32_t>(FPacketSize),
                                      static_cast<std::uint32_t>(FRxBuffer.size()));
  std::uint8_t* Buffer = FRxBuffer.data();
  if (Queued >= Size) {
    const std::weak_ptr<bool> Alive = FAlive;
    const std::uint32_t Step = PacketTimeMs(FBaudRateValue, Size);
    while (Queued >= Size) {
      std::uint32_t Got = 0;
      if (FDevice->Read(Buffer, Size, Got) && Got > 0 && OnReceivePacket) {
        OnReceivePacket(this, Buffer, std::min(Got, Size));
        if (Alive.expired() || !FOpen) return;  // the handler closed or destroyed the driver
      }
      // The next packet's first byte came one packet time later. An idle clock is no tick
      // count and stays idle; the next partial packet starts it afresh.
      if (FPacketStart != -1) FPacketStart = static_cast<std::uint32_t>(FPacketStart + Step);
      Queued -= Size;
      if (Queued == 0) FPacketStart = -1;
    }
    return;
  }
  if (FPacketTimeout > 0 && FPacketStart != -1 &&
      static_cast<std::uint32_t>(FTickCount() - static_cast<std::uint32_t>(FPacketStart)) >
          static_cast<std::uint32_t>(FPacketTimeout)) {
    FPacketStart = -1;  // before the event, so a handler sees a settled clock
    std::uint32_t Got = 0;
    if (FDevice->Read(Buffer, Queued, Got) && FPacketMode == TPacketMode::pmPass && Got > 0 &&
        OnReceivePacket)
      OnReceivePacket(this, Buffer, std::min(Got, Queued));
    return;
  }
  if (Queued > 0 && FPacketStart == -1) FPacketStart = FTickCount();
}

void TSerialPortDriver::LoseDevice() {
  // Closed first, so the descriptor goes at once and nothing polls or sends on it again; the
  // loss is then reported once, since a closed port finds nothing more.
  ClosePort();
  if (OnDeviceLost) OnDeviceLost(this);
  // Nothing after the event: its handler may have freed the driver.
}

int TSerialPortDriver::LastError() const {
  return FDevice->LastError();
}
