// Sharing the machine with ModemManager: the real driver, device layer, window and settings
// dialog against a mocked ModemManager (python-dbusmock) on a private bus that stands in for
// the system bus.
#include <pty.h>
#include <unistd.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstring>
#include <memory>

#include "gui/SerialSettingsDlg.h"
#include "gui/monitor_window.h"
#include "serial/SerialPortDriver.h"
#include "serial/platform/ModemManagerInhibitor.h"
#include "support/SimProcess.h"
#include "support/WindowControls.h"

using vantrel::test::Child;
using vantrel::test::SimProcess;

namespace {

const QString MockTemplate = QStringLiteral(VANTREL_TEST_SUPPORT_DIR "/modemmanager_mock.py");
const QString Uid = QStringLiteral("/sys/devices/pci0000:00/0000:00:14.0/usb1/1-3");
const QString Mm = QStringLiteral("org.freedesktop.ModemManager1");
const QString MmPath = QStringLiteral("/org/freedesktop/ModemManager1");
const QString MockInterface = QStringLiteral("org.freedesktop.DBus.Mock");
constexpr int SimPort = 9;  // the simulator's comN link

// Generous: the code under test waits at most about 200 ms for the bus; a busy 2-core
// machine must not make this flake, a default D-Bus time-out (25 s) or a stray retry must fail.
constexpr qint64 NoDelayBoundMs = 1500;

QString Python() {
  // Debian's interpreter: the one python3-dbusmock is installed for.
  return QFile::exists(QStringLiteral("/usr/bin/python3")) ? QStringLiteral("/usr/bin/python3")
                                                           : QStringLiteral("python3");
}

struct TInhibitCall {
  QString Uid;
  bool Inhibit = false;
  bool operator==(const TInhibitCall&) const = default;
};

char* toString(const TInhibitCall& C) {
  return QTest::toString(C.Uid +
                         (C.Inhibit ? QStringLiteral(" inhibit") : QStringLiteral(" release")));
}

QVariant Unwrapped(const QVariant& V) {
  return V.canConvert<QDBusVariant>() ? V.value<QDBusVariant>().variant() : V;
}

// dbus-daemon with a bus of our own; the code under test finds it as the system bus.
class TPrivateBus {
 public:
  ~TPrivateBus() {
    if (FDaemon.state() != QProcess::NotRunning) {
      FDaemon.terminate();
      if (!FDaemon.waitForFinished(5000)) FDaemon.kill();
      FDaemon.waitForFinished(5000);
    }
  }
  // Empty on success, else why no bus could be had.
  QString Start() {
    FDaemon.setProgram(QStringLiteral("dbus-daemon"));
    FDaemon.setArguments({QStringLiteral("--session"), QStringLiteral("--nofork"),
                          QStringLiteral("--print-address=1"),
                          QStringLiteral("--address=unix:path=") + FDir.filePath("bus")});
    // It complains about fd limits it may not raise as a normal user; nothing to see.
    FDaemon.setStandardErrorFile(QProcess::nullDevice());
    FDaemon.start();
    if (!FDaemon.waitForStarted(10000)) return QStringLiteral("dbus-daemon did not start");
    QDeadlineTimer Deadline(10000);
    while (!FDaemon.canReadLine()) {
      if (FDaemon.state() != QProcess::Running || Deadline.hasExpired())
        return QStringLiteral("dbus-daemon gave no address");
      FDaemon.waitForReadyRead(100);
    }
    FAddress = QString::fromLocal8Bit(FDaemon.readLine()).trimmed();
    return FAddress.isEmpty() ? QStringLiteral("dbus-daemon gave an empty address") : QString();
  }
  QString Address() const { return FAddress; }

 private:
  QTemporaryDir FDir;
  QProcess FDaemon;
  QString FAddress;
};

// ModemManager as the mock template plays it, watched over the bus.
class TMockModemManager {
 public:
  explicit TMockModemManager(QDBusConnection Bus) : FBus(std::move(Bus)) {}
  ~TMockModemManager() { Stop(); }

