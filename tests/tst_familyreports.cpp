#include <QtTest>

#include "core/ReplyText.h"
#include "core/reports/CcedReport.h"
#include "core/reports/CengReport.h"
#include "core/reports/FamilyReports.h"
#include "core/reports/ReportFamily.h"
#include "core/reports/TelitMoniReport.h"

Q_DECLARE_METATYPE(TReportFamily)

namespace {

using TRecords = std::array<TCellInfo, 7>;

// A grid cell as one word: its text, "!" when it is shown in red.
QString Shown(const TCellText& Cell) {
  return Cell.Text + (Cell.Valid ? QString() : QStringLiteral("!"));
}

// Channel|band|level|RxLev|C1|PWR|PLMN|LAC.
QString ServingShown(const TServingCellView& View) {
  return QStringList{Shown(View.Channel), Shown(View.Band), Shown(View.Level),
                     View.RxLev,          View.C1,          View.Pwr,
                     View.Plmn,           View.Lac}
      .join('|');
}

// Channel|band|level of columns 1 to 6, separated by blanks.
QString NeighboursShown(const std::vector<TNeighbourColumnView>& Columns) {
  QStringList Words;
  for (const TNeighbourColumnView& Column : Columns)
    Words.append(Shown(Column.Channel) + '|' + Shown(Column.Band) + '|' + Shown(Column.Level));
  return Words.join(' ');
}

// BSIC/cell id of columns 0 to 6, separated by blanks.
QString IdentitiesShown(const std::array<TIdentityColumnView, 7>& Columns) {
  QStringList Words;
  for (const TIdentityColumnView& Column : Columns)
    Words.append(Shown(Column.Bsic) + '/' + Shown(Column.CellId));
  return Words.join(' ');
}

QString Record(const TCellInfo& Cell) {
  return QStringLiteral(
             "band %1 ch %2 lev %3 rxlev %4 c1 %5 pwr %6 mcc %7 mnc %8 lac %9 bsic %10 "
             "cid %11")
      .arg(int(Cell.Band))
      .arg(Cell.Channel)
      .arg(Cell.Level)
      .arg(Cell.RxLev)
      .arg(Cell.C1)
      .arg(Cell.Pwr)
      .arg(Cell.Mcc)
      .arg(Cell.Mnc)
      .arg(Cell.Lac)
      .arg(Cell.Bsic)
      .arg(Cell.CellId);
}

// What every accepted view must hold whatever the reply: six neighbour columns, bars at the
// record's level in its colour, emptied columns exactly empty, and one record per column
// whichever part of the view the window takes it from.
void CheckConsistent(const TFamilyView& View) {
  QVERIFY(View.Serving && View.Neighbours && View.Identities);
  QCOMPARE(View.Neighbours->size(), std::size_t(6));
  const TServingCellView& Serving = *View.Serving;
  QCOMPARE(Serving.Bar.Position, Serving.Cell.Level);
  QCOMPARE(Serving.Bar.Color, LevelColor(Serving.Cell.Level));
  QCOMPARE(Record((*View.Identities)[0].Cell), Record(Serving.Cell));
  for (std::size_t K = 0; K < 6; ++K) {
    const TNeighbourColumnView& Column = (*View.Neighbours)[K];
    QCOMPARE(Record((*View.Identities)[K + 1].Cell), Record(Column.Cell));
    if (Column.Channel.Text.isEmpty() && Column.Channel.Valid) {
      QCOMPARE(Record(Column.Cell), Record(TCellInfo{}));
      QCOMPARE(Column.Bar.Position, NoLevel);
      QCOMPARE(Column.Bar.Color, LevelColor(NoLevel));
      QCOMPARE(Shown(Column.Band) + Shown(Column.Level), QString());
    } else {
      QCOMPARE(Column.Bar.Position, Column.Cell.Level);
      QCOMPARE(Column.Bar.Color, LevelColor(Column.Cell.Level));
    }
  }
}

QList<QByteArray> DataFile(const QString& Name) {
  QFile File(QStringLiteral(VANTREL_TEST_DATA "/") + Name);
  if (!File.open(QIODevice::ReadOnly)) return {};
  return SplitReplyLines(File.readAll());
}

QList<QByteArray> Lines(const QByteArray& Reply) {
  return SplitReplyLines(Reply);
}

// The replies of Files ("a.txt+b.txt": read together, as the cycle hands them on).
QList<QByteArray> DataFiles(const QString& Files) {
  QList<QByteArray> Lines;
  for (const QString& Name : Files.split('+')) Lines += DataFile(Name);
  return Lines;
}

// Tech channel|band|level|bar, then RxLev,C1,PWR,Ec/Io-or-RSRQ,SINR,RSSI,PLMN,LAC-or-TAC.
QString TechServingShown(const TServingCellView& View) {
  return QStringLiteral("%1 %2|%3|%4|%5 %6")
      .arg(TechName(View.Cell.Tech), Shown(View.Channel), Shown(View.Band), Shown(View.Level))
      .arg(View.Bar.Position)
      .arg(QStringList{View.RxLev, View.C1, View.Pwr, View.Quality, View.Sinr, View.Rssi, View.Plmn,
                       View.Lac}
               .join(','));
}

// Tech channel|band|level of each filled column, "." for an emptied one.
QString TechNeighboursShown(const std::vector<TNeighbourColumnView>& Columns) {
  QStringList Words;
  for (const TNeighbourColumnView& Column : Columns)
    Words.append(Column.Channel.Text.isEmpty()
                     ? QStringLiteral(".")
                     : TechName(Column.Cell.Tech) + ' ' + Shown(Column.Channel) + '|' +
                           Shown(Column.Band) + '|' + Shown(Column.Level));
  return Words.join(' ');
}

const QString SixEmptied = QStringLiteral("|| || || || || ||");
const QString SixUnidentified = QStringLiteral("/ / / / / /");

}  // namespace

