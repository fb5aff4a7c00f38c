#include <QTest>

#include "LogOptions.h"
#include "core/DriveRecord.h"
#include "core/RecordExport.h"

namespace {

TDriveRecord FullRecord() {
  TDriveRecord R;
  R.Time = QDateTime(QDate(2026, 12, 9), QTime(17, 6, 22, 123), Qt::OffsetFromUTC, 3600);
  R.Imsi = QStringLiteral("262073912345678");
  R.Reports = QStringLiteral("AT^MONI");
  R.Serving = {QStringLiteral("E"),  QStringLiteral("1013"),  QStringLiteral("-71"),
               QStringLiteral("34"), QStringLiteral("34215"), QStringLiteral("GSM")};
  R.RxLev = QStringLiteral("-105");
  R.C1 = QStringLiteral("33");
  R.Pwr = QStringLiteral("33");
  R.Plmn = QStringLiteral("26207");
  R.Lac = QStringLiteral("20205");
  for (int I = 0; I < 6; ++I)
    R.Neighbours << TRecordCell{QStringLiteral("900"),     QString::number(10 + I),
                                QString::number(-80 - I),  QStringLiteral("0%1").arg(I),
                                QString::number(1000 + I), QStringLiteral("GSM")};
  return R;
}

// A Quectel module on LTE hearing an LTE neighbour and a UMTS one.
TDriveRecord LteRecord() {
  TDriveRecord R = FullRecord();
  R.Reports = QStringLiteral("AT+QENG");
  R.Serving = {"B20", "6300", "-104", "188", "26345485", "LTE"};
  R.RxLev.clear();
  R.C1.clear();
  R.Pwr.clear();
  R.Lac = QStringLiteral("1539");
  R.Quality = QStringLiteral("-9");
  R.Sinr = QStringLiteral("11");
  R.Rssi = QStringLiteral("-78");
  R.Neighbours = {{"B3", "1250", "-88", "77", "", "LTE"},
                  {"B1", "10713", "-91", "300", "", "UMTS"}};
  return R;
}

}  // namespace

class TestDriveRecord : public QObject {
  Q_OBJECT
 private slots:
  void timeText_data();
  void timeText();
  void roundTrip_data();
  void roundTrip();
  void csvShape();
  void csvNeverWritesAFormula();
  void previousVersionStillReads();
  void jsonFieldsAreNamedAndTyped();
  void onlyWholeLinesAreRead_data();
  void onlyWholeLinesAreRead();
  void duration_data();
  void duration();
  void options_data();
  void options();
};

void TestDriveRecord::timeText_data() {
  QTest::addColumn<QDateTime>("time");
  QTest::addColumn<QString>("text");
  const QDate D(2026, 12, 9);
  const QTime T(17, 6, 22, 5);
  QTest::newRow("utc") << QDateTime(D, T, Qt::OffsetFromUTC, 0) << "2026-12-09T17:06:22.005+00:00";
  QTest::newRow("east") << QDateTime(D, T, Qt::OffsetFromUTC, 5 * 3600 + 1800)
                        << "2026-12-09T17:06:22.005+05:30";
  QTest::newRow("west") << QDateTime(D, T, Qt::OffsetFromUTC, -3 * 3600)
                        << "2026-12-09T17:06:22.005-03:00";
}

void TestDriveRecord::timeText() {
  QFETCH(QDateTime, time);
  QFETCH(QString, text);
  QCOMPARE(RecordTimeText(time), text);
  QCOMPARE(QDateTime::fromString(text, Qt::ISODateWithMs), time);
}

