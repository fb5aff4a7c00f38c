// The driver's receive poll and packet path over a device whose queue counts, read sizes and
// failures the fuzzer chooses, with a clock it drives and handlers that may close the port or
// destroy the driver from inside an event; the device may also go away (hang up) at any step.

#include <fuzzer/FuzzedDataProvider.h>

#include <QByteArray>
#include <QCoreApplication>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "FuzzCheck.h"
#include "serial/SerialPortDriver.h"
#include "serial/platform/SerialDevice.h"

namespace {

// One device call or one event, in the order they happened during a poll.
struct TRecord {
  enum TKind : std::uint8_t { Read, Data, Packet } Kind;
  std::uint32_t Count = 0;              // asked for (reads)
  bool Ok = false;                      // the read's result
  const std::uint8_t* Where = nullptr;  // the read's buffer, or the event's pointer
  QByteArray Bytes;                     // what the read gave or the event carried
};

struct TLine {
  bool Open = false;
  bool DriverAlive = true;
  std::uint32_t Now = 0;
  std::uint32_t TickStep = 0;             // the clock moves by this on every reading
  QByteArray Input;                       // bytes that arrived and wait to be read
  QByteArray Written;                     // bytes the driver sent
  std::optional<std::uint32_t> ReportIn;  // the next queue count given instead of the truth
  std::uint32_t MaxPerRead = 0xFFFFFFFFu;
  bool FailReads = false;
  std::uint32_t OutQue = 0;
  std::uint32_t MaxPerWrite = 0xFFFFFFFFu;
  std::uint32_t LastReportedIn = 0;
  int CallsWhileClosed = 0;
  bool HangUp = false;  // the device is gone until the next open
  int Lost = 0;         // loss events raised
  std::vector<TRecord> Log;
};

class TFuzzDevice final : public ISerialDevice {
 public:
  explicit TFuzzDevice(std::shared_ptr<TLine> Line) : L(std::move(Line)) {}

  bool Open(const QString&) override {
    if (L->Open) return false;
    L->Open = true;
    L->HangUp = false;
    return true;
  }
  bool HungUp() const override { return L->HangUp; }
  void Close() override { L->Open = false; }
  bool IsOpen() const override { return L->Open; }
  bool SetCommState(const TDeviceControlBlock&) override { return Touch(); }
  bool SetupComm(std::uint32_t, std::uint32_t) override { return Touch(); }
  bool SetCommTimeouts(const TCommTimeouts&) override { return Touch(); }
  bool Purge(std::uint32_t Flags) override {
    if (!Touch()) return false;
    if (Flags & PurgeRxClear) L->Input.clear();
    return true;
  }
  bool ClearCommError(std::uint32_t& InQue, std::uint32_t& OutQue) override {
    InQue = OutQue = 0;
    if (!Touch() || L->HangUp) return false;
    InQue = L->ReportIn.value_or(static_cast<std::uint32_t>(L->Input.size()));
    L->ReportIn.reset();
    L->LastReportedIn = InQue;
    OutQue = L->OutQue;
    return true;
  }
  bool GetModemStatus(std::uint32_t& Bits) override {
    Bits = MsCtsOn | MsDsrOn;
    return Touch();
  }
  bool Read(void* Buffer, std::uint32_t Count, std::uint32_t& Got) override {
    Got = 0;
    TRecord R{TRecord::Read, Count, false, static_cast<const std::uint8_t*>(Buffer), {}};
    if (Touch() && !L->FailReads && !L->HangUp) {
      Got = std::min({Count, L->MaxPerRead, static_cast<std::uint32_t>(L->Input.size())});
      // Writing the whole count asked for shows a read larger than the buffer at once.
      std::memset(Buffer, 0xA5, Count);
      std::memcpy(Buffer, L->Input.constData(), Got);
      R.Bytes = L->Input.left(Got);
      L->Input.remove(0, Got);
      R.Ok = true;
    }
    const bool Ok = R.Ok;
    L->Log.push_back(std::move(R));
    return Ok;
  }
  bool Write(const void* Data, std::uint32_t Count, std::uint32_t& Written) override {
    Written = 0;
    if (!Touch() || L->HangUp) return false;
    Written = std::min(Count, L->MaxPerWrite);
    L->Written.append(static_cast<const char*>(Data), Written);
    return Written > 0;
  }
  int LastError() const override { return 0; }