class TestFamilyReports : public QObject {
  Q_OBJECT

 private slots:
  void ChooseFamily_data();
  void ChooseFamily();
  void CommandsAndNames_data();
  void CommandsAndNames();

  void RealReplies_data();
  void RealReplies();
  void RealLteReplies_data();
  void RealLteReplies();
  void NotAReport_data();
  void NotAReport();
  void Serving_data();
  void Serving();
  void NeighbourSlots_data();
  void NeighbourSlots();
  void FailedFieldsKeepRecords();
};

void TestFamilyReports::ChooseFamily_data() {
  QTest::addColumn<QByteArray>("Manufacturer");
  QTest::addColumn<TReportFamily>("Family");
  QTest::addColumn<QByteArray>("Model");
  QTest::newRow("SIMCOM_Ltd") << QByteArray("SIMCOM_Ltd") << TReportFamily::rfCeng << QByteArray();
  QTest::newRow("SIMCOM_SIM800H") << QByteArray("SIMCOM_SIM800H") << TReportFamily::rfCeng
                                  << QByteArray();
  QTest::newRow("lower case, blanks")
      << QByteArray("  simcom_ltd \r") << TReportFamily::rfCeng << QByteArray();
  QTest::newRow("Telit") << QByteArray("Telit") << TReportFamily::rfMoni << QByteArray();
  QTest::newRow("TELIT inside") << QByteArray("by TELIT") << TReportFamily::rfMoni << QByteArray();
  QTest::newRow("WAVECOM, leading blank")
      << QByteArray(" WAVECOM MODEM") << TReportFamily::rfCced << QByteArray();
  QTest::newRow("Sierra Wireless")
      << QByteArray("Sierra Wireless") << TReportFamily::rfCced << QByteArray();
  QTest::newRow("SIEMENS") << QByteArray("SIEMENS") << TReportFamily::rfMonitor << QByteArray();
  QTest::newRow("other maker") << QByteArray("Vantrel Labs") << TReportFamily::rfMonitor
                               << QByteArray();
  QTest::newRow("empty") << QByteArray() << TReportFamily::rfMonitor << QByteArray();
  QTest::newRow("SIMCO is not SIMCOM")
      << QByteArray("SIMCO") << TReportFamily::rfMonitor << QByteArray();
  QTest::newRow("split by a blank")
      << QByteArray("SIM COM") << TReportFamily::rfMonitor << QByteArray();
  const QByteArray Qualcomm("QUALCOMM INCORPORATED");
  QTest::newRow("Quectel") << QByteArray("Quectel") << TReportFamily::rfQuectel
                           << QByteArray("EC25");
  QTest::newRow("Quectel M95") << QByteArray("Quectel_Ltd") << TReportFamily::rfQuectel
                               << QByteArray("Quectel_M95");
  QTest::newRow("EG25-G as QUALCOMM") << Qualcomm << TReportFamily::rfQuectel << QByteArray("EG25");
  for (const char* Model : {"EC21", "EG91", "EC200T", "EP06", "BG96", "bg95-m3"})
    QTest::newRow(Model) << Qualcomm << TReportFamily::rfQuectel << QByteArray(Model);
  QTest::newRow("QUALCOMM, other model") << Qualcomm << TReportFamily::rfMonitor << QByteArray("X");
  const QByteArray Simcom("SIMCOM INCORPORATED");
  QTest::newRow("SIM7600") << Simcom << TReportFamily::rfCpsi << QByteArray("SIMCOM_SIM7600E-H");
  QTest::newRow("SIM7500") << Simcom << TReportFamily::rfCpsi << QByteArray("SIMCOM_SIM7500A");
  for (const char* Model : {"SIMCOM_SIM7000E", "SIM7070G", "SIMCOM_SIM7080G"})
    QTest::newRow(Model) << Simcom << TReportFamily::rfCpsiCeng << QByteArray(Model);
  QTest::newRow("SIM800 keeps CENG")
      << QByteArray("SIMCOM_Ltd") << TReportFamily::rfCeng << QByteArray("SIMCOM_SIM800L");
}

