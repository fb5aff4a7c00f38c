#include <QtTest>

#include "app/CellReports.h"
// The window includes both headers, so their names must not clash.
#include "app/LevelBar.h"

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

TLines MoniReply(const QByteArray& Data) {
  return {"Serving Cell", "chann rs  dBm   PLMN  LAC   cell  NCC BCC PWR RXLev  C1", Data, "OK"};
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

  void NeighbourColumnsRead_data();
  void NeighbourColumnsRead();
  void NeighbourRejectsWrongHeader();
  void NeighbourUnparsableCuts();

  void IdentityFieldCount_data();
  void IdentityFieldCount();
  void IdentityPrefixNeeded_data();
  void IdentityPrefixNeeded();
  void IdentityReadsGroups();
  void IdentityDroppedFieldShifts();
  void IdentityValues_data();
  void IdentityValues();
  void IdentityPrefixAfterOtherText();
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

void TestCellReports::NeighbourColumnsRead_data() {
  QTest::addColumn<TLines>("Lines");
  QTest::addColumn<int>("Columns");  // -1: not accepted
  QTest::newRow("two neighbours") << MonpReply(2) << 2;
  QTest::newRow("one neighbour is too few") << MonpReply(1) << -1;
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
  QCOMPARE(int(Result->size()), Columns);
  for (int K = 0; K < Columns; ++K) {
    const TNeighbourColumnView& Column = (*Result)[std::size_t(K)];
    QCOMPARE(int(Column.Cell.Channel), 600 + K);
    QCOMPARE(Column.Cell.Band, TGsmBand::gb1800);
    QCOMPARE(int(Column.Cell.Level), -70 - K);
    QCOMPARE(Column.Level.Text, QString::fromLatin1(QByteArray::number(-70 - K).rightJustified(5)));
    QCOMPARE(Column.Bar.Color, LevelColor(std::int16_t(-70 - K)));
  }
}

void TestCellReports::NeighbourRejectsWrongHeader() {
  TLines Lines = MonpReply(3);
  Lines[0] = "Chann rs dBm";
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
  QCOMPARE(Result->size(), std::size_t(3));
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

QTEST_MAIN(TestCellReports)
#include "tst_cellreports.moc"
