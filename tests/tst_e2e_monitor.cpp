#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "gui/LevelBar.h"
#include "gui/monitor_window.h"
#include "core/LevelHistory.h"
#include "serial/SerialPortDriver.h"
#include "support/SimProcess.h"
#include "support/WindowControls.h"

namespace {

using vantrel::test::Child;
using vantrel::test::GoOnline;
using vantrel::test::Grid;
using vantrel::test::SimProcess;
using vantrel::test::Text;

// The simulator on a pseudo-terminal of its own, without touching the port map.
bool StartSim(SimProcess& Sim, const QStringList& Options = {}) {
  return Sim.start(
      QStringList{QStringLiteral("--no-link"), QStringLiteral("--seed"), QStringLiteral("7")} +
      Options);
}

// Every text the window shows for the modem.
QStringList ShownTexts(const TForm3& W) {
  QStringList Texts;
  for (const char* Name : {"lbeManufactrurer", "lbeModel", "lbeRevision", "lbeIMEI", "lbeIMSI",
                           "lbeRxLev", "lbeC1", "lbePWR", "lbePLMN", "lbeLAC"})
    Texts << Text(W, QString::fromLatin1(Name));
  for (int I = 0; I < 7; ++I)
    for (const char* Row : {"sttGsmBand", "sttChannel", "sttRxLevel", "sttBSIC", "sttCellID"})
      Texts << Text(W, Grid(Row, I));
  return Texts;
}

// Neighbour columns hold sound cells from column 1 on and nothing after the last one; Shown
// gets how many hold a cell.
void CheckNeighbourColumns(const TForm3& W, int& Shown) {
  Shown = 0;
  for (int I = 1; I < 7; ++I) {
    if (!Text(W, Grid("sttChannel", I)).isEmpty()) {
      QCOMPARE(Shown, I - 1);  // no gap before it
      ++Shown;
      bool Ok = false;
      QCOMPARE(Text(W, Grid("sttChannel", I)).trimmed().toInt(&Ok), int(W.Cells()[I].Channel));
      QVERIFY(Ok);
      QVERIFY(QStringList({"900", "1800", "E", "R"}).contains(Text(W, Grid("sttGsmBand", I))));
      const int Level = Text(W, Grid("sttRxLevel", I)).trimmed().toInt(&Ok);
      QVERIFY(Ok);
      QVERIFY(Level >= -110 && Level <= -50);
      QCOMPARE(Child<TLevelBar>(W, Grid("pbrRxLevel", I))->Position(), Level);
      QVERIFY(!Text(W, Grid("sttCellID", I)).isEmpty());
      continue;
    }
    // Emptied: no text, an empty bar and an empty record; its identity slot is empty too.
    QVERIFY(Text(W, Grid("sttGsmBand", I)).isEmpty());
    QVERIFY(Text(W, Grid("sttRxLevel", I)).isEmpty());
    QVERIFY(Child<TLevelBar>(W, Grid("pbrRxLevel", I))->Position() <= -113);
    QCOMPARE(W.Cells()[I].Channel, std::int16_t(0));
    QCOMPARE(W.Cells()[I].Band, TGsmBand::gbNone);
    QVERIFY(Text(W, Grid("sttBSIC", I)).isEmpty());
    QVERIFY(Text(W, Grid("sttCellID", I)).isEmpty());
    QCOMPARE(W.Cells()[I].CellId, std::uint16_t(0));
  }
}

}  // namespace

class TestEndToEnd : public QObject {
  Q_OBJECT

 private slots:
  void goingOnlineFillsTheIdentity();
  void failedOnlineLeavesOffline_data();
  void failedOnlineLeavesOffline();
  void echoedCommandBecomesTheIdentity();
  void monitoringFillsTheWindow();
  void neighbourErrorKeepsTheNeighbourColumns();
  void uncheckingMonitorDuringACycleEndsMonitoring();
  void uncheckingOnlineDuringACycleEndsMonitoring();
  void closingMidCycleEndsCleanly();
  void unsolicitedCodesAroundReplies();
  void neighboursNoLongerReportedAreEmptied();
  void secondReportLayout();
};

