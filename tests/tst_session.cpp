// The modem session on its own, without a widget (QCoreApplication only), against the
// simulator: going online, a cycle's views, a lost device and waits that are abandoned.
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "core/ModemSession.h"
#include "serial/SerialPortDriver.h"
#include "support/SimProcess.h"

using vantrel::test::SimProcess;

Q_DECLARE_METATYPE(TCycleResult)
Q_DECLARE_METATYPE(TReportFamily)

namespace {

// What the session sent, and how each exchange ended.
struct TExchangeLog {
  QStringList Sent;
  QStringList Ends;
  int Waiting = 0;
  int MostWaiting = 0;
  void Install(TModemSession& S) {
    S.OnExchange = [this](const QByteArray& Command, TExchangeStage Stage) {
      const QString Name = QString::fromLatin1(Command.trimmed());
      if (Stage == TExchangeStage::Sent) {
        Sent << Name;
        MostWaiting = std::max(MostWaiting, ++Waiting);
        return;
      }
      --Waiting;
      Ends << Name + (Stage == TExchangeStage::Answered ? QStringLiteral(" answered")
                      : Stage == TExchangeStage::Failed ? QStringLiteral(" failed")
                                                        : QStringLiteral(" abandoned"));
    };
  }
};

}  // namespace

class TestSession : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void onlineAndACycle();
  void familyCycle_data();
  void familyCycle();
  void changeInsideAWait_data();
  void changeInsideAWait();
  void lostDeviceAndBack_data();
  void lostDeviceAndBack();

 private:
  QTemporaryDir FConfig;
  QProcessEnvironment FEnv;
};

void TestSession::initTestCase() {
  QVERIFY(FConfig.isValid());
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(FConfig.path()));
  FEnv = QProcessEnvironment::systemEnvironment();
  FEnv.insert(QStringLiteral("XDG_CONFIG_HOME"), FConfig.path());
}

void TestSession::onlineAndACycle() {
  SimProcess Sim;
  QVERIFY(Sim.start({"--no-link", "--seed", "7"}, FEnv));
  TModemSession S;
  S.Driver()->SetPortName(Sim.slavePath());
  QVERIFY(S.OpenPort());
  QVERIFY(S.InitModem());
  QVERIFY(S.ReadDeviceInfo());
  QCOMPARE(S.Imei(), QByteArray("357246031234567"));
  QVERIFY(!S.Manufacturer().isEmpty());

  QList<TCycleView> Views;
  QCOMPARE(S.RunCycle([&Views](const TCycleView& V) { Views << V; }), TCycleResult::Done);
  // One view per report, each filling its own part, and the records follow the views.
  QCOMPARE(Views.size(), 3);
  QVERIFY(Views[0].Serving && !Views[0].Neighbours && !Views[0].Identities);
  QVERIFY(!Views[1].Serving && Views[1].Neighbours && !Views[1].Identities);
  QVERIFY(!Views[2].Serving && !Views[2].Neighbours && Views[2].Identities && Views[2].Fields);
  QCOMPARE(S.Cells()[0].Channel, Views[0].Serving->Cell.Channel);
  QCOMPARE(S.Cells()[1].Channel, Views[1].Neighbours->front().Cell.Channel);
  QCOMPARE(S.Cells()[0].CellId, (*Views[2].Identities)[0].Cell.CellId);
  QVERIFY(S.Cells()[0].CellId != 0);
  QCOMPARE(S.Fields(), *Views[2].Fields);
}

// Something changes while the cycle waits for its serving report.
void TestSession::familyCycle_data() {
  QTest::addColumn<QStringList>("Options");
  QTest::addColumn<TReportFamily>("Family");
  QTest::addColumn<QStringList>("Cycle");
  QTest::addColumn<bool>("Refused");
  const TReportFamily Ceng = TReportFamily::rfCeng;
  QTest::newRow("SIM800") << QStringList{"--family", "ceng"} << Ceng
                          << QStringList{"AT+CENG=1,1", "AT+CENG?"} << false;
  QTest::newRow("Telit") << QStringList{"--family", "moni"} << TReportFamily::rfMoni
                         << QStringList{"AT#MONI=7", "AT#MONI"} << false;
  QTest::newRow("Wavecom") << QStringList{"--family", "cced"} << TReportFamily::rfCced
                           << QStringList{"AT+CCED=0,3"} << false;
  QTest::newRow("report refused") << QStringList{"--family", "ceng", "--error", "AT+CENG?"} << Ceng
                                  << QStringList{"AT+CENG=1,1", "AT+CENG?"} << true;
  QTest::newRow("switch refused") << QStringList{"--family", "ceng", "--error", "AT+CENG=1,1"}
                                  << Ceng << QStringList{"AT+CENG=1,1", "AT+CENG?"} << true;
  // Silence is no refusal: the modem may be busy, not lacking the command.
  QTest::newRow("report unanswered")
      << QStringList{"--family", "cced", "--unanswered", "AT+CCED=0,3"} << TReportFamily::rfCced
      << QStringList{"AT+CCED=0,3"} << false;
  QTest::newRow("other maker, AT^MONP refused")
      << QStringList{"--error", "AT^MONP"} << TReportFamily::rfMonitor
      << QStringList{"AT^MONI", "AT^MONP", "AT^SMONC"} << true;
}

