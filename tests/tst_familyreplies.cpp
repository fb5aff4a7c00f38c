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

// What kind of value a field of a reply line holds, not which: "~" for the texts that stand for
// no value, "n" for a decimal or hexadecimal number, "0x" for a number written with 0x;
// otherwise the text with its digit runs as "9" and its letter runs as "a" ("EUTRAN-BAND20"
// is "a-a9", "4 EGSM 900" is "9 a 9").
QString FieldShape(const QByteArray& Field) {
  static const QList<QByteArray> NoValue{"-", "\"-\"", "x", "-32768", "-1920"};
  if (NoValue.contains(Field)) return QStringLiteral("~");
  // The quotes around a list of numbers ("1550,414,-88") belong to its first and last field.
  const bool Opens = Field.startsWith('"'), Closes = Field.size() > 1 && Field.endsWith('"');
  if (Opens && !Closes) return QLatin1Char('"') + FieldShape(Field.mid(1));
  if (Closes && !Opens) return FieldShape(Field.chopped(1)) + QLatin1Char('"');
  QString Text = QString::fromLatin1(Field);
  static const QRegularExpression Number(QStringLiteral("^(-?[0-9]+|[0-9A-Fa-f]+)$"));
  static const QRegularExpression Hex(QStringLiteral("^0x[0-9A-Fa-f]+$"));
  if (Number.match(Text).hasMatch()) return QStringLiteral("n");
  if (Hex.match(Text).hasMatch()) return QStringLiteral("0x");
  static const QRegularExpression Digits(QStringLiteral("[0-9]+"));
  static const QRegularExpression Letters(QStringLiteral("[A-Za-z]+"));
  return Text.replace(Digits, QStringLiteral("9")).replace(Letters, QStringLiteral("a"));
}

// A reply line cut into its prefix ("+QENG") and fields; lines are compared with the real
// lines of the same key: the prefix and the first field (for numbered lines only "n"), and for
// Quectel's neighbour lines the technology too.
struct TLineShape {
  QString Key;
  QStringList Fields;
};

TLineShape ShapeOf(const QByteArray& Line) {
  const qsizetype Colon = Line.indexOf(':');
  const QList<QByteArray> Fields = Line.mid(Colon + 1).trimmed().split(',');
  TLineShape Shape;
  const QString First = QString::fromLatin1(Fields[0]);
  Shape.Key = QString::fromLatin1(Line.left(Colon)) + QLatin1Char(' ') +
              (FieldShape(Fields[0]) == QLatin1String("n") ? QStringLiteral("n") : First);
  if (First.startsWith(QLatin1String("\"neighbourcell")) && Fields.size() > 1)
    Shape.Key += QLatin1Char(' ') + QString::fromLatin1(Fields[1]);
  for (const QByteArray& Field : Fields) Shape.Fields << FieldShape(Field);
  return Shape;
}

// The simulator's field fits the real one when both hold the same kind of value, or when the
// real modem printed no value there; the simulator never leaves out a value no real reply
// leaves out.
bool Fits(const TLineShape& Simulated, const TLineShape& Real) {
  if (Simulated.Key != Real.Key || Simulated.Fields.size() != Real.Fields.size()) return false;
  for (qsizetype I = 0; I < Real.Fields.size(); ++I)
    if (Real.Fields[I] != QLatin1String("~") && Simulated.Fields[I] != Real.Fields[I])
      return false;
  return true;
}

