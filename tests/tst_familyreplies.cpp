#include <QtTest>

#include "FamilyReplies.h"
#include "ModemCore.h"
#include "core/ReplyText.h"
#include "core/reports/FamilyReports.h"

using vantrel::sim::TFamilyCell;
using vantrel::sim::TFamilyCells;
using vantrel::sim::TSlotKind;

Q_DECLARE_METATYPE(TFamilyCells)
Q_DECLARE_METATYPE(TReportFamily)

namespace {

// The simulator's formats, with the family the program reads them as.
enum class Format { ceng, cengNoBlank, moni, moniSingle, cced };

std::string Reply(Format Which, const TFamilyCells& Cells) {
  switch (Which) {
    case Format::ceng:
      return vantrel::sim::CengReply(Cells);
    case Format::cengNoBlank:
      return vantrel::sim::CengReply(Cells, {.BlankAfterColon = false});
    case Format::moni:
      return vantrel::sim::MoniTableReply(Cells);
    case Format::moniSingle:
      return vantrel::sim::MoniSingleReply(Cells.Serving, "I TIM");
    case Format::cced:
      return vantrel::sim::CcedReply(Cells);
  }
  return {};
}

TReportFamily FamilyOf(Format Which) {
  switch (Which) {
    case Format::ceng:
    case Format::cengNoBlank:
      return TReportFamily::rfCeng;
    case Format::moni:
    case Format::moniSingle:
      return TReportFamily::rfMoni;
    case Format::cced:
      break;
  }
  return TReportFamily::rfCced;
}

TFamilyCell Cell(int Arfcn, int Dbm, int CellId, int Bsic, TSlotKind Kind = TSlotKind::Cell) {
  TFamilyCell C;
  C.Kind = Kind;
  C.Arfcn = Arfcn;
  C.Dbm = Dbm;
  C.Mcc = 460;
  C.Mnc = 0;
  C.Lac = 0x1816;
  C.CellId = CellId;
  C.Bsic = Bsic;
  C.C1 = Dbm + 110;
  C.C2 = Dbm + 112;
  return C;
}

QString BsicText(Format Which, int Bsic) {
  if (Which == Format::moni) return QStringLiteral("%1%2").arg(Bsic >> 3).arg(Bsic & 7);
  if (Which == Format::cced) return QString::number(Bsic);
  return QStringLiteral("%1").arg(Bsic, 2, 10, QChar('0'));
}

QString Plmn(const TFamilyCell& C) {
  const int Scale = C.MncDigits == 3 ? 1000 : 100;
  return QString::number(C.Mcc * Scale + C.Mnc);
}

// What the reader must show for a cell the simulator was given.
struct TExpected {
  QString Channel, Level, Bsic, CellId;
};

TExpected Expected(Format Which, const TFamilyCell& C) {
  TExpected E{QString::number(C.Arfcn), QString::number(C.Dbm), {}, {}};
  if (C.Kind == TSlotKind::Cell) {
    E.Bsic = BsicText(Which, C.Bsic);
    E.CellId = QString::number(C.CellId);
  }
  return E;
}

QList<QByteArray> WithoutEcho(QList<QByteArray> Lines) {
  Lines.removeIf([](const QByteArray& Line) { return Line.toUpper().startsWith("AT"); });
  return Lines;
}

QList<QByteArray> DataFile(const QString& Name) {
  QFile File(QStringLiteral(VANTREL_TEST_DATA "/") + Name);
  if (!File.open(QIODevice::ReadOnly)) return {};
  return SplitReplyLines(File.readAll());
}

}  // namespace

class TestFamilyReplies : public QObject {
  Q_OBJECT

 private slots:
  void ReadBack_data();
  void ReadBack();
  void ReproducesRealReplies_data();
  void ReproducesRealReplies();
  void FamilyNamesAndMakers();
  void SimulatorCycles_data();
  void SimulatorCycles();
};