void TestSession::familyCycle() {
  QFETCH(QStringList, Options);
  QFETCH(TReportFamily, Family);
  QFETCH(QStringList, Cycle);
  QFETCH(bool, Refused);
  SimProcess Sim;
  QVERIFY(Sim.start(QStringList{"--no-link", "--seed", "7"} + Options, FEnv));
  TModemSession S;
  TExchangeLog Log;
  Log.Install(S);
  S.Driver()->SetPortName(Sim.slavePath());
  QVERIFY(S.OpenPort());
  QVERIFY(S.InitModem());
  QCOMPARE(S.Family(), TReportFamily::rfMonitor);  // not before the identity is read
  QVERIFY(S.ReadDeviceInfo());
  QCOMPARE(S.Family(), Family);
  QCOMPARE(ChooseReportFamily(S.Manufacturer()), Family);

  Log.Sent.clear();
  QList<TCycleView> Views;
  QCOMPARE(S.RunCycle([&Views](const TCycleView& V) { Views << V; }), TCycleResult::Done);
  QCOMPARE(Log.Sent, Cycle);
  QCOMPARE(S.ReportRefused(), Refused);
  if (Family != TReportFamily::rfMonitor) {
    // The family's one report fills serving column, neighbours and identities together.
    const bool Reads = !Refused && !Options.contains(QStringLiteral("--unanswered"));
    // A report switched off reads as no report: its view fills nothing.
    const auto Filled = std::count_if(Views.begin(), Views.end(),
                                      [](const TCycleView& V) { return V.Serving.has_value(); });
    QCOMPARE(int(Filled), Reads ? 1 : 0);
    if (Reads) {
      QCOMPARE(Views.size(), 1);
      QVERIFY(Views[0].Serving && Views[0].Neighbours && Views[0].Identities);
      QCOMPARE(S.Cells()[0].Channel, Views[0].Serving->Cell.Channel);
      QVERIFY(S.Cells()[0].Channel != 0);
    }
  }

  // Another connection may lead to another modem: the family is read anew.
  S.ClosePort();
  QVERIFY(S.OpenPort());
  QCOMPARE(S.Family(), TReportFamily::rfMonitor);
  QVERIFY(!S.ReportRefused());
}

void TestSession::changeInsideAWait_data() {
  QTest::addColumn<QString>("change");
  QTest::addColumn<TCycleResult>("result");
  QTest::addColumn<QStringList>("sent");  // everything the session sent, in order
  const QStringList Cycle{"AT^MONI", "AT^MONP", "AT^SMONC"};
  // The owner's switch changed: the cycle ends, nothing more goes out.
  QTest::newRow("abandoned") << "abandon" << TCycleResult::Abandoned << QStringList{"AT^MONI"};
  QTest::newRow("port closed") << "close" << TCycleResult::Abandoned << QStringList{"AT^MONI"};
  QTest::newRow("shut down") << "shutdown" << TCycleResult::Abandoned << QStringList{"AT^MONI"};
  // A second cycle of the same generation is refused inside the first, which goes on.
  QTest::newRow("second cycle") << "cycle" << TCycleResult::Done << Cycle;
  // The port closed and opened again inside the wait: the old cycle sends nothing on the new
  // connection, while a new cycle there runs whole.
  QTest::newRow("reconnected, new cycle")
      << "reconnect" << TCycleResult::Abandoned << QStringList{"AT^MONI"} + Cycle;
}