QList<QByteArray> ReportLines(const QList<QByteArray>& Lines) {
  QList<QByteArray> Out = WithoutEcho(Lines);
  Out.removeAll("OK");
  return Out;
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
  void ShapesOfRealReplies_data();
  void ShapesOfRealReplies();
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

void TestFamilyReplies::ShapesOfRealReplies_data() {
  QTest::addColumn<QStringList>("Args");
  QTest::addColumn<QStringList>("Cycle");  // the commands of one cycle
  QTest::addColumn<QString>("Checked");    // the one whose reply is compared
  QTest::addColumn<QStringList>("Files");  // real replies its lines must fit
  QTest::addColumn<QStringList>("Covered");  // files whose every line some cycle fits
  const QString Serving = QStringLiteral("AT+QENG=\"servingcell\"");
  const QString Neighbours = QStringLiteral("AT+QENG=\"neighbourcell\"");
  const QStringList Quectel{Serving, Neighbours};
  const QString Cpsi = QStringLiteral("AT+CPSI?");
  auto Q = [](const char* Name) { return QStringLiteral("quectel/qeng-%1.txt").arg(Name); };
  auto S = [](const char* Name) { return QStringLiteral("simcom-lte/%1.txt").arg(Name); };
  const QStringList Lte{"--family", "quectel"};
  const QStringList Umts{"--family", "quectel", "--rat", "umts"};
  const QStringList Gsm{"--family", "quectel", "--rat", "gsm"};

  QTest::newRow("Quectel LTE serving") << Lte << Quectel << Serving
                                       << QStringList{Q("serving-lte-fdd"), Q("serving-lte-tdd")}
                                       << QStringList{Q("serving-lte-fdd")};
  const QStringList LteNeighbours{Q("neighbour-lte-fdd"), Q("neighbour-lte-measured"),
                                  Q("neighbour-lte-tdd")};
  QTest::newRow("Quectel LTE neighbours")
      << Lte << Quectel << Neighbours << LteNeighbours << LteNeighbours;
  QTest::newRow("Quectel UMTS serving") << Umts << Quectel << Serving
                                        << QStringList{Q("serving-wcdma")}
                                        << QStringList{Q("serving-wcdma")};
  QTest::newRow("Quectel UMTS neighbours")
      << Umts << Quectel << Neighbours << QStringList{Q("neighbour-wcdma-manual")}
      << QStringList{Q("neighbour-wcdma-manual")};
  QTest::newRow("Quectel GSM serving") << Gsm << Quectel << Serving
                                       << QStringList{Q("serving-gsm")}
                                       << QStringList{Q("serving-gsm")};
  QTest::newRow("Quectel GSM neighbours") << Gsm << Quectel << Neighbours
                                          << QStringList{Q("neighbour-gsm")}
                                          << QStringList{Q("neighbour-gsm")};
  QTest::newRow("Quectel GSM in a call")
      << (QStringList(Gsm) << "--state" << "dedicated") << Quectel << Serving
      << QStringList{Q("serving-gsm-connect-manual")} << QStringList{Q("serving-gsm-connect-manual")};
  QTest::newRow("Quectel GSM limited service")
      << (QStringList(Gsm) << "--state" << "limited") << Quectel << Serving
      << QStringList{Q("serving-gsm-limited-manual")} << QStringList{Q("serving-gsm-limited-manual")};
  QTest::newRow("Quectel searching") << (QStringList(Lte) << "--state" << "searching") << Quectel
                                     << Serving << QStringList{Q("serving-search-manual")}
                                     << QStringList{Q("serving-search-manual")};
  // The neighbour line of the 2G dump has room for six neighbours.
  QTest::newRow("Quectel 2G") << QStringList{"--family", "quectel-2g", "--neighbours", "6"}
                              << QStringList{"AT+QENG=1,1", "AT+QENG?"} << "AT+QENG?"
                              << QStringList{"quectel-2g/qeng-dump.txt",
                                             "quectel-2g/qeng-serving-only.txt"}
                              << QStringList{"quectel-2g/qeng-serving-only.txt"};
  QTest::newRow("SIM7600 LTE") << QStringList{"--family", "sim7600"} << QStringList{Cpsi} << Cpsi
                               << QStringList{S("cpsi-lte-sim7600")}
                               << QStringList{S("cpsi-lte-sim7600")};
  QTest::newRow("SIM7600 UMTS") << QStringList{"--family", "sim7600", "--rat", "umts"}
                                << QStringList{Cpsi} << Cpsi
                                << QStringList{S("cpsi-wcdma-sim5320")}
                                << QStringList{S("cpsi-wcdma-sim5320")};
  QTest::newRow("SIM7600 GSM") << QStringList{"--family", "sim7600", "--rat", "gsm"}
                               << QStringList{Cpsi} << Cpsi << QStringList{S("cpsi-gsm-sim7600")}
                               << QStringList{S("cpsi-gsm-sim7600")};
  QTest::newRow("SIM7600 no service") << QStringList{"--family", "sim7600", "--state", "searching"}
                                      << QStringList{Cpsi} << Cpsi
                                      << QStringList{S("cpsi-no-service")}
                                      << QStringList{S("cpsi-no-service")};
  QTest::newRow("SIM7000 LTE") << QStringList{"--family", "sim7000"} << QStringList{Cpsi} << Cpsi
                               << QStringList{S("cpsi-catm-sim7000"), S("cpsi-nbiot-sim7000")}
                               << QStringList{S("cpsi-catm-sim7000")};
  QTest::newRow("SIM7000 GSM") << QStringList{"--family", "sim7000", "--rat", "gsm"}
                               << QStringList{Cpsi} << Cpsi << QStringList{S("cpsi-gsm-sim7000")}
                               << QStringList{S("cpsi-gsm-sim7000")};
  QTest::newRow("SIM7000 LTE neighbours")
      << QStringList{"--family", "sim7000"} << QStringList{Cpsi, "AT+CENG=1,1", "AT+CENG?"}
      << "AT+CENG?" << QStringList{S("ceng-lte-sim7000-capture")}
      << QStringList{S("ceng-lte-sim7000-capture")};
}

void TestFamilyReplies::ShapesOfRealReplies() {
  // Every line the simulator prints, cycle after cycle, has the shape of a line a real module
  // printed, and every line of the covered captures shows up.
  QFETCH(QStringList, Args);
  QFETCH(QStringList, Cycle);
  QFETCH(QString, Checked);
  QFETCH(QStringList, Files);
  QFETCH(QStringList, Covered);
  QList<TLineShape> Real;
  QStringList RealFile;
  for (const QString& File : Files) {
    const QList<QByteArray> Lines = ReportLines(DataFile(File));
    QVERIFY2(!Lines.isEmpty(), qPrintable(File));
    for (const QByteArray& Line : Lines) {
      Real << ShapeOf(Line);
      RealFile << File;
    }
  }
  std::vector<std::string> A{"--seed", "17"};
  for (const QString& X : Args) A.push_back(X.toStdString());
  vantrel::sim::TSimOptions O;
  QCOMPARE(vantrel::sim::ParseOptions(A, O), std::string());
  vantrel::sim::TModemCore Core(O);
  Core.Feed("ATE0\r");
  QList<bool> Fitted(Real.size(), false);
  QSet<QByteArray> Replies;
  for (int Round = 0; Round < 200; ++Round) {
    QByteArray Reply;
    for (const QString& C : Cycle) {
      const std::string Answer = Core.Feed(C.toStdString() + "\r");
      if (C == Checked) Reply = QByteArray::fromStdString(Answer);
    }
    QVERIFY2(Reply.endsWith("\r\nOK\r\n"), Reply.constData());
    Replies.insert(Reply);
    for (const QByteArray& Line : ReportLines(SplitReplyLines(Reply))) {
      const TLineShape Shape = ShapeOf(Line);
      bool Any = false;
      for (qsizetype I = 0; I < Real.size(); ++I)
        if (Fits(Shape, Real[I])) Any = Fitted[I] = true;
      QVERIFY2(Any, Line.constData());
    }
  }
  for (qsizetype I = 0; I < Real.size(); ++I)
    QVERIFY2(Fitted[I] || !Covered.contains(RealFile[I]),
             qPrintable(RealFile[I] + QStringLiteral(": ") + Real[I].Fields.join(QLatin1Char(','))));
  // The values drift as they do for the other families; a modem without service has none.
  if (!Args.contains(QStringLiteral("searching"))) QVERIFY(Replies.size() > 10);
}

QTEST_MAIN(TestFamilyReplies)
#include "tst_familyreplies.moc"
