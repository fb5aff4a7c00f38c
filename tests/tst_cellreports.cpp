#include <QtTest>

#include "core/CellReports.h"
// The window includes both headers, so their names must not clash.
#include "core/ReplyText.h"

using TLines = QList<QByteArray>;
Q_DECLARE_METATYPE(TGsmBand)

namespace {

// A serving cell data line with every value placed at its column; each value is given at its
// exact width so tests control the blanks.
QByteArray MoniLine(const QByteArray& Channel, const QByteArray& Level, const QByteArray& Mcc,
                    const QByteArray& Mnc, const QByteArray& Lac, const QByteArray& Pwr,
                    const QByteArray& RxLev, const QByteArray& C1) {
  auto Fit = [](const QByteArray& Text, int Width) { return Text.leftJustified(Width, ' ', true); };
  return Fit(Channel, 4) + "####" + Fit(Level, 5) + Fit(Mcc, 4) + Fit(Mnc, 4) + Fit(Lac, 5) +
         QByteArray(13, '#') + Fit(Pwr, 4) + "#" + Fit(RxLev, 5) + Fit(C1, 4);
}

QByteArray DefaultLine() {
  return MoniLine(" 124", "  -80", " 262", "   7", " 1A2B", "   5", "  -79", "  33");
}

// The header lines real modems print, in the layout with separate MCC and MNC columns and in
// the one with a single PLMN column.
const QByteArray ServingTitleA =
    "Serving Cell                                          I Dedicated channel";
const QByteArray ServingHeaderA =
    "chann rs  dBm MCC MNC  LAC cell NCC BCC PWR RXLev  C1 I chann TS timAdv PWR  dBm Q ChMod";
const QByteArray ServingTitleB =
    "Serving Cell                                        I Dedicated channel";
const QByteArray ServingHeaderB =
    "chann rs  dBm  PLMN  LAC cell NCC BCC PWR RXLev  C1 I chann TS timAdv PWR  dBm Q ChMod";

TLines MoniReply(const QByteArray& Data) {
  return {ServingTitleA, ServingHeaderA, Data, "OK"};
}

// Real replies, copied from the shared collection (see tests/data/modem-replies/README.md).
QByteArray RealReply(const QString& Name) {
  QFile File(QStringLiteral(VANTREL_REPLIES_DIR "/monitor/") + Name);
  if (!File.open(QIODevice::ReadOnly)) qFatal("cannot read %s", qPrintable(File.fileName()));
  return File.readAll();
}

TLines RealLines(const QString& Name) {
  return SplitReplyLines(RealReply(Name));
}

TLines MonpReply(int Neighbours, bool WithOk = true) {
  TLines Lines{"chann rs  dBm   PLMN  LAC   C1  C2"};
  for (int I = 0; I < Neighbours; ++I)
    Lines.append(QByteArray::number(600 + I).rightJustified(4) + "  0" + " " +
                 QByteArray::number(-70 - I).rightJustified(5) + " 262  07 1A2B   20  20");
  if (WithOk) Lines.append("OK");
  return Lines;
}

// 63 identity fields by default; field j is the decimal text of 100 + j unless overridden.
QList<QByteArray> IdentityFields(int Count = 63) {
  QList<QByteArray> Fields;
  for (int J = 0; J < Count; ++J) Fields.append(QByteArray::number(100 + J));
  return Fields;
}

TLines SmoncReply(const QList<QByteArray>& Fields, const QByteArray& Lead = "^SMONC: ") {
  return {Lead + Fields.join(','), "OK"};
}

}  // namespace

class TestCellReports : public QObject {
  Q_OBJECT

 private slots:
  void ChannelBandClassifies_data();
  void ChannelBandClassifies();
  void LevelColorWorkedValues_data();
  void LevelColorWorkedValues();

  void ServingShapeAccepted_data();
  void ServingShapeAccepted();
  void ServingReadsEveryColumn();
  void ServingChannelCut_data();
  void ServingChannelCut();
  void ServingLevelUnparsable();
  void ServingLevelKeepsLow16Bits();
  void ServingShortLine();
  void ServingPlmn_data();
  void ServingPlmn();
  void ServingLac_data();
  void ServingLac();
  void ServingHeaderAsDataRefused();
  void ServingSecondLayout_data();
  void ServingSecondLayout();

  void NeighbourColumnsRead_data();
  void NeighbourColumnsRead();
  void NeighbourRejectsWrongHeader_data();
  void NeighbourRejectsWrongHeader();
  void NeighbourUnparsableCuts();
  void NeighbourColumnsAfterTheLastAreEmptied();

  void IdentityFieldCount_data();
  void IdentityFieldCount();
  void IdentityPrefixNeeded_data();
  void IdentityPrefixNeeded();
  void IdentityReadsGroups();
  void IdentityDroppedFieldShifts();
  void IdentityValues_data();
  void IdentityValues();
  void IdentityPrefixAfterOtherText();
  void IdentityEmptySlots_data();
  void IdentityEmptySlots();

  void RealReplies_data();
  void RealReplies();
};

