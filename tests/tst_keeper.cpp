// The connection keeper through the real session against the simulator: its transitions
// (online, lost, watched, back, the user deciding, a name that now means another device) and
// the reasons it gives when going online fails.
#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "core/ConnectionKeeper.h"
#include "core/ModemSession.h"
#include "serial/SerialPortDriver.h"
#include "support/SimProcess.h"

using vantrel::test::SimProcess;

Q_DECLARE_METATYPE(TOnlineResult)

namespace {

const QString LinkPort = QStringLiteral("\\\\.\\COM5");

// Every event of the keeper, in order, as short words.
struct TEventLog {
  QStringList Events;
  void Install(TConnectionKeeper& K) {
    K.OnConnecting = [this] { Events << QStringLiteral("connecting"); };
    K.OnIdentified = [this] { Events << QStringLiteral("identified"); };
    K.OnFailed = [this](const QString& Reason) { Events << QStringLiteral("failed: ") + Reason; };
    K.OnNote = [this](const QString& Note) { Events << QStringLiteral("note: ") + Note; };
    K.OnLost = [this] { Events << QStringLiteral("lost"); };
    K.OnBack = [this](bool Resume) {
      Events << (Resume ? QStringLiteral("back, resume") : QStringLiteral("back"));
    };
  }
};

}  // namespace

class TestKeeper : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void transitions_data();
  void transitions();
  void goingOnlineFails_data();
  void goingOnlineFails();

 private:
  QTemporaryDir FConfig;
  QProcessEnvironment FEnv;
};

void TestKeeper::initTestCase() {
  QVERIFY(FConfig.isValid());
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(FConfig.path()));
  FEnv = QProcessEnvironment::systemEnvironment();
  FEnv.insert(QStringLiteral("XDG_CONFIG_HOME"), FConfig.path());
}

// Steps: "online", "monitor" (monitoring on), "lose" (the simulator killed), "back" (it comes
// back on its own pseudo-terminal), "user" (a click: the user decides), "other" (the port name
// now leads to a second simulator).
void TestKeeper::transitions_data() {
  QTest::addColumn<QStringList>("steps");
  QTest::addColumn<QStringList>("events");
  QTest::addColumn<bool>("online");  // at the end
  const QStringList Online{"connecting", "identified"};
  QTest::newRow("online") << QStringList{"online"} << Online << true;
  QTest::newRow("lost while monitoring, back")
      << QStringList{"online", "monitor", "lose", "back"}
      << Online + QStringList{"lost"} + Online + QStringList{"back, resume"} << true;
  QTest::newRow("lost, back") << QStringList{"online", "lose", "back"}
                              << Online + QStringList{"lost"} + Online + QStringList{"back"}
                              << true;
  QTest::newRow("lost, the user decides")
      << QStringList{"online", "monitor", "lose", "user", "back"} << Online + QStringList{"lost"}
      << false;
  // The name leads to another modem now: it is never opened in the lost one's place.
  QTest::newRow("lost, the name means another device")
      << QStringList{"online", "lose", "other"} << Online + QStringList{"lost"} << false;
}

void TestKeeper::transitions() {
  QFETCH(QStringList, steps);
  QFETCH(QStringList, events);
  QFETCH(bool, online);
  // COM5 leads to the modem's udev-style name, which goes and comes with it.
  const QStringList Args{"--port", "5", "--seed", "7", "--alias", FConfig.filePath("modem")};
  SimProcess Sim;
  SimProcess Other;
  QVERIFY(Sim.start(Args, FEnv));
  // The second modem is there before the first goes: two ports, as on a desktop.
  if (steps.contains(QStringLiteral("other")))
    QVERIFY(Other.start({"--no-link", "--seed", "7"}, FEnv));
  TModemSession S;
  S.Driver()->SetPortName(LinkPort);
  TConnectionKeeper K(&S);
  TEventLog Log;
  Log.Install(K);
  for (const QString& Step : steps) {
    if (Step == QLatin1String("online")) {
      QCOMPARE(K.GoOnline(), TOnlineResult::Online);
    } else if (Step == QLatin1String("monitor")) {
      K.SetMonitoring(true);
    } else if (Step == QLatin1String("lose")) {
      Sim.kill();  // its name goes; the port map link stays, leading nowhere
      QTRY_VERIFY_WITH_TIMEOUT(K.Lost(), 5000);
      QVERIFY(!K.Online() && !S.Driver()->IsOpen() && S.Watching());
    } else if (Step == QLatin1String("back")) {
      QVERIFY(Sim.start(Args, FEnv));
      if (online)
        QTRY_VERIFY_WITH_TIMEOUT(!K.Lost(), 10000);
      else
        QTest::qWait(2500);  // two turns of the watch
    } else if (Step == QLatin1String("user")) {
      K.EndWatch();
      QVERIFY(!K.Lost() && !S.Watching());
    } else if (Step == QLatin1String("other")) {
      const QString Link = FConfig.filePath(QStringLiteral("vantrel/ports/com5"));
      QVERIFY(QFile::remove(Link));
      QVERIFY(QFile::link(Other.slavePath(), Link));
      QTest::qWait(2500);  // two turns of the watch
      QVERIFY(K.Lost() && S.Watching());
    }
  }
  QCOMPARE(Log.Events, events);
  QCOMPARE(K.Online(), online);
  QCOMPARE(S.Driver()->IsOpen(), online);
}