  bool Start(const QJsonObject& Parameters) {
    Stop();
    FProcess.setProgram(Python());
    FProcess.setArguments({QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("-t"),
                           MockTemplate, QStringLiteral("-p"),
                           QString::fromUtf8(QJsonDocument(Parameters).toJson())});
    FProcess.setStandardOutputFile(QProcess::nullDevice());
    FProcess.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    FProcess.start();
    if (!FProcess.waitForStarted(10000)) return false;
    QDeadlineTimer Deadline(20000);
    while (!HasOwner()) {
      if (FProcess.state() != QProcess::Running || Deadline.hasExpired()) return false;
      QTest::qWait(20);
    }
    return true;
  }
  void Stop() {
    if (FProcess.state() == QProcess::NotRunning) return;
    FProcess.terminate();
    if (!FProcess.waitForFinished(5000)) FProcess.kill();
    FProcess.waitForFinished(5000);
    // The bus drops the name once it sees the connection go; wait for that.
    QDeadlineTimer Deadline(5000);
    while (HasOwner() && !Deadline.hasExpired()) QTest::qWait(10);
  }
  bool HasOwner() {
    QDBusMessage M = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    M << Mm;
    const QDBusMessage R = FBus.call(M);
    return R.type() == QDBusMessage::ReplyMessage && R.arguments().value(0).toBool();
  }

  // InhibitDevice calls in the order they arrived, from the mock's own call log.
  QList<TInhibitCall> Calls() {
    QDBusMessage M =
        QDBusMessage::createMethodCall(Mm, MmPath, MockInterface, QStringLiteral("GetMethodCalls"));
    M << QStringLiteral("InhibitDevice");
    const QDBusMessage R = FBus.call(M, QDBus::Block, 30000);
    QList<TInhibitCall> Out;
    if (R.type() != QDBusMessage::ReplyMessage) {
      qWarning("GetMethodCalls: %s", qPrintable(R.errorMessage()));
      Out.append({QStringLiteral("<call log unreadable>"), false});
      return Out;
    }
    const auto Log = R.arguments().value(0).value<QDBusArgument>();
    Log.beginArray();
    while (!Log.atEnd()) {
      quint64 Stamp = 0;
      QVariantList Args;
      Log.beginStructure();
      Log >> Stamp >> Args;
      Log.endStructure();
      Out.append({Unwrapped(Args.value(0)).toString(), Unwrapped(Args.value(1)).toBool()});
    }
    Log.endArray();
    return Out;
  }
  // For each InhibitDevice call: the processes that had the modem's port open at that moment.
  QList<QList<uint>> Openers() {
    const QDBusMessage R =
        FBus.call(QDBusMessage::createMethodCall(Mm, MmPath, MockInterface,
                                                 QStringLiteral("OpenersAtInhibit")),
                  QDBus::Block, 30000);
    QList<QList<uint>> Out;
    const auto List = R.arguments().value(0).value<QDBusArgument>();
    List.beginArray();
    while (!List.atEnd()) {
      QList<uint> Pids;
      List >> Pids;
      Out.append(Pids);
    }
    List.endArray();
    return Out;
  }

 private:
  QDBusConnection FBus;
  QProcess FProcess;
};

// A pseudo-terminal whose slave stands for the modem's port; only the master stays open here,
// so this process shows up as the port's opener only through the code under test.
class TPty {
 public:
  ~TPty() { CloseMaster(); }
  bool Open() {
    int Slave = -1;
    char Name[128] = {};
    if (openpty(&FMaster, &Slave, Name, nullptr, nullptr) != 0) return false;
    ::close(Slave);
    FPath = QString::fromLocal8Bit(Name);
    return true;
  }
  void CloseMaster() {
    if (FMaster >= 0) ::close(FMaster);
    FMaster = -1;
  }
  QString Path() const { return FPath; }
  QString KernelName() const { return FPath.mid(5); }  // "pts/N"