void TestCellReports::ChannelBandClassifies_data() {
  QTest::addColumn<int>("Channel");
  QTest::addColumn<TGsmBand>("Band");
  QTest::addColumn<QString>("Text");
  const struct {
    int Channel;
    TGsmBand Band;
    const char* Text;
  } Rows[] = {{0, TGsmBand::gbNone, "-"},        {1, TGsmBand::gb900, "900"},
              {124, TGsmBand::gb900, "900"},     {125, TGsmBand::gbNone, "-"},
              {511, TGsmBand::gbNone, "-"},      {512, TGsmBand::gb1800, "1800"},
              {885, TGsmBand::gb1800, "1800"},   {886, TGsmBand::gbNone, "-"},
              {954, TGsmBand::gbNone, "-"},      {955, TGsmBand::gbR, "R"},
              {974, TGsmBand::gbR, "R"},         {975, TGsmBand::gbE, "E"},
              {1023, TGsmBand::gbE, "E"},        {1024, TGsmBand::gbNone, "-"},
              {-1, TGsmBand::gbNone, "-"},       {-65535, TGsmBand::gbNone, "-"},
              {65537, TGsmBand::gbNone, "-"},    {66048, TGsmBand::gbNone, "-"},
              {INT32_MIN, TGsmBand::gbNone, "-"}};
  for (const auto& Row : Rows)
    QTest::addRow("%d", Row.Channel) << Row.Channel << Row.Band << QString::fromLatin1(Row.Text);
}

void TestCellReports::ChannelBandClassifies() {
  QFETCH(int, Channel);
  QFETCH(TGsmBand, Band);
  QFETCH(QString, Text);
  QCOMPARE(ChannelBand(Channel), Band);
  QCOMPARE(BandText(ChannelBand(Channel)), Text);
}

void TestCellReports::LevelColorWorkedValues_data() {
  QTest::addColumn<int>("Level");
  QTest::addColumn<quint32>("Color");
  QTest::newRow("-113") << -113 << 0xFF1D1Du;
  QTest::newRow("-114") << -114 << 0xFF1B1Bu;
  QTest::newRow("-80") << -80 << 0xFF5F5Fu;
  QTest::newRow("-47") << -47 << 0xFFA1A1u;
  QTest::newRow("0") << 0 << 0xFFFFFFu;
  QTest::newRow("-128") << -128 << 0xFFFFFFu;
  QTest::newRow("1 wraps") << 1 << 0xFF0101u;
  QTest::newRow("-32768") << -32768 << 0xFFFFFFu;
}

void TestCellReports::LevelColorWorkedValues() {
  QFETCH(int, Level);
  QFETCH(quint32, Color);
  QCOMPARE(LevelColor(static_cast<std::int16_t>(Level)), Color);
}

void TestCellReports::ServingShapeAccepted_data() {
  QTest::addColumn<TLines>("Lines");
  QTest::addColumn<bool>("Accepted");
  const TLines Full = MoniReply(DefaultLine());
  QTest::newRow("four lines") << Full << true;
  QTest::newRow("three lines") << Full.mid(0, 3) << false;
  QTest::newRow("no lines") << TLines{} << false;
  TLines Capital = Full;
  Capital[1] = "Chann rs  dBm";
  QTest::newRow("Chann") << Capital << false;
  TLines Echoed = Full;
  Echoed.prepend("AT^MONI");
  QTest::newRow("echo shifts lines") << Echoed << false;
  TLines Inside = Full;
  Inside[1] = "xxchannxx";
  QTest::newRow("chann anywhere") << Inside << true;
  TLines Untitled = Full;
  Untitled[0] = "Serving Cell";
  QTest::newRow("title not read") << Untitled << true;
}

void TestCellReports::ServingShapeAccepted() {
  QFETCH(TLines, Lines);
  QFETCH(bool, Accepted);
  QCOMPARE(ParseServingCellReport(Lines, TCellInfo{}).has_value(), Accepted);
}

void TestCellReports::ServingReadsEveryColumn() {
  TCellInfo Previous;
  Previous.Bsic = 33;
  Previous.CellId = 44;
  const auto View = ParseServingCellReport(MoniReply(DefaultLine()), Previous);
  QVERIFY(View);
  QCOMPARE(View->Cell.Channel, std::int16_t(124));
  QCOMPARE(View->Cell.Band, TGsmBand::gb900);
  QCOMPARE(View->Cell.Level, std::int16_t(-80));
  QCOMPARE(View->Cell.Mcc, std::uint16_t(262));
  QCOMPARE(View->Cell.Mnc, std::uint16_t(7));
  QCOMPARE(View->Cell.Lac, std::uint16_t(6699));
  QCOMPARE(View->Cell.Pwr, std::int16_t(5));
  QCOMPARE(View->Cell.RxLev, std::int16_t(-79));
  QCOMPARE(View->Cell.C1, std::int16_t(33));
  QCOMPARE(View->Cell.Bsic, std::uint16_t(33));  // untouched by this report
  QCOMPARE(View->Cell.CellId, std::uint16_t(44));
  QCOMPARE(View->Channel.Text, QStringLiteral(" 124"));
  QVERIFY(View->Channel.Valid);
  QCOMPARE(View->Band.Text, QStringLiteral("900"));
  QVERIFY(View->Band.Valid);
  QCOMPARE(View->Level.Text, QStringLiteral("  -80"));
  QVERIFY(View->Level.Valid);
  QCOMPARE(View->Bar.Position, std::int16_t(-80));
  QCOMPARE(View->Bar.Color, 0xFF5F5Fu);
  QCOMPARE(View->RxLev, QStringLiteral("  -79"));
  QCOMPARE(View->C1, QStringLiteral("  33"));
  QCOMPARE(View->Pwr, QStringLiteral("   5"));
  QCOMPARE(View->Plmn, QStringLiteral("26207"));
  QCOMPARE(View->Lac, QStringLiteral("6699"));
}