void TestDriveRecord::roundTrip_data() {
  QTest::addColumn<TDriveRecord>("record");
  QTest::newRow("six neighbours") << FullRecord();
  TDriveRecord None = FullRecord();
  None.Neighbours.clear();
  QTest::newRow("no neighbour") << None;
  TDriveRecord Two = FullRecord();
  Two.Neighbours.resize(2);
  Two.Neighbours[1].Bsic.clear();
  Two.Neighbours[1].CellId.clear();
  QTest::newRow("two, one without identity") << Two;
  TDriveRecord Odd = FullRecord();
  Odd.Serving.Channel = QStringLiteral("ch,an\"n");  // a cut that did not parse, as shown
  Odd.Serving.Level = QStringLiteral(" dBm");
  Odd.RxLev.clear();
  Odd.C1 = QStringLiteral("-");
  Odd.Imsi = QStringLiteral("=cmd|' /C calc'!A0");
  Odd.Plmn = QStringLiteral("310260");
  QTest::newRow("texts that need quoting") << Odd;
  TDriveRecord Empty;
  Empty.Time = QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::OffsetFromUTC, 0);
  QTest::newRow("nothing read") << Empty;
  TDriveRecord Placed = FullRecord();
  Placed.Position = TRecordPosition{"2026-12-09T16:06:21.000Z",
                                    "-33.8688000",
                                    "151.2093000",
                                    "-3.5",
                                    "4.3",
                                    "8.34",
                                    "87.4",
                                    "3",
                                    "120"};
  QTest::newRow("placed south and east") << Placed;
  Placed.Position = TRecordPosition{"", "52.5200083", "-0.1200000", "", "", "", "", "2", "2999"};
  QTest::newRow("2D fix without time") << Placed;
  QTest::newRow("LTE with a UMTS neighbour") << LteRecord();
  TDriveRecord Searching = LteRecord();
  Searching.Serving = {};
  Searching.Neighbours.clear();
  Searching.Quality = Searching.Sinr = Searching.Rssi = Searching.Lac = QString();
  QTest::newRow("searching") << Searching;
}

void TestDriveRecord::roundTrip() {
  QFETCH(TDriveRecord, record);
  const TCsvColumns Placed{true};
  const QList<TDriveRecord> FromCsv = ReadDriveRecords(CsvHeader(Placed) + CsvRow(record, Placed));
  QCOMPARE(FromCsv.size(), 1);
  QCOMPARE(FromCsv.first(), record);
  // A file recorded without positions has none of their columns, and reads as it always did.
  TDriveRecord Unplaced = record;
  Unplaced.Position.reset();
  QCOMPARE(ReadDriveRecords(CsvHeader() + CsvRow(record)).value(0), Unplaced);
  QVERIFY(!CsvHeader().contains("latitude"));
  const QList<TDriveRecord> FromJson = ReadDriveRecords(JsonLine(record) + JsonLine(record));
  QCOMPARE(FromJson.size(), 2);
  QCOMPARE(FromJson.last(), record);
}

void TestDriveRecord::csvShape() {
  const QByteArray Header = CsvHeader();
  QVERIFY(Header.endsWith('\n'));
  const QStringList Names = SplitCsvLine(Header).value();
  QCOMPARE(Names.size(), 2 + 10 + 6 * 5 + 1 + 4 + 6);
  QCOMPARE(Names.mid(0, 5),
           (QStringList{"time", "imsi", "serving_band", "serving_channel", "serving_level_dbm"}));
  QCOMPARE(Names.at(12), QStringLiteral("n1_band"));
  QCOMPARE(Names.at(41), QStringLiteral("n6_cell_id"));
  // The technology columns came later: after the reports column, before any position.
  QCOMPARE(Names.mid(42, 6), (QStringList{"reports", "serving_technology", "quality_db", "sinr_db",
                                          "rssi_dbm", "n1_technology"}));
  QCOMPARE(Names.last(), QStringLiteral("n6_technology"));
  QCOMPARE(SplitCsvLine(CsvHeader({true})).value().mid(0, Names.size()), Names);
  TDriveRecord Two = LteRecord();
  const QStringList Row = SplitCsvLine(CsvRow(Two)).value();
  QCOMPARE(Row.size(), Names.size());
  QCOMPARE(Row.at(Names.indexOf("n2_channel")), QStringLiteral("10713"));
  QCOMPARE(Row.at(Names.indexOf("n2_technology")), QStringLiteral("UMTS"));
  QCOMPARE(Row.at(Names.indexOf("n3_channel")), QString());
  QCOMPARE(Row.at(Names.indexOf("n3_technology")), QString());
  QCOMPARE(Row.at(Names.indexOf("lac")), QStringLiteral("1539"));
  QCOMPARE(Row.at(Names.indexOf("quality_db")), QStringLiteral("-9"));
}