void TestFamilyReports::ChooseFamily() {
  QFETCH(QByteArray, Manufacturer);
  QFETCH(TReportFamily, Family);
  QFETCH(QByteArray, Model);
  if (Model.isEmpty()) QCOMPARE(ChooseReportFamily(Manufacturer), Family);
  QCOMPARE(ChooseReportFamily(Manufacturer, Model), Family);
}

void TestFamilyReports::CommandsAndNames_data() {
  QTest::addColumn<TReportFamily>("Family");
  QTest::addColumn<QByteArray>("Commands");
  QTest::addColumn<QString>("Name");
  QTest::newRow("CENG") << TReportFamily::rfCeng << QByteArray("AT+CENG=1,1\rAT+CENG?\r")
                        << "AT+CENG";
  QTest::newRow("#MONI") << TReportFamily::rfMoni << QByteArray("AT#MONI=7\rAT#MONI\r")
                         << "AT#MONI";
  QTest::newRow("CCED") << TReportFamily::rfCced << QByteArray("AT+CCED=0,3\r") << "AT+CCED";
  QTest::newRow("monitor") << TReportFamily::rfMonitor << QByteArray("AT^MONI\rAT^MONP\rAT^SMONC\r")
                           << "AT^MONI";
  QTest::newRow("QENG") << TReportFamily::rfQuectel
                        << QByteArray("AT+QENG=\"servingcell\"\rAT+QENG=\"neighbourcell\"\r")
                        << "AT+QENG";
  QTest::newRow("QENG 2G") << TReportFamily::rfQuectel2g << QByteArray("AT+QENG=1,1\rAT+QENG?\r")
                           << "AT+QENG";
  QTest::newRow("CPSI") << TReportFamily::rfCpsi << QByteArray("AT+CPSI?\r") << "AT+CPSI?";
  QTest::newRow("CPSI, CENG") << TReportFamily::rfCpsiCeng
                              << QByteArray("AT+CPSI?\rAT+CENG=1,1\rAT+CENG?\r") << "AT+CPSI?";
}

void TestFamilyReports::CommandsAndNames() {
  QFETCH(TReportFamily, Family);
  QFETCH(QByteArray, Commands);
  QFETCH(QString, Name);
  QCOMPARE(FamilyCommands(Family).join(), Commands);
  QCOMPARE(FamilyName(Family), Name);
}

void TestFamilyReports::RealReplies_data() {
  QTest::addColumn<QString>("File");
  QTest::addColumn<TReportFamily>("Family");
  QTest::addColumn<QString>("Serving");
  QTest::addColumn<QString>("Neighbours");
  QTest::addColumn<QString>("Identities");

  QTest::newRow("CENG mode 1, manual")
      << "simcom/ceng-mode1-manual.txt" << TReportFamily::rfCeng << "81|900|-58|8|-|5|46000|6166"
      << "14|900|-73 12|900|-86 565|1800|-90 584|1800|-94 27|900|-96 28|900|-98"
      << "31/63905 15/62113 48/62481 55/61857 24/61859 13/62482 14/25171";
  // The manual shows a dedicated and an idle serving line in one sample: the later one counts.
  QTest::newRow("CENG mode 4, manual")
      << "simcom/ceng-mode4-manual.txt" << TReportFamily::rfCeng << "81|900|-57|8|177|5|46000|6166"
      << "14|900|-78 12|900|-88 565|1800|-89 27|900|-93 584|1800|-93 28|900|-97"
      << "31/63905 15/62113 48/62481 55/61857 13/62482 24/61859 14/25171";
  // Channels above 1023 are the 1900 MHz band, which the band row has no name for.
  QTest::newRow("CENG, SIM800L in the Americas")
      << "simcom/ceng-sim800l-capture.txt" << TReportFamily::rfCeng
      << "666|1800|-92|4|-|3|310260|275"
      << "1688|-!|-97 1702|-!|-99 1692|-!|-100 1696|-!|-100 1701|-!|-105 1698|-!|-107"
      << "08/20082 25/42303 51/42301 20/20081 30/42302 40/24152 62/20271";
  QTest::newRow("#MONI table") << "telit/moni-table.txt" << TReportFamily::rfMoni
                               << "736|1800|-83|-|19|-|-|22010"
                               << "983|E|-78 976|E|-82 749|1800|-92 751|1800|-92 978|E|-95 "
                                  "756|1800|-99"
                               << "70/7459 75/4759 72/4745 70/7445 72/7437 75/4758 70/7543";
  QTest::newRow("#MONI single cell")
      << "telit/moni-single.txt" << TReportFamily::rfMoni << "59|900|-80|-|-|-|-|44717"
      << SixEmptied << "23/21093 " + SixUnidentified;
  QTest::newRow("CCED capture") << "wavecom/cced-capture.txt" << TReportFamily::rfCced
                                << "50|900|-63|-|-|-|28601|27434" << SixEmptied
                                << "11/62065 " + SixUnidentified;
}