void TestEndToEnd::goingOnlineFillsTheIdentity() {
  SimProcess Sim;
  QVERIFY(StartSim(Sim));
  TForm3 W;
  QVERIFY(GoOnline(W, Sim.slavePath()));
  QVERIFY(W.Modem()->IsOpen());
  QVERIFY(Child<QCheckBox>(W, "cbxMonitor")->isEnabled());
  QVERIFY(!Child<QPushButton>(W, "bbtOpts")->isEnabled());
  for (const char* Name : {"lbeManufactrurer", "lbeModel", "lbeRevision", "lbeIMEI", "lbeIMSI"})
    QVERIFY2(!Child<QLineEdit>(W, Name)->text().isEmpty(), Name);
  QCOMPARE(Child<QLineEdit>(W, "lbeManufactrurer")->text(), QString::fromLatin1(W.Manufacturer()));
  QCOMPARE(W.Imei().size(), 15);

  Child<QCheckBox>(W, "cbxOnline")->setChecked(false);
  QVERIFY(!W.Modem()->IsOpen());
  QVERIFY(Child<QPushButton>(W, "bbtOpts")->isEnabled());
  // Going offline keeps what is on screen.
  QVERIFY(!Child<QLineEdit>(W, "lbeIMEI")->text().isEmpty());
}

void TestEndToEnd::failedOnlineLeavesOffline_data() {
  QTest::addColumn<QStringList>("options");
  QTest::addColumn<bool>("missingPort");
  QTest::addColumn<QString>("hint");  // the Online switch's, "@dev" the simulator's port
  QTest::newRow("no such port")
      << QStringList{} << true
      << "cannot open /nonexistent/ttyUSB9: it stands for no device on this machine";
  QTest::newRow("ATV1 unanswered") << QStringList{"--unanswered", "ATV1"} << false
                                   << "no answer to ATV1 on @dev";
  QTest::newRow("IMSI error") << QStringList{"--error", "AT+CIMI"} << false
                              << "AT+CIMI answered ERROR";
}

void TestEndToEnd::failedOnlineLeavesOffline() {
  QFETCH(QStringList, options);
  QFETCH(bool, missingPort);
  QFETCH(QString, hint);
  SimProcess Sim;
  QVERIFY(StartSim(Sim, options));
  TForm3 W;
  W.Modem()->SetPortName(missingPort ? QStringLiteral("/nonexistent/ttyUSB9") : Sim.slavePath());
  Child<QCheckBox>(W, "cbxOnline")->setChecked(true);
  QVERIFY(!Child<QCheckBox>(W, "cbxOnline")->isChecked());
  QVERIFY(!W.Modem()->IsOpen());
  QVERIFY(Child<QPushButton>(W, "bbtOpts")->isEnabled());
  QVERIFY(!Child<QCheckBox>(W, "cbxMonitor")->isEnabled());
  QVERIFY(!Child<QCheckBox>(W, "cbxMonitor")->isChecked());
  QVERIFY(!W.findChild<QTimer*>(QStringLiteral("tmrPolling"))->isActive());
  QVERIFY(Child<QLineEdit>(W, "lbeIMSI")->text().isEmpty());
  QCOMPARE(Child<QCheckBox>(W, "cbxOnline")->toolTip(),
           hint.replace(QStringLiteral("@dev"), Sim.slavePath()));
  // A second failure gives its own reason.
  W.Modem()->SetPortName(QStringLiteral("/nonexistent/ttyUSB8"));
  Child<QCheckBox>(W, "cbxOnline")->setChecked(true);
  QVERIFY(Child<QCheckBox>(W, "cbxOnline")->toolTip().startsWith("cannot open /nonexistent/ttyUSB8"));
}