 private:
  int FMaster = -1;
  QString FPath;
};

QJsonObject ManagedPort(const QString& PortName) {
  return {{QStringLiteral("device"), Uid}, {QStringLiteral("ports"), QJsonArray{PortName}}};
}

uint OwnPid() {
  return static_cast<uint>(QCoreApplication::applicationPid());
}

// The ModemManager line of a settings dialog for the driver's port.
// Waits for ModemManager's answer, which the dialog takes without waiting itself.
QString DialogLine(TSerialPortDriver& Driver, QRect* Geometry = nullptr, QSize* Size = nullptr,
                   QString* PortInfo = nullptr) {
  TSerialSettingsForm Dialog(nullptr, &Driver);
  auto* Line = Dialog.findChild<QLabel*>(QStringLiteral("ModemManagerLabel"));
  if (!Line) return QStringLiteral("<no ModemManagerLabel>");
  if (!QTest::qWaitFor([&] { return !Dialog.ModemManagerPending(); },
                       TSerialSettingsForm::LookUpTimeoutMs + 5000))
    return QStringLiteral("<no answer>");
  if (PortInfo) *PortInfo = Dialog.findChild<QLabel*>(QStringLiteral("PortInfoLabel"))->text();
  if (Geometry) *Geometry = Line->geometry();
  if (Size) *Size = Dialog.size();
  return Line->isVisibleTo(&Dialog) ? Line->text() : QString();
}

}  // namespace

// A skip must leave the test function itself, so this is a macro rather than a helper.
#define REQUIRE_BUS()                                                                             \
  do {                                                                                            \
    if (!FNoBus.isEmpty())                                                                        \
      QSKIP(qPrintable(QStringLiteral("no D-Bus bus could be started for the mock: ") + FNoBus)); \
  } while (false)

class TestModemManager : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void portNames_data();
  void portNames();
  void setAsideWhileOpen_data();
  void setAsideWhileOpen();
  void windowHandsTheModemBack_data();
  void windowHandsTheModemBack();
  void leftAloneWhenNotManaged_data();
  void leftAloneWhenNotManaged();
  void refusalGoesOnlineWithAdvice();
  void eventsFlowWhileTheServiceThinks_data();
  void eventsFlowWhileTheServiceThinks();
  void dialogNamesThePortKind_data();
  void dialogNamesThePortKind();

 private:
  // Names the pty's slave COMn in the port map folder, so the port resolves through a link.
  bool LinkPort(int N, const QString& Target);

  TPrivateBus FBus;
  QString FNoBus;  // why no bus could be started, empty when there is one
  QTemporaryDir FConfig;
  std::unique_ptr<QDBusConnection> FTestBus;
};

void TestModemManager::initTestCase() {
  QVERIFY(FConfig.isValid());
  qputenv("XDG_CONFIG_HOME", FConfig.path().toLocal8Bit());
  QVERIFY(QDir().mkpath(FConfig.filePath(QStringLiteral("vantrel/ports"))));
  FNoBus = FBus.Start();
  if (!FNoBus.isEmpty()) return;
  qputenv("DBUS_SYSTEM_BUS_ADDRESS", FBus.Address().toLocal8Bit());
  FTestBus = std::make_unique<QDBusConnection>(
      QDBusConnection::connectToBus(FBus.Address(), QStringLiteral("test-observer")));
  if (!FTestBus->isConnected()) FNoBus = QStringLiteral("cannot connect to the private bus");
  // Not a skip: the bus is there, only the mock's package is missing (scripts/setup has it).
  QProcess Probe;
  Probe.start(Python(), {QStringLiteral("-c"), QStringLiteral("import dbusmock")});
  QVERIFY2(Probe.waitForFinished(30000) && Probe.exitCode() == 0,
           "python3-dbusmock is not installed (scripts/setup installs it)");
}

