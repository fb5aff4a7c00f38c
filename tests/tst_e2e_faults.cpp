// The monitor window, the real driver and the simulator, with the simulator's faults switched
// on and off while monitoring: what each fault leaves on screen, and that the window picks
// up again once the fault is over.
#include <QAbstractEventDispatcher>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <map>

#include "core/LevelHistory.h"
#include "gui/LevelBar.h"
#include "gui/monitor_window.h"
#include "serial/SerialPortDriver.h"
#include "support/SimProcess.h"
#include "support/WindowControls.h"

using vantrel::test::Child;
using vantrel::test::SimProcess;

namespace {

const QColor Red(255, 0, 0);
const QString Mark = QStringLiteral("~");

QString GridName(const char* Row, int Column) {
  return QString::fromLatin1(Row) + QString::number(Column);
}

// The displays each report writes.
QStringList ServingTexts() {
  return {QStringLiteral("sttGsmBand0"), QStringLiteral("sttChannel0"),
          QStringLiteral("sttRxLevel0"), QStringLiteral("lbeRxLev"),
          QStringLiteral("lbeC1"),       QStringLiteral("lbePWR"),
          QStringLiteral("lbePLMN"),     QStringLiteral("lbeLAC")};
}
QStringList NeighbourTexts() {
  QStringList Names;
  for (int I = 1; I < 7; ++I)
    for (const char* Row : {"sttGsmBand", "sttChannel", "sttRxLevel"}) Names << GridName(Row, I);
  return Names;
}
QStringList IdentityTexts() {
  QStringList Names;
  for (int I = 0; I < 7; ++I)
    for (const char* Row : {"sttBSIC", "sttCellID"}) Names << GridName(Row, I);
  return Names;
}

QString TextOf(const TForm3& W, const QString& Name) {
  if (auto* L = Child<QLabel>(W, Name)) return L->text();
  return Child<QLineEdit>(W, Name)->text();
}
QColor ColorOf(const TForm3& W, const QString& Name) {
  return Child<QWidget>(W, Name)->palette().color(QPalette::WindowText);
}
void SetMark(TForm3& W, const QString& Name) {
  if (auto* L = Child<QLabel>(W, Name))
    L->setText(Mark);
  else
    Child<QLineEdit>(W, Name)->setText(Mark);
}

// Texts, colours and bars as they stand, to tell "kept" from "written".
struct TScreen {
  std::map<QString, std::pair<QString, QColor>> Texts;
  std::vector<std::pair<int, QColor>> Bars;
  bool operator==(const TScreen&) const = default;
};
TScreen Snapshot(const TForm3& W, const QStringList& Names, int FirstBar, int LastBar) {
  TScreen S;
  for (const QString& Name : Names) S.Texts[Name] = {TextOf(W, Name), ColorOf(W, Name)};
  for (int I = FirstBar; I <= LastBar; ++I) {
    const auto* Bar = Child<TLevelBar>(W, GridName("pbrRxLevel", I));
    S.Bars.emplace_back(Bar->Position(), Bar->BarColor());
  }
  return S;
}

int Number(const QString& Text, bool* Ok, int Base = 10) {
  return Text.trimmed().toInt(Ok, Base);
}

bool IsBand(const QString& Text) {
  return QStringList{"900", "1800", "E", "R"}.contains(Text);
}

// What one cycle did to the displays of one report.
enum class TOutcome : char {
  Kept = 'K',     // not written at all
  Updated = 'U',  // written with a sound report
  Any = 'A',      // written or not, depending on where the garbage fell
};

// Counts what the window receives and what it adds to the history, then hands on.
struct TTaps {
  int Deliveries = 0;
  int Samples = 0;
  std::int16_t LastLevel = 0;
  void Install(TForm3& W) {
    TReceiveDataEvent Receive = W.Modem()->OnReceiveData;
    W.Modem()->OnReceiveData = [this, Receive](QObject* S, const std::uint8_t* D, std::uint32_t N) {
      ++Deliveries;
      Receive(S, D, N);
    };
    auto AfterAdd = W.History()->OnAfterAdd;
    W.History()->OnAfterAdd = [this, AfterAdd](TLevelHistory* H, std::int32_t Index) {
      ++Samples;
      LastLevel = static_cast<std::int16_t>(H->Samples().back().Level);
      AfterAdd(H, Index);
    };
  }
};

}  // namespace