void TestFamilyReplies::ReadBack_data() {
  QTest::addColumn<int>("Which");
  QTest::addColumn<TFamilyCells>("Cells");

  TFamilyCells Full;
  Full.Serving = Cell(81, -58, 0xf9a1, 25);
  Full.Serving.Rla = 8;
  Full.Serving.Txp = 5;
  Full.Neighbours = {Cell(14, -73, 0xf2a1, 13),  Cell(12, -86, 0xf411, 40),
                     Cell(565, -90, 0x1a1, 45),  Cell(584, -94, 0xf1a3, 20),
                     Cell(975, -96, 0xf412, 11), Cell(28, -110, 0x6253, 12)};

  TFamilyCells Americas;
  Americas.Serving = Cell(666, -92, 0x4e72, 8);
  Americas.Serving.Mcc = 310;
  Americas.Serving.Mnc = 260;
  Americas.Serving.MncDigits = 3;
  Americas.Serving.Lac = 0x113;
  Americas.Neighbours = {Cell(1688, -97, 0xa53f, 21)};

  TFamilyCells LeadingZeroMnc = Americas;
  LeadingZeroMnc.Serving.Mnc = 10;

  TFamilyCells Slots = Full;
  Slots.Neighbours = {Cell(14, -73, 0xf2a1, 13), Cell(233, -87, 0, 0, TSlotKind::Unknown),
                      Cell(727, -107, 0, 0, TSlotKind::Unread)};

  TFamilyCells Alone = Full;
  Alone.Neighbours.clear();

  TFamilyCells Seven = Full;
  Seven.Neighbours.push_back(Cell(29, -100, 0x1234, 1));

  const struct {
    const char* Name;
    TFamilyCells Cells;
  } Sets[] = {{"six neighbours", Full},    {"1900 band, three-digit MNC", Americas},
              {"MNC 010", LeadingZeroMnc}, {"unknown and unread slots", Slots},
              {"no neighbours", Alone},    {"seven neighbours", Seven}};
  const struct {
    const char* Name;
    Format Which;
  } Formats[] = {{"CENG", Format::ceng},
                 {"CENG no blank", Format::cengNoBlank},
                 {"#MONI", Format::moni},
                 {"CCED", Format::cced}};
  for (const auto& Set : Sets)
    for (const auto& F : Formats)
      QTest::addRow("%s, %s", F.Name, Set.Name) << int(F.Which) << Set.Cells;
}

void TestFamilyReplies::ReadBack() {
  QFETCH(int, Which);
  QFETCH(TFamilyCells, Cells);
  const Format Shape = static_cast<Format>(Which);

  const std::string Bytes = Reply(Shape, Cells);
  const TFamilyView View =
      ReadFamilyReport(FamilyOf(Shape), SplitReplyLines(QByteArray::fromStdString(Bytes)), {});
  QVERIFY2(View.HasReport(), Bytes.c_str());
  // Modems list six neighbours at most: the seventh given (cell id 1234) is never printed.
  QVERIFY2(Bytes.find("1234") == std::string::npos, Bytes.c_str());
  if (Shape == Format::cengNoBlank)
    QVERIFY2(
        Bytes.find("+CENG: ") == std::string::npos && Bytes.find("+CENG:0,\"") != std::string::npos,
        Bytes.c_str());

  const TFamilyCell& S = Cells.Serving;
  const TExpected Own = Expected(Shape, S);
  QCOMPARE(View.Serving->Channel.Text, Own.Channel);
  QCOMPARE(View.Serving->Level.Text, Own.Level);
  QCOMPARE(View.Serving->Cell.Level, std::int16_t(S.Dbm));
  QCOMPARE(View.Serving->Lac, QString::number(S.Lac));
  QCOMPARE(View.Serving->Plmn, Shape == Format::moni ? QStringLiteral("-") : Plmn(S));
  const bool Ceng = FamilyOf(Shape) == TReportFamily::rfCeng;
  QCOMPARE(View.Serving->RxLev, Ceng ? QString::number(S.Rla) : QStringLiteral("-"));
  QCOMPARE(View.Serving->Pwr, Ceng ? QString::number(S.Txp) : QStringLiteral("-"));
  QCOMPARE(View.Serving->C1, Shape == Format::moni ? QString::number(S.C1) : QStringLiteral("-"));
  QCOMPARE((*View.Identities)[0].Bsic.Text, Own.Bsic);
  QCOMPARE((*View.Identities)[0].CellId.Text, Own.CellId);

  QCOMPARE(View.Neighbours->size(), std::size_t(6));
  for (std::size_t K = 0; K < 6; ++K) {
    const TNeighbourColumnView& Column = (*View.Neighbours)[K];
    const TIdentityColumnView& Identity = (*View.Identities)[K + 1];
    const TExpected E =
        K < Cells.Neighbours.size() ? Expected(Shape, Cells.Neighbours[K]) : TExpected{};
    QCOMPARE(Column.Channel.Text, E.Channel);
    QCOMPARE(Column.Level.Text, E.Level);
    QCOMPARE(Identity.Bsic.Text, E.Bsic);
    QCOMPARE(Identity.CellId.Text, E.CellId);
  }
}

