// The window, the real driver and the simulator when things change inside a wait: the device
// lost and back, Monitor or Online switched, the window closed (in a real run of the program,
// in a child process), and the polling timer's period.
#include <time.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "core/LevelHistory.h"
#include "gui/ProgramMain.h"
#include "gui/monitor_window.h"
#include "serial/SerialPortDriver.h"
#include "support/SimProcess.h"
#include "support/WindowControls.h"

using vantrel::test::Child;
using vantrel::test::SimProcess;

namespace {

std::int64_t MonotonicNs() {
  timespec T{};
  clock_gettime(CLOCK_MONOTONIC, &T);
  return std::int64_t(T.tv_sec) * 1'000'000'000 + T.tv_nsec;
}

// The longest time the event loop went without a turn, the test's own actions left out.
class TStallMeter : public QObject {
 public:
  TStallMeter() {
    FTurn.setInterval(0);
    connect(&FTurn, &QTimer::timeout, this, [this] { Turn(); });
    FTurn.start();
    FLast = MonotonicNs();
  }
  void Turn() {
    const std::int64_t Now = MonotonicNs();
    Longest = std::max(Longest, Now - FLast);
    FLast = Now;
  }
  // The test blocked the thread itself (killed or started the simulator): not the window's.
  void Skip() { FLast = MonotonicNs(); }
  double LongestMs() const { return double(Longest) / 1e6; }
  std::int64_t Longest = 0;

 private:
  QTimer FTurn;
  std::int64_t FLast = 0;
};

// Every exchange the window's session sends and how it ends; a hook can act at a chosen one.
struct TExchanges {
  QStringList Sent;
  QList<std::int64_t> SentAt;
  int Waiting = 0;
  int MostWaiting = 0;
  std::function<void(const QString&, TExchangeStage)> Hook;
  void Install(TModemSession& S) {
    S.OnExchange = [this](const QByteArray& Command, TExchangeStage Stage) {
      const QString Name = QString::fromLatin1(Command.trimmed());
      if (Stage == TExchangeStage::Sent) {
        Sent << Name;
        SentAt << MonotonicNs();
        MostWaiting = std::max(MostWaiting, ++Waiting);
      } else {
        --Waiting;
      }
      if (Hook) Hook(Name, Stage);
    };
  }
};

const QString LinkPort = QStringLiteral("\\\\.\\COM3");
const QStringList SimArgs{"--port", "3", "--seed", "7", "--control"};
const QStringList Identity{"ATV1", "AT+GMI", "AT+GMM", "AT+GMR", "AT+GSN", "AT+CIMI"};
const QStringList Cycle{"AT^MONI", "AT^MONP", "AT^SMONC"};

}  // namespace

class TestLostAndAbandoned : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void lostAndBack_data();
  void lostAndBack();
  void switchedInsideAWait_data();
  void switchedInsideAWait();
  void closeInsideAWait_data();
  void closeInsideAWait();
  void pollingTimerNeverEarly();

 private:
  QTemporaryDir FConfig;
  QProcessEnvironment FEnv;
};

void TestLostAndAbandoned::initTestCase() {
  QVERIFY(FConfig.isValid());
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(FConfig.path()));
  FEnv = QProcessEnvironment::systemEnvironment();
  FEnv.insert(QStringLiteral("XDG_CONFIG_HOME"), FConfig.path());
}

void TestLostAndAbandoned::lostAndBack_data() {
  QTest::addColumn<QString>("command");  // the exchange at which the device goes
  QTest::addColumn<int>("stage");        // ... once it is sent, or once it is answered
  QTest::addColumn<bool>("monitoring");  // Monitor was on
  QTest::addColumn<bool>("kill");        // SIGKILL rather than a clean stop (pty closed)
  const int Sent = int(TExchangeStage::Sent);
  const int Answered = int(TExchangeStage::Answered);
  for (const bool Kill : {false, true}) {
    const char* How = Kill ? "killed" : "pty closed";
    QTest::addRow("inside AT^MONI, %s", How) << "AT^MONI" << Sent << true << Kill;
    QTest::addRow("between reports, %s", How) << "AT^MONI" << Answered << true << Kill;
    QTest::addRow("between cycles, %s", How) << "AT^SMONC" << Answered << true << Kill;
    QTest::addRow("inside going online, %s", How) << "AT+GMI" << Sent << false << Kill;
  }
}