void TestEndToEnd::echoedCommandBecomesTheIdentity() {
  SimProcess Sim;
  QVERIFY(StartSim(Sim, {QStringLiteral("--echo-stuck")}));
  TForm3 W;
  QVERIFY(GoOnline(W, Sim.slavePath()));
  QCOMPARE(Child<QLineEdit>(W, "lbeManufactrurer")->text(), QStringLiteral("AT+GMI"));
  QCOMPARE(Child<QLineEdit>(W, "lbeIMSI")->text(), QStringLiteral("AT+CIMI"));
}

void TestEndToEnd::monitoringFillsTheWindow() {
  SimProcess Sim;
  QVERIFY(StartSim(Sim));
  TForm3 W;
  QVERIFY(GoOnline(W, Sim.slavePath()));
  Child<QCheckBox>(W, "cbxMonitor")->setChecked(true);
  QCOMPARE(W.windowTitle(), QStringLiteral("Vantrel"));
  QTRY_VERIFY_WITH_TIMEOUT(W.History()->Samples().size() >= 2, 15000);
  QVERIFY(W.windowTitle().startsWith(QStringLiteral("Vantrel:")));
  QVERIFY(!Child<QLabel>(W, "sttChannel0")->text().isEmpty());
  QVERIFY(!Child<QLabel>(W, "sttGsmBand0")->text().isEmpty());
  QVERIFY(!Child<QLabel>(W, "sttCellID0")->text().isEmpty());
  QVERIFY(!Child<QLabel>(W, "sttChannel1")->text().isEmpty());
  QVERIFY(!Child<QLineEdit>(W, "lbeRxLev")->text().isEmpty());
  QVERIFY(!Child<QLineEdit>(W, "lbePLMN")->text().isEmpty());
  QCOMPARE(W.Cells()[0].Level, static_cast<std::int16_t>(W.History()->Samples().back().Level));
  QCOMPARE(Child<TLevelBar>(W, "pbrRxLevel0")->BarColor(),
           QColor(static_cast<int>(LevelColor(W.Cells()[0].Level) & 0xFF),
                  static_cast<int>(LevelColor(W.Cells()[0].Level) & 0xFF), 255));
  const QStringList Report = Child<QPlainTextEdit>(W, "memStat")->toPlainText().split('\n');
  QCOMPARE(Report.size(), 13);
  QVERIFY(Report[0].startsWith(QStringLiteral("Number of values: ")));
  Child<QCheckBox>(W, "cbxMonitor")->setChecked(false);
}

void TestEndToEnd::neighbourErrorKeepsTheNeighbourColumns() {
  SimProcess Sim;
  QVERIFY(StartSim(Sim, {QStringLiteral("--error"), QStringLiteral("AT^MONP")}));
  TForm3 W;
  QVERIFY(GoOnline(W, Sim.slavePath()));
  Child<QLabel>(W, "sttChannel2")->setText(QStringLiteral("kept"));
  Child<QCheckBox>(W, "cbxMonitor")->setChecked(true);
  QTRY_VERIFY_WITH_TIMEOUT(W.History()->Samples().size() >= 2, 15000);
  QCOMPARE(Child<QLabel>(W, "sttChannel2")->text(), QStringLiteral("kept"));
  QVERIFY(Child<QLabel>(W, "sttChannel1")->text().isEmpty());
  QVERIFY(!Child<QLabel>(W, "sttChannel0")->text().isEmpty());
  QVERIFY(!Child<QLabel>(W, "sttBSIC1")->text().isEmpty());
  Child<QCheckBox>(W, "cbxMonitor")->setChecked(false);
}