void TestSession::changeInsideAWait() {
  QFETCH(QString, change);
  QFETCH(TCycleResult, result);
  QFETCH(QStringList, sent);
  SimProcess Sim;
  QVERIFY(Sim.start({"--no-link", "--seed", "7", "--unanswered", "AT^MONI"}, FEnv));
  TModemSession S;
  S.Driver()->SetPortName(Sim.slavePath());
  QVERIFY(S.OpenPort());
  TExchangeLog Log;
  Log.Install(S);
  std::optional<TCycleResult> Inner;
  QTimer::singleShot(100, &S, [&] {
    if (change == QLatin1String("abandon")) S.Abandon();
    if (change == QLatin1String("close")) S.ClosePort();
    if (change == QLatin1String("shutdown")) S.Shutdown();
    if (change == QLatin1String("cycle")) Inner = S.RunCycle({});
    if (change == QLatin1String("reconnect")) {
      S.ClosePort();
      if (S.OpenPort()) Inner = S.RunCycle({});
    }
  });
  int Views = 0;
  QElapsedTimer Clock;
  Clock.start();
  QCOMPARE(S.RunCycle([&Views](const TCycleView&) { ++Views; }), result);
  if (result == TCycleResult::Abandoned) QCOMPARE(Views, 0);
  QCOMPARE(Log.Sent, sent);
  QCOMPARE(S.CycleRunning(), false);
  if (change == QLatin1String("cycle")) QCOMPARE(Inner, std::optional(TCycleResult::Refused));
  if (change == QLatin1String("reconnect")) QCOMPARE(Inner, std::optional(TCycleResult::Done));
  if (change == QLatin1String("shutdown")) {
    // Ended at once, and no wait is started any more.
    QVERIFY2(Clock.elapsed() < 400, qPrintable(QString::number(Clock.elapsed())));
    // Long waits asked for, so that one that still ran (7 s) stands far apart from the
    // immediate refusal, also on a busy machine.
    Clock.restart();
    QVERIFY(!S.ExecCommand("AT\r", TModemSession::OkTerminator, 1, 5000));
    QVERIFY(!S.Pause(2000));
    QVERIFY2(Clock.elapsed() < 1000, qPrintable(QString::number(Clock.elapsed())));
    QVERIFY(!S.OpenPort());
  }
  // The abandoned exchange never counted as sent twice at once.
  QCOMPARE(Log.MostWaiting, change == QLatin1String("reconnect") ? 2 : 1);
}

// The simulator goes away in the middle of a cycle, then comes back on the same link and the
// same pseudo-terminal.
void TestSession::lostDeviceAndBack_data() {
  QTest::addColumn<bool>("kill");  // SIGKILL (link left dangling) or a clean stop
  QTest::newRow("simulator stopped") << false;
  QTest::newRow("simulator killed") << true;
}

void TestSession::lostDeviceAndBack() {
  QFETCH(bool, kill);
  // COM7 leads to the modem's udev-style name, so it is the same device on any pty.
  const QStringList Args{"--port", "7", "--seed", "7", "--alias", FConfig.filePath("modem")};
  SimProcess Sim;
  QVERIFY(Sim.start(Args, FEnv));
  TModemSession S;
  S.Driver()->SetPortName(QStringLiteral("\\\\.\\COM7"));
  QVERIFY(S.OpenPort());
  int Lost = 0;
  bool OpenWhenLost = true;
  S.OnDeviceLost = [&] {
    ++Lost;
    OpenWhenLost = S.Driver()->IsOpen();
  };
  TExchangeLog Log;
  Log.Install(S);
  auto Exchange = std::move(S.OnExchange);
  S.OnExchange = [&](const QByteArray& Command, TExchangeStage Stage) {
    Exchange(Command, Stage);
    if (Command == "AT^MONI\r" && Stage == TExchangeStage::Sent && Lost == 0) {
      if (kill)
        Sim.kill();
      else
        Sim.stop();
    }
  };
  QElapsedTimer Clock;
  Clock.start();
  QCOMPARE(S.RunCycle({}), TCycleResult::Abandoned);
  QVERIFY2(Clock.elapsed() < 1000, qPrintable(QString::number(Clock.elapsed())));
  QCOMPARE(Lost, 1);
  QVERIFY(!OpenWhenLost);
  QCOMPARE(Log.Sent, QStringList{"AT^MONI"});
  QCOMPARE(Log.Ends, QStringList{"AT^MONI abandoned"});

  // Watching: nothing while it is gone, then once when it is back.
  int Back = 0;
  S.OnDeviceBack = [&Back] { ++Back; };
  S.WatchForDevice();
  QVERIFY(S.Watching());
  QTest::qWait(1500);
  QCOMPARE(Back, 0);
  QVERIFY(Sim.start(Args, FEnv));
  QTRY_COMPARE_WITH_TIMEOUT(Back, 1, 5000);
  QVERIFY(!S.Watching());
  QVERIFY(S.OpenPort());
  QCOMPARE(S.RunCycle({}), TCycleResult::Done);
  QCOMPARE(Lost, 1);
}

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