void TestCellReports::ServingChannelCut_data() {
  QTest::addColumn<QByteArray>("Cut");
  QTest::addColumn<bool>("Valid");
  QTest::addColumn<int>("Channel");
  QTest::addColumn<QString>("Band");
  QTest::addColumn<bool>("BandValid");
  QTest::newRow("zero") << QByteArray("   0") << true << 0 << "-" << false;
  QTest::newRow("1023") << QByteArray("1023") << true << 1023 << "E" << true;
  QTest::newRow("955") << QByteArray(" 955") << true << 955 << "R" << true;
  QTest::newRow("negative") << QByteArray("  -5") << true << -5 << "-" << false;
  QTest::newRow("hex 512") << QByteArray("x200") << true << 512 << "1800" << true;
  QTest::newRow("letters") << QByteArray("12a ") << false << 999 << "-" << false;
  QTest::newRow("blank") << QByteArray("    ") << false << 999 << "-" << false;
}

void TestCellReports::ServingChannelCut() {
  QFETCH(QByteArray, Cut);
  QFETCH(bool, Valid);
  QFETCH(int, Channel);
  QFETCH(QString, Band);
  QFETCH(bool, BandValid);
  TCellInfo Previous;
  Previous.Channel = 999;
  Previous.Band = TGsmBand::gbE;
  const auto View = ParseServingCellReport(
      MoniReply(MoniLine(Cut, "  -80", " 262", "   7", " 1A2B", "   5", "  -79", "  33")),
      Previous);
  QVERIFY(View);
  QCOMPARE(View->Channel.Text, QString::fromLatin1(Cut));
  QCOMPARE(View->Channel.Valid, Valid);
  QCOMPARE(View->Cell.Channel, std::int16_t(Channel));
  QCOMPARE(View->Band.Text, Band);
  QCOMPARE(View->Band.Valid, BandValid);
}

void TestCellReports::ServingLevelUnparsable() {
  TCellInfo Previous;
  Previous.Level = -60;
  const auto View = ParseServingCellReport(
      MoniReply(MoniLine(" 124", " -8x0", " 262", "   7", " 1A2B", "   5", "  -79", "  33")),
      Previous);
  QVERIFY(View);
  QCOMPARE(View->Cell.Level, std::int16_t(-114));
  QVERIFY(!View->Level.Valid);
  QCOMPARE(View->Level.Text, QStringLiteral(" -8x0"));
  QCOMPARE(View->Bar.Position, std::int16_t(-114));
  QCOMPARE(View->Bar.Color, 0xFF1B1Bu);
}

void TestCellReports::ServingLevelKeepsLow16Bits() {
  const auto View = ParseServingCellReport(
      MoniReply(MoniLine(" 124", "xFFFF", " 262", "   7", " 1A2B", "   5", "  -79", "  33")),
      TCellInfo{});
  QVERIFY(View);
  QVERIFY(View->Level.Valid);
  QCOMPARE(View->Cell.Level, std::int16_t(-1));
  QCOMPARE(View->Bar.Position, std::int16_t(-1));
}

void TestCellReports::ServingShortLine() {
  TCellInfo Previous;
  Previous.RxLev = 11;
  Previous.C1 = 22;
  Previous.Pwr = 33;
  const QByteArray Full = DefaultLine();
  const auto Before45 = ParseServingCellReport(MoniReply(Full.left(44)), Previous);
  QVERIFY(Before45);
  QCOMPARE(Before45->RxLev, QStringLiteral("-"));
  QCOMPARE(Before45->C1, QStringLiteral("-"));
  QCOMPARE(Before45->Pwr, QStringLiteral("   5"));
  QCOMPARE(Before45->Cell.RxLev, std::int16_t(11));
  QCOMPARE(Before45->Cell.C1, std::int16_t(22));
  QCOMPARE(Before45->Cell.Channel, std::int16_t(124));
  QCOMPARE(Before45->Cell.Level, std::int16_t(-80));
  QCOMPARE(Before45->Plmn, QStringLiteral("26207"));

  const auto Before40 = ParseServingCellReport(MoniReply(Full.left(30)), Previous);
  QVERIFY(Before40);
  QCOMPARE(Before40->Pwr, QStringLiteral("-"));
  QCOMPARE(Before40->Cell.Pwr, std::int16_t(33));
  QCOMPARE(Before40->Lac, QStringLiteral("6699"));

  const auto Empty = ParseServingCellReport(MoniReply(QByteArray()), Previous);
  QVERIFY(Empty);
  QVERIFY(!Empty->Channel.Valid);
  QVERIFY(!Empty->Level.Valid);
  QCOMPARE(Empty->Plmn, QStringLiteral("-"));
  QCOMPARE(Empty->Lac, QStringLiteral("-"));
}

void TestCellReports::ServingPlmn_data() {
  QTest::addColumn<QByteArray>("Mcc");
  QTest::addColumn<QByteArray>("Mnc");
  QTest::addColumn<QString>("Shown");
  QTest::addColumn<int>("StoredMcc");
  QTest::addColumn<int>("StoredMnc");
  QTest::newRow("two-digit network")
      << QByteArray(" 262") << QByteArray("   7") << "26207" << 262 << 7;
  QTest::newRow("three-digit network")
      << QByteArray(" 310") << QByteArray(" 260") << "310260" << 310 << 260;
  QTest::newRow("network 99") << QByteArray(" 262") << QByteArray("  99") << "26299" << 262 << 99;
  QTest::newRow("network 100") << QByteArray(" 262") << QByteArray(" 100") << "262100" << 262
                               << 100;
  QTest::newRow("bad network keeps new country")
      << QByteArray(" 262") << QByteArray("  0A") << "-" << 262 << 1;
  QTest::newRow("bad country") << QByteArray(" 2 2") << QByteArray("   7") << "-" << 9 << 1;
  QTest::newRow("wide values") << QByteArray("xFFF") << QByteArray("x3E7") << "4095999" << 4095
                               << 999;
  QTest::newRow("negative network as unsigned")
      << QByteArray(" 262") << QByteArray("  -1") << "327535" << 262 << 65535;
}

