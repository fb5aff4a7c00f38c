// The window against simulated modems of the AT+CENG, AT#MONI and AT+CCED families, the LTE
// modules (Quectel on each technology, Quectel's 2G modules, SIMCom SIM7600 and SIM7000), and
// the rule that any other modem keeps the three AT^ reports.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTest>
#include <cmath>

#include "core/LevelHistory.h"
#include "core/ModemSession.h"
#include "gui/LevelBar.h"
#include "gui/monitor_window.h"
#include "serial/SerialPortDriver.h"
#include "support/SimProcess.h"
#include "support/WindowControls.h"

namespace {

using vantrel::test::Child;
using vantrel::test::GoOnline;
using vantrel::test::Grid;
using vantrel::test::SimProcess;
using vantrel::test::Text;

bool StartSim(SimProcess& Sim, const QStringList& Options = {}) {
  return Sim.start(
      QStringList{QStringLiteral("--no-link"), QStringLiteral("--seed"), QStringLiteral("11")} +
      Options);
}

QString Hint(const TForm3& W, const QString& Name) {
  return Child<QWidget>(W, Name)->toolTip();
}

// The commands the window sends, as they go out.
class TSentCommands {
 public:
  explicit TSentCommands(TForm3& W) {
    W.Session()->OnExchange = [this](const QByteArray& Command, TExchangeStage Stage) {
      if (Stage == TExchangeStage::Sent) FSent << Command;
    };
  }
  QList<QByteArray> Take() { return std::exchange(FSent, {}); }

 private:
  QList<QByteArray> FSent;
};

// Neighbour columns hold cells from column 1 on and nothing after the last; Shown gets how many.
// A neighbour the modem lists without its identity shows an empty cell id, never a made-up one.
void CheckNeighbourColumns(const TForm3& W, int& Shown) {
  Shown = 0;
  for (int I = 1; I < 7; ++I) {
    if (!Text(W, Grid("sttChannel", I)).isEmpty()) {
      QCOMPARE(Shown, I - 1);
      ++Shown;
      QCOMPARE(Text(W, Grid("sttChannel", I)), QString::number(W.Cells()[I].Channel));
      QVERIFY(QStringList({"900", "1800", "E", "R"}).contains(Text(W, Grid("sttGsmBand", I))));
      bool Ok = false;
      const int Level = Text(W, Grid("sttRxLevel", I)).toInt(&Ok);
      QVERIFY(Ok);
      QVERIFY(Level >= -110 && Level <= -50);
      QCOMPARE(Child<TLevelBar>(W, Grid("pbrRxLevel", I))->Position(), Level);
      const QString CellId = Text(W, Grid("sttCellID", I));
      if (!CellId.isEmpty()) QCOMPARE(CellId, QString::number(W.Cells()[I].CellId));
      continue;
    }
    QVERIFY(Text(W, Grid("sttGsmBand", I)).isEmpty());
    QVERIFY(Text(W, Grid("sttRxLevel", I)).isEmpty());
    QVERIFY(Child<TLevelBar>(W, Grid("pbrRxLevel", I))->Position() <= -113);
    QCOMPARE(W.Cells()[I].Channel, std::int16_t(0));
    QVERIFY(Text(W, Grid("sttBSIC", I)).isEmpty());
    QVERIFY(Text(W, Grid("sttCellID", I)).isEmpty());
  }
}

const QList<QByteArray> ThreeReports{"AT^MONI\r", "AT^MONP\r", "AT^SMONC\r"};

// What the window looks like for the serving cell's technology: row captions, then detail
// captions; the band texts; the level scale.
struct TTechLook {
  QString Captions;
  QRegularExpression Band;
  int Low, High;
};
TTechLook LookOf(const QString& Tech) {
  if (Tech == "LTE")
    return {"Band|EARFCN|RSRP|PCI|CellID|RSRQ|SINR|RSSI|PLMN|TAC",
            QRegularExpression("^B(1|3|7|8|20)$"), -140, -44};
  if (Tech == "UMTS")
    return {"Band|UARFCN|RSCP|PSC|CellID|Ec/Io|RSSI|PWR|PLMN|LAC", QRegularExpression("^B(1|8)$"),
            -120, -25};
  return {"GSM Band|Channel|RxLevel|BSIC|CellID|RxLev|C1|PWR|PLMN|LAC",
          QRegularExpression("^(900|1800|E|R)$"), -113, -47};
}

// The row captions left of the grid, top to bottom, then the captions of the five details.
QString Captions(const TForm3& W) {
  QList<QLabel*> Rows;
  for (QLabel* Label : W.findChildren<QLabel*>())
    if (Label->x() == 233) Rows << Label;
  std::sort(Rows.begin(), Rows.end(),
            [](const QLabel* A, const QLabel* B) { return A->y() < B->y(); });
  QStringList Texts;
  for (const QLabel* Label : Rows) Texts << Label->text();
  for (const char* Name :
       {"lbeRxLevLabel", "lbeC1Label", "lbePWRLabel", "lbePLMNLabel", "lbeLACLabel"})
    Texts << Child<QLabel>(W, QLatin1String(Name))->text();
  return Texts.join('|');
}

// A level of the technology's scale drawn where the GSM level at the same place would be.
int BarOn(const TTechLook& Look, int Level) {
  return int(std::round(-113 + 66.0 * (Level - Look.Low) / (Look.High - Look.Low)));
}

// One grid column: its band, a level on the scale and its bar; false when the column is empty.
bool CheckColumn(const TForm3& W, int I, const TTechLook& Look) {
  if (Text(W, Grid("sttChannel", I)).isEmpty()) return false;
  const QString Band = Text(W, Grid("sttGsmBand", I));
  [&] { QVERIFY2(Look.Band.match(Band).hasMatch(), qPrintable(Band)); }();
  bool Ok = false;
  const int Level = Text(W, Grid("sttRxLevel", I)).toInt(&Ok);
  [&] {
    QVERIFY(Ok && Level >= Look.Low && Level <= Look.High);
    QCOMPARE(Child<TLevelBar>(W, Grid("pbrRxLevel", I))->Position(), BarOn(Look, Level));
  }();
  return true;
}

}  // namespace

