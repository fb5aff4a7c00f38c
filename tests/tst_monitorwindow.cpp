#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstring>

#include "core/CycleCaption.h"
#include "core/LevelHistory.h"
#include "core/ReplyText.h"
#include "gui/LevelBar.h"
#include "gui/monitor_window.h"
#include "serial/SerialPortDriver.h"

using TReplyPieces = QList<std::pair<int, QByteArray>>;

namespace {

// The far end of a pseudo-terminal, answering each command line with a script.
class TScriptedPeer : public QObject {
 public:
  bool Open() {
    int Slave = -1;
    if (openpty(&FMaster, &Slave, FName, nullptr, nullptr) != 0) return false;
    termios T{};
    tcgetattr(Slave, &T);
    cfmakeraw(&T);
    tcsetattr(Slave, TCSANOW, &T);
    ::close(Slave);
    fcntl(FMaster, F_SETFL, fcntl(FMaster, F_GETFL) | O_NONBLOCK);
    FNotifier = new QSocketNotifier(FMaster, QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, [this] { OnReadable(); });
    return true;
  }
  ~TScriptedPeer() override {
    delete FNotifier;
    if (FMaster >= 0) ::close(FMaster);
  }
  QString SlavePath() const { return QString::fromLatin1(FName); }
  void Write(const QByteArray& Bytes) const {
    [[maybe_unused]] const ssize_t N =
        ::write(FMaster, Bytes.constData(), static_cast<size_t>(Bytes.size()));
  }
  // Replies are sent in pieces, each after its delay in ms from the command.
  void SetReply(QList<std::pair<int, QByteArray>> Pieces) { FPieces = std::move(Pieces); }
  QByteArray Received() const { return FReceived; }

 private:
  void OnReadable() {
    char Buffer[512];
    ssize_t N;
    while ((N = ::read(FMaster, Buffer, sizeof Buffer)) > 0) {
      FReceived.append(Buffer, N);
      if (std::memchr(Buffer, '\r', static_cast<size_t>(N)) != nullptr)
        for (const auto& [Delay, Bytes] : FPieces)
          QTimer::singleShot(Delay, this, [this, Bytes] { Write(Bytes); });
    }
  }
  int FMaster = -1;
  char FName[256] = {};
  QSocketNotifier* FNotifier = nullptr;
  QList<std::pair<int, QByteArray>> FPieces;
  QByteArray FReceived;
};

}  // namespace

class TestMonitorWindow : public QObject {
  Q_OBJECT

 private slots:
  void startState();
  void controlsCarryTheirNames_data();
  void controlsCarryTheirNames();
  void clearRoutinesEmptyTextsOnly();
  void replyBufferStaysBounded();
  void cycleCaption_data();
  void cycleCaption();
  void levelBarClampsToItsRange();
  void execCommand_data();
  void execCommand();
  void execCommandDropsEarlierBytes();
  void execCommandOnClosedPortTimesOut();
  void closeRequestDuringWait();
  void technologyShapesTheWindow_data();
  void technologyShapesTheWindow();
  void identityShownAsText_data();
  void identityShownAsText();
};

void TestMonitorWindow::startState() {
  TForm3 W;
  auto* Online = W.findChild<QCheckBox*>(QStringLiteral("cbxOnline"));
  auto* Monitor = W.findChild<QCheckBox*>(QStringLiteral("cbxMonitor"));
  auto* Opts = W.findChild<QPushButton*>(QStringLiteral("bbtOpts"));
  auto* Timer = W.findChild<QTimer*>(QStringLiteral("tmrPolling"));
  QVERIFY(Online && Monitor && Opts && Timer);
  QVERIFY(!Online->isChecked() && Online->isEnabled());
  QVERIFY(!Monitor->isChecked() && !Monitor->isEnabled());
  QVERIFY(Opts->isEnabled());
  QVERIFY(!Timer->isActive());
  QCOMPARE(Timer->interval(), 1100);
  QCOMPARE(W.windowTitle(), QStringLiteral("Vantrel"));

  TSerialPortDriver* M = W.Modem();
  QVERIFY(!M->IsOpen());
  QCOMPARE(M->Port(), TPortNumber::pnCOM1);
  QCOMPARE(M->PortName(), QStringLiteral("\\\\.\\COM1"));
  QCOMPARE(M->BaudRate(), TBaudRate::brCustom);
  QCOMPARE(M->BaudRateValue(), 19200u);
  QCOMPARE(M->DataBits(), TDataBits::db8BITS);
  QCOMPARE(M->StopBits(), TStopBits::sb1BITS);
  QCOMPARE(M->Parity(), TParity::ptNONE);
  QCOMPARE(M->HwFlow(), THwFlowControl::hfNONE);
  QCOMPARE(M->SwFlow(), TSwFlowControl::sfNONE);
  QCOMPARE(M->InBufSize(), 4096u);
  QCOMPARE(M->OutBufSize(), 2048u);
  QCOMPARE(M->PacketSize(), std::int16_t(-1));
  QCOMPARE(M->PacketTimeout(), -1);
  QCOMPARE(M->PacketMode(), TPacketMode::pmDiscard);
  QCOMPARE(M->PollingDelay(), std::uint16_t(50));
  QVERIFY(M->EnableDTROnOpen());
  QCOMPARE(M->OutputTimeout(), std::uint16_t(500));
  QCOMPARE(M->InputTimeout(), 250u);
  QVERIFY(!M->CheckLineStatus());

  for (int I = 0; I < 7; ++I) {
    auto* Bar = W.findChild<TLevelBar*>(QStringLiteral("pbrRxLevel%1").arg(I));
    QCOMPARE(Bar->Min(), -113);
    QCOMPARE(Bar->Max(), -47);
    QCOMPARE(Bar->Position(), -113);
  }
  QCOMPARE(W.History()->Samples().size(), std::size_t(0));
  QCOMPARE(W.History()->WindowMin(), -0.5);
  QCOMPARE(W.History()->WindowMax(), 30.5);
}