// What the keeper says when going online fails, and the one refusal a recorder may accept.
// "@dev" stands for the simulator's pseudo-terminal.
void TestKeeper::goingOnlineFails_data() {
  QTest::addColumn<QString>("port");  // empty: the simulator's
  QTest::addColumn<QStringList>("sim");
  QTest::addColumn<QString>("setup");
  QTest::addColumn<TOnlineResult>("result");
  QTest::addColumn<QString>("says");
  const TOnlineResult Failed = TOnlineResult::Failed;
  QTest::newRow("no such device") << "/dev/vantrel-none" << QStringList{} << "" << Failed
                                  << "cannot open /dev/vantrel-none: it stands for no device on "
                                     "this machine";
  QTest::newRow("not a serial port")
      << "/dev/null" << QStringList{} << "" << Failed << "cannot open /dev/null: not a serial port";
  QTest::newRow("held by another program")
      << "" << QStringList{} << "hold" << Failed << "@dev is held by another program";
  if (::geteuid() != 0)  // root may open anything
    QTest::newRow("permission denied") << "" << QStringList{} << "chmod" << Failed
                                       << "cannot open @dev: permission denied (the tty group)";
  QTest::newRow("no answer to ATV1")
      << "" << QStringList{"--unanswered", "ATV1"} << "" << Failed << "no answer to ATV1 on @dev";
  QTest::newRow("no answer to AT+GMI") << "" << QStringList{"--unanswered", "AT+GMI"} << ""
                                       << Failed << "no answer to AT+GMI on @dev";
  QTest::newRow("IMSI refused") << "" << QStringList{"--error", "AT+CIMI"} << "" << Failed
                                << "AT+CIMI answered ERROR";
  QTest::newRow("IMSI refused, a recorder goes on")
      << "" << QStringList{"--error", "AT+CIMI"} << "imsi optional" << TOnlineResult::Online
      << "note: AT+CIMI answered ERROR: no IMSI (no SIM, or a locked one)";
}

void TestKeeper::goingOnlineFails() {
  QFETCH(QString, port);
  QFETCH(QStringList, sim);
  QFETCH(QString, setup);
  QFETCH(TOnlineResult, result);
  QFETCH(QString, says);
  SimProcess Sim;
  if (port.isEmpty()) {
    QVERIFY(Sim.start(QStringList{"--no-link", "--seed", "7"} + sim, FEnv));
    port = Sim.slavePath();
  }
  says.replace(QStringLiteral("@dev"), port);
  TModemSession Holder;  // another program that has the port open
  if (setup == QLatin1String("hold")) {
    Holder.Driver()->SetPortName(port);
    QVERIFY(Holder.OpenPort());
  }
  if (setup == QLatin1String("chmod")) QVERIFY(QFile::setPermissions(port, {}));
  TModemSession S;
  S.Driver()->SetPortName(port);
  S.SetImsiOptional(setup == QLatin1String("imsi optional"));
  TConnectionKeeper K(&S);
  TEventLog Log;
  Log.Install(K);
  QCOMPARE(K.GoOnline(), result);
  QCOMPARE(S.Driver()->IsOpen(), result == TOnlineResult::Online);
  if (result == TOnlineResult::Failed) {
    QCOMPARE(Log.Events, (QStringList{"connecting", "failed: " + says}));
    QCOMPARE(K.FailureReason(), says);
  } else {
    QCOMPARE(Log.Events, (QStringList{"connecting", "identified", says}));
    QVERIFY(S.Imsi().isEmpty());
  }
}

QTEST_GUILESS_MAIN(TestKeeper)
#include "tst_keeper.moc"