bool TestModemManager::LinkPort(int N, const QString& Target) {
  const QString Link = FConfig.filePath(QStringLiteral("vantrel/ports/com%1").arg(N));
  QFile::remove(Link);
  return QFile::link(Target, Link);
}

void TestModemManager::portNames_data() {
  QTest::addColumn<QString>("portName");
  QTest::addColumn<QString>("devicePath");
  QTest::addColumn<bool>("matches");
  QTest::newRow("usb serial") << "ttyUSB2"
                              << "/dev/ttyUSB2" << true;
  QTest::newRow("acm") << "ttyACM0"
                       << "/dev/ttyACM0" << true;
  QTest::newRow("another interface") << "ttyUSB3"
                                     << "/dev/ttyUSB2" << false;
  QTest::newRow("prefix only") << "ttyUSB1"
                               << "/dev/ttyUSB12" << false;
  QTest::newRow("pseudo-terminal") << "pts/4"
                                   << "/dev/pts/4" << true;
  QTest::newRow("other pseudo-terminal") << "pts/4"
                                         << "/dev/pts/14" << false;
  QTest::newRow("empty port name") << ""
                                   << "/dev/ttyUSB0" << false;
  QTest::newRow("no device") << "ttyUSB0"
                             << "" << false;
}

void TestModemManager::portNames() {
  QFETCH(QString, portName);
  QFETCH(QString, devicePath);
  QFETCH(bool, matches);
  QCOMPARE(ModemManagerPortMatches(portName, devicePath), matches);
}

void TestModemManager::setAsideWhileOpen_data() {
  QTest::addColumn<bool>("locked");  // the service locks the port until it lets go
  QTest::addColumn<bool>("lost");    // the device goes away before the port closes
  QTest::addColumn<bool>("viaLink");
  QTest::newRow("going offline") << false << false << false;
  QTest::newRow("going offline, port named through a link") << false << false << true;
  QTest::newRow("service lets go of its lock late") << true << false << true;
  // The window's lost-device handling closes the port through the driver, as here.
  QTest::newRow("device lost") << false << true << true;
}

void TestModemManager::setAsideWhileOpen() {
  QFETCH(bool, locked);
  QFETCH(bool, lost);
  QFETCH(bool, viaLink);
  REQUIRE_BUS();
  TPty Pty;
  if (!Pty.Open()) QSKIP("no pseudo-terminal");
  QJsonObject Parameters = ManagedPort(Pty.KernelName());
  if (locked) {
    Parameters.insert(QStringLiteral("hold"), Pty.Path());
    Parameters.insert(QStringLiteral("let_go_ms"), 300);
  }
  TMockModemManager Mock(*FTestBus);
  QVERIFY(Mock.Start(Parameters));

  TSerialPortDriver Driver;
  if (viaLink) {
    QVERIFY(LinkPort(4, Pty.Path()));
    Driver.SetPort(TPortNumber::pnCOM4);
  } else {
    Driver.SetPortName(Pty.Path());
  }
  QVERIFY2(Driver.OpenPort(), qPrintable(QString::fromLocal8Bit(strerror(Driver.LastError()))));
  QCOMPARE(Mock.Calls(), (QList<TInhibitCall>{{Uid, true}}));
  // Asked before the open: this process did not have the port open when the call came.
  QList<QList<uint>> Openers = Mock.Openers();
  QCOMPARE(Openers.size(), 1);
  QVERIFY(!Openers[0].contains(OwnPid()));

  if (lost) Pty.CloseMaster();
  Driver.ClosePort();
  QCOMPARE(Mock.Calls(), (QList<TInhibitCall>{{Uid, true}, {Uid, false}}));
  // Handed back only once the port was closed.
  Openers = Mock.Openers();
  QCOMPARE(Openers.size(), 2);
  QVERIFY(!Openers[1].contains(OwnPid()));

  // Opening again asks again: the inhibition belongs to one open.
  if (!lost) {
    QVERIFY(Driver.OpenPort());
    Driver.ClosePort();
    QCOMPARE(Mock.Calls().size(), 4);
  }
}