void TestMonitorWindow::controlsCarryTheirNames_data() {
  QTest::addColumn<QString>("name");
  const char* Fixed[] = {"cpdModem",         "tmrPolling", "cbxOnline",   "cbxMonitor", "bbtOpts",
                         "lbeManufactrurer", "lbeModel",   "lbeRevision", "lbeIMEI",    "lbeIMSI",
                         "lbeRxLev",         "lbeC1",      "lbePWR",      "lbePLMN",    "lbeLAC",
                         "chtRxLevel",       "memStat",    "Shape1"};
  for (const char* N : Fixed) QTest::newRow(N) << QString::fromLatin1(N);
  for (const char* Prefix :
       {"pbrRxLevel", "sttGsmBand", "sttChannel", "sttRxLevel", "sttBSIC", "sttCellID"})
    for (int I = 0; I < 7; ++I) {
      const QString N = QString::fromLatin1(Prefix) + QString::number(I);
      QTest::newRow(qPrintable(N)) << N;
    }
  for (int I = 2; I <= 16; ++I) {
    const QString N = QStringLiteral("Label%1").arg(I);
    QTest::newRow(qPrintable(N)) << N;
  }
}

void TestMonitorWindow::controlsCarryTheirNames() {
  QFETCH(QString, name);
  TForm3 W;
  QVERIFY2(W.findChild<QObject*>(name) != nullptr, qPrintable(name));
}

void TestMonitorWindow::clearRoutinesEmptyTextsOnly() {
  TForm3 W;
  auto* Cell = W.findChild<QLabel*>(QStringLiteral("sttChannel3"));
  QPalette P = Cell->palette();
  P.setColor(QPalette::WindowText, Qt::red);
  Cell->setPalette(P);
  Cell->setText(QStringLiteral("abc"));
  auto* Bar = W.findChild<TLevelBar*>(QStringLiteral("pbrRxLevel2"));
  Bar->SetPosition(-70);
  Bar->SetBarColor(QColor(95, 95, 255));
  auto* Imei = W.findChild<QLineEdit*>(QStringLiteral("lbeIMEI"));
  Imei->setText(QStringLiteral("123"));
  auto* Bsic = W.findChild<QLabel*>(QStringLiteral("sttBSIC0"));
  Bsic->setText(QStringLiteral("7"));
  W.History()->AppendLevel(-80, 0xFF5F5F);

  W.ClearAll();
  QVERIFY(Cell->text().isEmpty());
  QVERIFY(Imei->text().isEmpty());
  QVERIFY(Bsic->text().isEmpty());
  QCOMPARE(Cell->palette().color(QPalette::WindowText), QColor(Qt::red));
  QCOMPARE(Bar->Position(), -70);
  QCOMPARE(Bar->BarColor(), QColor(95, 95, 255));
  QCOMPARE(W.History()->Samples().size(), std::size_t(0));
}