void TestFamilyReports::RealReplies() {
  QFETCH(QString, File);
  QFETCH(TReportFamily, Family);
  QFETCH(QString, Serving);
  QFETCH(QString, Neighbours);
  QFETCH(QString, Identities);

  const QList<QByteArray> Reply = DataFile(File);
  QVERIFY2(!Reply.isEmpty(), qPrintable(File));
  const TFamilyView View = ReadFamilyReport(Family, Reply, TRecords{});
  CheckConsistent(View);
  QCOMPARE(ServingShown(*View.Serving), Serving);
  QCOMPARE(NeighboursShown(*View.Neighbours), Neighbours);
  QCOMPARE(IdentitiesShown(*View.Identities), Identities);
  // The history sample is the level shown.
  QCOMPARE(QString::number(View.Serving->Cell.Level), View.Serving->Level.Text);
}

void TestFamilyReports::RealLteReplies_data() {
  QTest::addColumn<QString>("Files");
  QTest::addColumn<TReportFamily>("Family");
  QTest::addColumn<QString>("Serving");
  QTest::addColumn<QString>("Neighbours");
  QTest::addColumn<QString>("Identities");
  const TReportFamily Quectel = TReportFamily::rfQuectel;
  const TReportFamily Quectel2g = TReportFamily::rfQuectel2g;
  const TReportFamily Cpsi = TReportFamily::rfCpsiCeng;
  QTest::newRow("quectel/qeng-serving-gsm.txt+quectel/qeng-neighbour-gsm.txt")
      << "quectel/qeng-serving-gsm.txt+quectel/qeng-neighbour-gsm.txt" << Quectel
      << "GSM 82|900|-52|-52 -,53,-,,,,46000,9340"
      << "GSM 33|900|-83 GSM 614|1800|-87 GSM 16|900|-92 GSM 616|1800|-90 GSM 622|1800|-93 ."
      << "35/4903 33/4673 60/4552 58/4902 3/4043 24/5303 /";
  QTest::newRow("quectel/qeng-serving-gsm-connect-manual.txt")
      << "quectel/qeng-serving-gsm-connect-manual.txt" << Quectel
      << "GSM 94|900|-61|-61 14,0,5,,,,46000,21770"
      << ". . . . . ."
      << "23/11193 / / / / / /";
  QTest::newRow("quectel/qeng-serving-gsm-limited-manual.txt")
      << "quectel/qeng-serving-gsm-limited-manual.txt" << Quectel
      << "GSM 123|900|-67|-67 14,30,5,,,,46001,21764"
      << ". . . . . ."
      << "52/11093 / / / / / /";
  QTest::newRow("quectel/qeng-serving-wcdma.txt+quectel/qeng-neighbour-wcdma-manual.txt")
      << "quectel/qeng-serving-wcdma.txt+quectel/qeng-neighbour-wcdma-manual.txt" << Quectel
      << "UMTS 3037|B8|-94|-95 -,-,-,-15,-,-,51503,15026"
      << "UMTS 10713|B1|-88 UMTS 10713|B1|-87 UMTS 10713|B1|-88 UMTS 10713|B1|-91 UMTS "
         "10713|B1|-91 UMTS 10713|B1|-94"
      << "352/190181119 398/ 331/ 290/ 397/ 114/ 332/";
  QTest::newRow("quectel/qeng-serving-lte-fdd.txt+quectel/qeng-neighbour-lte-fdd.txt")
      << "quectel/qeng-serving-lte-fdd.txt+quectel/qeng-neighbour-lte-fdd.txt" << Quectel
      << "LTE 6300|B20|-104|-88 -,-,-,-9,11,-78,21401,1539"
      << "LTE 6300|B20|-105 . . . . ."
      << "188/124217865 188/ / / / / /";
  QTest::newRow("quectel/qeng-serving-lte-fdd.txt+quectel/qeng-neighbour-lte-measured.txt")
      << "quectel/qeng-serving-lte-fdd.txt+quectel/qeng-neighbour-lte-measured.txt" << Quectel
      << "LTE 6300|B20|-104|-88 -,-,-,-9,11,-78,21401,1539"
      << "LTE 1250|B3|-88 LTE 1250|B3|-92 LTE 1551|B3|-88 LTE 1551|B3|-98 LTE 1551|B3|-89 LTE "
         "1551|B3|-100"
      << "188/124217865 193/ 396/ 193/ 396/ 378/ 178/";
  QTest::newRow("quectel/qeng-serving-lte-tdd.txt+quectel/qeng-neighbour-lte-tdd.txt")
      << "quectel/qeng-serving-lte-tdd.txt+quectel/qeng-neighbour-lte-tdd.txt" << Quectel
      << "LTE 38950|B40|-90|-79 -,-,-,-7,24,-62,46000,9340"
      << "LTE 38950|B40|-90 . . . . ."
      << "401/205597827 401/ / / / / /";
  QTest::newRow("quectel/qeng-serving-lte-tdd.txt+quectel/qeng-neighbour-lte-with-gsm-manual.txt")
      << "quectel/qeng-serving-lte-tdd.txt+quectel/qeng-neighbour-lte-with-gsm-manual.txt"
      << Quectel << "LTE 38950|B40|-90|-79 -,-,-,-7,24,-62,46000,9340"
      << "LTE 38950|B40|-88 . . . . ."
      << "401/205597827 276/ / / / / /";
  QTest::newRow("quectel/qeng-serving-catm.txt")
      << "quectel/qeng-serving-catm.txt" << Quectel
      << "LTE 6200|B20|-105|-89 -,-,-,-11,10,-76,26203,11003"
      << ". . . . . ."
      << "187/3123715 / / / / / /";
  QTest::newRow("quectel/qeng-serving-search-manual.txt")
      << "quectel/qeng-serving-search-manual.txt" << Quectel << " |||-114 ,,,,,,,"
      << ". . . . . ."
      << "/ / / / / / /";
  QTest::newRow("quectel-2g/qeng-dump.txt")
      << "quectel-2g/qeng-dump.txt" << Quectel2g << "GSM 1|900|-68|-68 5,147,5,,,,40420,15002"
      << "GSM 8|900|-71 GSM 12|900|-77 GSM 9|900|-85 GSM 5|900|-95 GSM 3|900|-96 GSM 6|900|-101"
      << "63/5161 32/5162 19/5163 35/35971 61/35662 18/35661 19/11513";
  QTest::newRow("quectel-2g/qeng-serving-only.txt")
      << "quectel-2g/qeng-serving-only.txt" << Quectel2g
      << "GSM 554|1800|-95|-95 10,18,0,,,,46000,28936"
      << ". . . . . ."
      << "41/32964 / / / / / /";
  QTest::newRow("simcom-lte/cpsi-catm-sim7000.txt+simcom-lte/ceng-lte-sim7000-capture.txt")
      << "simcom-lte/cpsi-catm-sim7000.txt+simcom-lte/ceng-lte-sim7000-capture.txt" << Cpsi
      << "LTE 5900|B18|-84|-75 -,-,-,-8,18,-60,44052,24673"
      << "LTE 1550|B3|-88 . . . . ."
      << "94/33815299 414/ / / / / /";
  QTest::newRow("simcom-lte/cpsi-gsm-sim7000.txt")
      << "simcom-lte/cpsi-gsm-sim7000.txt" << Cpsi << "GSM 79|900|-83|-83 -,24,-,,,,26201,38701"
      << ". . . . . ."
      << "/5559 / / / / / /";
  QTest::newRow("simcom-lte/cpsi-gsm-sim7600.txt")
      << "simcom-lte/cpsi-gsm-sim7600.txt" << Cpsi << "GSM 4|900|-67|-67 -,40,-,,,,26202,287"
      << ". . . . . ."
      << "/14822 / / / / / /";
  QTest::newRow("simcom-lte/cpsi-lte-sim7600.txt")
      << "simcom-lte/cpsi-lte-sim7600.txt" << Cpsi
      << "LTE 6200|B20|-109|-92 -,-,-,-18,8,-74,22802,40100"
      << ". . . . . ."
      << "46/20964868 / / / / / /";
  QTest::newRow("simcom-lte/cpsi-nbiot-sim7000.txt")
      << "simcom-lte/cpsi-nbiot-sim7000.txt" << Cpsi
      << "LTE 3740|B8|-75|-68 -,-,-,-12,13,-63,44020,4482"
      << ". . . . . ."
      << "293/10171378 / / / / / /";
  QTest::newRow("simcom-lte/cpsi-no-service.txt")
      << "simcom-lte/cpsi-no-service.txt" << Cpsi << " |||-114 ,,,,,,,"
      << ". . . . . ."
      << "/ / / / / / /";
  QTest::newRow("simcom-lte/cpsi-wcdma-sim5320.txt")
      << "simcom-lte/cpsi-wcdma-sim5320.txt" << Cpsi
      << "UMTS 4436|B5|-83|-87 -,-,500,-13,-,-,50501,338"
      << ". . . . . ."
      << "214/14302219 / / / / / /";
  QTest::newRow("simcom-lte/ceng-lte-sim7000-capture.txt")
      << "simcom-lte/ceng-lte-sim7000-capture.txt" << Cpsi
      << "LTE 1550|B3|-73|-67 -,-,-,-12,17,-47,28405,102"
      << "LTE 1550|B3|-88 . . . . ."
      << "339/303617 414/ / / / / /";
}