void TestModemManager::windowHandsTheModemBack_data() {
  QTest::addColumn<bool>("closeWindow");
  QTest::newRow("unchecking Online") << false;
  QTest::newRow("closing the window") << true;
}

void TestModemManager::windowHandsTheModemBack() {
  QFETCH(bool, closeWindow);
  REQUIRE_BUS();
  SimProcess Sim(QStringLiteral(VANTREL_MODEM_SIM_PATH));
  QVERIFY(Sim.start({QStringLiteral("--port"), QString::number(SimPort), QStringLiteral("--seed"),
                     QStringLiteral("7")}));
  // A service that keeps the port locked a moment after answering, as a busy one may.
  QJsonObject Parameters = ManagedPort(Sim.slavePath().mid(5));
  Parameters.insert(QStringLiteral("hold"), Sim.slavePath());
  Parameters.insert(QStringLiteral("let_go_ms"), 200);
  TMockModemManager Mock(*FTestBus);
  QVERIFY(Mock.Start(Parameters));

  TForm3 W;
  W.show();
  QVERIFY(vantrel::test::GoOnline(W, QStringLiteral("\\\\.\\COM%1").arg(SimPort)));
  // The exchange went through: the identity is the simulator's.
  QVERIFY(!Child<QLineEdit>(W, QStringLiteral("lbeManufactrurer"))->text().isEmpty());
  QCOMPARE(Mock.Calls(), (QList<TInhibitCall>{{Uid, true}}));
  QVERIFY(!Mock.Openers().value(0).contains(OwnPid()));

  if (closeWindow)
    QVERIFY(W.close());
  else
    Child<QCheckBox>(W, QStringLiteral("cbxOnline"))->setChecked(false);
  QVERIFY(!W.Modem()->IsOpen());
  QCOMPARE(Mock.Calls(), (QList<TInhibitCall>{{Uid, true}, {Uid, false}}));
}

void TestModemManager::leftAloneWhenNotManaged_data() {
  QTest::addColumn<QString>("service");  // "other port", "absent", "hung", "no bus"
  QTest::newRow("modem on another port") << "other port";
  QTest::newRow("service absent") << "absent";
  QTest::newRow("service hung") << "hung";
  QTest::newRow("no system bus") << "no bus";
}

void TestModemManager::leftAloneWhenNotManaged() {
  QFETCH(QString, service);
  REQUIRE_BUS();
  TPty Pty;
  if (!Pty.Open()) QSKIP("no pseudo-terminal");
  TMockModemManager Mock(*FTestBus);
  if (service == QLatin1String("other port")) {
    QVERIFY(Mock.Start(ManagedPort(QStringLiteral("ttyUSB7"))));
  } else if (service == QLatin1String("hung")) {
    QJsonObject Parameters = ManagedPort(Pty.KernelName());
    Parameters.insert(QStringLiteral("stall_ms"), 3000);
    QVERIFY(Mock.Start(Parameters));
  }
  const QByteArray Address = qgetenv("DBUS_SYSTEM_BUS_ADDRESS");
  if (service == QLatin1String("no bus"))
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + FConfig.filePath("no-bus").toLocal8Bit());
  const auto Restore = qScopeGuard([&] { qputenv("DBUS_SYSTEM_BUS_ADDRESS", Address); });

  QVERIFY(LinkPort(5, Pty.Path()));
  TSerialPortDriver Driver;
  Driver.SetPort(TPortNumber::pnCOM5);
  QElapsedTimer Clock;
  Clock.start();
  QVERIFY(Driver.OpenPort());
  const qint64 Took = Clock.elapsed();
  QVERIFY2(Took < NoDelayBoundMs, qPrintable(QStringLiteral("going online took %1 ms").arg(Took)));
  Driver.ClosePort();
  QCOMPARE(DialogLine(Driver), QString());
  if (service == QLatin1String("other port") || service == QLatin1String("hung"))
    QCOMPARE(Mock.Calls(), QList<TInhibitCall>());
}

