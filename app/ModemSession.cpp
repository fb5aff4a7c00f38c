#include "app/ModemSession.h"

#include <QCoreApplication>

#include "app/MiscLib.h"
#include "app/ReplyText.h"
#include "serial/SerialPortDriver.h"
#include "serial/platform/Ticks.h"

const QByteArray TModemSession::OkTerminator = QByteArrayLiteral("\r\nOK\r\n");

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

TModemSession::TModemSession(QObject* Owner)
    : QObject(Owner), FDriver(new TSerialPortDriver(this)) {
  FDriver->setObjectName(QStringLiteral("cpdModem"));
  FDriver->OnReceiveData = [this](QObject*, const std::uint8_t* Data, std::uint32_t Size) {
    ReceiveData(Data, Size);
  };
}

bool TModemSession::OpenPort() {
  return FDriver->OpenPort();
}

void TModemSession::ClosePort() {
  FDriver->ClosePort();
}

void TModemSession::Notify(const QByteArray& Command, TExchangeStage Stage) {
  if (OnExchange) OnExchange(Command, Stage);
}

bool TModemSession::ExecCommand(const QByteArray& Command, const QByteArray& Terminator,
                                std::uint16_t Attempts, std::uint16_t Timeout) {
  FDriver->PurgeBuffers(true, false);
  FReply.clear();
  std::uint16_t Attempt = 0;
  for (;;) {
    FDriver->TransmitText(Command);
    Notify(Command, TExchangeStage::Sent);
    const std::uint32_t Start = GetTickCount();
    for (;;) {
      SleepMs(10);
      QCoreApplication::processEvents(QEventLoop::AllEvents);
      const std::uint32_t Now = GetTickCount();
      if (FReply.contains(Terminator) || TicksElapsed(Now, Start) > Timeout) break;
    }
    if (FReply.contains(Terminator)) {
      Notify(Command, TExchangeStage::Answered);
      return true;
    }
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

void TModemSession::Pause(std::uint32_t Ms) {
  SleepMs(Ms);
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool TModemSession::InitModem() {
  if (!FDriver->TransmitText(QByteArrayLiteral("+++"))) return false;
  Pause(50);
  if (!FDriver->TransmitText(QByteArrayLiteral("ATE0\r"))) return false;
  Pause(50);
  if (!ExecCommand(QByteArrayLiteral("ATV1\r"), OkTerminator, 1, ReplyTimeout)) return false;
  Pause(50);
  return true;
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
  for (const TQuery& Query : Queries) {
    if (!ExecCommand(Query.Command, OkTerminator, 1, ReplyTimeout)) return false;
    if (SplitReply() < 2) return false;
    this->*Query.Target = FLines.at(0);
  }
  return true;
}

TReportExchanges TModemSession::ReportExchanges() const {
  // The seam for other report families: the identity read while going online will choose
  // among them here. Every modem speaks the one family known so far.
  return MoniReportExchanges();
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

void TModemSession::RunCycle(const std::function<void(const TCycleView&)>& Apply) {
  for (const TReportExchange& Exchange : ReportExchanges()) {
    if (!ExecCommand(Exchange.Command, OkTerminator, 1, ReplyTimeout)) continue;
    if (!Exchange.Read || SplitReply() <= 1) continue;
    const TCycleView View = ReadReply(Exchange.Read);
    if (Apply) Apply(View);
  }
}