void TestFamilyReports::RealLteReplies() {
  QFETCH(QString, Files);
  QFETCH(TReportFamily, Family);
  QFETCH(QString, Serving);
  QFETCH(QString, Neighbours);
  QFETCH(QString, Identities);

  const QList<QByteArray> Reply = DataFiles(Files);
  QVERIFY2(!Reply.isEmpty(), qPrintable(Files));
  const TFamilyView View = ReadFamilyReport(Family, Reply, TRecords{});
  QVERIFY(View.Serving && View.Neighbours && View.Identities);
  QCOMPARE(TechServingShown(*View.Serving), Serving);
  QCOMPARE(TechNeighboursShown(*View.Neighbours), Neighbours);
  QCOMPARE(IdentitiesShown(*View.Identities), Identities);
  // Bars and colours stand on the GSM scale; the history sample is the level shown.
  QCOMPARE(View.Serving->Bar.Position,
           GsmScaleLevel(View.Serving->Cell.Tech, View.Serving->Cell.Level));
  QCOMPARE(View.Serving->Bar.Color, LevelColor(View.Serving->Bar.Position));
  if (!View.Serving->Level.Text.isEmpty())
    QCOMPARE(QString::number(View.Serving->Cell.Level), View.Serving->Level.Text);
}

void TestFamilyReports::NotAReport_data() {
  QTest::addColumn<TReportFamily>("Family");
  QTest::addColumn<QByteArray>("Reply");
  const QByteArray CengCell = "+CENG: 0,\"0081,55,00,460,00,31,f9a1,08,05,1816,255\"\r\n";
  QTest::newRow("CENG ERROR") << TReportFamily::rfCeng << QByteArray("\r\nERROR\r\n");
  QTest::newRow("CENG echo, ERROR")
      << TReportFamily::rfCeng << QByteArray("AT+CENG?\r\r\nERROR\r\n");
  QTest::newRow("CENG +CME ERROR") << TReportFamily::rfCeng << QByteArray("\r\n+CME ERROR: 4\r\n");
  QTest::newRow("CENG only OK") << TReportFamily::rfCeng << QByteArray("\r\nOK\r\n");
  QTest::newRow("CENG mode line only")
      << TReportFamily::rfCeng << QByteArray("\r\n+CENG: 1,1\r\n\r\nOK\r\n");
  QTest::newRow("CENG neighbours, no serving")
      << TReportFamily::rfCeng << QByteArray("+CENG: 1,\"0014,40,15,f2a1,460,00,1816\"\r\nOK\r\n");
  QTest::newRow("CENG cells, then ERROR")
      << TReportFamily::rfCeng << QByteArray(CengCell + "\r\nERROR\r\n");
  QTest::newRow("CENG read by the CCED reader") << TReportFamily::rfCced << CengCell;
  QTest::newRow("#MONI ERROR") << TReportFamily::rfMoni << QByteArray("at#moni\r\r\nERROR\r\n");
  QTest::newRow("#MONI header only")
      << TReportFamily::rfMoni
      << QByteArray("#MONI: Cell BSIC LAC CellId ARFCN Power C1 C2 TA RxQual PLMN\r\nOK\r\n");
  QTest::newRow("CCED ERROR") << TReportFamily::rfCced << QByteArray("\r\nERROR\r\n");
  QTest::newRow("CCED too few fields")
      << TReportFamily::rfCced << QByteArray("\r\n+CCED: 286,01,6B2A\r\n\r\nOK\r\n");
  QTest::newRow("monitor family") << TReportFamily::rfMonitor << CengCell;
}