void TestFamilyReplies::ReproducesRealReplies_data() {
  QTest::addColumn<int>("Which");
  QTest::addColumn<TFamilyCells>("Cells");
  QTest::addColumn<QString>("File");

  TFamilyCells Manual;
  Manual.Serving = Cell(81, 55 - 113, 0xf9a1, 31);
  Manual.Serving.Ta = 255;
  const int ManualCells[][4] = {{14, 40, 0xf2a1, 15},  {12, 27, 0xf411, 48}, {565, 23, 0xf1a1, 55},
                                {584, 19, 0xf1a3, 24}, {27, 17, 0xf412, 13}, {28, 15, 0x6253, 14}};
  for (const auto& C : ManualCells) Manual.Neighbours.push_back(Cell(C[0], C[1] - 113, C[2], C[3]));
  Manual.Neighbours.back().Lac = 0x1823;
  QTest::newRow("CENG mode 1") << int(Format::ceng) << Manual << "simcom/ceng-mode1-manual.txt";

  // Telit's BSIC digits 70, 75, 72 are colour codes 7/0, 7/5, 7/2.
  TFamilyCells Table;
  Table.Serving = Cell(736, -83, 0x1D23, 070);
  Table.Serving.Lac = 0x55FA;
  Table.Serving.C1 = 19;
  Table.Serving.C2 = 33;
  Table.Serving.Ta = 1;
  const int TableCells[][6] = {{983, -78, 0x1297, 075, 26, 20}, {976, -82, 0x1289, 072, 22, 16},
                               {749, -92, 0x1D15, 070, 10, 18}, {751, -92, 0x1D0D, 072, 10, 18},
                               {978, -95, 0x1296, 075, 9, 3},   {756, -99, 0x1D77, 070, 3, 11}};
  for (const auto& C : TableCells) {
    TFamilyCell N = Cell(C[0], C[1], C[2], C[3]);
    N.Lac = 0x55FA;
    N.C1 = C[4];
    N.C2 = C[5];
    Table.Neighbours.push_back(N);
  }
  QTest::newRow("#MONI table") << int(Format::moni) << Table << "telit/moni-table.txt";

  TFamilyCells Single;
  Single.Serving = Cell(59, -80, 0x5265, 023);
  Single.Serving.Lac = 0xAEAD;
  Single.Serving.RxQual = 7;
  QTest::newRow("#MONI single cell")
      << int(Format::moniSingle) << Single << "telit/moni-single.txt";

  TFamilyCells Capture;
  Capture.Serving = Cell(50, 47 - 110, 0xF271, 11);
  Capture.Serving.Mcc = 286;
  Capture.Serving.Mnc = 1;
  Capture.Serving.Lac = 0x6B2A;
  QTest::newRow("CCED") << int(Format::cced) << Capture << "wavecom/cced-capture.txt";
}

void TestFamilyReplies::ReproducesRealReplies() {
  QFETCH(int, Which);
  QFETCH(TFamilyCells, Cells);
  QFETCH(QString, File);
  const QList<QByteArray> Real = WithoutEcho(DataFile(File));
  QVERIFY2(!Real.isEmpty(), qPrintable(File));
  const std::string Bytes = Reply(static_cast<Format>(Which), Cells);
  QCOMPARE(SplitReplyLines(QByteArray::fromStdString(Bytes)), Real);
  // Replies are framed like every other answer: they end with "\r\nOK\r\n".
  QVERIFY(QByteArray::fromStdString(Bytes).endsWith("\r\nOK\r\n"));
}

void TestFamilyReplies::FamilyNamesAndMakers() {
  using vantrel::sim::TSimFamily;
  const struct {
    const char* Name;
    TSimFamily Which;
    TReportFamily Reads;
  } Rows[] = {{"ceng", TSimFamily::Ceng, TReportFamily::rfCeng},
              {"moni", TSimFamily::Moni, TReportFamily::rfMoni},
              {"cced", TSimFamily::Cced, TReportFamily::rfCced}};
  for (const auto& Row : Rows) {
    QVERIFY(vantrel::sim::FamilyFromName(Row.Name) == Row.Which);
    // The program must recognise the maker text the simulator gives.
    const std::string Maker = vantrel::sim::FamilyManufacturer(Row.Which);
    QCOMPARE(ChooseReportFamily(QByteArray::fromStdString(Maker)), Row.Reads);
  }
  QVERIFY(!vantrel::sim::FamilyFromName("CENG"));
  QVERIFY(!vantrel::sim::FamilyFromName(""));
}