// Records written before cells had a technology: read as they were, their cells GSM cells.
void TestDriveRecord::previousVersionStillReads() {
  const QByteArray Row =
      "2026-12-09T17:06:22.123+01:00,262073912345678,E,1013,-71,-105,33,33,26207,20205,34,34215,"
      "900,10,-80,00,1000,900,11,-81,01,1001,900,12,-82,02,1002,900,13,-83,03,1003,900,14,-84,04,"
      "1004,900,15,-85,05,1005,AT^MONI";
  const QByteArray Json =
      R"({"imsi":"262073912345678","neighbours":[{"band":"900","bsic":"00","cell_id":1000,)"
      R"("channel":10,"level_dbm":-80}],"reports":"AT^MONI","serving":{"band":"E","bsic":"34",)"
      R"("c1":33,"cell_id":34215,"channel":1013,"lac":20205,"level_dbm":-71,"plmn":"26207",)"
      R"("pwr":33,"rxlev":-105},"time":"2026-12-09T17:06:22.123+01:00"})";
  TDriveRecord Want = FullRecord();
  Want.Serving.Technology.clear();
  for (TRecordCell& Cell : Want.Neighbours) Cell.Technology.clear();
  QCOMPARE(ParseCsvRow(Row), std::optional(Want));
  TDriveRecord Placed = Want;
  Placed.Position = TRecordPosition{"", "52.5200083", "13.4049540", "", "", "", "", "2", "120"};
  QCOMPARE(ParseCsvRow(Row + ",,52.5200083,13.4049540,,,,,2,120"), std::optional(Placed));
  Want.Neighbours.resize(1);
  QCOMPARE(ParseJsonLine(Json), std::optional(Want));
  QCOMPARE(CellTechnology(Want, Want.Serving), QStringLiteral("GSM"));
  QCOMPARE(CellTechnology(Want, Want.Neighbours[0]), QStringLiteral("GSM"));
  // One column short or over is no record of either shape.
  QVERIFY(!ParseCsvRow(Row + ",LTE"));
  QVERIFY(!ParseCsvRow(Row.left(Row.lastIndexOf(','))));
}

void TestDriveRecord::csvNeverWritesAFormula() {
  TDriveRecord R = FullRecord();
  R.Imsi = QStringLiteral("=HYPERLINK(\"x\")");
  R.Plmn = QStringLiteral("+1");
  R.Lac = QStringLiteral("@SUM(A1)");
  const QStringList Row = SplitCsvLine(CsvRow(R)).value();
  for (const QString& Field : Row)
    QVERIFY2(Field.isEmpty() || !QStringLiteral("=+@").contains(Field.front()), qPrintable(Field));
  QCOMPARE(Row.at(4), QStringLiteral("-71"));  // negative levels stay numbers
}

void TestDriveRecord::jsonFieldsAreNamedAndTyped() {
  TDriveRecord R = FullRecord();
  R.Neighbours.resize(1);
  R.C1 = QStringLiteral("-");
  const QByteArray Line = JsonLine(R);
  QVERIFY(Line.endsWith('\n'));
  QCOMPARE(Line.count('\n'), 1);
  QVERIFY(Line.contains("\"channel\":1013"));
  QVERIFY(Line.contains("\"level_dbm\":-71"));
  QVERIFY(Line.contains("\"plmn\":\"26207\""));
  QVERIFY(Line.contains("\"c1\":\"-\""));
  QVERIFY(Line.contains("\"bsic\":\"00\""));  // as the modem printed it
  QVERIFY(Line.contains("\"neighbours\":[{"));
  QCOMPARE(Line.count("\"band\""), 2);
}