class TestEndToEndFamilies : public QObject {
  Q_OBJECT

 private slots:
  void familyFillsTheWindow_data();
  void familyFillsTheWindow();
  void lteAgeFamilyFillsTheWindow_data();
  void lteAgeFamilyFillsTheWindow();
  void unknownMakerKeepsTheThreeReports();
  void familyAnsweringErrorKeepsTheDisplays_data();
  void familyAnsweringErrorKeepsTheDisplays();
};

void TestEndToEndFamilies::familyFillsTheWindow_data() {
  QTest::addColumn<QStringList>("Options");
  QTest::addColumn<QString>("Maker");
  QTest::addColumn<QList<QByteArray>>("Cycle");
  QTest::addColumn<QString>("Name");
  // The details each family has a field for; "C1" stands for the level + 105 the simulator's
  // C1 is, "-" for a detail the family does not report.
  QTest::addColumn<QStringList>("Details");  // lbeRxLev, lbeC1, lbePWR, lbePLMN
  const QList<QByteArray> Ceng{"AT+CENG=1,1\r", "AT+CENG?\r"};
  QTest::newRow("SIM800") << QStringList{"--family", "ceng"} << "SIMCOM_Ltd" << Ceng << "AT+CENG"
                          << QStringList{"8", "-", "5", "26207"};
  QTest::newRow("SIM800, +CENG: without the blank")
      << QStringList{"--family", "ceng", "--ceng-no-blank", "--neighbours", "6"} << "SIMCOM_Ltd"
      << Ceng << "AT+CENG" << QStringList{"8", "-", "5", "26207"};
  QTest::newRow("Telit") << QStringList{"--family", "moni"} << "Telit"
                         << QList<QByteArray>{"AT#MONI=7\r", "AT#MONI\r"} << "AT#MONI"
                         << QStringList{"-", "C1", "-", "-"};
  QTest::newRow("Wavecom") << QStringList{"--family", "cced"} << " WAVECOM MODEM"
                           << QList<QByteArray>{"AT+CCED=0,3\r"} << "AT+CCED"
                           << QStringList{"-", "-", "-", "26207"};
  QTest::newRow("Wavecom in a call")
      << QStringList{"--family", "cced", "--state", "dedicated"} << " WAVECOM MODEM"
      << QList<QByteArray>{"AT+CCED=0,3\r"} << "AT+CCED" << QStringList{"-", "-", "-", "26207"};
}