void TestLostAndAbandoned::lostAndBack() {
  QFETCH(QString, command);
  QFETCH(int, stage);
  QFETCH(bool, monitoring);
  QFETCH(bool, kill);
  // COM3 leads to the modem's udev-style name, so it is known as itself when it is back, on
  // whatever pseudo-terminal it gets then.
  const QStringList Args = SimArgs + QStringList{"--alias", FConfig.filePath("modem")};
  SimProcess Sim;
  QVERIFY2(Sim.start(Args, FEnv), Sim.errorOutput().constData());
  TForm3 W;
  W.Modem()->SetPortName(LinkPort);
  W.Modem()->SetOutputTimeout(3000);
  auto* Online = Child<QCheckBox>(W, QStringLiteral("cbxOnline"));
  auto* Monitor = Child<QCheckBox>(W, QStringLiteral("cbxMonitor"));
  TExchanges X;
  X.Install(*W.Session());
  TStallMeter Stall;
  std::int64_t GoneAt = 0;
  int SentWhenGone = 0;
  QString ShownWhenGone;
  const bool BetweenCycles = command == QLatin1String("AT^SMONC");
  X.Hook = [&](const QString& Name, TExchangeStage Stage) {
    if (GoneAt != 0 || Name != command || int(Stage) != stage) return;
    const auto Go = [&] {
      if (kill)
        Sim.kill();
      else
        QVERIFY(Sim.stop());
      GoneAt = MonotonicNs();
      SentWhenGone = int(X.Sent.size());
      Stall.Skip();
    };
    if (BetweenCycles)  // while the polling timer waits for the next cycle
      QTimer::singleShot(300, &W, Go);
    else
      Go();
  };
  Online->setChecked(true);
  if (monitoring) {
    QVERIFY(Online->isChecked());
    Monitor->setChecked(true);
  }
  // Offline by itself within one cycle, keeping what it showed.
  QTRY_VERIFY_WITH_TIMEOUT(GoneAt != 0 && !Online->isChecked(), 10000);
  const double TookMs = double(MonotonicNs() - GoneAt) / 1e6;
  QVERIFY2(TookMs < 1100, qPrintable(QString::number(TookMs)));
  QVERIFY(!Monitor->isChecked());
  QVERIFY(!W.Modem()->IsOpen());
  QCOMPARE(Online->toolTip(), QStringLiteral("Device lost"));
  QCOMPARE(int(X.Sent.size()), SentWhenGone);  // nothing more went out
  ShownWhenGone = Child<QLabel>(W, QStringLiteral("sttChannel0"))->text();

  // Back on the same link and device: online, and monitoring if it was, without a click.
  QTest::qWait(1200);
  QCOMPARE(int(X.Sent.size()), SentWhenGone);
  QCOMPARE(Child<QLabel>(W, QStringLiteral("sttChannel0"))->text(), ShownWhenGone);
  QVERIFY2(Sim.start(Args, FEnv), Sim.errorOutput().constData());
  Stall.Skip();
  QTRY_VERIFY_WITH_TIMEOUT(Online->isChecked(), 5000);
  QCOMPARE(Online->toolTip(), QStringLiteral("Check to go online"));
  QCOMPARE(Child<QLineEdit>(W, QStringLiteral("lbeIMEI"))->text(),
           QStringLiteral("357246031234567"));
  if (monitoring) {
    QTRY_VERIFY_WITH_TIMEOUT(Monitor->isChecked(), 2000);
    QTRY_VERIFY_WITH_TIMEOUT(W.History()->Samples().size() >= 1, 5000);
  } else {
    QTest::qWait(1500);
    QVERIFY(!Monitor->isChecked());
  }
  QCOMPARE(X.MostWaiting, 1);
  qInfo("offline %.1f ms after the loss; longest event-loop stall %.1f ms", TookMs,
        Stall.LongestMs());
  // A send spinning on the dead port would stall for its whole output time-out, made long
  // here (3 s) so that the bound tells it apart with room for a busy machine.
  QVERIFY2(Stall.LongestMs() < 1000, qPrintable(QString::number(Stall.LongestMs())));
}

// Inside the wait of an unanswered exchange, a switch goes off and on again.
void TestLostAndAbandoned::switchedInsideAWait_data() {
  QTest::addColumn<QString>("box");      // the switch toggled
  QTest::addColumn<QString>("waiting");  // the exchange that is unanswered
  for (const char* Box : {"cbxMonitor", "cbxOnline"})
    for (const char* Waiting : {"AT^MONI", "AT^MONP", "AT+GMI"}) {
      if (QByteArray(Box) == "cbxMonitor" && QByteArray(Waiting) == "AT+GMI") continue;
      QTest::addRow("%s inside %s", Box + 3, Waiting)
          << QString::fromLatin1(Box) << QString::fromLatin1(Waiting);
    }
}

