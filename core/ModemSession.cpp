#include "core/ModemSession.h"

#include <QCoreApplication>
#include <QTimer>

#include "core/MiscLib.h"
#include "core/ReplyText.h"
#include "core/reports/FamilyReports.h"
#include "core/reports/ReportFields.h"
#include "serial/SerialPortDriver.h"
#include "serial/platform/PortResolver.h"
#include "serial/platform/Ticks.h"

const QByteArray TModemSession::OkTerminator = QByteArrayLiteral("\r\nOK\r\n");

namespace {

// What a device is known by across a loss: a USB adapter plugged back in may get another
// ttyUSB number, but keeps its by-id name, and the udev name the port map links to; a device
// with neither has only its path.
QString DeviceIdentity(const TPortResolution& Where) {
  if (!Where.StableName.isEmpty()) return Where.StableName;
  return Where.Alias.isEmpty() ? Where.DevicePath : Where.Alias;
}

QByteArray ErrorLineOf(const QList<QByteArray>& Lines) {
  for (const QByteArray& Line : Lines)
    if (HasErrorLine({Line})) return TrimBlanks(Line);
  return {};
}

}  // namespace

TCycleView ReadServingCell(const QList<QByteArray>& Lines, const std::array<TCellInfo, 7>& Cells) {
  TCycleView View;
  View.Serving = ParseServingCellReport(Lines, Cells[0]);
  return View;
}

TCycleView ReadNeighbourCells(const QList<QByteArray>& Lines,
                              const std::array<TCellInfo, 7>& Cells) {
  TCycleView View;
  if (auto Columns = ParseNeighbourCellReport(Lines, Cells))
    View.Neighbours = std::vector<TNeighbourColumnView>(Columns->begin(), Columns->end());
  return View;
}

TCycleView ReadCellIdentities(const QList<QByteArray>& Lines,
                              const std::array<TCellInfo, 7>& Cells) {
  TCycleView View;
  TCellIdentityReport Report = ParseCellIdentityReport(Lines, Cells);
  if (!Report.PrefixFound) return View;
  View.Fields = std::move(Report.Fields);
  View.Identities = std::move(Report.Columns);
  return View;
}

TReportExchanges MoniReportExchanges() {
  return {{QByteArrayLiteral("AT^MONI\r"), &ReadServingCell},
          {QByteArrayLiteral("AT^MONP\r"), &ReadNeighbourCells},
          {QByteArrayLiteral("AT^SMONC\r"), &ReadCellIdentities}};
}

TReportExchanges FamilyReportExchanges(TReportFamily Family) {
  if (Family == TReportFamily::rfMonitor) return MoniReportExchanges();
  // These families' reports come in two replies, read together.
  const bool HandOn = Family == TReportFamily::rfQuectel || Family == TReportFamily::rfCpsiCeng;
  TReportExchanges Exchanges;
  for (const QByteArray& Command : FamilyCommands(Family))
    Exchanges.push_back({Command, {}, HandOn});
  Exchanges.back().HandOn = false;
  Exchanges.back().Read = [Family](const QList<QByteArray>& Lines,
                                   const std::array<TCellInfo, 7>& Cells) {
    TFamilyView Report = ReadFamilyReport(Family, Lines, Cells);
    TCycleView View;
    View.Serving = std::move(Report.Serving);
    View.Neighbours = std::move(Report.Neighbours);
    View.Identities = std::move(Report.Identities);
    return View;
  };
  return Exchanges;
}

TModemSession::TModemSession(QObject* Owner)
    : QObject(Owner), FDriver(new TSerialPortDriver(this)), FDeviceWatch(new QTimer(this)) {
  FDriver->setObjectName(QStringLiteral("cpdModem"));
  FDriver->OnReceiveData = [this](QObject*, const std::uint8_t* Data, std::uint32_t Size) {
    ReceiveData(Data, Size);
  };
  FDriver->OnDeviceLost = [this](QObject*) { DeviceLost(); };
  // Resolving a name reads a link or lists a folder or two: cheap at this pace.
  FDeviceWatch->setInterval(1000);
  connect(FDeviceWatch, &QTimer::timeout, this, &TModemSession::CheckDevice);
}

bool TModemSession::OpenPort() {
  if (FShutDown) return false;
  const bool WasOpen = FDriver->IsOpen();
  if (!WasOpen) {
    // A new connection may lead to another modem: its family is read anew.
    FFamily = TReportFamily::rfMonitor;
    FReportRefused = false;
  }
  if (!FDriver->OpenPort()) return false;
  if (!WasOpen) {
    ++FGeneration;
    StopWatching();
    const TPortResolution Where = ResolvePortName(FDriver->PortName());
    FDeviceName = FDriver->PortName();
    FDevicePath = Where.DevicePath;
    FDevice = DeviceIdentity(Where);
  }
  return true;
}

void TModemSession::ClosePort() {
  FDriver->ClosePort();
  ++FGeneration;
}