class TestEndToEndFaults : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void faultMatrix_data();
  void faultMatrix();
  void eventLoopKeepsTurning();

 private:
  bool StartSim(SimProcess& Sim);
  bool GoOnline(TForm3& W);
  void CheckStillMonitoring(const TForm3& W);
  void CheckLost(const TForm3& W);
  void CheckServing(const TForm3& W, TOutcome Outcome, const TTaps& Before, const TTaps& After);
  void CheckNeighbours(const TForm3& W, TOutcome Outcome);
  void CheckIdentities(const TForm3& W, TOutcome Outcome);
  void RunCycle(TForm3& W, TTaps& Taps, const QString& Expect, bool Lost = false);

  QTemporaryDir FConfig;
  QProcessEnvironment FEnv;
};

void TestEndToEndFaults::initTestCase() {
  QVERIFY(FConfig.isValid());
  // The window opens "\\.\COM1", which the simulator links in this folder.
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(FConfig.path()));
  FEnv = QProcessEnvironment::systemEnvironment();
  FEnv.insert(QStringLiteral("XDG_CONFIG_HOME"), FConfig.path());
}

bool TestEndToEndFaults::StartSim(SimProcess& Sim) {
  // The modem has a udev name, as a USB modem's by-id link: it is known as itself when back.
  return Sim.start({"--port", "1", "--seed", "7", "--control", "--alias",
                    FConfig.filePath(QStringLiteral("modem"))},
                   FEnv);
}

bool TestEndToEndFaults::GoOnline(TForm3& W) {
  auto* Online = Child<QCheckBox>(W, QStringLiteral("cbxOnline"));
  auto* Monitor = Child<QCheckBox>(W, QStringLiteral("cbxMonitor"));
  Online->setChecked(true);
  if (!Online->isChecked()) return false;
  Monitor->setChecked(true);
  return Monitor->isChecked();
}

void TestEndToEndFaults::CheckStillMonitoring(const TForm3& W) {
  // No fault on the line unchecks anything: only the user goes offline.
  QVERIFY(Child<QCheckBox>(W, QStringLiteral("cbxOnline"))->isChecked());
  QVERIFY(Child<QCheckBox>(W, QStringLiteral("cbxMonitor"))->isChecked());
  QVERIFY(Child<QCheckBox>(W, QStringLiteral("cbxMonitor"))->isEnabled());
  QVERIFY(!Child<QPushButton>(W, QStringLiteral("bbtOpts"))->isEnabled());
  QVERIFY(W.Modem()->IsOpen());
  QVERIFY(W.windowTitle().startsWith(QStringLiteral("Vantrel:")));
  QVERIFY(W.Reply().size() <= TForm3::MaxReplySize);
}

void TestEndToEndFaults::CheckLost(const TForm3& W) {
  // A device that went away takes the window offline, as unchecking Online would.
  QVERIFY(!Child<QCheckBox>(W, QStringLiteral("cbxOnline"))->isChecked());
  QCOMPARE(Child<QCheckBox>(W, QStringLiteral("cbxOnline"))->toolTip(),
           QStringLiteral("Device lost"));
  QVERIFY(!Child<QCheckBox>(W, QStringLiteral("cbxMonitor"))->isChecked());
  QVERIFY(Child<QPushButton>(W, QStringLiteral("bbtOpts"))->isEnabled());
  QVERIFY(!W.Modem()->IsOpen());
}