void TestLostAndAbandoned::switchedInsideAWait() {
  QFETCH(QString, box);
  QFETCH(QString, waiting);
  SimProcess Sim;
  QVERIFY2(Sim.start(SimArgs, FEnv), Sim.errorOutput().constData());
  QVERIFY(Sim.control(QStringLiteral("faults --unanswered ") + waiting));
  TForm3 W;
  W.Modem()->SetPortName(LinkPort);
  auto* Online = Child<QCheckBox>(W, QStringLiteral("cbxOnline"));
  auto* Monitor = Child<QCheckBox>(W, QStringLiteral("cbxMonitor"));
  auto* Toggled = Child<QCheckBox>(W, box);
  TExchanges X;
  X.Install(*W.Session());
  qsizetype ToggledAfter = -1;
  std::int64_t ToggledAt = 0;
  X.Hook = [&](const QString& Name, TExchangeStage Stage) {
    if (ToggledAfter >= 0 || Name != waiting || Stage != TExchangeStage::Sent) return;
    ToggledAfter = X.Sent.size();
    // Inside the wait; the modem answers again from now on.
    QTimer::singleShot(50, &W, [&] {
      QVERIFY(Sim.control(QStringLiteral("faults")));
      ToggledAt = MonotonicNs();
      Toggled->setChecked(false);
      Toggled->setChecked(true);
    });
  };
  Online->setChecked(true);
  if (waiting != QLatin1String("AT+GMI")) {
    QVERIFY(Online->isChecked());
    Monitor->setChecked(true);
  }
  QTRY_VERIFY_WITH_TIMEOUT(ToggledAt != 0, 10000);
  QTest::qWait(box == QLatin1String("cbxMonitor") ? 3200 : 2000);
  const QStringList After = X.Sent.mid(ToggledAfter);
  QVERIFY(Online->isChecked());
  if (box == QLatin1String("cbxMonitor")) {
    QCOMPARE(X.MostWaiting, 1);  // never two exchanges waiting at once
    // The old cycle ended where it was; the next starts a full period after the toggle.
    QVERIFY2(After.size() >= 3, qPrintable(After.join(' ')));
    QCOMPARE(After.mid(0, 3), Cycle);
    QVERIFY(double(X.SentAt[ToggledAfter] - ToggledAt) / 1e6 >= 1099);
    QVERIFY(Monitor->isChecked());
    return;
  }
  // Online went off and on: exactly one going online on the new connection, and nothing of
  // the old cycle (or the old going online) after it; Monitor is off, and the identity row
  // stays as going online emptied it.
  // (The new going online runs inside the old wait, which sends nothing more.)
  QCOMPARE(After, Identity);
  QCOMPARE(X.MostWaiting, 2);
  QVERIFY(!Monitor->isChecked());
  QCOMPARE(Child<QLineEdit>(W, QStringLiteral("lbeIMEI"))->text(),
           QStringLiteral("357246031234567"));
  for (int I = 0; I < 7; ++I) {
    QCOMPARE(Child<QLabel>(W, QStringLiteral("sttBSIC%1").arg(I))->text(), QString());
    QCOMPARE(Child<QLabel>(W, QStringLiteral("sttCellID%1").arg(I))->text(), QString());
  }
}

// The real program (RunMonitorProgram, as main runs it) in a child process, closed inside a
// wait: it must end within a moment, with status 0.
void TestLostAndAbandoned::closeInsideAWait_data() {
  QTest::addColumn<QString>("command");
  QTest::addColumn<int>("stage");
  QTest::newRow("inside AT^MONI") << "AT^MONI" << int(TExchangeStage::Sent);
  QTest::newRow("between reports") << "AT^MONP" << int(TExchangeStage::Answered);
  QTest::newRow("inside going online") << "AT+GMR" << int(TExchangeStage::Sent);
}