void TestCellReports::ServingPlmn() {
  QFETCH(QByteArray, Mcc);
  QFETCH(QByteArray, Mnc);
  QFETCH(QString, Shown);
  QFETCH(int, StoredMcc);
  QFETCH(int, StoredMnc);
  TCellInfo Previous;
  Previous.Mcc = 9;
  Previous.Mnc = 1;
  const auto View = ParseServingCellReport(
      MoniReply(MoniLine(" 124", "  -80", Mcc, Mnc, " 1A2B", "   5", "  -79", "  33")), Previous);
  QVERIFY(View);
  QCOMPARE(View->Plmn, Shown);
  QCOMPARE(int(View->Cell.Mcc), StoredMcc);
  QCOMPARE(int(View->Cell.Mnc), StoredMnc);
}

void TestCellReports::ServingLac_data() {
  QTest::addColumn<QByteArray>("Cut");
  QTest::addColumn<QString>("Shown");
  QTest::addColumn<int>("Stored");
  QTest::newRow("FFFF") << QByteArray(" FFFF") << "65535" << 65535;
  QTest::newRow("1A2B") << QByteArray("1A2B ") << "6699" << 6699;
  QTest::newRow("five digits keep low bits") << QByteArray("1FFFF") << "65535" << 65535;
  QTest::newRow("inner blank") << QByteArray("1A 2B") << "-" << 77;
  QTest::newRow("sign") << QByteArray("  -1A") << "-" << 77;
}

void TestCellReports::ServingLac() {
  QFETCH(QByteArray, Cut);
  QFETCH(QString, Shown);
  QFETCH(int, Stored);
  TCellInfo Previous;
  Previous.Lac = 77;
  const auto View = ParseServingCellReport(
      MoniReply(MoniLine(" 124", "  -80", " 262", "   7", Cut, "   5", "  -79", "  33")), Previous);
  QVERIFY(View);
  QCOMPARE(View->Lac, Shown);
  QCOMPARE(int(View->Cell.Lac), Stored);
}

// With a line in front of the report (an echoed command), the real title line passes for the
// header and the header for the data line: it used to show "chan" and "  dBm" in red and add
// -114 to the history every cycle.
void TestCellReports::ServingHeaderAsDataRefused() {
  TLines Echoed = RealLines(QStringLiteral("moni-a-camping.txt"));
  QVERIFY(ParseServingCellReport(Echoed, TCellInfo{}));
  Echoed.prepend("AT^MONI");
  QVERIFY(!ParseServingCellReport(Echoed, TCellInfo{}));
  TLines EchoedB = RealLines(QStringLiteral("moni-b-camping.txt"));
  EchoedB.prepend("AT^MONI");
  QVERIFY(!ParseServingCellReport(EchoedB, TCellInfo{}));
  // Anywhere in the data line, as in the header itself.
  QVERIFY(!ParseServingCellReport(MoniReply(DefaultLine() + " chann"), TCellInfo{}));
}

void TestCellReports::ServingSecondLayout_data() {
  QTest::addColumn<QByteArray>("Header");
  QTest::addColumn<QByteArray>("Data");
  QTest::addColumn<QStringList>("Shown");  // RxLev, C1, PWR, PLMN, LAC
  QTest::addColumn<QList<int>>("Stored");  // RxLev, C1, Pwr, Mcc, Mnc, Lac
  // The layout B sample: RxLev used to read 105, and MNC, LAC and C1 "-".
  const QByteArray Sample =
      "1013  21  -71 00101 1001 0103   7   7  33  -105  33 I    No connection";
  QTest::newRow("sample") << ServingHeaderB << Sample
                          << QStringList{" -105", "  33", "  33", "101", "4097"}
                          << QList<int>{-105, 33, 33, 1, 1, 4097};
  QTest::newRow("real network") << ServingHeaderB
                                << QByteArray(
                                       "  17  30  -63 26207 4EED 85A7   4   4  31  -104  41 I")
                                << QStringList{" -104", "  41", "  31", "26207", "20205"}
                                << QList<int>{-104, 41, 31, 262, 7, 20205};
  QTest::newRow("three-digit network")
      << ServingHeaderB << QByteArray("  17  30  -63310260 4EED 85A7   4   4  31  -104  41 I")
      << QStringList{" -104", "  41", "  31", "310260", "20205"}
      << QList<int>{-104, 41, 31, 310, 260, 20205};
  QTest::newRow("PLMN too short") << ServingHeaderB
                                  << QByteArray(
                                         "  17  30  -63  2620 4EED 85A7   4   4  31  -104  41 I")
                                  << QStringList{" -104", "  41", "  31", "-", "20205"}
                                  << QList<int>{-104, 41, 31, 9, 8, 20205};
  QTest::newRow("PLMN not digits")
      << ServingHeaderB << QByteArray("  17  30  -63 262-7 4EED 85A7   4   4  31  -104  41 I")
      << QStringList{" -104", "  41", "  31", "-", "20205"}
      << QList<int>{-104, 41, 31, 9, 8, 20205};
  // A header that names both keeps the first layout.
  QByteArray Both = ServingHeaderA;
  Both.replace("MCC MNC", "MCC PLMN");
  QTest::newRow("PLMN beside MCC") << Both << Sample << QStringList{"105  ", "-", "33  ", "-", "-"}
                                   << QList<int>{105, 7, 33, 1, 8, 5};
  QTest::newRow("layout A sample")
      << ServingHeaderA
      << QByteArray("1013  21  -71 001  01 1001 0103   7   7  33  -105  33 I    No connection")
      << QStringList{" -105", "  33", "  33", "101", "4097"}
      << QList<int>{-105, 33, 33, 1, 1, 4097};
}