void TestFamilyReports::NotAReport() {
  QFETCH(TReportFamily, Family);
  QFETCH(QByteArray, Reply);
  const TFamilyView View = ReadFamilyReport(Family, Lines(Reply), TRecords{});
  QVERIFY(!View.HasReport());
  QVERIFY(!View.Serving && !View.Neighbours && !View.Identities);
}

void TestFamilyReports::Serving_data() {
  QTest::addColumn<TReportFamily>("Family");
  QTest::addColumn<QByteArray>("Reply");
  QTest::addColumn<QString>("Serving");
  QTest::addColumn<QString>("Identity");

  auto Ceng = [](const QByteArray& Fields) {
    return "AT+CENG?\r\r\n+CENG: 1,1\r\n\r\nRING\r\n+CENG: 0,\"" + Fields + "\"\r\n\r\nOK\r\n";
  };
  QTest::newRow("CENG echo and RING ignored")
      << TReportFamily::rfCeng << Ceng("0081,55,00,460,00,31,f9a1,08,05,1816,255")
      << "81|900|-58|8|-|5|46000|6166"
      << "31/63905";
  QTest::newRow("+CENG: without the blank")
      << TReportFamily::rfCeng << QByteArray("+CENG:0,\"0081,55,00,460,00,31,f9a1,08,05,1816,255\"")
      << "81|900|-58|8|-|5|46000|6166"
      << "31/63905";
  QTest::newRow("CENG mode 4: the dBm field, not rxl")
      << TReportFamily::rfCeng << Ceng("0081,56,00,460,00,31,f9a1,08,05,1816,255,-60,17,61,x")
      << "81|900|-60|8|17|5|46000|6166"
      << "31/63905";
  QTest::newRow("CENG mode 4, dBm and C1 not valid")
      << TReportFamily::rfCeng << Ceng("0081,56,00,460,00,31,f9a1,08,05,1816,255,x,x,x")
      << "81|900|-57|8|-|5|46000|6166"
      << "31/63905";
  QTest::newRow("three-digit MNC with a leading zero")
      << TReportFamily::rfCeng << Ceng("0666,21,00,310,010,08,4e72,04,03,0113,255")
      << "666|1800|-92|4|-|3|310010|275"
      << "08/20082";
  QTest::newRow("one-digit MNC") << TReportFamily::rfCeng
                                 << Ceng("0081,55,00,262,7,31,f9a1,08,05,1816,255")
                                 << "81|900|-58|8|-|5|26207|6166"
                                 << "31/63905";
  QTest::newRow("empty MCC and MNC")
      << TReportFamily::rfCeng << Ceng("0081,55,00,,,31,f9a1,08,05,1816,255")
      << "81|900|-58|8|-|5|-|6166"
      << "/";
  QTest::newRow("unparsable fields in red")
      << TReportFamily::rfCeng << Ceng("12a,99,00,460,zz,3x,g9a1,a,,zz,255")
      << "12a!|-!|99!|-|-|-|-|-"
      << "3x!/g9a1!";
  QTest::newRow("short line") << TReportFamily::rfCeng << Ceng("0081,55") << "81|900|-58|-|-|-|-|-"
                              << "/";
  QTest::newRow("cell id FFFF") << TReportFamily::rfCeng
                                << Ceng("0081,55,00,460,00,31,FFFF,08,05,1816,255")
                                << "81|900|-58|8|-|5|46000|6166"
                                << "/";
  QTest::newRow("#MONI level as written, cell id 0000")
      << TReportFamily::rfMoni << QByteArray("#MONI: S 70 55FA 0000 736 -101dBm 19 33 1 0 I WIND")
      << "736|1800|-101|-|19|-|-|22010"
      << "/";
  QTest::newRow("#MONI level without a unit")
      << TReportFamily::rfMoni << QByteArray("#MONI: S 70 55FA 1D23 1023 -83 x")
      << "1023|E|-83|-|-|-|-|22010"
      << "70/7459";
  QTest::newRow("CCED dedicated: idle rxlev empty")
      << TReportFamily::rfCced << QByteArray("+CCED: 286,01,6B2A,F271,11,50,,40,41,3,3,3,")
      << "50|900|-70|-|-|-|28601|27434"
      << "11/62065";
  QTest::newRow("CCED rxlev out of range")
      << TReportFamily::rfCced << QByteArray("+CCED: 286,01,6B2A,F271,11,50,64,47,47,0,0,0,")
      << "50|900|64!|-|-|-|28601|27434"
      << "11/62065";
}