 private:
  bool Touch() {
    if (!L->Open) ++L->CallsWhileClosed;
    return L->Open;
  }
  std::shared_ptr<TLine> L;
};

enum class THandler : std::uint8_t { Keep, ClosePort, DestroyDriver };

struct TRun {
  std::shared_ptr<TLine> Line = std::make_shared<TLine>();
  TSerialPortDriver* Driver = nullptr;
  THandler NextHandler = THandler::Keep;
};

void CheckSettings(const TSerialPortDriver& D) {
  FUZZ_CHECK(D.InBufSize() >= TSerialPortDriver::MinBufSize);
  FUZZ_CHECK(D.InBufSize() <= TSerialPortDriver::MaxBufSize);
  FUZZ_CHECK(D.PacketSize() == -1 || D.PacketSize() > 0);
  FUZZ_CHECK(D.PacketTimeout() == -1 || D.PacketTimeout() >= D.PollingDelay());
  FUZZ_CHECK(D.PollingDelay() >= TSerialPortDriver::MinPollingDelay);
  FUZZ_CHECK(D.PacketStart() >= -1 && D.PacketStart() <= 0xFFFFFFFFll);
}

// What one poll did, read from the log: every event carries exactly the bytes of the read just
// before it, from the buffer that read filled, and no read is larger than the buffer.
// Returns whether a partial packet timed out.
bool CheckPoll(const TRun& Run, std::uint32_t BufSize, std::int16_t PacketSize, TPacketMode Mode,
               std::int32_t PacketTimeout, std::int64_t StartBefore, bool Closed, bool Destroyed) {
  const std::vector<TRecord>& Log = Run.Line->Log;
  const std::uint32_t Queued = Run.Line->LastReportedIn;
  const bool Packets = PacketSize > 0;
  const std::uint32_t Size =
      Packets ? std::min(static_cast<std::uint32_t>(PacketSize), BufSize) : 0;

  std::size_t Reads = 0;
  std::size_t ShortReads = 0;
  for (std::size_t I = 0; I < Log.size(); ++I) {
    const TRecord& R = Log[I];
    if (R.Kind == TRecord::Read) {
      ++Reads;
      FUZZ_CHECK(R.Count <= BufSize);
      if (!Packets) {
        FUZZ_CHECK(R.Count > 0 && R.Count == std::min(Queued, BufSize));
      } else if (R.Count != Size) {
        // Only a partial packet whose time ran out is read short, and only once.
        FUZZ_CHECK(R.Count == Queued && Queued < Size);
        FUZZ_CHECK(PacketTimeout > 0 && StartBefore != -1);
        ++ShortReads;
      }
      const bool Delivers = R.Ok && !R.Bytes.isEmpty() &&
                            (!Packets || R.Count == Size || Mode == TPacketMode::pmPass);
      const bool Next = I + 1 < Log.size() && Log[I + 1].Kind != TRecord::Read;
      FUZZ_CHECK(Delivers == Next);
      continue;
    }
    FUZZ_CHECK(I > 0 && Log[I - 1].Kind == TRecord::Read);
    const TRecord& Source = Log[I - 1];
    FUZZ_CHECK(R.Kind == (Packets ? TRecord::Packet : TRecord::Data));
    FUZZ_CHECK(R.Where == Source.Where);
    FUZZ_CHECK(R.Bytes == Source.Bytes);
  }
  FUZZ_CHECK(ShortReads <= 1);
  if (!Packets) {
    FUZZ_CHECK(Reads == (Queued > 0 ? 1u : 0u));
  } else if (Queued >= Size) {
    // Every whole packet queued is taken in this poll, unless a handler stopped it.
    if (!Closed && !Destroyed) FUZZ_CHECK(Reads == Queued / Size);
    FUZZ_CHECK(Reads <= Queued / Size);
    FUZZ_CHECK(ShortReads == 0);
  } else {
    FUZZ_CHECK(Reads == ShortReads);
  }
  if (Destroyed || Closed) {
    // Nothing touches the device once a handler has closed the port or freed the driver.
    FUZZ_CHECK(Run.Line->CallsWhileClosed == 0);
    FUZZ_CHECK(!Log.empty() && Log.back().Kind != TRecord::Read);
  }
  return ShortReads == 1;
}

void InstallHandlers(TRun& Run) {
  TRun* R = &Run;
  auto Handle = [R](TRecord::TKind Kind, const std::uint8_t* Data, std::uint32_t Size) {
    R->Line->Log.push_back(
        {Kind, 0, true, Data,
         QByteArray(reinterpret_cast<const char*>(Data), static_cast<qsizetype>(Size))});
    const THandler Action = R->NextHandler;
    R->NextHandler = THandler::Keep;
    if (Action == THandler::ClosePort) {
      R->Driver->ClosePort();
    } else if (Action == THandler::DestroyDriver) {
      // Last statement: this closure lives inside the driver and goes with it.
      TSerialPortDriver* Doomed = std::exchange(R->Driver, nullptr);
      delete Doomed;
    }
  };
  Run.Driver->OnReceiveData = [Handle](QObject*, const std::uint8_t* Data, std::uint32_t Size) {
    Handle(TRecord::Data, Data, Size);
  };
  Run.Driver->OnReceivePacket = [Handle](QObject*, const std::uint8_t* Data, std::uint32_t Size) {
    Handle(TRecord::Packet, Data, Size);
  };
  Run.Driver->OnDeviceLost = [R](QObject* Sender) {
    ++R->Line->Lost;
    // Closed before the news: nothing the handler does can touch the gone device.
    FUZZ_CHECK(Sender == R->Driver && !R->Driver->IsOpen() && !R->Line->Open);
  };
}

void ApplySetting(FuzzedDataProvider& In, TSerialPortDriver& D) {
  const int Which = In.ConsumeIntegralInRange(0, 5);
  switch (Which) {
    case 0:
      D.SetInBufSize(In.ConsumeIntegral<std::uint32_t>());
      break;
    case 1:
      D.SetPacketSize(In.ConsumeIntegral<std::int16_t>());
      break;
    case 2:
      D.SetPacketTimeout(In.ConsumeIntegral<std::int32_t>());
      break;
    case 3:
      D.SetPollingDelay(In.ConsumeIntegral<std::uint16_t>());
      break;
    case 4:
      D.SetPacketMode(In.ConsumeBool() ? TPacketMode::pmPass : TPacketMode::pmDiscard);
      break;
    default:
      D.SetBaudRateValue(In.ConsumeIntegral<std::uint32_t>());
      break;
  }
  CheckSettings(D);
  // Sizing the buffer or the packet while closed makes a packet fit the buffer, as far as the
  // buffer can grow. (A packet enlarged while open waits for the next of these.)
  if (Which <= 1 && !D.IsOpen() && D.PacketSize() > 0)
    FUZZ_CHECK(D.InBufSize() >= std::min<std::uint32_t>(D.PacketSize(), 8192));
}

void Poll(FuzzedDataProvider& In, TRun& Run) {
  TSerialPortDriver& D = *Run.Driver;
  TLine& L = *Run.Line;
  if (In.ConsumeBool()) L.ReportIn = In.ConsumeIntegralInRange<std::uint32_t>(0, 3 * 8192);
  L.MaxPerRead = In.ConsumeBool() ? In.ConsumeIntegralInRange<std::uint32_t>(0, 300) : 0xFFFFFFFFu;
  L.FailReads = In.ConsumeIntegralInRange(0, 15) == 0;
  const std::uint8_t HandlerPick = In.ConsumeIntegralInRange(0, 31);
  Run.NextHandler = HandlerPick == 0   ? THandler::DestroyDriver
                    : HandlerPick == 1 ? THandler::ClosePort
                                       : THandler::Keep;

  const bool WasOpen = D.IsOpen();
  const std::uint32_t BufSize = D.InBufSize();
  const std::int16_t PacketSize = D.PacketSize();
  const TPacketMode Mode = D.PacketMode();
  const std::int32_t Timeout = D.PacketTimeout();
  const std::int64_t StartBefore = D.PacketStart();
  const qsizetype Before = L.Input.size();
  const bool Gone = L.HangUp;
  const int LostBefore = L.Lost;
  L.Log.clear();
  L.CallsWhileClosed = 0;
  L.LastReportedIn = 0;

  D.PollWindowProc();

  if (WasOpen && Gone) {
    // A gone device is reported once, read from never, and closed.
    FUZZ_CHECK(L.Lost == LostBefore + 1);
    FUZZ_CHECK(L.Log.empty() && L.Input.size() == Before);
    FUZZ_CHECK(Run.Driver != nullptr && !Run.Driver->IsOpen() && !L.Open);
    FUZZ_CHECK(L.CallsWhileClosed == 0);
    return;
  }
  FUZZ_CHECK(L.Lost == LostBefore);

  const bool Destroyed = Run.Driver == nullptr;
  const bool Closed = !Destroyed && WasOpen && !Run.Driver->IsOpen();
  if (!WasOpen) {
    FUZZ_CHECK(L.Log.empty() && L.Input.size() == Before);
    return;
  }
  const bool TimedOut =
      CheckPoll(Run, BufSize, PacketSize, Mode, Timeout, StartBefore, Closed, Destroyed);
  if (Destroyed) return;
  CheckSettings(*Run.Driver);
  if (PacketSize > 0 && !Closed) {
    const std::int64_t Start = Run.Driver->PacketStart();
    const std::uint32_t Size = std::min(static_cast<std::uint32_t>(PacketSize), BufSize);
    const std::uint32_t Queued = L.LastReportedIn;
    // The partial-packet clock: idle after a time-out or a queue that split into whole
    // packets; advanced one packet time per packet taken, never from idle; started at this
    // poll's tick by a fresh partial packet.
    if (TimedOut) {
      FUZZ_CHECK(Start == -1);
    } else if (Queued >= Size) {
      const std::uint32_t Taken = Queued / Size;
      if (Queued % Size == 0 || StartBefore == -1)
        FUZZ_CHECK(Start == -1);
      else
        FUZZ_CHECK(Start == static_cast<std::uint32_t>(
                                StartBefore + std::int64_t{Taken} *
                                                  PacketTimeMs(Run.Driver->BaudRateValue(), Size)));
    } else if (Queued > 0 && StartBefore == -1) {
      FUZZ_CHECK(Start == L.Now);
    } else {
      FUZZ_CHECK(Start == StartBefore);
    }
  }
}

void Transmit(FuzzedDataProvider& In, TRun& Run) {
  TLine& L = *Run.Line;
  L.OutQue = In.ConsumeIntegralInRange<std::uint32_t>(0, 9000);
  L.MaxPerWrite = In.ConsumeIntegralInRange<std::uint32_t>(0, 600);
  const QByteArray Text = QByteArray::fromStdString(In.ConsumeRandomLengthString(2000));
  const std::uint32_t Timeout = In.ConsumeIntegralInRange<std::uint32_t>(0, 50);
  L.Written.clear();
  L.TickStep = 1;  // the send loop spins on the clock; let it move
  const bool WasOpen = Run.Driver->IsOpen();
  const bool Gone = L.HangUp;
  const int LostBefore = L.Lost;
  const std::uint32_t Start = L.Now;
  const std::uint32_t Sent =
      Run.Driver->TransmitTimed(Text.constData(), static_cast<std::uint32_t>(Text.size()), Timeout);
  L.TickStep = 0;
  FUZZ_CHECK(Sent == static_cast<std::uint32_t>(L.Written.size()));
  FUZZ_CHECK(Text.startsWith(L.Written));
  if (!WasOpen) FUZZ_CHECK(Sent == 0);
  if (WasOpen && Gone && !Text.isEmpty()) {
    // Given up at once, not after the time-out, and reported once.
    FUZZ_CHECK(Sent == 0 && L.Now - Start < 8);
    FUZZ_CHECK(L.Lost == LostBefore + 1 && !Run.Driver->IsOpen());
  } else {
    FUZZ_CHECK(L.Lost == LostBefore);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* Argc, char*** Argv) {
  // The driver owns a QTimer; timers want an application object on their thread.
  static QCoreApplication App(*Argc, *Argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  FuzzedDataProvider In(Data, Size);
  TRun Run;
  Run.Line->Now = In.ConsumeIntegral<std::uint32_t>();  // near the wrap as often as not
  std::shared_ptr<TLine> Line = Run.Line;
  Run.Driver = new TSerialPortDriver(std::make_unique<TFuzzDevice>(Line), [Line] {
    const std::uint32_t T = Line->Now;
    Line->Now += Line->TickStep;
    return T;
  });
  InstallHandlers(Run);

  for (int Setting = In.ConsumeIntegralInRange(0, 6); Setting > 0; --Setting)
    ApplySetting(In, *Run.Driver);
  FUZZ_CHECK(Run.Driver->OpenPort());
  CheckSettings(*Run.Driver);

  for (int Step = 0; Step < 64 && In.remaining_bytes() > 0 && Run.Driver != nullptr; ++Step) {
    TSerialPortDriver& D = *Run.Driver;
    switch (In.ConsumeIntegralInRange(0, 10)) {
      case 0:
      case 1: {  // bytes arrive on the line
        const std::string Bytes = In.ConsumeRandomLengthString(4 * 8192);
        Line->Input.append(Bytes.data(), static_cast<qsizetype>(Bytes.size()));
        break;
      }
      case 2:  // time passes
        Line->Now += In.ConsumeIntegralInRange<std::uint32_t>(0, 1000);
        break;
      case 3:
      case 4:
      case 5:
        Poll(In, Run);
        break;
      case 6: {
        const bool Input = In.ConsumeBool();
        const bool Output = In.ConsumeBool();
        const bool Ok = D.PurgeBuffers(Input, Output);
        FUZZ_CHECK(Ok == D.IsOpen());
        if (Ok) FUZZ_CHECK(D.PacketStart() == -1);
        if (Ok && Input) FUZZ_CHECK(Line->Input.isEmpty());
        break;
      }
      case 7:
        ApplySetting(In, D);
        break;
      case 8:
        Transmit(In, Run);
        break;
      case 9:  // the device goes away
        Line->HangUp = true;
        break;
      default:  // close and open again: the open purges, so no partial packet survives
        D.ClosePort();
        FUZZ_CHECK(!D.IsOpen());
        if (In.ConsumeBool()) ApplySetting(In, D);
        FUZZ_CHECK(D.OpenPort());
        FUZZ_CHECK(D.PacketStart() == -1 && Line->Input.isEmpty() && !Line->HangUp);
        break;
    }
  }
  delete Run.Driver;
  return 0;
}
