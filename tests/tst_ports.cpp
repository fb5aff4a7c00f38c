// Ports the user cannot have: held by someone else, forbidden, not a terminal at all, or
// unplugged while in use. The real driver and Linux device layer, and the window on top.
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cerrno>
#include <cstdlib>

#include "gui/monitor_window.h"
#include "core/LevelHistory.h"
#include "serial/SerialPortDriver.h"
#include "serial/platform/PortResolver.h"
#include "support/SimProcess.h"
#include "support/WindowControls.h"

using vantrel::test::Child;
using vantrel::test::SimProcess;

namespace {

constexpr uid_t Nobody = 65534;

int OpenDescriptors() {
  return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot).size());
}

// Checks Online on a fresh window and reports whether it stayed checked; a refused port must
// leave the window offline with the options button usable.
bool WindowGoesOnline(const QString& PortName) {
  TForm3 W;
  if (vantrel::test::GoOnline(W, PortName)) return true;
  if (W.Modem()->IsOpen()) qWarning("Online unchecked but the port is open");
  if (!Child<QPushButton>(W, "bbtOpts")->isEnabled()) qWarning("options button left disabled");
  if (Child<QCheckBox>(W, "cbxMonitor")->isEnabled()) qWarning("Monitor left enabled");
  return false;
}

QString ComName(int N) {
  return QStringLiteral("\\\\.\\COM%1").arg(N);
}

// What a user without rights gets: 0 when the open was refused for lack of permission and the
// resolver says so too; otherwise a code saying what went wrong.
int TryOpenUnprivileged(const QString& Name) {
  if (ResolvePortName(Name).Accessible) return 10;
  TSerialPortDriver D;
  D.SetPortName(Name);
  if (D.OpenPort()) return 11;
  return D.LastError() == EACCES ? 0 : 12;
}

}  // namespace

class TestPorts : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void heldByAnother_data();
  void heldByAnother();
  void notATerminal_data();
  void notATerminal();
  void noPermission_data();
  void noPermission();
  void unpluggedAndBack_data();
  void unpluggedAndBack();

 private:
  QString LinkCom(int N, const QString& Target);
  QTemporaryDir FConfig;
  QProcessEnvironment FEnv;
};

void TestPorts::initTestCase() {
  QVERIFY(FConfig.isValid());
  // Others may pass through (an unprivileged child looks up its COM links here).
  QVERIFY(QFile::setPermissions(
      FConfig.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther |
                          QFile::ExeOther | QFile::ExeGroup | QFile::ReadGroup));
  QVERIFY(QDir().mkpath(FConfig.filePath(QStringLiteral("vantrel/ports"))));
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(FConfig.path()));
  FEnv = QProcessEnvironment::systemEnvironment();
  FEnv.insert(QStringLiteral("XDG_CONFIG_HOME"), FConfig.path());
}

// Points "\\.\COMn" at Target through the port map folder and returns the COM name.
QString TestPorts::LinkCom(int N, const QString& Target) {
  const QString Link = FConfig.filePath(QStringLiteral("vantrel/ports/com%1").arg(N));
  QFile::remove(Link);
  if (!QFile::link(Target, Link)) qWarning("cannot link %s", qPrintable(Link));
  return ComName(N);
}

void TestPorts::heldByAnother_data() {
  QTest::addColumn<QString>("holder");  // "driver" in this process, "flock" another program
  QTest::addColumn<bool>("viaCom");     // the window names the device by a COM link
  QTest::newRow("driver, same path") << "driver" << false;
  QTest::newRow("driver, COM link to it") << "driver" << true;
  QTest::newRow("other program, same path") << "flock" << false;
}