void TestCellReports::ServingSecondLayout() {
  QFETCH(QByteArray, Header);
  QFETCH(QByteArray, Data);
  QFETCH(QStringList, Shown);
  QFETCH(QList<int>, Stored);
  TCellInfo Previous;
  Previous.RxLev = 4;
  Previous.C1 = 7;
  Previous.Pwr = 6;
  Previous.Mcc = 9;
  Previous.Mnc = 8;
  Previous.Lac = 5;
  const auto View = ParseServingCellReport({ServingTitleB, Header, Data, "OK"}, Previous);
  QVERIFY(View);
  QCOMPARE((QStringList{View->RxLev, View->C1, View->Pwr, View->Plmn, View->Lac}), Shown);
  const TCellInfo& C = View->Cell;
  QCOMPARE((QList<int>{C.RxLev, C.C1, C.Pwr, C.Mcc, C.Mnc, C.Lac}), Stored);
  // Channel and level stand in the same columns in both layouts.
  QVERIFY(View->Channel.Valid);
  QVERIFY(View->Level.Valid);
}

void TestCellReports::NeighbourColumnsRead_data() {
  QTest::addColumn<TLines>("Lines");
  QTest::addColumn<int>("Columns");  // neighbours read; -1: not accepted
  QTest::newRow("two neighbours") << MonpReply(2) << 2;
  QTest::newRow("one neighbour") << MonpReply(1) << 1;
  QTest::newRow("no neighbour") << MonpReply(0) << 0;
  QTest::newRow("header alone") << MonpReply(0, false) << -1;
  QTest::newRow("six") << MonpReply(6) << 6;
  QTest::newRow("eight, six read") << MonpReply(8) << 6;
  QTest::newRow("last line never read") << MonpReply(6, false) << 5;
  TLines WithOk = MonpReply(5);
  WithOk[3] = " 700  0   -80 OK";
  QTest::newRow("OK line stops") << WithOk << 2;
  TLines FirstOk = MonpReply(3);
  FirstOk[1] = "OK";
  QTest::newRow("OK at once") << FirstOk << 0;
}

void TestCellReports::NeighbourColumnsRead() {
  QFETCH(TLines, Lines);
  QFETCH(int, Columns);
  const auto Result = ParseNeighbourCellReport(Lines, {});
  QCOMPARE(Result.has_value(), Columns >= 0);
  if (!Result) return;
  // Always all six columns: the ones after the last neighbour read are emptied.
  QCOMPARE(int(Result->size()), 6);
  for (int K = 0; K < 6; ++K) {
    const TNeighbourColumnView& Column = (*Result)[std::size_t(K)];
    if (K >= Columns) {
      QVERIFY(Column.Channel.Text.isEmpty());
      QVERIFY(Column.Band.Text.isEmpty());
      QVERIFY(Column.Level.Text.isEmpty());
      continue;
    }
    QCOMPARE(int(Column.Cell.Channel), 600 + K);
    QCOMPARE(Column.Cell.Band, TGsmBand::gb1800);
    QCOMPARE(int(Column.Cell.Level), -70 - K);
    QCOMPARE(Column.Level.Text, QString::fromLatin1(QByteArray::number(-70 - K).rightJustified(5)));
    QCOMPARE(Column.Bar.Color, LevelColor(std::int16_t(-70 - K)));
  }
}

void TestCellReports::NeighbourRejectsWrongHeader_data() {
  QTest::addColumn<TLines>("Lines");
  TLines Capital = MonpReply(3);
  Capital[0] = "Chann rs dBm";
  QTest::newRow("Chann") << Capital;
  TLines Indented = MonpReply(3);
  Indented[0] = " chann rs dBm";
  QTest::newRow("header not at the start") << Indented;
  // An AT^MONI reply that came after its time-out lands in the AT^MONP exchange. Its first
  // line, "Serving Cell ... Dedicated channel", holds "chann" too; read as neighbours it showed
  // "chan" in red in column 1 and the serving cell in column 2.
  QTest::newRow("late serving reply, layout A") << RealLines(QStringLiteral("moni-a-camping.txt"));
  QTest::newRow("late serving reply, layout B")
      << RealLines(QStringLiteral("moni-b-dedicated.txt"));
  QTest::newRow("late serving reply with the neighbour reply behind it")
      << RealLines(QStringLiteral("moni-a-camping.txt")) +
             RealLines(QStringLiteral("monp-six.txt"));
}

void TestCellReports::NeighbourRejectsWrongHeader() {
  QFETCH(TLines, Lines);
  QVERIFY(!ParseNeighbourCellReport(Lines, {}));
}

void TestCellReports::NeighbourUnparsableCuts() {
  std::array<TCellInfo, 7> Previous{};
  Previous[2].Channel = 321;
  Previous[2].Bsic = 17;
  Previous[2].Band = TGsmBand::gb900;
  TLines Lines = MonpReply(3);
  Lines[2] = "6O1  0    -7O";
  const auto Result = ParseNeighbourCellReport(Lines, Previous);
  QVERIFY(Result);
  QCOMPARE(Result->size(), std::size_t(6));
  const TNeighbourColumnView& Column = (*Result)[1];  // grid column 2
  QCOMPARE(Column.Channel.Text, QStringLiteral("6O1 "));
  QVERIFY(!Column.Channel.Valid);
  QCOMPARE(Column.Cell.Channel, std::int16_t(321));
  QCOMPARE(Column.Cell.Band, TGsmBand::gbNone);
  QCOMPARE(Column.Band.Text, QStringLiteral("-"));
  QVERIFY(!Column.Band.Valid);
  QCOMPARE(Column.Level.Text, QStringLiteral("  -7O"));
  QVERIFY(!Column.Level.Valid);
  QCOMPARE(Column.Cell.Level, std::int16_t(-114));
  QCOMPARE(Column.Bar.Position, std::int16_t(-114));
  QCOMPARE(Column.Bar.Color, 0xFF1B1Bu);
  QCOMPARE(Column.Cell.Bsic, std::uint16_t(17));
  QVERIFY((*Result)[0].Channel.Valid);
}