void TestEndToEndFamilies::familyFillsTheWindow() {
  QFETCH(QStringList, Options);
  QFETCH(QString, Maker);
  QFETCH(QList<QByteArray>, Cycle);
  QFETCH(QString, Name);
  QFETCH(QStringList, Details);
  SimProcess Sim;
  QVERIFY(StartSim(Sim, Options));
  TForm3 W;
  TSentCommands Sent(W);
  QVERIFY(GoOnline(W, Sim.slavePath()));
  QCOMPARE(Text(W, "lbeManufactrurer"), Maker);
  Sent.Take();
  // Once online, the window says how it reads this modem's cells.
  const QString Reports = QStringLiteral("reports: ") + Name;
  QVERIFY2(Hint(W, "Shape1").contains(Reports), qPrintable(Hint(W, "Shape1")));
  QVERIFY2(Hint(W, "cbxMonitor").contains(Reports), qPrintable(Hint(W, "cbxMonitor")));
  QVERIFY(!Hint(W, "Shape1").contains(QLatin1String("ERROR")));

  Child<QCheckBox>(W, "cbxMonitor")->setChecked(true);
  QTRY_VERIFY_WITH_TIMEOUT(W.History()->Samples().size() >= 2, 15000);
  Child<QCheckBox>(W, "cbxMonitor")->setChecked(false);
  const QList<QByteArray> Commands = Sent.Take();
  QVERIFY(Commands.size() >= 2 * Cycle.size());
  for (qsizetype I = 0; I < Commands.size(); ++I) QCOMPARE(Commands[I], Cycle[I % Cycle.size()]);
  QVERIFY(W.windowTitle().startsWith(QStringLiteral("Vantrel:")));

  // A few cycles more, each checked through: serving column, details, neighbours, history.
  for (int Round = 0; Round < 4; ++Round) {
    const std::size_t Before = W.History()->Samples().size();
    W.PollCells();
    QCOMPARE(W.History()->Samples().size(), Before + 1);
    const int Level = W.History()->Samples().back().Level;
    QVERIFY(Level >= -110 && Level <= -50);
    QCOMPARE(Text(W, "sttRxLevel0"), QString::number(Level));
    QCOMPARE(Text(W, "sttChannel0"), QString::number(W.Cells()[0].Channel));
    QVERIFY(!Text(W, "sttGsmBand0").isEmpty());
    QCOMPARE(Child<TLevelBar>(W, "pbrRxLevel0")->Position(), Level);
    QCOMPARE(Child<TLevelBar>(W, "pbrRxLevel0")->BarColor(),
             QColor(static_cast<int>(LevelColor(Level) & 0xFF),
                    static_cast<int>(LevelColor(Level) & 0xFF), 255));
    QCOMPARE(Text(W, "sttCellID0"), QString::number(W.Cells()[0].CellId));
    QVERIFY(!Text(W, "sttBSIC0").isEmpty());
    QStringList Shown{Text(W, "lbeRxLev"), Text(W, "lbeC1"), Text(W, "lbePWR"), Text(W, "lbePLMN")};
    QStringList Want = Details;
    Want.replaceInStrings(QStringLiteral("C1"), QString::number(Level + 105));
    QCOMPARE(Shown, Want);
    bool Ok = false;
    QCOMPARE(Text(W, "lbeLAC").toInt(&Ok), int(W.Cells()[0].Lac));
    QVERIFY(Ok && W.Cells()[0].Lac != 0);
    int Neighbours = 0;
    CheckNeighbourColumns(W, Neighbours);
    if (QTest::currentTestFailed()) return;
    QVERIFY(Neighbours > 0);
  }
  const QStringList Report = Child<QPlainTextEdit>(W, "memStat")->toPlainText().split('\n');
  QCOMPARE(Report.size(), 13);
  QCOMPARE(Report[0], QStringLiteral("Number of values: %1").arg(W.History()->Samples().size()));
}

void TestEndToEndFamilies::lteAgeFamilyFillsTheWindow_data() {
  QTest::addColumn<QStringList>("Options");
  QTest::addColumn<QList<QByteArray>>("Cycle");  // once the family is known
  QTest::addColumn<QString>("Name");
  QTest::addColumn<QString>("Tech");
  QTest::addColumn<bool>("Neighbours");   // whether the family lists measured neighbours
  QTest::addColumn<QString>("SwitchTo");  // --rat switched at run time, and the new technology
  const QList<QByteArray> Qeng{"AT+QENG=\"servingcell\"\r", "AT+QENG=\"neighbourcell\"\r"};
  QTest::newRow("Quectel on LTE, then UMTS")
      << QStringList{"--family", "quectel", "--rat", "lte"} << Qeng << "AT+QENG"
      << "LTE" << true << "umts UMTS";
  QTest::newRow("Quectel on UMTS")
      << QStringList{"--family", "quectel", "--rat", "umts"} << Qeng << "AT+QENG"
      << "UMTS" << true << "";
  QTest::newRow("Quectel on GSM") << QStringList{"--family", "quectel", "--rat", "gsm"} << Qeng
                                  << "AT+QENG"
                                  << "GSM" << true << "";
  // It refuses AT+QENG="servingcell" in the first cycle: a 2G module from then on.
  QTest::newRow("Quectel 2G") << QStringList{"--family", "quectel-2g"}
                              << QList<QByteArray>{"AT+QENG=1,1\r", "AT+QENG?\r"} << "AT+QENG"
                              << "GSM" << true << "";
  QTest::newRow("SIM7600 on LTE, then GSM")
      << QStringList{"--family", "sim7600"} << QList<QByteArray>{"AT+CPSI?\r"} << "AT+CPSI?"
      << "LTE" << false << "gsm GSM";
  QTest::newRow("SIM7000") << QStringList{"--family", "sim7000"}
                           << QList<QByteArray>{"AT+CPSI?\r", "AT+CENG=1,1\r", "AT+CENG?\r"}
                           << "AT+CPSI?"
                           << "LTE" << true << "";
}