void TestEndToEndFaults::CheckServing(const TForm3& W, TOutcome Outcome, const TTaps& Before,
                                      const TTaps& After) {
  const int Added = After.Samples - Before.Samples;
  switch (Outcome) {
    case TOutcome::Kept:
      QCOMPARE(Added, 0);
      for (const QString& Name : ServingTexts()) QCOMPARE(TextOf(W, Name), Mark);
      return;
    case TOutcome::Any:
      QVERIFY(Added <= 1);
      // The report is taken whole or not at all, and a taken one always adds a sample.
      for (const QString& Name : ServingTexts()) QCOMPARE(TextOf(W, Name) == Mark, Added == 0);
      return;
    case TOutcome::Updated:
      break;
  }
  QCOMPARE(Added, 1);
  bool Ok = false;
  const int Channel = Number(TextOf(W, QStringLiteral("sttChannel0")), &Ok);
  QVERIFY(Ok);
  QCOMPARE(W.Cells()[0].Channel, std::int16_t(Channel));
  QVERIFY(IsBand(TextOf(W, QStringLiteral("sttGsmBand0"))));
  const int Level = Number(TextOf(W, QStringLiteral("sttRxLevel0")), &Ok);
  QVERIFY(Ok);
  QVERIFY2(Level >= -110 && Level <= -50, qPrintable(QString::number(Level)));
  QCOMPARE(After.LastLevel, std::int16_t(Level));
  QCOMPARE(Child<TLevelBar>(W, QStringLiteral("pbrRxLevel0"))->Position(), Level);
  for (const char* Name : {"sttChannel0", "sttGsmBand0", "sttRxLevel0"})
    QVERIFY2(ColorOf(W, QString::fromLatin1(Name)) != Red, Name);
  // The simulator's serving cell: RxLev -105, C1 measured against it, PWR 33, PLMN 262 07.
  QCOMPARE(TextOf(W, QStringLiteral("lbeRxLev")).trimmed(), QStringLiteral("-105"));
  QCOMPARE(Number(TextOf(W, QStringLiteral("lbeC1")), &Ok), Level + 105);
  QCOMPARE(TextOf(W, QStringLiteral("lbePWR")).trimmed(), QStringLiteral("33"));
  QCOMPARE(TextOf(W, QStringLiteral("lbePLMN")), QStringLiteral("26207"));
  QCOMPARE(Number(TextOf(W, QStringLiteral("lbeLAC")), &Ok), int(W.Cells()[0].Lac));
  QVERIFY(Ok);
}

void TestEndToEndFaults::CheckNeighbours(const TForm3& W, TOutcome Outcome) {
  if (Outcome == TOutcome::Kept) {
    for (const QString& Name : NeighbourTexts()) QCOMPARE(TextOf(W, Name), Mark);
    return;
  }
  // A garbled report may cut the neighbour list anywhere; nothing to say beyond "no crash".
  if (Outcome == TOutcome::Any) return;
  // All six columns are written: sound neighbours from column 1 on, then emptied columns.
  int Shown = 0;
  for (int I = 1; I < 7; ++I) {
    if (TextOf(W, GridName("sttChannel", I)).isEmpty()) {
      for (const char* Row : {"sttGsmBand", "sttRxLevel"})
        QVERIFY(TextOf(W, GridName(Row, I)).isEmpty());
      QVERIFY(Child<TLevelBar>(W, GridName("pbrRxLevel", I))->Position() <= -113);
      QCOMPARE(W.Cells()[I].Channel, std::int16_t(0));
      continue;
    }
    QCOMPARE(Shown++, I - 1);  // no gap before a neighbour
    bool Ok = false;
    QVERIFY(IsBand(TextOf(W, GridName("sttGsmBand", I))));
    QCOMPARE(Number(TextOf(W, GridName("sttChannel", I)), &Ok), int(W.Cells()[I].Channel));
    QVERIFY(Ok);
    const int Level = Number(TextOf(W, GridName("sttRxLevel", I)), &Ok);
    QVERIFY(Ok);
    QCOMPARE(Child<TLevelBar>(W, GridName("pbrRxLevel", I))->Position(), Level);
    for (const char* Row : {"sttChannel", "sttGsmBand", "sttRxLevel"})
      QVERIFY2(ColorOf(W, GridName(Row, I)) != Red, Row);
  }
}