void TestEndToEnd::uncheckingMonitorDuringACycleEndsMonitoring() {
  SimProcess Sim;
  QVERIFY(StartSim(Sim, {QStringLiteral("--unanswered"), QStringLiteral("AT^MONI")}));
  TForm3 W;
  auto* Monitor = Child<QCheckBox>(W, "cbxMonitor");
  QVERIFY(GoOnline(W, Sim.slavePath()));
  Monitor->setChecked(true);
  QStringList Sent;
  W.Session()->OnExchange = [&Sent](const QByteArray& Command, TExchangeStage Stage) {
    if (Stage == TExchangeStage::Sent) Sent << QString::fromLatin1(Command.trimmed());
  };
  // The first cycle starts 1100 ms later and waits 500 ms for AT^MONI. Unchecked inside that
  // wait, the cycle is abandoned: it sends nothing more and puts no time in the caption.
  QTimer::singleShot(1300, Monitor, [Monitor] { Monitor->setChecked(false); });
  QTRY_VERIFY_WITH_TIMEOUT(!Sent.isEmpty() && !W.Session()->CycleRunning(), 8000);
  QVERIFY(!W.findChild<QTimer*>(QStringLiteral("tmrPolling"))->isActive());
  QTest::qWait(2500);
  QCOMPARE(Sent, QStringList{QStringLiteral("AT^MONI")});
  QCOMPARE(W.windowTitle(), QStringLiteral("Vantrel"));
  QVERIFY(W.Modem()->IsOpen());
}

void TestEndToEnd::uncheckingOnlineDuringACycleEndsMonitoring() {
  SimProcess Sim;
  QVERIFY(StartSim(Sim, {QStringLiteral("--unanswered"), QStringLiteral("AT^MONI")}));
  TForm3 W;
  auto* Online = Child<QCheckBox>(W, "cbxOnline");
  QVERIFY(GoOnline(W, Sim.slavePath()));
  Child<QCheckBox>(W, "cbxMonitor")->setChecked(true);
  bool Unchecked = false;
  QTimer::singleShot(1300, Online, [Online, &Unchecked] {
    Online->setChecked(false);
    Unchecked = true;
  });
  QTRY_VERIFY_WITH_TIMEOUT(Unchecked && !W.Session()->CycleRunning(), 8000);
  QCOMPARE(W.windowTitle(), QStringLiteral("Vantrel"));  // the abandoned cycle wrote nothing
  QVERIFY(!W.Modem()->IsOpen());
  QVERIFY(!Child<QCheckBox>(W, "cbxMonitor")->isChecked());
  QVERIFY(!Child<QCheckBox>(W, "cbxMonitor")->isEnabled());
  QVERIFY(!W.findChild<QTimer*>(QStringLiteral("tmrPolling"))->isActive());
}

void TestEndToEnd::closingMidCycleEndsCleanly() {
  SimProcess Sim;
  QVERIFY(StartSim(Sim, {QStringLiteral("--unanswered"), QStringLiteral("AT^MONI")}));
  TForm3 W;
  W.show();
  QVERIFY(GoOnline(W, Sim.slavePath()));
  Child<QCheckBox>(W, "cbxMonitor")->setChecked(true);
  QTimer::singleShot(1300, &W, [&W] { W.close(); });
  QTRY_VERIFY_WITH_TIMEOUT(!W.isVisible() && !W.Session()->CycleRunning(), 8000);
  QCOMPARE(W.windowTitle(), QStringLiteral("Vantrel"));
  QVERIFY(!W.Modem()->IsOpen());
}