void TestEndToEndFamilies::lteAgeFamilyFillsTheWindow() {
  QFETCH(QStringList, Options);
  QFETCH(QList<QByteArray>, Cycle);
  QFETCH(QString, Name);
  QFETCH(QString, Tech);
  QFETCH(bool, Neighbours);
  QFETCH(QString, SwitchTo);
  SimProcess Sim;
  QVERIFY(StartSim(Sim, QStringList{"--control"} + Options));
  TForm3 W;
  TSentCommands Sent(W);
  QVERIFY(GoOnline(W, Sim.slavePath()));
  Child<QCheckBox>(W, "cbxMonitor")->setChecked(true);
  QTRY_VERIFY_WITH_TIMEOUT(W.History()->Samples().size() >= 2, 15000);
  Child<QCheckBox>(W, "cbxMonitor")->setChecked(false);
  const QString Reports = QStringLiteral("reports: ") + Name;
  QVERIFY2(Hint(W, "cbxMonitor").contains(Reports), qPrintable(Hint(W, "cbxMonitor")));
  QVERIFY2(!Hint(W, "Shape1").contains(QLatin1String("ERROR")), qPrintable(Hint(W, "Shape1")));

  const auto CheckCycles = [&](const QString& Tech, int Rounds) {
    const TTechLook Look = LookOf(Tech);
    int Listed = 0;
    for (int Round = 0; Round < Rounds; ++Round) {
      Sent.Take();
      const std::size_t Before = W.History()->Samples().size();
      W.PollCells();
      QCOMPARE(Sent.Take(), Cycle);
      QCOMPARE(Captions(W), Look.Captions);
      QCOMPARE(W.History()->ScaleLow(), double(Look.Low));
      QCOMPARE(W.History()->ScaleHigh(), double(Look.High));
      if (Round > 0) QCOMPARE(W.History()->Samples().size(), Before + 1);
      QCOMPARE(Text(W, "sttRxLevel0"), QString::number(W.History()->Samples().back().Level));
      QVERIFY(CheckColumn(W, 0, Look));
      QVERIFY(!Text(W, "sttCellID0").isEmpty());
      QCOMPARE(Text(W, "lbePLMN"), QStringLiteral("26207"));
      QCOMPARE(Text(W, "lbeLAC"), QString::number(W.Cells()[0].Lac));
      for (const char* Detail : {"lbeRxLev", "lbeC1", "lbePWR"})
        QVERIFY(!Text(W, QLatin1String(Detail)).isEmpty());
      // Cells from column 1 on, nothing after the last.
      int Shown = 0;
      for (int I = 1; I < 7; ++I) {
        const bool Filled = CheckColumn(W, I, Look);
        if (QTest::currentTestFailed()) return;
        if (Filled)
          QCOMPARE(Shown++, I - 1);
        else
          QVERIFY(Text(W, Grid("sttGsmBand", I)).isEmpty());
      }
      Listed += Shown;
    }
    QCOMPARE(Listed > 0, Neighbours);
  };
  CheckCycles(Tech, 3);
  if (QTest::currentTestFailed() || SwitchTo.isEmpty()) return;

  // Another technology: its captions and scale, and the history and statistics start again.
  QVERIFY(Sim.control(QStringLiteral("faults --rat ") + SwitchTo.section(' ', 0, 0)));
  CheckCycles(SwitchTo.section(' ', 1), 1);
  if (QTest::currentTestFailed()) return;
  QCOMPARE(int(W.History()->Samples().size()), 1);
  QCOMPARE(Child<QPlainTextEdit>(W, "memStat")->toPlainText().section('\n', 0, 0),
           QStringLiteral("Number of values: 1"));
}