void TestMonitorWindow::replyBufferStaysBounded() {
  TForm3 W;
  QByteArray Chunk(600 * 1024, 'a');
  W.cpdModemReceiveData(nullptr, reinterpret_cast<const std::uint8_t*>(Chunk.constData()),
                        static_cast<std::uint32_t>(Chunk.size()));
  Chunk.fill('b');
  W.cpdModemReceiveData(nullptr, reinterpret_cast<const std::uint8_t*>(Chunk.constData()),
                        static_cast<std::uint32_t>(Chunk.size()));
  QCOMPARE(W.Reply().size(), TForm3::MaxReplySize);
  // The newest bytes are kept, the oldest dropped.
  QVERIFY(W.Reply().endsWith(Chunk));
  QCOMPARE(W.Reply().front(), 'a');
}

void TestMonitorWindow::cycleCaption_data() {
  QTest::addColumn<QTime>("time");
  QTest::addColumn<QString>("separator");
  QTest::addColumn<QString>("caption");
  QTest::newRow("afternoon") << QTime(14, 5, 33) << ":"
                             << "Vantrel:14:05:33";
  QTest::newRow("midnight") << QTime(0, 0, 0) << ":"
                            << "Vantrel:00:00:00";
  QTest::newRow("dot locale") << QTime(9, 7, 1) << "."
                              << "Vantrel:09.07.01";
}

void TestMonitorWindow::cycleCaption() {
  QFETCH(QTime, time);
  QFETCH(QString, separator);
  QFETCH(QString, caption);
  QCOMPARE(CycleCaption(QStringLiteral("Vantrel"), time, separator), caption);
}

void TestMonitorWindow::levelBarClampsToItsRange() {
  TLevelBar Bar;
  Bar.SetRange(-113, -47);
  Bar.SetPosition(-114);
  QCOMPARE(Bar.Position(), -113);
  Bar.SetPosition(0);
  QCOMPARE(Bar.Position(), -47);
  QCOMPARE(TLevelBar::FillHeight(-113, -47, -113, 107), 0);
  QCOMPARE(TLevelBar::FillHeight(-113, -47, -47, 107), 107);
  QCOMPARE(TLevelBar::FillHeight(-113, -47, -80, 107), 54);
  QCOMPARE(TLevelBar::FillHeight(-113, -47, -500, 107), 0);
}

void TestMonitorWindow::execCommand_data() {
  QTest::addColumn<TReplyPieces>("pieces");
  QTest::addColumn<bool>("result");
  QTest::addColumn<QByteArray>("reply");
  using P = TReplyPieces;
  QTest::newRow("whole") << P{{0, "\r\nX1\r\n\r\nOK\r\n"}} << true
                         << QByteArray("\r\nX1\r\n\r\nOK\r\n");
  QTest::newRow("terminator split")
      << P{{0, "\r\nX1\r\n\r\nO"}, {150, "K\r\n"}} << true << QByteArray("\r\nX1\r\n\r\nOK\r\n");
  QTest::newRow("final line break missing") << P{{0, "\r\nX1\r\n\r\nOK"}} << false << QByteArray();
  QTest::newRow("error reply") << P{{0, "\r\nERROR\r\n"}} << false << QByteArray();
  QTest::newRow("no reply") << P{} << false << QByteArray();
}

void TestMonitorWindow::execCommand() {
  QFETCH(TReplyPieces, pieces);
  QFETCH(bool, result);
  QFETCH(QByteArray, reply);
  TScriptedPeer Peer;
  if (!Peer.Open()) QSKIP("no pseudo-terminal");
  Peer.SetReply(pieces);
  TForm3 W;
  W.Modem()->SetPortName(Peer.SlavePath());
  QVERIFY(W.Modem()->OpenPort());
  QElapsedTimer Clock;
  Clock.start();
  QCOMPARE(W.ExecCommand("AT+GMI\r", "\r\nOK\r\n", 1, 500), result);
  const qint64 Took = Clock.elapsed();
  QCOMPARE(W.Reply(), reply);
  QCOMPARE(Peer.Received(), QByteArray("AT+GMI\r"));
  if (!result) QVERIFY2(Took >= 500 && Took < 3000, qPrintable(QString::number(Took)));
}

void TestMonitorWindow::execCommandDropsEarlierBytes() {
  TScriptedPeer Peer;
  if (!Peer.Open()) QSKIP("no pseudo-terminal");
  TForm3 W;
  W.Modem()->SetPortName(Peer.SlavePath());
  QVERIFY(W.Modem()->OpenPort());
  // A late reply that is queued on the port, and one already delivered.
  Peer.Write("\r\nSTALE\r\n\r\nOK\r\n");
  const QByteArray Delivered("\r\nOLD\r\n\r\nOK\r\n");
  W.cpdModemReceiveData(nullptr, reinterpret_cast<const std::uint8_t*>(Delivered.constData()),
                        static_cast<std::uint32_t>(Delivered.size()));
  QTest::qSleep(50);
  QVERIFY(!W.ExecCommand("AT\r", "\r\nOK\r\n", 1, 500));
  QVERIFY(W.Reply().isEmpty());
}