void TestEndToEndFaults::CheckIdentities(const TForm3& W, TOutcome Outcome) {
  if (Outcome == TOutcome::Kept) {
    for (const QString& Name : IdentityTexts()) QCOMPARE(TextOf(W, Name), Mark);
    return;
  }
  if (Outcome == TOutcome::Any) {
    // All seven columns are written together or none is.
    const bool Written = TextOf(W, QStringLiteral("sttBSIC0")) != Mark;
    for (const QString& Name : IdentityTexts()) QCOMPARE(TextOf(W, Name) != Mark, Written);
    return;
  }
  // Every column is rewritten; the modem's empty slots (zeros) show nothing, the others parse.
  for (int I = 0; I < 7; ++I) {
    if (I > 0 && TextOf(W, GridName("sttBSIC", I)).isEmpty()) {
      QVERIFY(TextOf(W, GridName("sttCellID", I)).isEmpty());
      QCOMPARE(W.Cells()[I].Bsic, std::uint16_t(0));
      QCOMPARE(W.Cells()[I].CellId, std::uint16_t(0));
      continue;
    }
    bool Ok = false;
    QCOMPARE(Number(TextOf(W, GridName("sttBSIC", I)), &Ok), int(W.Cells()[I].Bsic));
    QVERIFY(Ok);
    QCOMPARE(Number(TextOf(W, GridName("sttCellID", I)), &Ok), int(W.Cells()[I].CellId));
    QVERIFY(Ok);
    QVERIFY(ColorOf(W, GridName("sttBSIC", I)) != Red);
    QVERIFY(ColorOf(W, GridName("sttCellID", I)) != Red);
  }
  QVERIFY(W.Cells()[0].CellId != 0);
}

// One monitoring cycle, with every display marked first so that what the cycle wrote shows.
// Expect holds three outcome letters: serving, neighbours, identities.
void TestEndToEndFaults::RunCycle(TForm3& W, TTaps& Taps, const QString& Expect, bool Lost) {
  QCOMPARE(Expect.size(), 3);
  for (const QStringList& Names : {ServingTexts(), NeighbourTexts(), IdentityTexts()})
    for (const QString& Name : Names) SetMark(W, Name);
  const TScreen Serving = Snapshot(W, ServingTexts(), 0, 0);
  const TScreen Neighbours = Snapshot(W, NeighbourTexts(), 1, 6);
  const TScreen Identities = Snapshot(W, IdentityTexts(), 0, -1);
  const TTaps Before = Taps;
  W.PollCells();
  if (Lost)
    CheckLost(W);
  else
    CheckStillMonitoring(W);
  const auto Outcome = [&](int I) { return static_cast<TOutcome>(Expect[I].toLatin1()); };
  // Kept means kept whole: colours and bars too, not only the texts.
  if (Outcome(0) == TOutcome::Kept) QVERIFY(Snapshot(W, ServingTexts(), 0, 0) == Serving);
  if (Outcome(1) == TOutcome::Kept) QVERIFY(Snapshot(W, NeighbourTexts(), 1, 6) == Neighbours);
  if (Outcome(2) == TOutcome::Kept) QVERIFY(Snapshot(W, IdentityTexts(), 0, -1) == Identities);
  CheckServing(W, Outcome(0), Before, Taps);
  CheckNeighbours(W, Outcome(1));
  CheckIdentities(W, Outcome(2));
  if (Expect == QLatin1String("UUU"))
    for (int I = 1; I < 7; ++I)
      QCOMPARE(TextOf(W, GridName("sttChannel", I)).isEmpty(),
               TextOf(W, GridName("sttBSIC", I)).isEmpty());
  // Whatever the line carried, no unsolicited result code is shown as a value.
  for (const QStringList& Names : {ServingTexts(), NeighbourTexts(), IdentityTexts()})
    for (const QString& Name : Names)
      QVERIFY2(!TextOf(W, Name).contains(QLatin1String("RING")) &&
                   !TextOf(W, Name).contains(QLatin1String("+C")),
               qPrintable(Name + QLatin1Char(' ') + TextOf(W, Name)));
}