void TestEndToEndFamilies::unknownMakerKeepsTheThreeReports() {
  // A SIM800 first, so a family left over from it would show.
  SimProcess Simcom;
  QVERIFY(StartSim(Simcom, {"--family", "ceng"}));
  SimProcess Other;
  QVERIFY(StartSim(Other));
  TForm3 W;
  const QString GridHint = Hint(W, "Shape1");
  const QString MonitorHint = Hint(W, "cbxMonitor");
  TSentCommands Sent(W);
  QVERIFY(GoOnline(W, Simcom.slavePath()));
  W.PollCells();
  QVERIFY(!Text(W, "sttChannel0").isEmpty());
  Child<QCheckBox>(W, "cbxOnline")->setChecked(false);

  QVERIFY(GoOnline(W, Other.slavePath()));
  QCOMPARE(Text(W, "lbeManufactrurer"), QStringLiteral("Vantrel Labs"));
  Sent.Take();
  W.PollCells();
  W.PollCells();
  QCOMPARE(Sent.Take(), ThreeReports + ThreeReports);
  QCOMPARE(int(W.History()->Samples().size()), 2);
  QVERIFY(!Text(W, "sttChannel0").isEmpty());
  QVERIFY(!Text(W, "sttCellID1").isEmpty());
  // Its hints are the window's own, as they were before any family was read.
  QCOMPARE(Hint(W, "Shape1"), GridHint);
  QCOMPARE(Hint(W, "cbxMonitor"), MonitorHint);
  QCOMPARE(Hint(W, "sttChannel0"), QStringLiteral("Monitoring data"));
}

void TestEndToEndFamilies::familyAnsweringErrorKeepsTheDisplays_data() {
  QTest::addColumn<QStringList>("Options");
  QTest::addColumn<QString>("Name");
  QTest::newRow("AT+CENG? refused")
      << QStringList{"--family", "ceng", "--error", "AT+CENG?"} << "AT+CENG";
  QTest::newRow("AT+CENG=1,1 refused")
      << QStringList{"--family", "ceng", "--error", "AT+CENG=1,1"} << "AT+CENG";
  QTest::newRow("AT#MONI refused")
      << QStringList{"--family", "moni", "--error", "AT#MONI"} << "AT#MONI";
  QTest::newRow("AT+CCED refused")
      << QStringList{"--family", "cced", "--error", "AT+CCED=0,3"} << "AT+CCED";
}

void TestEndToEndFamilies::familyAnsweringErrorKeepsTheDisplays() {
  QFETCH(QStringList, Options);
  QFETCH(QString, Name);
  SimProcess Sim;
  QVERIFY(StartSim(Sim, QStringList{"--control"} + Options));
  TForm3 W;
  QVERIFY(GoOnline(W, Sim.slavePath()));
  QVERIFY(Hint(W, "Shape1").contains(QStringLiteral("reports: ") + Name));
  Child<QLabel>(W, "sttChannel2")->setText(QStringLiteral("kept"));
  W.PollCells();
  W.PollCells();
  // As with any report not answered: nothing changes but the caption.
  QVERIFY(W.windowTitle().startsWith(QStringLiteral("Vantrel:")));
  QCOMPARE(Text(W, "sttChannel2"), QStringLiteral("kept"));
  QVERIFY(Text(W, "sttChannel0").isEmpty());
  QVERIFY(Text(W, "sttCellID0").isEmpty());
  QVERIFY(Text(W, "lbePLMN").isEmpty());
  QVERIFY(W.History()->Samples().empty());
  // ...and the hint says why the grid stays empty.
  const QString Refused = QStringLiteral("reports: %1 — the modem answers ERROR").arg(Name);
  QVERIFY2(Hint(W, "Shape1").contains(Refused), qPrintable(Hint(W, "Shape1")));
  QVERIFY2(Hint(W, "cbxMonitor").contains(Refused), qPrintable(Hint(W, "cbxMonitor")));

  // Once the modem reports again, so does the window, and the hint drops the error.
  QVERIFY(Sim.control(QStringLiteral("faults")));
  W.PollCells();
  QVERIFY(!Text(W, "sttChannel0").isEmpty());
  QCOMPARE(int(W.History()->Samples().size()), 1);
  QVERIFY(Hint(W, "Shape1").contains(QStringLiteral("reports: ") + Name));
  QVERIFY2(!Hint(W, "Shape1").contains(QLatin1String("ERROR")), qPrintable(Hint(W, "Shape1")));
}

QTEST_MAIN(TestEndToEndFamilies)
#include "tst_e2e_families.moc"
