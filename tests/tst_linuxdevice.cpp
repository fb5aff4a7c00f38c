#include <fcntl.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <QTimer>

#include "serial/SerialPortDriver.h"
#include "serial/platform/PortResolver.h"

namespace {

// A pseudo-terminal pair; the test plays the far end on the master.
struct TPty {
  int Master = -1;
  int Slave = -1;
  QString SlaveName;
  bool Open() {
    char Name[256] = {};
    if (openpty(&Master, &Slave, Name, nullptr, nullptr) != 0) return false;
    fcntl(Master, F_SETFL, fcntl(Master, F_GETFL) | O_NONBLOCK);
    SlaveName = QString::fromLocal8Bit(Name);
    return true;
  }
  void CloseSlave() {
    if (Slave >= 0) ::close(Slave);
    Slave = -1;
  }
  void CloseMaster() {
    if (Master >= 0) ::close(Master);
    Master = -1;
  }
  QByteArray ReadMaster() {
    char Buf[256];
    const ssize_t N = ::read(Master, Buf, sizeof Buf);
    return N > 0 ? QByteArray(Buf, static_cast<int>(N)) : QByteArray();
  }
  ~TPty() {
    CloseSlave();
    CloseMaster();
  }
};

}  // namespace

class TestLinuxDevice : public QObject {
  Q_OBJECT

 private slots:
  void bytesBothWays() {
    TPty P;
    if (!P.Open()) QSKIP("no pseudo-terminal");
    TSerialPortDriver D;
    QByteArray Got;
    D.OnReceiveData = [&Got](QObject*, const std::uint8_t* Data, std::uint32_t Size) {
      Got.append(reinterpret_cast<const char*>(Data), static_cast<int>(Size));
    };
    D.SetPortName(P.SlaveName);
    D.SetPollingDelay(5);
    QVERIFY(D.OpenPort());
    P.CloseSlave();  // the driver's descriptor keeps the slave side alive
    QVERIFY(::write(P.Master, "\r\nOK\r\n", 6) == 6);
    QTRY_COMPARE(Got, QByteArray("\r\nOK\r\n"));
    QVERIFY(D.TransmitText("AT^MONI\r"));
    QByteArray Sent;
    QTRY_VERIFY((Sent += P.ReadMaster()) == QByteArray("AT^MONI\r"));
    D.SetBaudRateValue(250000);  // a rate without a B* constant
    QVERIFY(D.ConfigureLine());
    QVERIFY(D.ReadModemLines().IsEmpty());  // a pty has no modem lines
  }

  void secondOpenFails() {
    TPty P;
    if (!P.Open()) QSKIP("no pseudo-terminal");
    TSerialPortDriver First;
    TSerialPortDriver Second;
    First.SetPortName(P.SlaveName);
    Second.SetPortName(P.SlaveName);
    QVERIFY(First.OpenPort());
    QVERIFY(!Second.OpenPort());
    QVERIFY(!Second.IsOpen());
    First.ClosePort();
    QVERIFY(Second.OpenPort());  // the lock went with the first handle
  }

  // A prober (gpsd's hot-plug rule, ModemManager) holds a new port for a moment: the open
  // tries again for up to a second, and the events flow meanwhile (a 10 ms beat on the loop
  // never stands still for long: a sleeping retry would stop it for the whole hold).
  void busyPortIsWaitedFor_data() {
    QTest::addColumn<int>("holdMs");  // -1: held past the retries
    QTest::addColumn<bool>("opens");
    QTest::newRow("released in time") << 700 << true;
    QTest::newRow("held on") << -1 << false;
  }
  void busyPortIsWaitedFor() {
    QFETCH(int, holdMs);
    QFETCH(bool, opens);
    TPty P;
    if (!P.Open()) QSKIP("no pseudo-terminal");
    QCOMPARE(::flock(P.Slave, LOCK_EX | LOCK_NB), 0);
    if (holdMs >= 0) QTimer::singleShot(holdMs, [&P] { ::flock(P.Slave, LOCK_UN); });
    QElapsedTimer Beat;
    qint64 Longest = 0;
    QTimer Beats;
    connect(&Beats, &QTimer::timeout, [&] { Longest = qMax(Longest, Beat.restart()); });
    Beats.start(10);
    Beat.start();
    TSerialPortDriver D;
    D.SetPortName(P.SlaveName);
    QCOMPARE(D.OpenPort(), opens);
    Longest = qMax(Longest, Beat.elapsed());
    QVERIFY2(Longest < 400, qPrintable(QStringLiteral("stood still %1 ms").arg(Longest)));
    if (!opens) QCOMPARE(D.LastError(), EWOULDBLOCK);
  }