void TestLostAndAbandoned::closeInsideAWait() {
  QFETCH(QString, command);
  QFETCH(int, stage);
  SimProcess Sim;
  QVERIFY2(Sim.start(SimArgs, FEnv), Sim.errorOutput().constData());
  QVERIFY(Sim.control(QStringLiteral("faults --unanswered AT^MONI")));
  QProcess Program;
  QProcessEnvironment Env = FEnv;
  Env.insert(QStringLiteral("VANTREL_CLOSE_AT"), QStringLiteral("%1 %2").arg(command).arg(stage));
  Env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  Program.setProcessEnvironment(Env);
  Program.start(QCoreApplication::applicationFilePath(), {});
  QVERIFY(Program.waitForStarted(10000));
  QVERIFY(Program.waitForFinished(20000));
  const std::int64_t EndedAt = MonotonicNs();
  const QByteArray Out = Program.readAllStandardOutput();
  QCOMPARE(Program.exitStatus(), QProcess::NormalExit);
  QCOMPARE(Program.exitCode(), 0);
  // Closed at once: not one command after the close request. A window that finished the
  // cycle or the going online first sent the rest of its commands (0.5 to 1.1 s of them).
  const QList<QByteArray> Words = Out.trimmed().split(' ');
  QVERIFY2(Words.size() == 2 && Words[0] == "CLOSE", Out.constData());
  const double ExitMs = double(EndedAt - Words[1].toLongLong()) / 1e6;
  qInfo("exit %.1f ms after the close request", ExitMs);
}

void TestLostAndAbandoned::pollingTimerNeverEarly() {
  SimProcess Sim;
  QVERIFY2(Sim.start(SimArgs, FEnv), Sim.errorOutput().constData());
  TForm3 W;
  auto* Timer = W.findChild<QTimer*>(QStringLiteral("tmrPolling"));
  QCOMPARE(Timer->interval(), 1100);
  QCOMPARE(Timer->timerType(), Qt::PreciseTimer);
  W.Modem()->SetPortName(LinkPort);
  TExchanges X;
  X.Install(*W.Session());
  QList<std::int64_t> CycleEnds;
  X.Hook = [&](const QString& Name, TExchangeStage Stage) {
    if (Name == QLatin1String("AT^SMONC") && Stage != TExchangeStage::Sent)
      CycleEnds << MonotonicNs();
  };
  QVERIFY(vantrel::test::GoOnline(W, LinkPort));
  const std::int64_t CheckedAt = MonotonicNs();
  Child<QCheckBox>(W, QStringLiteral("cbxMonitor"))->setChecked(true);
  QTRY_VERIFY_WITH_TIMEOUT(CycleEnds.size() >= 4, 15000);
  // Each cycle starts 1100 ms after Monitor was checked or the previous one ended, never
  // sooner (a coarse timer fires up to 5 % early).
  QList<double> Gaps;
  for (qsizetype I = 0, Ends = 0; I < X.Sent.size() && Ends < 4; ++I) {
    if (X.Sent[I] != QLatin1String("AT^MONI")) continue;
    const std::int64_t From = Ends == 0 ? CheckedAt : CycleEnds[Ends - 1];
    Gaps << double(X.SentAt[I] - From) / 1e6;
    ++Ends;
  }
  for (const double Gap : Gaps) QVERIFY2(Gap >= 1099.5, qPrintable(QString::number(Gap)));
}

// VANTREL_CLOSE_AT="<command> <stage>" makes this program a run of the real program that
// closes its window once the given exchange reaches the given stage, prints "CLOSE <ns>" (the
// monotonic time of the close request) and "SENT <command>" for every command sent after it,
// and exits with what the program returns.
int main(int argc, char** argv) {
  if (const char* CloseAt = std::getenv("VANTREL_CLOSE_AT")) {
    const QList<QByteArray> Moment = QByteArray(CloseAt).split(' ');
    QApplication App(argc, argv);
    return RunMonitorProgram(App, [Moment](TForm3& W) {
      W.Modem()->SetPortName(LinkPort);
      auto Closed = std::make_shared<int>(0);  // 1 once asked to close, 2 once closing
      W.Session()->OnExchange = [&W, Moment, Closed](const QByteArray& Command,
                                                     TExchangeStage Stage) {
        if (*Closed == 2 && Stage == TExchangeStage::Sent) {
          std::printf("SENT %s\n", Command.trimmed().constData());
          std::fflush(stdout);
        }
        if (*Closed || Command.trimmed() != Moment.value(0) ||
            int(Stage) != Moment.value(1).toInt())
          return;
        *Closed = 1;
        QTimer::singleShot(20, &W, [&W, Closed] {
          std::printf("CLOSE %lld\n", static_cast<long long>(MonotonicNs()));
          std::fflush(stdout);
          *Closed = 2;
          W.close();
        });
      };
      QTimer::singleShot(0, &W, [&W] {
        Child<QCheckBox>(W, QStringLiteral("cbxOnline"))->setChecked(true);
        Child<QCheckBox>(W, QStringLiteral("cbxMonitor"))->setChecked(true);
      });
    });
  }
  QApplication App(argc, argv);
  TestLostAndAbandoned Test;
  QTEST_SET_MAIN_SOURCE_PATH
  return QTest::qExec(&Test, argc, argv);
}

#include "tst_e2e_lost.moc"