void TModemSession::Shutdown() {
  FShutDown = true;
  StopWatching();
  ClosePort();
}

void TModemSession::DeviceLost() {
  // The driver has closed the port already; whatever waited on it is over.
  ++FGeneration;
  if (OnDeviceLost) OnDeviceLost();
}

void TModemSession::WatchForDevice() {
  if (FShutDown || FDriver->IsOpen()) return;
  FDeviceWatch->start();
}

void TModemSession::StopWatching() {
  FDeviceWatch->stop();
}

bool TModemSession::Watching() const {
  return FDeviceWatch->isActive();
}

void TModemSession::CheckDevice() {
  const TPortResolution Where = ResolvePortName(FDriver->PortName());
  if (!Where.Resolved) return;
  // The name may stand for another device now (the next port the system lists, another
  // program's pseudo-terminal): that one is never opened in the lost one's place. A name the
  // user changed since stands for what they chose.
  if (!FDevice.isEmpty() && FDriver->PortName() == FDeviceName && DeviceIdentity(Where) != FDevice)
    return;
  FDeviceWatch->stop();
  if (OnDeviceBack) OnDeviceBack();
}

void TModemSession::Notify(const QByteArray& Command, TExchangeStage Stage) {
  if (OnExchange) OnExchange(Command, Stage);
}

bool TModemSession::ExecCommand(const QByteArray& Command, const QByteArray& Terminator,
                                std::uint16_t Attempts, std::uint16_t Timeout) {
  if (FShutDown) return false;
  const std::uint64_t Gen = FGeneration;
  const std::uint64_t Serial = ++FExchangeSerial;
  // The reply buffer is left alone when a newer exchange, nested inside this wait, owns it.
  const auto GiveUp = [&] {
    if (Serial == FExchangeSerial) FReply.clear();
    Notify(Command, TExchangeStage::Abandoned);
    return false;
  };
  FDriver->PurgeBuffers(true, false);
  FReply.clear();
  FLastRefused = false;
  FLastErrorLine.clear();
  std::uint16_t Attempt = 0;
  for (;;) {
    FDriver->TransmitText(Command);  // a hang-up found here closes the port and abandons
    if (Abandoned(Gen)) return GiveUp();
    Notify(Command, TExchangeStage::Sent);
    if (Abandoned(Gen)) return GiveUp();
    const std::uint32_t Start = GetTickCount();
    for (;;) {
      // A step of 10 ms at most: it ends as soon as the port has bytes, which the events
      // below then deliver, so the reply is seen when its last bytes arrive.
      FDriver->WaitForInput(10);
      QCoreApplication::processEvents(QEventLoop::AllEvents);
      if (Abandoned(Gen)) return GiveUp();
      const std::uint32_t Now = GetTickCount();
      if (FReply.contains(Terminator) || TicksElapsed(Now, Start) > Timeout) break;
    }
    if (FReply.contains(Terminator)) {
      FLastRefused = false;
      Notify(Command, TExchangeStage::Answered);
      return true;
    }
    // An error reply ends without the terminator too; unlike silence, it is an answer.
    FLastErrorLine = ErrorLineOf(SplitReplyLines(FReply));
    FLastRefused = !FLastErrorLine.isEmpty();
    FReply.clear();
    Notify(Command, TExchangeStage::Failed);
    ++Attempt;
    if (Attempt >= Attempts) return false;
  }
}

void TModemSession::ReceiveData(const std::uint8_t* DataPtr, std::uint32_t DataSize) {
  FReply.append(reinterpret_cast<const char*>(DataPtr), static_cast<qsizetype>(DataSize));
  if (FReply.size() > MaxReplySize) FReply.remove(0, FReply.size() - MaxReplySize);
}

int TModemSession::SplitReply() {
  FLines = SplitReplyLines(FReply);
  return static_cast<int>(FLines.size());
}

bool TModemSession::Pause(std::uint32_t Ms) {
  if (FShutDown) return false;
  const std::uint64_t Gen = FGeneration;
  SleepMs(Ms);
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  return !Abandoned(Gen);
}

bool TModemSession::Exec(const QByteArray& Command) {
  return ExecCommand(Command, OkTerminator, 1, ReplyTimeout);
}

bool TModemSession::FailAt(const QByteArray& Command, bool SendFailed) {
  FFailedStep = {};
  FFailedStep.Command = Command.trimmed();
  FFailedStep.SendFailed = SendFailed;
  if (!SendFailed) FFailedStep.ErrorLine = FLastErrorLine;
  return false;
}

bool TModemSession::InitModem() {
  const std::uint64_t Gen = FGeneration;
  FFailedStep = {};
  const auto Step = [&](bool Ok) { return Ok && !Abandoned(Gen); };
  const auto Send = [&](const QByteArray& Text) {
    return Step(FDriver->TransmitText(Text)) || (!Abandoned(Gen) && FailAt(Text, true));
  };
  if (!Send(QByteArrayLiteral("+++"))) return false;
  if (!Step(Pause(50))) return false;
  if (!Send(QByteArrayLiteral("ATE0\r"))) return false;
  if (!Step(Pause(50))) return false;
  const QByteArray Verbose = QByteArrayLiteral("ATV1\r");
  if (!Step(Exec(Verbose))) return !Abandoned(Gen) && FailAt(Verbose);
  return Step(Pause(50));
}