void TestEndToEndFaults::faultMatrix_data() {
  QTest::addColumn<QString>("fault");       // control line, or "restart"
  QTest::addColumn<QStringList>("during");  // outcomes of each cycle while the fault lasts
  QTest::addColumn<bool>("lost");           // the device goes away; it comes back by itself
  QTest::addColumn<int>("pollingDelay");    // the driver's poll period during the fault

  const bool No = false;
  QTest::newRow("serving report unanswered")
      << "faults --unanswered AT^MONI" << QStringList{"KUU", "KUU"} << No << 50;
  QTest::newRow("identity report answered ERROR")
      << "faults --error AT^SMONC" << QStringList{"UUK", "UUK"} << No << 50;
  // Echo shifts the lines: the serving report's title passes for its header and the header
  // stands where the data belongs. That report is refused, as are the other two, whose first
  // line is now the echo: nothing is written, and no -114 enters the history.
  QTest::newRow("echo left on") << "faults --echo-stuck" << QStringList{"KKK", "KKK"} << No << 50;
  QTest::newRow("final line break cut")
      << "faults --cut-final" << QStringList{"KKK", "KKK"} << No << 50;
  // Bytes 1 ms apart, polled every 5 ms: each reply arrives in dozens of small deliveries.
  QTest::newRow("byte by byte") << "faults --split 1 --gap 1" << QStringList{"UUU", "UUU"} << No
                                << 5;
  QTest::newRow("garbage and NUL bytes")
      << "faults --garbage" << QStringList{"AAA", "AAA", "AAA"} << No << 50;
  QTest::newRow("flood") << "faults --flood" << QStringList{"AAA", "AAA"} << No << 50;
  QTest::newRow("flood with garbage")
      << "faults --flood --garbage --split 7" << QStringList{"AAA", "AAA"} << No << 50;
  // Unsolicited result codes in front of the replies, in the gaps between them and late after
  // the time-out of an unanswered report; none of them shows anywhere.
  QTest::newRow("unsolicited codes before replies")
      << "faults --urc before" << QStringList{"UUU", "UUU"} << No << 50;
  QTest::newRow("unsolicited codes between replies")
      << "faults --urc gap" << QStringList{"UUU", "UUU"} << No << 50;
  QTest::newRow("unsolicited codes after a time-out")
      << "faults --urc late --unanswered AT^MONP" << QStringList{"UKU", "UKU", "UKU"} << No << 50;
  QTest::newRow("unsolicited codes, all three")
      << "faults --urc before --urc gap --urc late" << QStringList{"UUU", "UUU", "UUU"} << No << 50;
  QTest::newRow("one neighbour") << "faults --neighbours 1" << QStringList{"UUU"} << No << 50;
  QTest::newRow("no neighbour") << "faults --neighbours 0" << QStringList{"UUU"} << No << 50;
  QTest::newRow("in a call") << "faults --state dedicated --urc before" << QStringList{"UUU"} << No
                             << 50;
  // The simulator answers the serving report, then hangs up before the others: the window goes
  // offline within that cycle.
  QTest::newRow("hang-up mid-cycle")
      << "faults --hangup-after 1" << QStringList{"UKK"} << true << 50;
  // Stopped between cycles: the receive poll finds the line gone.
  QTest::newRow("simulator restarted") << "restart" << QStringList{} << true << 50;
}