void TestDriveRecord::onlyWholeLinesAreRead_data() {
  QTest::addColumn<QByteArray>("text");
  QTest::addColumn<int>("records");
  QTest::addColumn<int>("badLine");  // the line the strict reader refuses; 0: none
  const QByteArray Csv = CsvHeader() + CsvRow(FullRecord());
  const QByteArray Json = JsonLine(FullRecord());
  QTest::newRow("csv whole") << Csv + CsvRow(FullRecord()) << 2 << 0;
  QTest::newRow("csv cut in the last row") << Csv + CsvRow(FullRecord()).chopped(3) << 1 << 0;
  QTest::newRow("csv last row unterminated") << Csv + CsvRow(FullRecord()).chopped(1) << 1 << 0;
  QTest::newRow("csv with blank lines") << Csv + "\n\r\n" + CsvRow(FullRecord()) << 2 << 0;
  QTest::newRow("csv row missing fields") << Csv + "2026-12-09T17:06:22.123+01:00,1,2\n" << 1 << 3;
  QTest::newRow("csv bad time") << Csv + CsvRow(FullRecord()).replace("2026-", "x026-") << 1 << 3;
  QTest::newRow("jsonl cut") << Json + Json.chopped(10) << 1 << 0;
  QTest::newRow("jsonl garbage line") << Json + "{\"time\":5}\n" + Json << 2 << 2;
  QTest::newRow("empty") << QByteArray() << 0 << 0;
  const QByteArray Placed = CsvHeader({true}) + CsvRow(FullRecord(), {true});
  QTest::newRow("csv with empty position columns")
      << Placed + Placed.mid(Placed.indexOf('\n') + 1) << 2 << 0;
  QTest::newRow("csv latitude out of range")
      << Placed + CsvRow(FullRecord(), {true}).replace(",,,,,,,,,\n", ",,91.0,1.0,,,,,2,5\n") << 1
      << 3;
  QTest::newRow("jsonl position not an object")
      << Json + QByteArray(Json).replace("\"time\"", "\"position\":7,\"time\"") << 1 << 2;
}

void TestDriveRecord::onlyWholeLinesAreRead() {
  QFETCH(QByteArray, text);
  QFETCH(int, records);
  QFETCH(int, badLine);
  QString Error;
  const QList<TDriveRecord> Read = ReadDriveRecords(text, &Error);
  QCOMPARE(Read.size(), records);
  QCOMPARE(Error.isEmpty(), records > 0);
  for (const TDriveRecord& R : Read) QCOMPARE(R, FullRecord());
  // The exports read strictly: a bad line is named, only an unterminated last one is let go.
  Error.clear();
  const auto Strict = ReadDriveRecordsStrictly(text, Error);
  QCOMPARE(Strict.has_value(), badLine == 0);
  if (Strict)
    QCOMPARE(Strict->size(), records);
  else
    QCOMPARE(Error.section(QLatin1Char(' '), 0, 1), QStringLiteral("line %1").arg(badLine));
}

void TestDriveRecord::duration_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<qint64>("ms");  // -1: refused
  QTest::newRow("bare seconds") << "90" << qint64(90000);
  QTest::newRow("seconds") << "45s" << qint64(45000);
  QTest::newRow("milliseconds") << "1500ms" << qint64(1500);
  QTest::newRow("minutes") << "10m" << qint64(600000);
  QTest::newRow("hours and minutes") << "1h30m" << qint64(5400000);
  QTest::newRow("blanks around") << " 2h " << qint64(7200000);
  QTest::newRow("zero") << "0m" << qint64(-1);
  QTest::newRow("empty") << "" << qint64(-1);
  QTest::newRow("unit only") << "m" << qint64(-1);
  QTest::newRow("unknown unit") << "3d" << qint64(-1);
  QTest::newRow("negative") << "-5m" << qint64(-1);
  QTest::newRow("trailing bare number") << "1h30" << qint64(-1);
  QTest::newRow("too long") << "99999999999h" << qint64(-1);
}

void TestDriveRecord::duration() {
  QFETCH(QString, text);
  QFETCH(qint64, ms);
  QCOMPARE(ParseDuration(text).value_or(-1), ms);
}