bool TModemSession::ReadDeviceInfo() {
  struct TQuery {
    QByteArray Command;
    QByteArray TModemSession::*Target;
  };
  const std::array<TQuery, 5> Queries{
      {{QByteArrayLiteral("AT+GMI\r"), &TModemSession::FManufacturer},
       {QByteArrayLiteral("AT+GMM\r"), &TModemSession::FModel},
       {QByteArrayLiteral("AT+GMR\r"), &TModemSession::FRevision},
       {QByteArrayLiteral("AT+GSN\r"), &TModemSession::FImei},
       {QByteArrayLiteral("AT+CIMI\r"), &TModemSession::FImsi}}};
  const std::uint64_t Gen = FGeneration;
  FFamily = TReportFamily::rfMonitor;
  FFailedStep = {};
  FImsiRefusal.clear();
  for (const TQuery& Query : Queries) {
    if (!Exec(Query.Command)) {
      if (Abandoned(Gen)) return false;
      if (Query.Target == &TModemSession::FImsi && FImsiOptional && FLastRefused) {
        FImsiRefusal = FLastErrorLine;
        FImsi.clear();
        continue;
      }
      return FailAt(Query.Command);
    }
    if (Abandoned(Gen)) return false;
    if (SplitReply() < 2) {
      FailAt(Query.Command);
      FFailedStep.NoValue = true;
      return false;
    }
    this->*Query.Target = FLines.at(0);
  }
  FFamily = ChooseReportFamily(FManufacturer, FModel);
  return true;
}

TReportExchanges TModemSession::ReportExchanges() const {
  return FamilyReportExchanges(FFamily);
}

TCycleView TModemSession::ReadReply(const TReportReader& Reader) {
  TCycleView View = Reader(FLines, FCells);
  if (View.Serving) FCells[0] = View.Serving->Cell;
  if (View.Neighbours)
    for (std::size_t K = 0; K < View.Neighbours->size() && K < 6; ++K)
      FCells[K + 1] = (*View.Neighbours)[K].Cell;
  if (View.Fields) FFields = *View.Fields;
  if (View.Identities)
    for (std::size_t I = 0; I < 7; ++I) {
      FCells[I].Bsic = (*View.Identities)[I].Cell.Bsic;
      FCells[I].CellId = (*View.Identities)[I].Cell.CellId;
    }
  return View;
}

TCycleResult TModemSession::RunCycle(const std::function<void(const TCycleView&)>& Apply) {
  if (FShutDown) return TCycleResult::Abandoned;
  // A cycle of an older generation may still sit below in the call stack, abandoned; it
  // sends nothing more, so a new one may run. One of this generation may not.
  if (FCycleGeneration == FGeneration) return TCycleResult::Refused;
  const std::uint64_t Gen = FGeneration;
  struct TRunning {
    std::optional<std::uint64_t>& Slot;
    std::optional<std::uint64_t> Outer;
    ~TRunning() { Slot = Outer; }
  } Running{FCycleGeneration, std::exchange(FCycleGeneration, Gen)};
  bool Refused = false;
  TReportExchanges Exchanges = ReportExchanges();
  QList<QByteArray> HandedOn;
  for (std::size_t I = 0; I < Exchanges.size(); ++I) {
    const TReportExchange Exchange = Exchanges[I];
    const bool Answered = ExecCommand(Exchange.Command, OkTerminator, 1, ReplyTimeout);
    if (Abandoned(Gen)) return TCycleResult::Abandoned;
    if (I == 0 && !Answered && FLastRefused && RefusedFamilyFallback(FFamily) != FFamily) {
      // Not the modem its identity suggested: this cycle goes on with the fallback's commands.
      FFamily = RefusedFamilyFallback(FFamily);
      Exchanges = ReportExchanges();
      I = static_cast<std::size_t>(-1);
      continue;
    }
    Refused = Refused || (!Answered && FLastRefused);
    if (Exchange.HandOn) {
      if (Answered) HandedOn += SplitReplyLines(FReply);
      continue;
    }
    if (!Exchange.Read) continue;
    if (HandedOn.isEmpty()) {
      if (!Answered || SplitReply() <= 1) continue;
    } else {
      FLines =
          std::exchange(HandedOn, {}) + (Answered ? SplitReplyLines(FReply) : QList<QByteArray>());
      if (FLines.size() <= 1) continue;
    }
    const TCycleView View = ReadReply(Exchange.Read);
    if (Apply) Apply(View);
    if (Abandoned(Gen)) return TCycleResult::Abandoned;
  }
  FReportRefused = Refused;
  return TCycleResult::Done;
}