void TestEndToEndFaults::faultMatrix() {
  QFETCH(QString, fault);
  QFETCH(QStringList, during);
  QFETCH(bool, lost);
  QFETCH(int, pollingDelay);

  SimProcess Sim;
  QVERIFY2(StartSim(Sim), Sim.errorOutput().constData());
  TForm3 W;
  TTaps Taps;
  Taps.Install(W);
  QVERIFY(GoOnline(W));
  // Cycles are run back to back; the polling timer restarts after each and never gets to fire.
  RunCycle(W, Taps, QStringLiteral("UUU"));

  if (fault == QLatin1String("restart")) {
    QVERIFY(Sim.stop());
  } else {
    QVERIFY2(Sim.control(fault), qPrintable(Sim.lastAnswer()));
  }
  W.Modem()->SetPollingDelay(static_cast<std::uint16_t>(pollingDelay));
  const int DeliveriesBefore = Taps.Deliveries;
  for (int Cycle = 0; Cycle < during.size(); ++Cycle) {
    RunCycle(W, Taps, during[Cycle], lost && Cycle + 1 == during.size());
    if (QTest::currentTestFailed()) {
      qWarning("cycle %d of the fault", Cycle + 1);
      return;
    }
  }
  if (pollingDelay < 50 && !during.isEmpty()) {
    // Three replies of a few hundred bytes a cycle, 1 ms a byte, seen every 5 to 10 ms.
    const int PerCycle = (Taps.Deliveries - DeliveriesBefore) / int(during.size());
    QVERIFY2(PerCycle >= 30, qPrintable(QString::number(PerCycle)));
  }
  W.Modem()->SetPollingDelay(50);

  // The fault is over.
  if (lost) {
    auto* Online = Child<QCheckBox>(W, QStringLiteral("cbxOnline"));
    auto* Monitor = Child<QCheckBox>(W, QStringLiteral("cbxMonitor"));
    QTRY_VERIFY_WITH_TIMEOUT(!Online->isChecked(), 5000);
    CheckLost(W);
    if (fault != QLatin1String("restart")) QVERIFY(Sim.waitForExit());
    // The modem is back under its name (on whatever pseudo-terminal it got): online and
    // monitoring again without a click.
    QVERIFY2(StartSim(Sim), Sim.errorOutput().constData());
    QTRY_VERIFY_WITH_TIMEOUT(Online->isChecked() && Monitor->isChecked(), 10000);
    QCOMPARE(Online->toolTip(), QStringLiteral("Check to go online"));
    QCOMPARE(Child<QLineEdit>(W, QStringLiteral("lbeIMEI"))->text(),
             QStringLiteral("357246031234567"));
  } else {
    QVERIFY(Sim.control(QStringLiteral("faults")));
  }
  RunCycle(W, Taps, QStringLiteral("UUU"));
  RunCycle(W, Taps, QStringLiteral("UUU"));
}

// While monitoring, every wait sleeps 10 ms at a time and lets the event loop run; only a send
// holds the thread longer, and a send of a short command to a live modem is quick.
void TestEndToEndFaults::eventLoopKeepsTurning() {
  SimProcess Sim;
  QVERIFY2(StartSim(Sim), Sim.errorOutput().constData());
  TForm3 W;
  QVERIFY(GoOnline(W));
  W.Modem()->SetPollingDelay(5);  // replies come in sooner, so more cycles fit
  // A send stuck on the line holds the thread for its whole output time-out: made long here,
  // so that the bound below tells it apart with room for a busy machine.
  W.Modem()->SetOutputTimeout(3000);
  // A send stuck on the line holds the thread for its whole output time-out: made long here,
  // so that the bound below tells it apart with room for a busy machine.
  W.Modem()->SetOutputTimeout(3000);

  QElapsedTimer Clock;
  qint64 Last = 0;
  qint64 LongestGap = 0;
  int Turns = 0;
  QTimer Turn;
  Turn.setInterval(0);
  connect(&Turn, &QTimer::timeout, &W, [&] {
    const qint64 Now = Clock.nsecsElapsed();
    LongestGap = std::max(LongestGap, Now - Last);
    Last = Now;
    ++Turns;
  });
  TTaps Taps;
  Taps.Install(W);
  constexpr int Cycles = 300;
  Clock.start();
  Turn.start();
  for (int I = 0; I < Cycles; ++I) {
    W.PollCells();
    Last = Clock.nsecsElapsed();  // the gap between two cycles is the test's, not the window's
  }
  Turn.stop();
  const qint64 Elapsed = Clock.elapsed();
  qInfo("%d cycles in %lld ms, %d event-loop turns, longest gap %.1f ms", Cycles, Elapsed, Turns,
        double(LongestGap) / 1e6);
  QCOMPARE(Taps.Samples, Cycles);  // every cycle got its serving report
  QVERIFY(Turns >= Cycles * 3);
  QVERIFY2(LongestGap < 1000'000'000, qPrintable(QString::number(double(LongestGap) / 1e6)));
  CheckStillMonitoring(W);
}

QTEST_MAIN(TestEndToEndFaults)
#include "tst_e2e_faults.moc"