void TestModemManager::refusalGoesOnlineWithAdvice() {
  REQUIRE_BUS();
  TPty Pty;
  if (!Pty.Open()) QSKIP("no pseudo-terminal");
  QVERIFY(LinkPort(6, Pty.Path()));
  TSerialPortDriver Driver;
  Driver.SetPort(TPortNumber::pnCOM6);
  QJsonObject Parameters = ManagedPort(Pty.KernelName());

  {
    // Before any attempt the dialog promises to set it aside.
    TMockModemManager Mock(*FTestBus);
    QVERIFY(Mock.Start(Parameters));
    QCOMPARE(DialogLine(Driver),
             QStringLiteral("Managed by ModemManager (set aside while online)."));
    QCOMPARE(Mock.Calls(), QList<TInhibitCall>());  // looking is not inhibiting
  }

  Parameters.insert(QStringLiteral("refuse"), true);
  TMockModemManager Mock(*FTestBus);
  QVERIFY(Mock.Start(Parameters));
  QVERIFY(Driver.OpenPort());  // online anyway
  QCOMPARE(Mock.Calls(), (QList<TInhibitCall>{{Uid, true}}));
  Driver.ClosePort();
  QCOMPARE(Mock.Calls(), (QList<TInhibitCall>{{Uid, true}}));  // nothing held, nothing to hand back

  QRect Geometry;
  QSize Size;
  const QString Advice = DialogLine(Driver, &Geometry, &Size);
  QVERIFY2(Advice.contains(QLatin1String("sudo systemctl stop ModemManager")), qPrintable(Advice));
  QVERIFY(Advice.contains(QLatin1String("allow this user to inhibit devices")));
  // The whole advice is inside the dialog, below the port details.
  QVERIFY(Geometry.top() >= 206 + 58 - 2);
  QVERIFY2(Geometry.bottom() < Size.height() && Geometry.right() < Size.width(),
           qPrintable(QStringLiteral("%1,%2 %3x%4 in %5x%6")
                          .arg(Geometry.x())
                          .arg(Geometry.y())
                          .arg(Geometry.width())
                          .arg(Geometry.height())
                          .arg(Size.width())
                          .arg(Size.height())));

  // Once the service lets go, the advice gives way to the plain note again.
  Parameters.remove(QStringLiteral("refuse"));
  QVERIFY(Mock.Start(Parameters));
  QVERIFY(Driver.OpenPort());
  Driver.ClosePort();
  QCOMPARE(Mock.Calls(), (QList<TInhibitCall>{{Uid, true}, {Uid, false}}));
  QCOMPARE(DialogLine(Driver), QStringLiteral("Managed by ModemManager (set aside while online)."));
}

void TestModemManager::eventsFlowWhileTheServiceThinks_data() {
  QTest::addColumn<int>("answerMs");     // how long each InhibitDevice call takes the service
  QTest::addColumn<bool>("granted");     // answered within the open's bound
  QTest::addColumn<bool>("closeWhile");  // the port is closed while the open waits
  QTest::newRow("closed while the service thinks") << 1500 << true << true;
  QTest::newRow("slow service") << 1500 << true << false;
  QTest::newRow("service slower than the bound")
      << TModemManagerInhibitor::InhibitTimeoutMs + 1000 << false << false;
}