// A modem that sends unsolicited result codes before its replies, between them and after the
// program's time-outs: the identity, the columns and the history show none of them.
void TestEndToEnd::unsolicitedCodesAroundReplies() {
  SimProcess Sim;
  QVERIFY(StartSim(Sim, {"--urc", "before", "--urc", "gap", "--urc", "late"}));
  TForm3 W;
  QVERIFY(GoOnline(W, Sim.slavePath()));
  QCOMPARE(Text(W, "lbeManufactrurer"), QStringLiteral("Vantrel Labs"));
  QCOMPARE(Text(W, "lbeModel"), QStringLiteral("VX-900 Simulated"));
  QCOMPARE(Text(W, "lbeRevision"), QStringLiteral("REVISION 01.002"));
  QCOMPARE(Text(W, "lbeIMEI"), QStringLiteral("357246031234567"));
  QCOMPARE(Text(W, "lbeIMSI"), QStringLiteral("262073987654321"));

  for (int Cycle = 1; Cycle <= 6; ++Cycle) {
    W.PollCells();
    // Every cycle adds the serving cell's own level, never -114.
    QCOMPARE(int(W.History()->Samples().size()), Cycle);
    for (const auto& Sample : W.History()->Samples())
      QVERIFY2(Sample.Level >= -110 && Sample.Level <= -50,
               qPrintable(QString::number(Sample.Level)));
    for (const QString& Shown : ShownTexts(W))
      QVERIFY2(!Shown.contains(QLatin1String("RING")) && !Shown.contains(QLatin1String("+C")),
               qPrintable(Shown));
    QVERIFY(!Text(W, "sttChannel0").isEmpty());
    QCOMPARE(Text(W, "lbePLMN"), QStringLiteral("26207"));
    QVERIFY(W.Cells()[0].CellId != 0);
    int Shown = 0;
    CheckNeighbourColumns(W, Shown);
    if (QTest::currentTestFailed()) return;
    QVERIFY(Shown > 0);
  }
}

// The display shows the neighbours of the last report: fewer than before leave the other
// columns empty, and their identity slots too.
void TestEndToEnd::neighboursNoLongerReportedAreEmptied() {
  SimProcess Sim;
  QVERIFY(StartSim(Sim, {"--control", "--neighbours", "6"}));
  TForm3 W;
  QVERIFY(GoOnline(W, Sim.slavePath()));
  W.PollCells();
  int Shown = 0;
  CheckNeighbourColumns(W, Shown);
  QCOMPARE(Shown, 6);
  for (int Count : {1, 0, 3}) {
    QVERIFY(Sim.control(QStringLiteral("faults --neighbours %1").arg(Count)));
    W.PollCells();
    CheckNeighbourColumns(W, Shown);
    if (QTest::currentTestFailed()) return;
    QCOMPARE(Shown, Count);
    QVERIFY(!Text(W, "sttBSIC0").isEmpty());
  }
  QCOMPARE(int(W.History()->Samples().size()), 4);
}

// A modem of the second layout (one PLMN column) shows the same details as one of the first.
void TestEndToEnd::secondReportLayout() {
  QStringList Details[2];
  for (int Layout = 0; Layout < 2; ++Layout) {
    SimProcess Sim;
    QVERIFY(StartSim(Sim, {"--layout", Layout == 0 ? "a" : "b"}));
    TForm3 W;
    QVERIFY(GoOnline(W, Sim.slavePath()));
    W.PollCells();
    QCOMPARE(int(W.History()->Samples().size()), 1);
    const int Level = static_cast<int>(W.History()->Samples().back().Level);
    QCOMPARE(Text(W, "lbeRxLev").trimmed(), QStringLiteral("-105"));
    QCOMPARE(Text(W, "lbeC1").trimmed(), QString::number(Level + 105));
    QCOMPARE(Text(W, "lbePWR").trimmed(), QStringLiteral("33"));
    QCOMPARE(Text(W, "lbePLMN"), QStringLiteral("26207"));
    bool Ok = false;
    QCOMPARE(Text(W, "lbeLAC").toInt(&Ok), int(W.Cells()[0].Lac));
    QVERIFY(Ok && W.Cells()[0].Lac != 0);
    QCOMPARE(W.Cells()[0].Mcc, std::uint16_t(262));
    QCOMPARE(W.Cells()[0].Mnc, std::uint16_t(7));
    for (const char* Name : {"sttChannel0", "sttGsmBand0", "sttRxLevel0", "lbeRxLev", "lbeC1",
                             "lbePWR", "lbePLMN", "lbeLAC", "sttBSIC0", "sttCellID0"})
      Details[Layout] << Text(W, QString::fromLatin1(Name));
  }
  // The same seed gives the same cell: both layouts must read it alike.
  QCOMPARE(Details[1], Details[0]);
}

QTEST_MAIN(TestEndToEnd)
#include "tst_e2e_monitor.moc"
