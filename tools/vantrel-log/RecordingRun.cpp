#include "RecordingRun.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QThread>
#include <cstdio>

#include "core/GpsClient.h"
#include "core/ModemSession.h"
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
  FSession->OnDeviceLost = [this] { FLost = true; };
  FSession->OnDeviceBack = [this] { FBack = true; };
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
  while (!FStop && Waited.elapsed() < Ms && !TimeUsedUp() && !(UntilLost && FLost)) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(10);
  }
  return !FStop;
}

bool TRecordingRun::TimeUsedUp() const {
  return FOptions.DurationMs && FClock.isValid() && FClock.elapsed() >= *FOptions.DurationMs;
}

QString TRecordingRun::PortProblem() const {
  const TPortResolution R = ResolvePortName(FSession->Driver()->PortName());
  if (!R.Resolved) return QStringLiteral("%1 stands for no device on this machine").arg(R.Name);
  const QString Device = R.DevicePath + (R.Via.isEmpty() ? QString() : " (" + R.Via + ")");
  if (!R.Accessible && !R.AccessGroup.isEmpty())
    return QStringLiteral("%1 may not be opened by this user: join the group %2")
        .arg(Device, R.AccessGroup);
  if (!R.Accessible) return QStringLiteral("%1 may not be opened by this user").arg(Device);
  return QStringLiteral("%1 could not be opened (another program may hold it)").arg(Device);
}

TRecordingRun::TOnline TRecordingRun::GoOnline() {
  if (!FSession->OpenPort()) return TOnline::NoPort;
  if (FSession->InitModem() && FSession->ReadDeviceInfo()) {
    FReports = FamilyName(FSession->Family());
    return TOnline::Online;
  }
  FSession->ClosePort();
  return FStop ? TOnline::Stopped : TOnline::NoModem;
}

bool TRecordingRun::WaitForDevice() {
  FSession->ClosePort();
  // The message takes the status line's place; the next record draws it again below.
  Say(QStringLiteral("%1%2 device lost on %3; waiting for it to come back\n")
          .arg(FStatusLine ? QStringLiteral("\r\033[K") : QString(), Now(), FOptions.Port));
  for (;;) {
    FBack = false;
    FSession->WatchForDevice();
    while (!FBack)
      if (!Idle(100) || TimeUsedUp()) return false;
    const TOnline State = GoOnline();
    if (State == TOnline::Online) {
      Say(QStringLiteral("%1 device back on %2\n").arg(Now(), FOptions.Port));
      FLost = false;
      return true;
    }
    if (State == TOnline::Stopped) return false;
    // Plugged back in but not answering yet (still starting up): give it a moment.
    if (!Idle(1000)) return false;
  }
}

std::optional<TRecordPosition> TRecordingRun::FreshPosition() {
  const std::optional<TGpsFix> Fix = FGps->FreshFix(FixMaxAgeMs);
  if (!Fix) return std::nullopt;
  return RecordPosition(*Fix, FGps->FixAgeMs());
}

void TRecordingRun::WriteRecord(const TDriveRecord& Taken) {
  TDriveRecord Record = Taken;
  if (FGps) Record.Position = FreshPosition();
  const TCsvColumns Columns{FGps != nullptr};
  QByteArray Bytes =
      FOptions.Format == TRecordFormat::rfCsv ? CsvRow(Record, Columns) : JsonLine(Record);
  if (FWriteHeader) {
    Bytes.prepend(CsvHeader(Columns));
    FWriteHeader = false;
  }
  FOutput.write(Bytes);
  ++FRecords;
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
  switch (GoOnline()) {
    case TOnline::Online:
      break;
    case TOnline::NoPort:
      Say(QStringLiteral("vantrel-log: cannot open %1: %2\n").arg(FOptions.Port, PortProblem()));
      return 1;
    case TOnline::NoModem:
      Say(QStringLiteral("vantrel-log: no modem answers on %1 (%2 bit/s): it did not identify\n")
              .arg(FOptions.Port)
              .arg(FOptions.Rate));
      return 1;
    case TOnline::Stopped:
      return 0;
  }
  Say(QStringLiteral("%1 recording %2 %3 on %4 with %5\n")
          .arg(Now(), QString::fromLatin1(FSession->Manufacturer()).trimmed(),
               QString::fromLatin1(FSession->Model()).trimmed(), FOptions.Port, FReports));
  FClock.start();
  while (!FStop) {
    if (FLost && !WaitForDevice()) break;
    FRecorder.Begin(QDateTime::currentDateTime(), QString::fromLatin1(FSession->Imsi()).trimmed(),
                    FReports);
    const TCycleResult Result =
        FSession->RunCycle([this](const TCycleView& View) { FRecorder.Add(View); });
    if (Result == TCycleResult::Done && !FLost) {
      WriteRecord(FRecorder.Record());
      ShowStatus(FRecorder.Record());
      if (FOptions.Cycles && FRecords >= *FOptions.Cycles) break;
    }
    if (FLost) continue;  // wait for it at once rather than after the interval
    if (TimeUsedUp() || !Idle(FOptions.IntervalMs, true) || TimeUsedUp()) break;
  }
  if (FStatusLine && FRecords > 0) Say(QStringLiteral("\n"));
  FSession->Shutdown();
  return 0;
}