void TestMonitorWindow::execCommandOnClosedPortTimesOut() {
  TForm3 W;
  QElapsedTimer Clock;
  Clock.start();
  QVERIFY(!W.ExecCommand("AT^MONI\r", "\r\nOK\r\n", 1, 500));
  QVERIFY(Clock.elapsed() >= 500);
  QVERIFY(Clock.elapsed() < 3000);
  QVERIFY(W.Reply().isEmpty());
  // Two attempts take twice as long.
  Clock.restart();
  QVERIFY(!W.ExecCommand("AT\r", "\r\nOK\r\n", 2, 200));
  QVERIFY(Clock.elapsed() >= 400);
}

void TestMonitorWindow::closeRequestDuringWait() {
  TScriptedPeer Peer;
  if (!Peer.Open()) QSKIP("no pseudo-terminal");
  TForm3 W;
  W.show();
  W.Modem()->SetPortName(Peer.SlavePath());
  QVERIFY(W.Modem()->OpenPort());
  QTimer::singleShot(100, &W, [&W] { W.close(); });
  QVERIFY(!W.ExecCommand("AT^MONI\r", "\r\nOK\r\n", 1, 500));
  QVERIFY(!W.Modem()->IsOpen());
  QVERIFY(!W.isVisible());
  QVERIFY(W.Reply().isEmpty());
}

void TestMonitorWindow::identityShownAsText_data() {
  QTest::addColumn<QByteArray>("line");  // what the modem prints for each identity query
  QTest::addColumn<QString>("shown");
  QTest::newRow("long model") << QByteArray("MULTIBAND  900E  1800 with a long revision tail")
                              << QStringLiteral("MULTIBAND  900E  1800 with a long revision tail");
  QTest::newRow("markup and escape sequences")
      << QByteArray("<img src=\"/etc/hostname\"><b>Acme</b>\x1b[31m\x1b]0;x\x07 GSM")
      << QStringLiteral("<img src=\"/etc/hostname\"><b>Acme</b>[31m]0;x GSM");
}

void TestMonitorWindow::identityShownAsText() {
  QFETCH(QByteArray, line);
  QFETCH(QString, shown);
  TScriptedPeer Peer;
  if (!Peer.Open()) QSKIP("no pseudo-terminal");
  Peer.SetReply({{0, "\r\n" + line + "\r\n\r\nOK\r\n"}});
  TForm3 W;
  W.Modem()->SetPortName(Peer.SlavePath());
  QVERIFY(W.Modem()->OpenPort());
  QVERIFY(W.ReadDeviceInfo());
  for (const char* Name : {"lbeManufactrurer", "lbeModel", "lbeRevision", "lbeIMEI", "lbeIMSI"}) {
    auto* Field = W.findChild<QLineEdit*>(QString::fromLatin1(Name));
    QVERIFY(Field);
    QCOMPARE(Field->text(), shown);
    QCOMPARE(Field->cursorPosition(), 0);  // the start shows, however long the text
    QVERIFY2(Field->toolTip().endsWith(shown), qPrintable(Field->toolTip()));
  }
}

QTEST_MAIN(TestMonitorWindow)
#include "tst_monitorwindow.moc"

namespace {

// A reply from the copies of real replies ("quectel/x.txt"), or written out ("=...").
QList<QByteArray> ReplyOf(const QString& Step) {
  if (Step.startsWith('=')) return SplitReplyLines(Step.mid(1).toLatin1());
  QFile File(QStringLiteral(VANTREL_REPLIES_DIR "/") + Step);
  return File.open(QIODevice::ReadOnly) ? SplitReplyLines(File.readAll()) : QList<QByteArray>();
}

QString TextsOf(const TForm3& W, const QStringList& Names) {
  QStringList Texts;
  for (const QString& Name : Names) {
    const QWidget* Widget = W.findChild<QWidget*>(Name);
    if (const auto* Label = qobject_cast<const QLabel*>(Widget)) Texts << Label->text();
    if (const auto* Edit = qobject_cast<const QLineEdit*>(Widget)) Texts << Edit->text();
  }
  return Texts.join('|');
}

}  // namespace