void TestPorts::heldByAnother() {
  QFETCH(QString, holder);
  QFETCH(bool, viaCom);
  SimProcess Sim;
  QVERIFY(Sim.start({"--no-link", "--seed", "3"}, FEnv));
  const QString Name = viaCom ? LinkCom(4, Sim.slavePath()) : Sim.slavePath();

  TSerialPortDriver Driver;
  QProcess Other;
  if (holder == QLatin1String("driver")) {
    Driver.SetPortName(Sim.slavePath());
    QVERIFY(Driver.OpenPort());
  } else {
    // --no-fork: the lock dies with the process we end, not with a child of it.
    Other.start(QStringLiteral("flock"), {QStringLiteral("--no-fork"), Sim.slavePath(),
                                          QStringLiteral("sleep"), QStringLiteral("60")});
    if (!Other.waitForStarted(5000)) QSKIP("flock(1) is not available");
    // Wait until the other program holds the lock; each probe drops its own at once.
    const auto LockedElsewhere = [&Sim] {
      const int Fd = ::open(QFile::encodeName(Sim.slavePath()).constData(),
                            O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
      const bool Locked = Fd >= 0 && ::flock(Fd, LOCK_EX | LOCK_NB) != 0;
      if (Fd >= 0) ::close(Fd);
      return Locked;
    };
    QTRY_VERIFY_WITH_TIMEOUT(LockedElsewhere(), 5000);
  }

  const int Before = OpenDescriptors();
  QVERIFY(!WindowGoesOnline(Name));
  QCOMPARE(OpenDescriptors(), Before);
  // The holder is not disturbed.
  if (holder == QLatin1String("driver")) {
    QVERIFY(Driver.IsOpen());
    QVERIFY(Driver.TransmitText("AT\r"));
    Driver.ClosePort();
  } else {
    Other.kill();
    Other.waitForFinished(5000);
  }
  // Released, it is the window's.
  QVERIFY(WindowGoesOnline(Name));
}

void TestPorts::notATerminal_data() {
  QTest::addColumn<QString>("kind");
  QTest::addColumn<bool>("viaCom");
  for (const char* Kind : {"regular file", "fifo", "directory", "character device", "missing"}) {
    QTest::addRow("%s", Kind) << QString::fromLatin1(Kind) << false;
    QTest::addRow("COM link to %s", Kind) << QString::fromLatin1(Kind) << true;
  }
}

// Not one of these may block the open (a FIFO without a writer would), keep a descriptor, or
// leave Online checked.
void TestPorts::notATerminal() {
  QFETCH(QString, kind);
  QFETCH(bool, viaCom);
  QTemporaryDir Dir;
  QVERIFY(Dir.isValid());
  QString Target = Dir.filePath(QStringLiteral("port"));
  if (kind == QLatin1String("regular file")) {
    QFile F(Target);
    QVERIFY(F.open(QIODevice::WriteOnly));
    F.write("AT\r\nOK\r\n");
  } else if (kind == QLatin1String("fifo")) {
    QCOMPARE(::mkfifo(QFile::encodeName(Target).constData(), 0600), 0);
  } else if (kind == QLatin1String("directory")) {
    Target = Dir.path();
  } else if (kind == QLatin1String("character device")) {
    Target = QStringLiteral("/dev/null");  // a device, but no terminal
  }
  const QString Name = viaCom ? LinkCom(5, Target) : Target;

  const int Before = OpenDescriptors();
  QElapsedTimer Clock;
  Clock.start();
  TSerialPortDriver D;
  D.SetPortName(Name);
  QVERIFY(!D.OpenPort());
  QVERIFY(!D.IsOpen());
  QVERIFY(!WindowGoesOnline(Name));
  // Generous: this only tells "returned" from "hung in open()".
  QVERIFY2(Clock.elapsed() < 10000, qPrintable(QString::number(Clock.elapsed())));
  QCOMPARE(OpenDescriptors(), Before);
  if (kind == QLatin1String("fifo")) {
    // No reader was left behind: a writer that will not wait finds nobody.
    errno = 0;
    const int W = ::open(QFile::encodeName(Target).constData(), O_WRONLY | O_NONBLOCK);
    QCOMPARE(W, -1);
    QCOMPARE(errno, ENXIO);
  }
}

void TestPorts::noPermission_data() {
  QTest::addColumn<bool>("viaCom");
  QTest::newRow("device path") << false;
  QTest::newRow("COM link") << true;
}

void TestPorts::noPermission() {
  QFETCH(bool, viaCom);
  SimProcess Sim;
  QVERIFY(Sim.start({"--no-link", "--seed", "3"}, FEnv));
  const QByteArray Slave = QFile::encodeName(Sim.slavePath());
  QCOMPARE(::chmod(Slave.constData(), 0), 0);
  const QString Name = viaCom ? LinkCom(6, Sim.slavePath()) : Sim.slavePath();

  if (geteuid() != 0) {
    QCOMPARE(TryOpenUnprivileged(Name), 0);
    QVERIFY(!WindowGoesOnline(Name));
    return;
  }
  // Root may open anything, so the check runs in a fresh run of this program that gives its
  // rights up before it starts Qt.
  QProcess Probe;
  QProcessEnvironment Env = FEnv;
  Env.insert(QStringLiteral("VANTREL_PORTS_PROBE"), Name);
  Probe.setProcessEnvironment(Env);
  Probe.start(QCoreApplication::applicationFilePath(), {});
  QVERIFY(Probe.waitForFinished(20000));
  QCOMPARE(Probe.exitStatus(), QProcess::NormalExit);
  QCOMPARE(Probe.exitCode(), 0);
}

void TestPorts::unpluggedAndBack_data() {
  QTest::addColumn<bool>("crash");  // killed: the simulator's link stays behind, dangling
  QTest::newRow("simulator exits") << false;
  QTest::newRow("simulator killed") << true;
}

void TestPorts::unpluggedAndBack() {
  QFETCH(bool, crash);
  SimProcess Sim;
  const QStringList Args{"--port", "2", "--seed", "3"};
  QVERIFY2(Sim.start(Args, FEnv), Sim.errorOutput().constData());
  TForm3 W;
  W.Modem()->SetPortName(ComName(2));
  auto* Online = Child<QCheckBox>(W, "cbxOnline");
  auto* Monitor = Child<QCheckBox>(W, "cbxMonitor");
  Online->setChecked(true);
  QVERIFY(Online->isChecked());
  Monitor->setChecked(true);
  W.PollCells();
  const std::size_t Samples = W.History()->Samples().size();
  QCOMPARE(Samples, std::size_t(1));

  // Unplugged while monitoring: the cycle's first send finds the device gone, and the window
  // goes offline by itself, keeping what it showed.
  if (crash)
    Sim.kill();
  else
    QVERIFY(Sim.stop());
  const int Before = OpenDescriptors();
  W.PollCells();
  QVERIFY(!Online->isChecked());
  QVERIFY(!W.Modem()->IsOpen());
  QCOMPARE(OpenDescriptors(), Before - 1);  // the dead descriptor is not kept
  QVERIFY(!Monitor->isChecked());
  QVERIFY(Child<QPushButton>(W, "bbtOpts")->isEnabled());
  QCOMPARE(Online->toolTip(), QStringLiteral("Device lost"));
  QCOMPARE(W.History()->Samples().size(), Samples);
  QVERIFY(W.Session()->Watching());

  // Going online while it is still gone fails cleanly and says why; the user's own try ends
  // the watch.
  Online->setChecked(true);
  QVERIFY(!Online->isChecked());
  QVERIFY(!W.Modem()->IsOpen());
  QCOMPARE(Online->toolTip(), QStringLiteral("cannot open %1: it stands for no device on this "
                                             "machine").arg(ComName(2)));
  QVERIFY(!W.Session()->Watching());

  // Plugged in again (under the same COM name, on a new device): online and monitoring.
  QVERIFY2(Sim.start(Args, FEnv), Sim.errorOutput().constData());
  Online->setChecked(true);
  QVERIFY(Online->isChecked());
  QCOMPARE(Child<QLineEdit>(W, "lbeIMEI")->text(), QStringLiteral("357246031234567"));
  Monitor->setChecked(true);
  W.PollCells();
  QCOMPARE(W.History()->Samples().size(), std::size_t(1));
  QVERIFY(W.windowTitle().startsWith(QStringLiteral("Vantrel:")));
}

// VANTREL_PORTS_PROBE=<name> makes this program the unprivileged probe of noPermission: it
// drops root's rights (to nobody), tries the port and exits with TryOpenUnprivileged's code.
int main(int argc, char** argv) {
  if (const char* Probe = std::getenv("VANTREL_PORTS_PROBE")) {
    if (::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(Nobody) != 0 || ::setuid(Nobody) != 0))
      return 20;
    if (::geteuid() == 0) return 21;
    QCoreApplication App(argc, argv);
    return TryOpenUnprivileged(QString::fromLocal8Bit(Probe));
  }
  QApplication App(argc, argv);
  App.setAttribute(Qt::AA_Use96Dpi, true);
  TestPorts Test;
  QTEST_SET_MAIN_SOURCE_PATH
  return QTest::qExec(&Test, argc, argv);
}

#include "tst_ports.moc"