// A report with fewer neighbours than the last one: the columns it leaves out used to keep the
// old neighbours on screen as if the modem still reported them.
void TestCellReports::NeighbourColumnsAfterTheLastAreEmptied() {
  std::array<TCellInfo, 7> Previous{};
  for (std::size_t I = 1; I < 7; ++I) {
    Previous[I].Channel = std::int16_t(500 + I);
    Previous[I].Level = -60;
    Previous[I].Band = TGsmBand::gb1800;
    Previous[I].Bsic = 12;
    Previous[I].CellId = 34;
  }
  const auto Result = ParseNeighbourCellReport(MonpReply(1), Previous);
  QVERIFY(Result);
  QCOMPARE(Result->size(), std::size_t(6));
  QCOMPARE((*Result)[0].Cell.Channel, std::int16_t(600));
  QCOMPARE((*Result)[0].Cell.Bsic, std::uint16_t(12));  // a neighbour read keeps its identity
  for (std::size_t K = 1; K < 6; ++K) {
    const TNeighbourColumnView& Column = (*Result)[K];
    for (const TCellText* Text : {&Column.Channel, &Column.Band, &Column.Level}) {
      QVERIFY(Text->Text.isEmpty());
      QVERIFY(Text->Valid);  // nothing in red
    }
    QVERIFY(Column.Bar.Position < -113);  // below the bar's range: an empty bar
    QCOMPARE(Column.Bar.Color, LevelColor(Column.Bar.Position));
    const TCellInfo Empty{};
    QCOMPARE(Column.Cell.Channel, Empty.Channel);
    QCOMPARE(Column.Cell.Level, Empty.Level);
    QCOMPARE(Column.Cell.Band, TGsmBand::gbNone);
    QCOMPARE(Column.Cell.Bsic, Empty.Bsic);
    QCOMPARE(Column.Cell.CellId, Empty.CellId);
  }
}

void TestCellReports::IdentityFieldCount_data() {
  QTest::addColumn<int>("Count");
  QTest::newRow("62") << 62;
  QTest::newRow("63") << 63;
  QTest::newRow("70") << 70;
}

void TestCellReports::IdentityFieldCount() {
  QFETCH(int, Count);
  const TCellIdentityReport Report = ParseCellIdentityReport(SmoncReply(IdentityFields(Count)), {});
  QVERIFY(Report.PrefixFound);
  QCOMPARE(int(Report.Fields.size()), Count);
  QCOMPARE(Report.Columns.has_value(), Count >= 63);
}

void TestCellReports::IdentityPrefixNeeded_data() {
  QTest::addColumn<TLines>("Lines");
  const TLines Good = SmoncReply(IdentityFields());
  QTest::newRow("single line") << Good.mid(0, 1);
  QTest::newRow("no blank after colon") << SmoncReply(IdentityFields(), "^SMONC:");
  QTest::newRow("lower case") << SmoncReply(IdentityFields(), "^smonc: ");
  QTest::newRow("prefix on second line") << TLines{"x", Good[0]};
}

void TestCellReports::IdentityPrefixNeeded() {
  QFETCH(TLines, Lines);
  const TCellIdentityReport Report = ParseCellIdentityReport(Lines, {});
  QVERIFY(!Report.PrefixFound);
  QVERIFY(Report.Fields.isEmpty());
  QVERIFY(!Report.Columns);
}

void TestCellReports::IdentityReadsGroups() {
  std::array<TCellInfo, 7> Previous{};
  Previous[5].Channel = 600;
  Previous[5].Level = -70;
  const TCellIdentityReport Report =
      ParseCellIdentityReport(SmoncReply(IdentityFields()), Previous);
  QVERIFY(Report.Columns);
  for (int I = 0; I < 7; ++I) {
    const TIdentityColumnView& Column = (*Report.Columns)[std::size_t(I)];
    const int CellId = QByteArray::number(100 + 9 * I + 3).toInt(nullptr, 16);
    QCOMPARE(Column.CellId.Text, QString::number(CellId));
    QCOMPARE(int(Column.Cell.CellId), CellId);
    QCOMPARE(Column.Bsic.Text, QString::number(100 + 9 * I + 4));
    QCOMPARE(int(Column.Cell.Bsic), 100 + 9 * I + 4);
  }
  QCOMPARE((*Report.Columns)[5].Cell.Channel, std::int16_t(600));
  QCOMPARE((*Report.Columns)[5].Cell.Level, std::int16_t(-70));
}

void TestCellReports::IdentityDroppedFieldShifts() {
  QList<QByteArray> Fields = IdentityFields(64);
  Fields[2] = QByteArray();  // two commas in a row
  const TCellIdentityReport Report = ParseCellIdentityReport(SmoncReply(Fields), {});
  QCOMPARE(Report.Fields.size(), qsizetype(63));
  QVERIFY(Report.Columns);
  for (int I = 0; I < 7; ++I) {
    const TIdentityColumnView& Column = (*Report.Columns)[std::size_t(I)];
    QCOMPARE(Column.Bsic.Text, QString::number(100 + 9 * I + 5));
    QCOMPARE(int(Column.Cell.CellId), QByteArray::number(100 + 9 * I + 4).toInt(nullptr, 16));
  }
}

