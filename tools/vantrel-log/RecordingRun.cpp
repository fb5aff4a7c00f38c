#include "RecordingRun.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QFileDevice>
#include <QThread>
#include <cstdio>

#include "core/ConnectionKeeper.h"
#include "core/GpsClient.h"
#include "core/ModemSession.h"
#include "core/ReplyText.h"
#include "core/reports/ReportFamily.h"
#include "serial/SerialPortDriver.h"
#include "serial/platform/PortResolver.h"

namespace {

void Say(const QString& Text) {
  std::fputs(Text.toLocal8Bit().constData(), stderr);
  std::fflush(stderr);
}

// A fix older than this at the end of a cycle says nothing about where the cycle was heard.
constexpr qint64 FixMaxAgeMs = 3000;

QString Now() {
  return QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
}

// "\\.\COM3" selects the third port as the window's list does; anything else is taken as it is.
void SelectPort(TSerialPortDriver& Driver, const QString& Name) {
  const int Number = ComPortNumber(Name);
  if (Number >= 1 && Number <= 16 && Name.startsWith(QLatin1String("\\\\.\\"))) {
    Driver.SetPort(static_cast<TPortNumber>(Number));
  } else {
    Driver.SetPort(TPortNumber::pnCustom);
    Driver.SetPortName(Name);
  }
}

}  // namespace

TRecordingRun::TRecordingRun(const TLogOptions& Options, QIODevice& Output, bool WriteHeader)
    : FOptions(Options),
      FOutput(Output),
      FWriteHeader(WriteHeader && Options.Format == TRecordFormat::rfCsv),
      FSession(std::make_unique<TModemSession>()),
      // Records on the same terminal as the status line would be torn apart by it.
      FStatusLine(::isatty(STDERR_FILENO) == 1 &&
                  (!Options.Output.isEmpty() || ::isatty(STDOUT_FILENO) != 1)) {
  TSerialPortDriver& Driver = *FSession->Driver();
  SelectPort(Driver, Options.Port);
  Driver.SetBaudRate(TBaudRate::brCustom);
  Driver.SetBaudRateValue(Options.Rate);
  FSession->OnExchange = [this](const QByteArray&, TExchangeStage Stage) {
    if (Stage == TExchangeStage::Failed) ++FTimeouts;
  };
  // A modem without a SIM, or with a locked one, still reports its cells: recorded, IMSI empty.
  FSession->SetImsiOptional(true);
  FKeeper = new TConnectionKeeper(FSession.get(), FSession.get());
  FKeeper->SetMonitoring(true);
  FKeeper->OnIdentified = [this] { FReports = FamilyName(FSession->Family()); };
  FKeeper->OnNote = [this](const QString& Note) {
    if (std::exchange(FNoted, true)) return;
    Say(QStringLiteral("%1vantrel-log: %2; its records carry an empty IMSI\n")
            .arg(FStatusLine ? QStringLiteral("\r\033[K") : QString(), Note));
  };
  // The message takes the status line's place; the next record draws it again below.
  FKeeper->OnLost = [this] {
    Say(QStringLiteral("%1%2 device lost on %3; waiting for it to come back\n")
            .arg(FStatusLine ? QStringLiteral("\r\033[K") : QString(), Now(), FOptions.Port));
  };
  FKeeper->OnBack = [this](bool) {
    Say(QStringLiteral("%1 device back on %2\n").arg(Now(), FOptions.Port));
  };
  if (Options.Gps) {
    FGps = std::make_unique<TGpsClient>();
    const QString Server = QStringLiteral("%1:%2").arg(Options.Gps->Host).arg(Options.Gps->Port);
    connect(FGps.get(), &TGpsClient::ReachableChanged, this, [this, Server](bool Reachable) {
      Say(QStringLiteral("%1%2 gpsd at %3 %4\n")
              .arg(FStatusLine ? QStringLiteral("\r\033[K") : QString(), Now(), Server,
                   Reachable ? QStringLiteral("reached")
                             : QStringLiteral("not reachable; records go without positions")));
    });
    FGps->Start(Options.Gps->Host, Options.Gps->Port);
  }
}

TRecordingRun::~TRecordingRun() = default;

void TRecordingRun::RequestStop() {
  FStop = true;
  // A cycle finishes its record; anything else (going online, waiting) ends now.
  if (!FSession->CycleRunning()) FSession->Abandon();
}

bool TRecordingRun::Idle(int Ms, bool UntilLost) {
  QElapsedTimer Waited;
  Waited.start();
  while (!FStop && Waited.elapsed() < Ms && !TimeUsedUp() && !(UntilLost && FKeeper->Lost())) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(10);
  }
  return !FStop;
}