  void nonTerminalsFail_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("regular file") << QStringLiteral("file");
    QTest::newRow("fifo") << QStringLiteral("fifo");
    QTest::newRow("directory") << QStringLiteral("dir");
    QTest::newRow("missing") << QStringLiteral("missing");
  }
  void nonTerminalsFail() {
    QFETCH(QString, kind);
    QTemporaryDir Dir;
    QVERIFY(Dir.isValid());
    QString Path = Dir.filePath(QStringLiteral("x"));
    if (kind == QLatin1String("file")) {
      QFile F(Path);
      QVERIFY(F.open(QIODevice::WriteOnly));
      F.write("data");
    } else if (kind == QLatin1String("fifo")) {
      QCOMPARE(::mkfifo(Path.toLocal8Bit().constData(), 0600), 0);
    } else if (kind == QLatin1String("dir")) {
      Path = Dir.path();
    }
    TSerialPortDriver D;
    D.SetPortName(Path);
    QElapsedTimer T;
    T.start();
    QVERIFY(!D.OpenPort());
    QVERIFY(!D.IsOpen());
    QVERIFY2(T.elapsed() < 3000, "open must not block");
  }

  void hangUpIsHarmless() {
    TPty P;
    if (!P.Open()) QSKIP("no pseudo-terminal");
    TSerialPortDriver D;
    int Events = 0;
    D.OnReceiveData = [&Events](QObject*, const std::uint8_t*, std::uint32_t) { ++Events; };
    D.SetPortName(P.SlaveName);
    D.SetOutputTimeout(50);
    QVERIFY(D.OpenPort());
    P.CloseSlave();
    P.CloseMaster();  // the far end goes away
    for (int I = 0; I < 5; ++I) D.PollWindowProc();
    QCOMPARE(Events, 0);
    QElapsedTimer T;
    T.start();
    QVERIFY(!D.TransmitText("AT\r"));
    QVERIFY2(T.elapsed() < 5000, "send must give up");
    D.ClosePort();
    QVERIFY(!D.IsOpen());
    D.PollWindowProc();
  }

  // The far end closed (the simulator killed, a USB modem pulled): the device layer tells it
  // from a slow line, the driver reports it once and lets the descriptor go.
  void lostOnClosedPty_data() {
    QTest::addColumn<bool>("bySend");      // found by a send rather than by the receive poll
    QTest::addColumn<bool>("bytesQueue");  // the far end wrote before it went
    QTest::newRow("poll, idle line") << false << false;
    QTest::newRow("poll, bytes queued") << false << true;
    QTest::newRow("send, idle line") << true << false;
    QTest::newRow("send, bytes queued") << true << true;
  }
  void lostOnClosedPty() {
    QFETCH(bool, bySend);
    QFETCH(bool, bytesQueue);
    TPty P;
    if (!P.Open()) QSKIP("no pseudo-terminal");
    TSerialPortDriver D;
    int Lost = 0;
    D.OnDeviceLost = [&Lost](QObject*) { ++Lost; };
    D.SetPortName(P.SlaveName);
    QVERIFY(D.OpenPort());
    P.CloseSlave();
    if (bytesQueue) QCOMPARE(::write(P.Master, "\r\nOK\r\n", 6), ssize_t(6));
    P.CloseMaster();
    const int Before =
        int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot).size());
    if (bySend) {
      // A send that waited for room on a gone device would wait out its whole time-out; a
      // long one tells that apart from the mended send with room for a busy machine.
      D.SetOutputTimeout(5000);
      QElapsedTimer T;
      T.start();
      QCOMPARE(D.Transmit("AT^MONI\r", 8), 0u);
      QVERIFY2(T.elapsed() < 1000, qPrintable(QString::number(T.elapsed())));
    } else {
      D.PollWindowProc();
    }
    QCOMPARE(Lost, 1);
    QVERIFY(!D.IsOpen());
    const int After =
        int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot).size());
    QCOMPARE(After, Before - 1);
    for (int I = 0; I < 3; ++I) D.PollWindowProc();
    QVERIFY(!D.TransmitText("AT\r"));
    QCOMPARE(Lost, 1);
    D.ClosePort();
    QVERIFY(!D.IsOpen());
  }

  // Input parity checking is off whatever an earlier user of the device left on, at open and
  // whenever the line is set again.
  void inputParityCheckCleared() {
    TPty P;
    if (!P.Open()) QSKIP("no pseudo-terminal");
    termios T{};
    QCOMPARE(tcgetattr(P.Slave, &T), 0);
    T.c_iflag |= INPCK;
    QCOMPARE(tcsetattr(P.Slave, TCSANOW, &T), 0);
    TSerialPortDriver D;
    D.SetPortName(P.SlaveName);
    QVERIFY(D.OpenPort());
    QCOMPARE(tcgetattr(P.Slave, &T), 0);
    QCOMPARE(T.c_iflag & INPCK, tcflag_t(0));
    T.c_iflag |= INPCK;
    QCOMPARE(tcsetattr(P.Slave, TCSANOW, &T), 0);
    D.SetParity(TParity::ptEVEN);  // applied at once while open
    QCOMPARE(tcgetattr(P.Slave, &T), 0);
    QCOMPARE(T.c_iflag & INPCK, tcflag_t(0));
  }

  void resolvesComThroughPortMap() {
    TPty P;
    if (!P.Open()) QSKIP("no pseudo-terminal");
    QTemporaryDir Config;
    QVERIFY(Config.isValid());
    const QByteArray OldXdg = qgetenv("XDG_CONFIG_HOME");
    const bool HadXdg = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", Config.path().toLocal8Bit());
    const QString Ports = Config.filePath(QStringLiteral("vantrel/ports"));
    QVERIFY(QDir().mkpath(Ports));
    QVERIFY(QFile::link(P.SlaveName, Ports + QStringLiteral("/com1")));
    QVERIFY(QFile::link(QStringLiteral("/nonexistent/tty"), Ports + QStringLiteral("/com3")));

    const TPortResolution Com1 = ResolvePortName(QStringLiteral("\\\\.\\com1"));
    const TPortResolution Com3 = ResolvePortName(QStringLiteral("\\\\.\\COM3"));
    const TPortResolution Path = ResolvePortName(P.SlaveName);
    const TPortResolution Junk = ResolvePortName(QStringLiteral("modem"));

    TSerialPortDriver D;
    D.SetPort(TPortNumber::pnCOM1);
    QByteArray Got;
    D.OnReceiveData = [&Got](QObject*, const std::uint8_t* Data, std::uint32_t Size) {
      Got.append(reinterpret_cast<const char*>(Data), static_cast<int>(Size));
    };
    D.SetPollingDelay(5);
    const bool Opened = D.OpenPort();
    if (HadXdg)
      qputenv("XDG_CONFIG_HOME", OldXdg);
    else
      qunsetenv("XDG_CONFIG_HOME");

    QVERIFY(Com1.Resolved);
    QCOMPARE(Com1.DevicePath, QFileInfo(P.SlaveName).canonicalFilePath());
    QCOMPARE(Com1.Accessible, ::access(P.SlaveName.toLocal8Bit().constData(), R_OK | W_OK) == 0);
    QVERIFY(!Com3.Resolved);  // a dangling mapping is not replaced by a system port
    QVERIFY(Path.Resolved);
    QCOMPARE(Path.DevicePath, Com1.DevicePath);
    QVERIFY(!Junk.Resolved);
    QVERIFY(Opened);
    QVERIFY(::write(P.Master, "x", 1) == 1);
    QTRY_COMPARE(Got, QByteArray("x"));
  }
};

QTEST_MAIN(TestLinuxDevice)
#include "tst_linuxdevice.moc"