void TestFamilyReports::Serving() {
  QFETCH(TReportFamily, Family);
  QFETCH(QByteArray, Reply);
  QFETCH(QString, Serving);
  QFETCH(QString, Identity);
  const TFamilyView View = ReadFamilyReport(Family, Lines(Reply), TRecords{});
  CheckConsistent(View);
  QCOMPARE(ServingShown(*View.Serving), Serving);
  QCOMPARE(Shown((*View.Identities)[0].Bsic) + '/' + Shown((*View.Identities)[0].CellId), Identity);
  // A level that does not read still gives the cycle its history sample, at -114.
  if (!View.Serving->Level.Valid) QCOMPARE(View.Serving->Cell.Level, NoLevel);
}

void TestFamilyReports::NeighbourSlots_data() {
  QTest::addColumn<TReportFamily>("Family");
  QTest::addColumn<QByteArray>("Reply");
  QTest::addColumn<QString>("Neighbours");
  QTest::addColumn<QString>("Identities");  // columns 1 to 6

  const QByteArray CengServing = "+CENG: 0,\"0081,55,00,460,00,31,f9a1,08,05,1816,255\"\r\n";
  QTest::newRow("CENG two neighbours empty the rest")
      << TReportFamily::rfCeng
      << CengServing +
             "+CENG: 1,\"0014,40,15,f2a1,460,00,1816\"\r\n"
             "+CENG: 2,\"0012,27,48,f411,460,00,1816\"\r\nOK\r\n"
      << "14|900|-73 12|900|-86 || || || ||"
      << "15/62113 48/62481 / / / /";
  QTest::newRow("CENG unread and unknown neighbours")
      << TReportFamily::rfCeng
      << CengServing +
             "+CENG: 1,\"0727,06,127,ffff,000,00,0\"\r\n"
             "+CENG: 2,\"0233,26,00,,,0000\"\r\n"
             "+CENG: 3,\"0000,00,00,0000,000,00,0000\"\r\n"
             "+CENG: 4,\",,,,,,\"\r\n"
             "+CENG: 5,\"0565,23,55,460,00,1816\"\r\nOK\r\n"
      << "727|1800|-107 233|-!|-87 || || 565|1800|-90 ||"
      << "/ / / / 55/ /";
  QTest::newRow("CENG by index, not by line order")
      << TReportFamily::rfCeng
      << CengServing +
             "+CENG: 6,\"0028,15,14,6253,460,00,1823\"\r\n"
             "+CENG: 7,\"0029,15,14,6254,460,00,1823\"\r\n"
             "+CENG: 2,\"0012,27,48,f411,460,00,1816\"\r\nOK\r\n"
      << "|| 12|900|-86 || || || 28|900|-98"
      << "/ 48/62481 / / / 14/25171";
  QTest::newRow("CENG mode 4 neighbours without cell ids")
      << TReportFamily::rfCeng
      << CengServing + "+CENG: 1,\"0014,35,15,460,00,1816,91,531\"\r\nOK\r\n"
      << "14|900|-78 || || || || ||"
      << "15/ / / / / /";
  QTest::newRow("#MONI one neighbour, unread cell id")
      << TReportFamily::rfMoni
      << QByteArray(
             "#MONI: S 70 55FA 1D23 736 -83dbm 19 33 1 0 I WIND\r\n"
             "#MONI: N1 75 55FA FFFF 983 -78dbm 26 20\r\n"
             "#MONI: N3 72 55FA 1289 976 -82dbm 22 16\r\nOK\r\n")
      << "983|E|-78 || 976|E|-82 || || ||"
      << "/ / 72/4745 / / /";
  const QByteArray CcedServing = "+CCED: 286,01,6B2A,F271,11,50,47,47,47,0,0,0,";
  QTest::newRow("CCED neighbours on the serving line")
      << TReportFamily::rfCced
      << CcedServing + ",286,01,6B2A,F272,12,60,30,286,01,6B2A,,,70,20\r\nOK\r\n"
      << "60|900|-80 70|900|-90 || || || ||"
      << "12/62066 / / / / /";
  QTest::newRow("CCED neighbours on lines of their own")
      << TReportFamily::rfCced
      << CcedServing +
             "\r\n+CCED: 286,01,6B2A,F272,12,60,30\r\n+CCED: 000,00,0000,0000,0,0,0\r\n"
             "+CCED: ,,,,,75,25\r\nOK\r\n"
      << "60|900|-80 || 75|900|-85 || || ||"
      << "12/62066 / / / / /";
}

