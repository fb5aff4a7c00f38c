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
  QTest::newRow("SIMCOM_Ltd") << QByteArray("SIMCOM_Ltd") << TReportFamily::rfCeng;
  QTest::newRow("SIMCOM_SIM800H") << QByteArray("SIMCOM_SIM800H") << TReportFamily::rfCeng;
  QTest::newRow("lower case, blanks") << QByteArray("  simcom_ltd \r") << TReportFamily::rfCeng;
  QTest::newRow("Telit") << QByteArray("Telit") << TReportFamily::rfMoni;
  QTest::newRow("TELIT inside") << QByteArray("by TELIT") << TReportFamily::rfMoni;
  QTest::newRow("WAVECOM, leading blank") << QByteArray(" WAVECOM MODEM") << TReportFamily::rfCced;
  QTest::newRow("Sierra Wireless") << QByteArray("Sierra Wireless") << TReportFamily::rfCced;
  QTest::newRow("SIEMENS") << QByteArray("SIEMENS") << TReportFamily::rfMonitor;
  QTest::newRow("other maker") << QByteArray("Vantrel Labs") << TReportFamily::rfMonitor;
  QTest::newRow("empty") << QByteArray() << TReportFamily::rfMonitor;
  QTest::newRow("SIMCO is not SIMCOM") << QByteArray("SIMCO") << TReportFamily::rfMonitor;
  QTest::newRow("split by a blank") << QByteArray("SIM COM") << TReportFamily::rfMonitor;
}

void TestFamilyReports::ChooseFamily() {
  QFETCH(QByteArray, Manufacturer);
  QFETCH(TReportFamily, Family);
  QCOMPARE(ChooseReportFamily(Manufacturer), Family);
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