void TestCellReports::IdentityValues_data() {
  QTest::addColumn<QByteArray>("CellIdField");
  QTest::addColumn<QByteArray>("BsicField");
  QTest::addColumn<QString>("CellIdText");
  QTest::addColumn<bool>("CellIdValid");
  QTest::addColumn<int>("CellId");
  QTest::addColumn<bool>("BsicValid");
  QTest::addColumn<int>("Bsic");
  QTest::newRow("e0b1") << QByteArray("e0b1") << QByteArray("12") << "57521" << true << 57521
                        << true << 12;
  QTest::newRow("1A2B3 shown whole")
      << QByteArray("1A2B3") << QByteArray("12") << "107187" << true << 41651 << true << 12;
  QTest::newRow("all ones signed")
      << QByteArray("FFFFFFFF") << QByteArray("12") << "-1" << true << 65535 << true << 12;
  QTest::newRow("BSIC leading blanks")
      << QByteArray("1") << QByteArray("  63") << "1" << true << 1 << true << 63;
  QTest::newRow("BSIC trailing blank")
      << QByteArray("1") << QByteArray("63 ") << "1" << true << 1 << false << 0;
  QTest::newRow("BSIC text") << QByteArray("1") << QByteArray("\"ab\"") << "1" << true << 1 << false
                             << 0;
  QTest::newRow("BSIC wraps to 16 bits")
      << QByteArray("1") << QByteArray("65537") << "1" << true << 1 << true << 1;
  QTest::newRow("cell id with blank")
      << QByteArray(" 1A") << QByteArray("12") << "-" << false << 0 << true << 12;
  QTest::newRow("cell id not hex")
      << QByteArray("1G") << QByteArray("12") << "-" << false << 0 << true << 12;
}

void TestCellReports::IdentityValues() {
  QFETCH(QByteArray, CellIdField);
  QFETCH(QByteArray, BsicField);
  QFETCH(QString, CellIdText);
  QFETCH(bool, CellIdValid);
  QFETCH(int, CellId);
  QFETCH(bool, BsicValid);
  QFETCH(int, Bsic);
  QList<QByteArray> Fields = IdentityFields();
  Fields[9 * 3 + 3] = CellIdField;
  Fields[9 * 3 + 4] = BsicField;
  std::array<TCellInfo, 7> Previous{};
  Previous[3].Bsic = 99;
  Previous[3].CellId = 98;
  const TCellIdentityReport Report = ParseCellIdentityReport(SmoncReply(Fields), Previous);
  QVERIFY(Report.Columns);
  const TIdentityColumnView& Column = (*Report.Columns)[3];
  QCOMPARE(Column.CellId.Text, CellIdText);
  QCOMPARE(Column.CellId.Valid, CellIdValid);
  QCOMPARE(int(Column.Cell.CellId), CellId);
  QCOMPARE(Column.Bsic.Text, QString::fromLatin1(BsicField));
  QCOMPARE(Column.Bsic.Valid, BsicValid);
  QCOMPARE(int(Column.Cell.Bsic), Bsic);
}

void TestCellReports::IdentityPrefixAfterOtherText() {
  const TCellIdentityReport Report =
      ParseCellIdentityReport(SmoncReply(IdentityFields(), "xx^SMONC: "), {});
  QVERIFY(Report.PrefixFound);
  QCOMPARE(Report.Fields.value(0), QByteArray(": 100"));
  QCOMPARE(Report.Fields.size(), qsizetype(63));
  QVERIFY(Report.Columns);
}

void TestCellReports::IdentityEmptySlots_data() {
  QTest::addColumn<QByteArray>("Slot");
  QTest::addColumn<bool>("Empty");
  QTest::addColumn<QString>("Bsic");
  QTest::addColumn<QString>("CellId");
  QTest::newRow("zeros") << QByteArray("000,00,0000,0000,00,0,0,0,0") << true << ""
                         << "";
  QTest::newRow("zeros, C1 and C2 unknown")
      << QByteArray("000,00,0000,0000,00,0,0,-,-") << true << ""
      << "";
  QTest::newRow("cell id not decoded is still a cell")
      << QByteArray("232,03,3010,0000,36,88,26,18,18") << false << "36"
      << "0";
  QTest::newRow("country 0 on a channel")
      << QByteArray("000,00,0000,0000,00,88,0,0,0") << false << "00"
      << "0";
  QTest::newRow("channel 0 in a country")
      << QByteArray("232,00,0000,0000,00,0,0,0,0") << false << "00"
      << "0";
}

// An empty slot used to show BSIC "00" and cell id "0", like a real cell called 0.
void TestCellReports::IdentityEmptySlots() {
  QFETCH(QByteArray, Slot);
  QFETCH(bool, Empty);
  QFETCH(QString, Bsic);
  QFETCH(QString, CellId);
  QList<QByteArray> Fields = IdentityFields();
  const QList<QByteArray> SlotFields = Slot.split(',');
  for (int J = 0; J < 9; ++J) Fields[9 * 6 + J] = SlotFields[J];
  std::array<TCellInfo, 7> Previous{};
  Previous[6].Bsic = 55;
  Previous[6].CellId = 66;
  Previous[6].Channel = 77;
  const TCellIdentityReport Report = ParseCellIdentityReport(SmoncReply(Fields), Previous);
  QVERIFY(Report.Columns);
  const TIdentityColumnView& Column = (*Report.Columns)[6];
  QCOMPARE(Column.Bsic.Text, Bsic);
  QCOMPARE(Column.CellId.Text, CellId);
  QVERIFY(Column.Bsic.Valid);
  QVERIFY(Column.CellId.Valid);
  QCOMPARE(int(Column.Cell.Bsic), Bsic.toInt());
  QCOMPARE(Column.Cell.CellId, std::uint16_t(0));
  QCOMPARE(Column.Cell.Channel, std::int16_t(77));
  QCOMPARE(Column.Bsic.Text.isEmpty(), Empty);
  // The other slots are read as ever.
  QCOMPARE((*Report.Columns)[5].Bsic.Text, QStringLiteral("149"));
}