void TestFamilyReplies::SimulatorCycles_data() {
  QTest::addColumn<QStringList>("Args");
  QTest::addColumn<QStringList>("Commands");  // of one cycle; the last one's reply is the report
  QTest::addColumn<TReportFamily>("Family");
  QTest::newRow("CENG") << QStringList{"--family", "ceng"} << QStringList{"AT+CENG=1,1", "AT+CENG?"}
                        << TReportFamily::rfCeng;
  QTest::newRow("CENG no blank") << QStringList{"--family", "ceng", "--ceng-no-blank"}
                                 << QStringList{"AT+CENG=1,1", "AT+CENG?"} << TReportFamily::rfCeng;
  QTest::newRow("#MONI") << QStringList{"--family", "moni"} << QStringList{"AT#MONI=7", "AT#MONI"}
                         << TReportFamily::rfMoni;
  QTest::newRow("CCED") << QStringList{"--family", "cced"} << QStringList{"AT+CCED=0,3"}
                        << TReportFamily::rfCced;
  QTest::newRow("CCED dedicated") << QStringList{"--family", "cced", "--state", "dedicated"}
                                  << QStringList{"AT+CCED=0,3"} << TReportFamily::rfCced;
}

void TestFamilyReplies::SimulatorCycles() {
  // What a running simulator reports cycle after cycle reads back as its drifting cells.
  QFETCH(QStringList, Args);
  QFETCH(QStringList, Commands);
  QFETCH(TReportFamily, Family);
  std::vector<std::string> A{"--seed", "17"};
  for (const QString& X : Args) A.push_back(X.toStdString());
  vantrel::sim::TSimOptions O;
  QCOMPARE(vantrel::sim::ParseOptions(A, O), std::string());
  vantrel::sim::TModemCore Core(O);
  Core.Feed("ATE0\r");
  std::array<TCellInfo, 7> Previous{};
  int Identified = 0, Unidentified = 0;
  for (int Cycle = 0; Cycle < 120; ++Cycle) {
    std::string Reply;
    for (const QString& C : Commands) Reply = Core.Feed(C.toStdString() + "\r");
    const TFamilyView View =
        ReadFamilyReport(Family, SplitReplyLines(QByteArray::fromStdString(Reply)), Previous);
    QVERIFY2(View.HasReport(), Reply.c_str());
    const auto& S = Core.Model().Serving();
    QCOMPARE(View.Serving->Channel.Text, QString::number(S.Channel));
    QCOMPARE(View.Serving->Cell.Level, std::int16_t(S.Dbm));
    QCOMPARE(View.Serving->Lac, QString::number(S.Lac));
    QCOMPARE((*View.Identities)[0].CellId.Text, QString::number(S.CellId));
    const auto Present = Core.Model().PresentNeighbours();
    for (std::size_t K = 0; K < 6; ++K) {
      const TNeighbourColumnView& Column = (*View.Neighbours)[K];
      const QString& CellId = (*View.Identities)[K + 1].CellId.Text;
      if (K >= Present.size()) {
        QCOMPARE(Column.Channel.Text, QString());
        QCOMPARE(CellId, QString());
        continue;
      }
      QCOMPARE(Column.Channel.Text, QString::number(Present[K].Channel));
      QCOMPARE(Column.Level.Text, QString::number(Present[K].Dbm));
      // A neighbour listed without its identity shows an empty cell id, never a made-up one.
      if (CellId.isEmpty()) {
        ++Unidentified;
      } else {
        QCOMPARE(CellId, QString::number(Present[K].CellId));
        ++Identified;
      }
    }
    for (std::size_t K = 0; K < 7; ++K)
      Previous[K] = K == 0 ? View.Serving->Cell : (*View.Neighbours)[K - 1].Cell;
  }
  QVERIFY(Identified > Unidentified);
  QVERIFY(Unidentified > 0);
}

QTEST_MAIN(TestFamilyReplies)
#include "tst_familyreplies.moc"