void TestDriveRecord::options_data() {
  QTest::addColumn<QStringList>("args");
  QTest::addColumn<bool>("ok");
  QTest::addColumn<QString>("check");  // what a successful parse must give, as "key=value"
  QTest::newRow("defaults") << QStringList{} << true
                            << "port=\\\\.\\COM1 rate=19200 "
                               "interval=1100 format=csv";
  QTest::newRow("all set") << QStringList{"--port",     "/dev/ttyUSB2", "--rate",   "115200",
                                          "--interval", "500",          "--cycles", "20",
                                          "--duration", "10m",          "--output", "d.csv"}
                           << true
                           << "port=/dev/ttyUSB2 rate=115200 interval=500 cycles=20 "
                              "duration=600000 format=csv output=d.csv";
  QTest::newRow("jsonl file") << QStringList{"--output", "drive.JSONL"} << true << "format=jsonl";
  QTest::newRow("format beats the name")
      << QStringList{"--output", "d.csv", "--format", "jsonl"} << true << "format=jsonl";
  QTest::newRow("help") << QStringList{"--help"} << true << "help=1";
  QTest::newRow("version") << QStringList{"--version"} << true << "version=1";
  QTest::newRow("unknown option") << QStringList{"--colour"} << false << "";
  QTest::newRow("missing value") << QStringList{"--cycles"} << false << "";
  QTest::newRow("zero cycles") << QStringList{"--cycles", "0"} << false << "";
  QTest::newRow("rate not a number") << QStringList{"--rate", "fast"} << false << "";
  QTest::newRow("bad format") << QStringList{"--format", "xml"} << false << "";
  QTest::newRow("bad duration") << QStringList{"--duration", "soon"} << false << "";
  QTest::newRow("stray argument") << QStringList{"COM1"} << false << "";
  QTest::newRow("empty port") << QStringList{"--port", ""} << false << "";
  QTest::newRow("no gps") << QStringList{} << true << "gps=none";
  QTest::newRow("gps alone") << QStringList{"--gps"} << true << "gps=localhost:2947";
  QTest::newRow("gps before an option")
      << QStringList{"--gps", "--cycles", "2"} << true << "gps=localhost:2947 cycles=2";
  QTest::newRow("gps host:port") << QStringList{"--gps", "pi.local:3000"} << true
                                 << "gps=pi.local:3000";
  QTest::newRow("gps =host") << QStringList{"--gps=10.0.0.2"} << true << "gps=10.0.0.2:2947";
  QTest::newRow("gps ipv6") << QStringList{"--gps", "[::1]:2948"} << true << "gps=::1:2948";
  QTest::newRow("gps port only") << QStringList{"--gps", ":2948"} << true << "gps=localhost:2948";
  QTest::newRow("gps bad port") << QStringList{"--gps", "host:99999"} << false << "";
  QTest::newRow("gps empty port") << QStringList{"--gps", "host:"} << false << "";
}

void TestDriveRecord::options() {
  QFETCH(QStringList, args);
  QFETCH(bool, ok);
  QFETCH(QString, check);
  TLogOptions O;
  const QString Error = ParseLogOptions(QStringList{"vantrel-log"} + args, O);
  QCOMPARE(Error.isEmpty(), ok);
  if (!ok) return;
  for (const QString& Pair : check.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
    const QString Key = Pair.section(QLatin1Char('='), 0, 0);
    const QString Want = Pair.section(QLatin1Char('='), 1);
    const QString Got =
        Key == "port"       ? O.Port
        : Key == "rate"     ? QString::number(O.Rate)
        : Key == "interval" ? QString::number(O.IntervalMs)
        : Key == "cycles"   ? QString::number(O.Cycles.value_or(-1))
        : Key == "duration" ? QString::number(O.DurationMs.value_or(-1))
        : Key == "format"   ? QString(O.Format == TRecordFormat::rfCsv ? "csv" : "jsonl")
        : Key == "output"   ? O.Output
        : Key == "help"     ? QString::number(O.Help)
        : Key == "gps"
            ? (O.Gps ? O.Gps->Host + ':' + QString::number(O.Gps->Port) : QStringLiteral("none"))
            : QString::number(O.Version);
    QCOMPARE(Got, Want);
  }
}

QTEST_APPLESS_MAIN(TestDriveRecord)
#include "tst_driverecord.moc"