void TestModemManager::eventsFlowWhileTheServiceThinks() {
  QFETCH(int, answerMs);
  QFETCH(bool, granted);
  QFETCH(bool, closeWhile);
  REQUIRE_BUS();
  TPty Pty;
  if (!Pty.Open()) QSKIP("no pseudo-terminal");
  QJsonObject Parameters = ManagedPort(Pty.KernelName());
  Parameters.insert(QStringLiteral("answer_ms"), answerMs);
  TMockModemManager Mock(*FTestBus);
  QVERIFY(Mock.Start(Parameters));

  // A 10 ms beat on the event loop: the longest pause between two beats is how long the loop
  // stood still. Waiting on the service's answer used to stop it for the whole answer (1.5 s
  // to 3 s) and for up to 1 s on the release; a step of the wait is 25 ms at most. The bound
  // leaves a busy machine far more than that.
  constexpr qint64 StallBoundMs = 500;
  QElapsedTimer Beat;
  qint64 Longest = 0;
  QTimer Beats;
  QObject::connect(&Beats, &QTimer::timeout, [&] { Longest = qMax(Longest, Beat.restart()); });
  Beats.start(10);
  Beat.start();

  TSerialPortDriver Driver;
  QVERIFY(LinkPort(8, Pty.Path()));
  Driver.SetPort(TPortNumber::pnCOM8);
  if (closeWhile) {
    // The user unchecks Online (or closes the window) while the service thinks: the open
    // ends there, and the grant that comes later is handed back.
    QTimer::singleShot(100, [&Driver] { Driver.ClosePort(); });
    QVERIFY(!Driver.OpenPort());
    QVERIFY(!Driver.IsOpen());
  } else {
    QVERIFY(Driver.OpenPort());  // a service that is too slow does not keep us off
    Driver.ClosePort();
  }
  Longest = qMax(Longest, Beat.elapsed());
  Beats.stop();
  QVERIFY2(Longest < StallBoundMs, qPrintable(QStringLiteral("stood still %1 ms").arg(Longest)));

  // Handed back in both cases: after the close, or as soon as the late grant came.
  QTRY_COMPARE_WITH_TIMEOUT(Mock.Calls(), (QList<TInhibitCall>{{Uid, true}, {Uid, false}}),
                            4 * answerMs + 10000);
  // The note tells whether the last attempt was granted.
  const QString Line = DialogLine(Driver);
  QVERIFY2(Line.contains(QLatin1String(granted ? "set aside while online" : "sudo systemctl stop")),
           qPrintable(Line));
}

void TestModemManager::dialogNamesThePortKind_data() {
  QTest::addColumn<uint>("type");  // MMModemPortType of the chosen port
  QTest::addColumn<QString>("kind");
  QTest::newRow("AT") << 3u << QStringLiteral(", the modem's AT commands port");
  QTest::newRow("diagnostics") << 4u << QStringLiteral(", the modem's diagnostics port");
  QTest::newRow("GPS") << 5u << QStringLiteral(", the modem's GPS port");
  QTest::newRow("unknown") << 1u << QString();
}

void TestModemManager::dialogNamesThePortKind() {
  QFETCH(uint, type);
  QFETCH(QString, kind);
  REQUIRE_BUS();
  TPty Pty;
  if (!Pty.Open()) QSKIP("no pseudo-terminal");
  // A module lists its other ports too; only the chosen one's kind is named.
  TMockModemManager Mock(*FTestBus);
  QVERIFY(Mock.Start(
      {{QStringLiteral("device"), Uid},
       {QStringLiteral("ports"), QJsonArray{QJsonArray{QStringLiteral("ttyUSB0"), 4},
                                            QJsonArray{Pty.KernelName(), int(type)},
                                            QJsonArray{QStringLiteral("ttyUSB9"), 3}}}}));
  TSerialPortDriver Driver;
  QVERIFY(LinkPort(7, Pty.Path()));
  Driver.SetPort(TPortNumber::pnCOM7);
  QString Info;
  DialogLine(Driver, nullptr, nullptr, &Info);
  const QString First = Info.section(QLatin1Char('\n'), 0, 0);
  QVERIFY2(First.startsWith(QStringLiteral("\\\\.\\COM7 is ") + Pty.Path() + kind +
                            QStringLiteral(" (")),
           qPrintable(First));
}

QTEST_MAIN(TestModemManager)
#include "tst_modemmanager.moc"