void TestMonitorWindow::technologyShapesTheWindow_data() {
  // Replies, each shown as one cycle's report; "a&b" are read together.
  QTest::addColumn<QStringList>("Steps");
  QTest::addColumn<QString>("Rows");     // row captions, then detail captions
  QTest::addColumn<QString>("Serving");  // band|channel|level|bar, then the five details
  QTest::addColumn<QString>("Column1");  // band|channel|level|bar of the first neighbour
  QTest::addColumn<int>("Samples");
  QTest::addColumn<QString>("Axis");

  const QString Gsm = "quectel/qeng-serving-gsm.txt&quectel/qeng-neighbour-gsm.txt";
  const QString Lte = "quectel/qeng-serving-lte-fdd.txt&quectel/qeng-neighbour-lte-measured.txt";
  const QString GsmRows = "GSM Band|Channel|RxLevel|BSIC|CellID|RxLev|C1|PWR|PLMN|LAC";
  const QString LteRows = "Band|EARFCN|RSRP|PCI|CellID|RSRQ|SINR|RSSI|PLMN|TAC";
  QTest::newRow("GSM as ever") << QStringList{Gsm, Gsm} << GsmRows
                               << "900|82|-52|-52|-|53|-|46000|9340"
                               << "900|33|-83|-83" << 2 << "-113..-47";
  QTest::newRow("GSM, then LTE starts again")
      << QStringList{Gsm, Gsm, Lte} << LteRows << "B20|6300|-104|-88|-9|11|-78|21401|1539"
      << "B3|1250|-88|-77" << 1 << "-140..-44";
  QTest::newRow("LTE, then searching")
      << QStringList{Lte, "quectel/qeng-serving-search-manual.txt"} << LteRows << "|||-113|||||"
      << "|||-113" << 1 << "-140..-44";
  QTest::newRow("UMTS")
      << QStringList{"quectel/qeng-serving-wcdma.txt&quectel/qeng-neighbour-wcdma-manual.txt"}
      << "Band|UARFCN|RSCP|PSC|CellID|Ec/Io|RSSI|PWR|PLMN|LAC"
      << "B8|3037|-94|-95|-15|-|-|51503|15026"
      << "B1|10713|-88|-91" << 1 << "-120..-25";
  // A neighbour of another technology names it in front of its band.
  QTest::newRow("GSM with an LTE neighbour")
      << QStringList{"quectel/qeng-serving-gsm.txt&=+QENG: \"neighbourcell\",\"LTE\",6300,"
                     "188,-100,-10\r\nOK\r\n"}
      << GsmRows << "900|82|-52|-52|-|53|-|46000|9340" << "LTE B20|6300|-100|-86" << 1
      << "-113..-47";
}

void TestMonitorWindow::technologyShapesTheWindow() {
  QFETCH(QStringList, Steps);
  QFETCH(QString, Rows);
  QFETCH(QString, Serving);
  QFETCH(QString, Column1);
  QFETCH(int, Samples);
  QFETCH(QString, Axis);

  TForm3 W;
  for (const QString& Step : Steps) {
    QList<QByteArray> Lines;
    for (const QString& Part : Step.split('&')) Lines += ReplyOf(Part);
    QVERIFY2(!Lines.isEmpty(), qPrintable(Step));
    W.ShowReport(TReportFamily::rfQuectel, Lines);
  }
  QStringList Captions;
  // The row captions stand left of the grid, from top to bottom.
  QList<QLabel*> RowLabels;
  for (QLabel* Label : W.findChildren<QLabel*>())
    if (Label->x() == 233) RowLabels << Label;
  std::sort(RowLabels.begin(), RowLabels.end(),
            [](const QLabel* A, const QLabel* B) { return A->y() < B->y(); });
  for (const QLabel* Label : RowLabels) Captions << Label->text();
  Captions << TextsOf(
      W, {"lbeRxLevLabel", "lbeC1Label", "lbePWRLabel", "lbePLMNLabel", "lbeLACLabel"});
  QCOMPARE(Captions.join('|'), Rows);

  const auto Bar = [&W](int I) {
    return QString::number(
        W.findChild<TLevelBar*>(QStringLiteral("pbrRxLevel%1").arg(I))->Position());
  };
  QCOMPARE(TextsOf(W, {"sttGsmBand0", "sttChannel0", "sttRxLevel0"}) + '|' + Bar(0) + '|' +
               TextsOf(W, {"lbeRxLev", "lbeC1", "lbePWR", "lbePLMN", "lbeLAC"}),
           Serving);
  QCOMPARE(TextsOf(W, {"sttGsmBand1", "sttChannel1", "sttRxLevel1"}) + '|' + Bar(1), Column1);
  QCOMPARE(int(W.History()->Samples().size()), Samples);
  QCOMPARE(QStringLiteral("%1..%2").arg(W.History()->ScaleLow()).arg(W.History()->ScaleHigh()),
           Axis);
}