namespace {

QString Marked(const TCellText& Text) {
  return Text.Text + (Text.Valid ? QString() : QStringLiteral("!"));
}

// What a report shows, in one comparable text; a red cell carries "!".
QString Describe(const std::optional<TServingCellView>& View) {
  if (!View) return QStringLiteral("refused");
  return QStringLiteral("%1|%2|%3|bar %4|rx %5|c1 %6|pwr %7|plmn %8|lac %9")
      .arg(Marked(View->Channel), Marked(View->Band), Marked(View->Level))
      .arg(View->Bar.Position)
      .arg(View->RxLev, View->C1, View->Pwr, View->Plmn, View->Lac);
}

QString Describe(const std::optional<std::vector<TNeighbourColumnView>>& Columns) {
  if (!Columns) return QStringLiteral("refused");
  QStringList Parts;
  for (const TNeighbourColumnView& C : *Columns)
    Parts << QStringLiteral("%1/%2/%3/%4")
                 .arg(Marked(C.Channel), Marked(C.Band), Marked(C.Level))
                 .arg(C.Bar.Position);
  return Parts.join(u';');
}

QString Describe(const TCellIdentityReport& Report) {
  if (!Report.Columns) return QStringLiteral("refused");
  QStringList Parts;
  for (const TIdentityColumnView& C : *Report.Columns)
    Parts << Marked(C.Bsic) + u'/' + Marked(C.CellId);
  return Parts.join(u';');
}

QString DescribeReply(const QString& Name, const TLines& Lines) {
  const std::array<TCellInfo, 7> Previous{};
  if (Name.startsWith(QLatin1String("moni-")))
    return Describe(ParseServingCellReport(Lines, Previous[0]));
  if (Name.startsWith(QLatin1String("monp-")))
    return Describe(ParseNeighbourCellReport(Lines, Previous));
  return Describe(ParseCellIdentityReport(Lines, Previous));
}

}  // namespace

void TestCellReports::RealReplies_data() {
  QTest::addColumn<QString>("Name");
  QTest::addColumn<QByteArray>("Reply");
  QTest::addColumn<QString>("Shown");

  const QString Camping =
      QStringLiteral("1013|E|  -71|bar -71|rx  -105|c1   33|pwr   33|plmn 101|lac 4097");
  const QString Dedicated =
      QStringLiteral("1013|E|  -76|bar -76|rx  -105|c1   33|pwr   33|plmn 101|lac 4097");
  const QString Searching = QStringLiteral("Sear!|-!|g!|bar -114|rx -|c1 -|pwr -|plmn -|lac -");
  const std::map<QString, QString> Expected{
      {"moni-a-camping.txt", Camping},
      {"moni-a-dedicated.txt", Dedicated},
      {"moni-a-limited-service.txt",
       " 477|-!|  -71|bar -71|rx  -105|c1   33|pwr   33|plmn 123456|lac 41251"},
      {"moni-a-reselection.txt",
       "1013|E| -106|bar -106|rx  -105|c1   -1|pwr   33|plmn 101|lac 4097"},
      {"moni-a-searching.txt", Searching},
      {"moni-b-camping.txt", Camping},
      {"moni-b-dedicated.txt", Dedicated},
      {"moni-b-searching.txt", Searching},
      {"monp-six.txt",
       " 653|1800|  -84|-84; 660|1800|  -90|-90; 687|1800|  -91|-91; 678|1800|  -96|-96;"
       " 671|1800|  -96|-96; 643|1800| -100|-100"},
      {"smonc-seven.txt", "32/20143;36/0;32/20163;34/19418;32/0;35/192;32/0"}};

  const QDir Dir(QStringLiteral(VANTREL_REPLIES_DIR "/monitor"));
  const QStringList Names = Dir.entryList(QDir::Files, QDir::Name);
  QVERIFY(!Names.isEmpty());
  for (const QString& Name : Names) {
    // A reply added to the collection needs its expected view here.
    QVERIFY2(Expected.count(Name), qPrintable(Name));
    QString Shown = Expected.at(Name);
    Shown.replace(u'|', u'/');
    const QByteArray Reply = RealReply(Name);
    QTest::addRow("%s", qPrintable(Name)) << Name << Reply << Shown;
    // Unsolicited result codes before the reply, inside it and after it change nothing.
    QTest::addRow("%s, RING first", qPrintable(Name)) << Name << "\r\nRING\r\n" + Reply << Shown;
    QByteArray Inside = Reply;
    Inside.insert(Reply.indexOf("\r\n", 2) + 2,
                  "+CREG: 1,\"1001\",\"0103\"\r\n+CMTI: \"SM\",3\r\n");
    QTest::addRow("%s, codes inside", qPrintable(Name)) << Name << Inside << Shown;
    QTest::addRow("%s, code after", qPrintable(Name)) << Name << Reply + "\r\n+CGREG: 1\r\n"
                                                      << Shown;
  }
}

void TestCellReports::RealReplies() {
  QFETCH(QString, Name);
  QFETCH(QByteArray, Reply);
  QFETCH(QString, Shown);
  QString Got = DescribeReply(Name, SplitReplyLines(Reply));
  Got.replace(u'|', u'/');
  QCOMPARE(Got, Shown);
}

QTEST_MAIN(TestCellReports)
#include "tst_cellreports.moc"
