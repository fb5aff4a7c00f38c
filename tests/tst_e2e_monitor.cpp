#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/LevelBar.h"
#include "app/monitor_window.h"
#include "history/LevelHistory.h"
#include "serial/SerialPortDriver.h"
#include "support/SimProcess.h"
#include "support/WindowControls.h"

namespace {

using vantrel::test::Child;
using vantrel::test::GoOnline;
using vantrel::test::SimProcess;

// The simulator on a pseudo-terminal of its own, without touching the port map.
bool StartSim(SimProcess& Sim, const QStringList& Options = {}) {
  return Sim.start(
      QStringList{QStringLiteral("--no-link"), QStringLiteral("--seed"), QStringLiteral("7")} +
      Options);
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
  QTest::newRow("no such port") << QStringList{} << true;
  QTest::newRow("ATV1 unanswered") << QStringList{"--unanswered", "ATV1"} << false;
  QTest::newRow("IMSI error") << QStringList{"--error", "AT+CIMI"} << false;
}

void TestEndToEnd::failedOnlineLeavesOffline() {
  QFETCH(QStringList, options);
  QFETCH(bool, missingPort);
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

QTEST_MAIN(TestEndToEnd)
#include "tst_e2e_monitor.moc"