void TestFamilyReports::NeighbourSlots() {
  QFETCH(TReportFamily, Family);
  QFETCH(QByteArray, Reply);
  QFETCH(QString, Neighbours);
  QFETCH(QString, Identities);
  TRecords Previous;
  for (TCellInfo& Cell : Previous) Cell.Channel = 99;  // emptied columns must not keep it
  const TFamilyView View = ReadFamilyReport(Family, Lines(Reply), Previous);
  CheckConsistent(View);
  QCOMPARE(NeighboursShown(*View.Neighbours), Neighbours);
  QCOMPARE(IdentitiesShown(*View.Identities).section(' ', 1), Identities);
}

void TestFamilyReports::FailedFieldsKeepRecords() {
  TRecords Previous;
  Previous[0].Channel = 17;
  Previous[0].Mnc = 3;
  Previous[0].Lac = 77;
  Previous[0].Pwr = 9;
  Previous[0].Bsic = 5;
  Previous[1].Channel = 18;
  const TFamilyView View = ReadCengReport(
      Lines("+CENG: 0,\"8!1,55,00,262,zz,31,f9a1,08,y,,255\"\r\n+CENG: 1,\"1z,40,15,f2a1,,,\""),
      Previous);
  CheckConsistent(View);
  const TCellInfo& Serving = View.Serving->Cell;
  QCOMPARE(Serving.Channel, std::int16_t(17));
  QCOMPARE(Serving.Band, TGsmBand::gbNone);
  QCOMPARE(Serving.Level, std::int16_t(-58));
  QCOMPARE(Serving.Mcc, std::uint16_t(262));  // read, although the PLMN shows "-"
  QCOMPARE(Serving.Mnc, std::uint16_t(3));
  QCOMPARE(Serving.Lac, std::uint16_t(77));
  QCOMPARE(Serving.Pwr, std::int16_t(9));
  QCOMPARE(Serving.RxLev, std::int16_t(8));
  QCOMPARE(Serving.Bsic, std::uint16_t(31));
  QCOMPARE(Serving.CellId, std::uint16_t(0xf9a1));
  const TCellInfo& First = (*View.Neighbours)[0].Cell;
  QCOMPARE(First.Channel, std::int16_t(18));
  QCOMPARE(First.Level, std::int16_t(-73));
  // An empty MCC means the neighbour is not identified: no BSIC, no cell id.
  QCOMPARE(First.Bsic, std::uint16_t(0));
  QCOMPARE(First.CellId, std::uint16_t(0));
  QCOMPARE(Shown((*View.Neighbours)[0].Channel), QStringLiteral("1z!"));
}

QTEST_MAIN(TestFamilyReports)
#include "tst_familyreports.moc"