bool TRecordingRun::TimeUsedUp() const {
  return FOptions.DurationMs && FClock.isValid() && FClock.elapsed() >= *FOptions.DurationMs;
}

bool TRecordingRun::WaitForDevice() {
  // The keeper watches for the device and goes online again when it is back.
  while (FKeeper->Lost())
    if (!Idle(100) || TimeUsedUp()) return false;
  return true;
}

std::optional<TRecordPosition> TRecordingRun::FreshPosition() {
  const std::optional<TGpsFix> Fix = FGps->FreshFix(FixMaxAgeMs);
  if (!Fix) return std::nullopt;
  return RecordPosition(*Fix, FGps->FixAgeMs());
}

bool TRecordingRun::WriteRecord(const TDriveRecord& Taken) {
  TDriveRecord Record = Taken;
  if (FGps) Record.Position = FreshPosition();
  const TCsvColumns Columns{FGps != nullptr};
  QByteArray Bytes =
      FOptions.Format == TRecordFormat::rfCsv ? CsvRow(Record, Columns) : JsonLine(Record);
  if (FWriteHeader) {
    Bytes.prepend(CsvHeader(Columns));
    FWriteHeader = false;
  }
  // A record is written whole or not at all: a short write (a full disk) is cut off again.
  auto* File = qobject_cast<QFileDevice*>(&FOutput);
  const qint64 Before = File && !File->isSequential() ? File->size() : -1;
  if (FOutput.write(Bytes) != Bytes.size()) {
    FWriteError = FOutput.errorString();
    if (Before >= 0) File->resize(Before);
    return false;
  }
  ++FRecords;
  return true;
}

void TRecordingRun::ShowStatus(const TDriveRecord& Record) {
  if (!FStatusLine) return;
  const TRecordCell& S = Record.Serving;
  const QString Serving = S.Channel.isEmpty() ? QStringLiteral("no serving cell")
                                              : QStringLiteral("serving %1 (%2) %3 dBm")
                                                    .arg(S.Channel, S.Band.isEmpty() ? "-" : S.Band,
                                                         S.Level.isEmpty() ? "?" : S.Level);
  const QString Gps =
      FGps ? ", " + GpsStatusText(FGps->Reachable(), FGps->FreshFix(FixMaxAgeMs)) : QString();
  Say(QStringLiteral("\r\033[K%1 records, %2, %3 timed out%4")
          .arg(FRecords)
          .arg(Serving)
          .arg(FTimeouts)
          .arg(Gps));
}

int TRecordingRun::Exec() {
  switch (FKeeper->GoOnline()) {
    case TOnlineResult::Online:
      break;
    case TOnlineResult::Failed:
      Say(QStringLiteral("vantrel-log: %1\n").arg(FKeeper->FailureReason()));
      return 1;
    case TOnlineResult::Abandoned:
      if (FStop) return 0;
      Say(QStringLiteral("vantrel-log: the device on %1 went away while going online\n")
              .arg(FOptions.Port));
      return 1;
  }
  Say(QStringLiteral("%1 recording %2 %3 on %4 with %5\n")
          .arg(Now(), PlainModemText(FSession->Manufacturer()).trimmed(),
               PlainModemText(FSession->Model()).trimmed(), FOptions.Port, FReports));
  FClock.start();
  while (!FStop) {
    if (FKeeper->Lost() && !WaitForDevice()) break;
    FRecorder.Begin(QDateTime::currentDateTime(), PlainModemText(FSession->Imsi()).trimmed(),
                    FReports);
    const TCycleResult Result =
        FSession->RunCycle([this](const TCycleView& View) { FRecorder.Add(View); });
    if (Result == TCycleResult::Done && !FKeeper->Lost()) {
      if (!WriteRecord(FRecorder.Record())) {
        Say(QStringLiteral("%1vantrel-log: cannot write %2: %3; stopped after %4 records\n")
                .arg(FStatusLine && FRecords > 0 ? QStringLiteral("\n") : QString(),
                     FOptions.Output.isEmpty() ? QStringLiteral("standard output")
                                               : FOptions.Output,
                     FWriteError)
                .arg(FRecords));
        FSession->Shutdown();
        return 1;
      }
      ShowStatus(FRecorder.Record());
      if (FOptions.Cycles && FRecords >= *FOptions.Cycles) break;
    }
    if (FKeeper->Lost()) continue;  // wait for it at once rather than after the interval
    if (TimeUsedUp() || !Idle(FOptions.IntervalMs, true) || TimeUsedUp()) break;
  }
  if (FStatusLine && FRecords > 0) Say(QStringLiteral("\n"));
  FSession->Shutdown();
  return 0;
}
