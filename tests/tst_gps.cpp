// The gpsd client against a fake gpsd on the loopback, and the exports read back by Qt's own
// JSON and XML readers.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>
#include <QXmlStreamReader>

#include "core/GpsClient.h"
#include "core/RecordExport.h"
#include "support/FakeGpsd.h"

using vantrel::test::FakeGpsd;
using vantrel::test::TpvFix;
using vantrel::test::TpvNoFix;

namespace {

// A fix as one line of text, to compare in a table: "mode lat lon alt eph speed track time".
QString Describe(const std::optional<TGpsFix>& Fix) {
  if (!Fix) return QStringLiteral("none");
  const auto N = [](const std::optional<double>& V) {
    return V ? QString::number(*V) : QStringLiteral("-");
  };
  return QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8")
      .arg(Fix->Mode)
      .arg(QString::number(Fix->Latitude, 'g', 12), QString::number(Fix->Longitude, 'g', 12))
      .arg(N(Fix->Altitude), N(Fix->HorizontalError), N(Fix->Speed), N(Fix->Track),
           Fix->Time.isValid() ? Fix->Time.toString(Qt::ISODateWithMs) : QStringLiteral("-"));
}

template <typename F>
bool WaitFor(F Done, int TimeoutMs = 10000) {
  QElapsedTimer T;
  T.start();
  while (!Done()) {
    if (T.elapsed() > TimeoutMs) return false;
    QTest::qWait(10);
  }
  return true;
}

TDriveRecord Record(int Second, const QString& Level, std::optional<TRecordPosition> Position) {
  TDriveRecord R;
  R.Time = QDateTime(QDate(2026, 5, 2), QTime(11, 14, Second, 250), Qt::OffsetFromUTC, 7200);
  R.Imsi = QStringLiteral("262073912345678");
  R.Reports = QStringLiteral("AT^MONI");
  // Written as before cells had a technology: GSM cells.
  R.Serving = {QStringLiteral("900"), QStringLiteral("62"),    Level,
               QStringLiteral("07"),  QStringLiteral("34215"), {}};
  R.Plmn = QStringLiteral("26207");
  R.Lac = QStringLiteral("20205");
  R.Neighbours << TRecordCell{QStringLiteral("900"), QStringLiteral("65"),    QStringLiteral("-88"),
                              QStringLiteral("41"),  QStringLiteral("51471"), {}}
               << TRecordCell{QStringLiteral("E"),
                              QStringLiteral("995"),
                              QStringLiteral("-99"),
                              QString(),
                              QString(),
                              {}};  // heard, but without its identity
  R.Position = std::move(Position);
  return R;
}

// Two placed records around one without a position.
QList<TDriveRecord> Drive() {
  return {Record(5, "-63",
                 TRecordPosition{"2026-05-02T09:14:05.000Z", "52.5200083", "13.4049540", "37.1",
                                 "4.3", "8.34", "87.4", "3", "120"}),
          Record(6, "-77", std::nullopt),
          Record(7, "-108",
                 TRecordPosition{"", "52.5201000", "13.4061000", "", "", "", "", "2", "2900"})};
}

}  // namespace

class TestGps : public QObject {
  Q_OBJECT
 private slots:
  void tpvLines_data();
  void tpvLines();
  void clientKeepsTheLatestFix();
  void clientComesBack();
  void exportsReadBack_data();
  void exportsReadBack();
  void exportsNameTheTechnology_data();
  void exportsNameTheTechnology();
};

void TestGps::tpvLines_data() {
  QTest::addColumn<QByteArray>("line");
  QTest::addColumn<QString>("fix");
  QTest::newRow("3D fix: altMSL first") << TpvFix(52.520008333, 13.404954)
                                        << "3 52.520008333 13.404954 37.1 4.3 8.337 87.4 "
                                           "2024-05-02T09:14:05.000Z";
  QTest::newRow("altHAE without altMSL")
      << QByteArray(R"({"class":"TPV","mode":3,"lat":1.5,"lon":-2.5,"altHAE":81.3,"alt":37})")
      << "3 1.5 -2.5 81.3 - - - -";
  QTest::newRow("old gpsd: alt only")
      << QByteArray(R"({"class":"TPV","mode":3,"lat":1.5,"lon":-2.5,"alt":37})")
      << "3 1.5 -2.5 37 - - - -";
  QTest::newRow("2D fix, time with zone")
      << QByteArray(
             R"({"class":"TPV","mode":2,"time":"2024-05-02T09:14:05Z","lat":-33.8688,"lon":151.2093,"eph":12})")
      << "2 -33.8688 151.2093 - 12 - - 2024-05-02T09:14:05.000Z";
  QTest::newRow("no fix yet") << TpvNoFix << "none";
  QTest::newRow("mode 3 without lat")
      << QByteArray(R"({"class":"TPV","mode":3,"lon":13.4,"time":"2024-05-02T09:14:05.000Z"})")
      << "none";
  QTest::newRow("mode 1 with a stale position")
      << QByteArray(R"({"class":"TPV","mode":1,"lat":52.5,"lon":13.4})") << "none";
  QTest::newRow("lat out of range")
      << QByteArray(R"({"class":"TPV","mode":3,"lat":91,"lon":13.4})") << "none";
  QTest::newRow("lat as text") << QByteArray(R"({"class":"TPV","mode":3,"lat":"52.5","lon":13.4})")
                               << "none";
  QTest::newRow("mode not a mode")
      << QByteArray(R"({"class":"TPV","mode":2.5,"lat":1,"lon":2})") << "none";
  QTest::newRow("bad optional fields are dropped one by one")
      << QByteArray(
             R"({"class":"TPV","mode":3,"lat":1,"lon":2,"speed":-1,"track":"N","eph":5,"time":"2024-05-02T09:14:05"})")
      << "3 1 2 - 5 - - -";
  QTest::newRow("not a TPV") << QByteArray(R"({"class":"SKY","mode":3,"lat":1,"lon":2})") << "none";
  QTest::newRow("broken JSON") << QByteArray(R"({"class":"TPV","mode":3,"lat":1,)") << "none";
}

// Each line through the client as gpsd would send it, after VERSION, in pieces.
void TestGps::tpvLines() {
  QFETCH(QByteArray, line);
  QFETCH(QString, fix);
  QCOMPARE(Describe(ReadGpsdLine(line).Fix), fix);
  FakeGpsd Gpsd;
  Gpsd.Lines = {line};
  Gpsd.Loop = false;
  QVERIFY(Gpsd.Listen());
  TGpsClient Client;
  Client.Start(QStringLiteral("127.0.0.1"), Gpsd.Port());
  QVERIFY(WaitFor([&] { return Client.Reachable() && Gpsd.HasClient(); }));
  QVERIFY(WaitFor([&] { return Client.LastFix().has_value() || fix == "none"; }));
  QTest::qWait(fix == "none" ? 100 : 0);
  QCOMPARE(Describe(Client.LastFix()), fix);
}

void TestGps::clientKeepsTheLatestFix() {
  FakeGpsd Gpsd;
  Gpsd.Lines = {TpvNoFix, TpvFix(52.52, 13.40), TpvFix(52.53, 13.41), TpvNoFix};
  Gpsd.Loop = false;
  Gpsd.IntervalMs = 20;
  QVERIFY(Gpsd.Listen());
  TGpsClient Client;
  QCOMPARE(GpsStatusText(Client.Reachable(), Client.FreshFix(3000)), "gpsd not reachable");
  QCOMPARE(Client.FixAgeMs(), -1);
  Client.Start(QStringLiteral("127.0.0.1"), Gpsd.Port());
  QVERIFY(WaitFor([&] { return Client.Reachable(); }));
  QVERIFY(
      WaitFor([&] { return Gpsd.Received().contains("?WATCH={\"enable\":true,\"json\":true}"); }));
  QVERIFY(WaitFor([&] { return Client.LastFix() && Client.LastFix()->Latitude == 52.53; }));
  QTest::qWait(100);  // the last TPV, without a position, keeps the fix
  QCOMPARE(Client.LastFix()->Longitude, 13.41);
  QCOMPARE(GpsStatusText(Client.Reachable(), Client.FreshFix(3000)), "3D fix, 4 m");
  // Ages on this machine's clock, not by the fix's own time (two years ago here).
  QVERIFY(Client.FixAgeMs() >= 100);
  QVERIFY(Client.FreshFix(3000).has_value());
  QVERIFY(!Client.FreshFix(50).has_value());
  QCOMPARE(GpsStatusText(Client.Reachable(), Client.FreshFix(50)), "no fix");
}

void TestGps::clientComesBack() {
  FakeGpsd Gpsd;
  Gpsd.Lines = {TpvFix(52.52, 13.40)};
  QVERIFY(Gpsd.Listen());
  const quint16 Port = Gpsd.Port();
  TGpsClient Client;
  Client.SetRetryMs(100);
  QSignalSpy Changes(&Client, &TGpsClient::ReachableChanged);
  Client.Start(QStringLiteral("127.0.0.1"), Port);
  QVERIFY(WaitFor([&] { return Client.LastFix().has_value(); }));
  Gpsd.Close();
  QVERIFY(WaitFor([&] { return !Client.Reachable(); }));
  QTest::qWait(300);  // a few attempts on a closed port
  FakeGpsd Again;
  Again.Lines = {TpvFix(48.1, 11.5)};
  QVERIFY(Again.Listen(Port));
  QVERIFY(WaitFor([&] { return Client.LastFix() && Client.LastFix()->Latitude == 48.1; }));
  QVERIFY(Client.Reachable());
  QCOMPARE(Changes.size(), 3);  // reached, gone, back: each told once
}

void TestGps::exportsReadBack_data() {
  QTest::addColumn<QString>("format");
  QTest::newRow("geojson") << "geojson";
  QTest::newRow("kml") << "kml";
  QTest::newRow("geosubmit") << "geosubmit";
}

// What a map or a cell database reads from the export: one entry per placed record, at its
// coordinates, with its cells; never the IMSI.
void TestGps::exportsReadBack() {
  QFETCH(QString, format);
  const TExport E = ExportRecords(Drive(), ExportFormatNamed(format).value());
  QCOMPARE(E.Placed, 2);
  QCOMPARE(E.Skipped, 1);
  QVERIFY(!E.Text.contains("262073912345678"));
  if (format == "kml") {
    QXmlStreamReader Xml(E.Text);
    QStringList Points, Styles, Lines;
    QString Description;
    while (!Xml.atEnd()) {
      Xml.readNext();
      if (!Xml.isStartElement()) continue;
      if (Xml.name() == u"description" && Description.isEmpty())
        Description = Xml.readElementText();
      else if (Xml.name() == u"styleUrl")
        Styles << Xml.readElementText();
      else if (Xml.name() == u"Point") {
        Xml.readNextStartElement();
        Points << Xml.readElementText();
      } else if (Xml.name() == u"LineString") {
        while (Xml.readNextStartElement() && Xml.name() != u"coordinates") Xml.skipCurrentElement();
        Lines << Xml.readElementText();
      }
    }
    QVERIFY2(!Xml.hasError(), qPrintable(Xml.errorString()));
    QCOMPARE(Points, QStringList({"13.4049540,52.5200083,37.1", "13.4061000,52.5201000"}));
    QCOMPARE(Styles, QStringList({"#level-1", "#level-5", "#track"}));
    QCOMPARE(Lines, QStringList{Points.join(' ')});
    QVERIFY(Description.contains("-106 dBm and weaker"));
    return;
  }
  QJsonParseError Error{};
  const QJsonObject Doc = QJsonDocument::fromJson(E.Text, &Error).object();
  QCOMPARE(Error.error, QJsonParseError::NoError);
  if (format == "geojson") {
    QCOMPARE(Doc["type"].toString(), "FeatureCollection");
    const QJsonArray Features = Doc["features"].toArray();
    QCOMPARE(Features.size(), 2);
    const QJsonObject First = Features[0].toObject();
    QCOMPARE(First["geometry"]["type"].toString(), "Point");
    QCOMPARE(First["geometry"]["coordinates"].toArray(), QJsonArray({13.404954, 52.5200083, 37.1}));
    QCOMPARE(Features[1]["geometry"]["coordinates"].toArray().size(), 2);
    const QJsonObject P = First["properties"].toObject();
    QCOMPARE(P["time"].toString(), "2026-05-02T11:14:05.250+02:00");
    QCOMPARE(P["technology"].toString(), "GSM");
    QCOMPARE(P["channel"].toInt(), 62);
    QCOMPARE(P["level_dbm"].toInt(), -63);
    QCOMPARE(P["plmn"].toString(), "26207");
    QCOMPARE(P["lac"].toInt(), 20205);
    QCOMPARE(P["cell_id"].toInt(), 34215);
    QCOMPARE(P["bsic"].toString(), "07");
    QCOMPARE(P["neighbours"].toArray().size(), 2);
    QCOMPARE(P["neighbours"][0]["cell_id"].toInt(), 51471);
    return;
  }
  const QJsonArray Items = Doc["items"].toArray();
  QCOMPARE(Items.size(), 2);
  const QJsonObject Item = Items[0].toObject();
  QCOMPARE(
      Item["timestamp"].toInteger(),
      QDateTime::fromString("2026-05-02T09:14:05.250Z", Qt::ISODateWithMs).toMSecsSinceEpoch());
  QCOMPARE(Item["position"].toObject(), QJsonObject({{"latitude", 52.5200083},
                                                     {"longitude", 13.404954},
                                                     {"accuracy", 4.3},
                                                     {"altitude", 37.1},
                                                     {"heading", 87.4},
                                                     {"speed", 8.34},
                                                     {"source", "gps"}}));
  // The serving cell and the one neighbour with an identity; its area code is not known.
  const QJsonArray Towers = Item["cellTowers"].toArray();
  QCOMPARE(Towers.size(), 2);
  QCOMPARE(Towers[0].toObject(), QJsonObject({{"radioType", "gsm"},
                                              {"mobileCountryCode", 262},
                                              {"mobileNetworkCode", 7},
                                              {"locationAreaCode", 20205},
                                              {"cellId", 34215},
                                              {"signalStrength", -63},
                                              {"serving", 1}}));
  QCOMPARE(Towers[1]["cellId"].toInt(), 51471);
  QCOMPARE(Towers[1]["serving"].toInt(), 0);
  QVERIFY(!Towers[1].toObject().contains("locationAreaCode"));
  QCOMPARE(Items[1]["position"].toObject().keys(),
           QStringList({"latitude", "longitude", "source"}));
}

void TestGps::exportsNameTheTechnology_data() {
  QTest::addColumn<TDriveRecord>("record");
  QTest::addColumn<QString>("towers");    // each tower: radio type, short id key=value, cell id
  QTest::addColumn<QString>("features");  // the serving cell's technology, short id and area
  TDriveRecord Lte =
      Record(5, "-104", TRecordPosition{"", "52.52", "13.40", "", "", "", "", "2", "100"});
  Lte.Reports = QStringLiteral("AT+QENG");
  Lte.Serving = {"B20", "6300", "-104", "188", "26345485", "LTE"};
  Lte.Lac = QStringLiteral("1539");
  Lte.Neighbours = {{"B3", "1250", "-88", "77", "", "LTE"},
                    {"B1", "10713", "-91", "300", "", "UMTS"}};
  QTest::newRow("LTE with a UMTS neighbour")
      << Lte
      << "lte physicalCellId=188 26345485|lte physicalCellId=77 -|wcdma "
         "primaryScramblingCode=300 -"
      << "LTE pci=188 tac=1539|LTE|UMTS psc=300";
  TDriveRecord Umts = Lte;
  Umts.Serving = {"B8", "3037", "-94", "95", "987654", "UMTS"};
  Umts.Neighbours = {{"B8", "3037", "-99", "100", "", ""}};  // of the serving cell's technology
  QTest::newRow("UMTS") << Umts
                        << "wcdma primaryScramblingCode=95 987654|wcdma "
                           "primaryScramblingCode=100 -"
                        << "UMTS psc=95 lac=1539|UMTS psc=100";
  QTest::newRow("recorded before technologies") << Drive().first() << "gsm - 34215|gsm - 51471"
                                                << "GSM bsic=07 lac=20205|GSM|GSM";
}

// A cell database files a tower under its radio type and the identity that type carries; a map
// names the serving cell's fields as its technology does.
void TestGps::exportsNameTheTechnology() {
  QFETCH(TDriveRecord, record);
  QFETCH(QString, towers);
  QFETCH(QString, features);
  const QJsonObject Submit =
      QJsonDocument::fromJson(ExportRecords({record}, TExportFormat::efGeoSubmit).Text).object();
  QStringList Towers;
  for (const QJsonValue& T : Submit["items"][0]["cellTowers"].toArray()) {
    const QJsonObject O = T.toObject();
    QString Short = QStringLiteral("-");
    for (const char* Key : {"primaryScramblingCode", "physicalCellId"})
      if (O.contains(QLatin1String(Key)))
        Short = QStringLiteral("%1=%2").arg(Key).arg(O[Key].toInt());
    Towers << QStringLiteral("%1 %2 %3")
                  .arg(O["radioType"].toString(), Short,
                       O.contains("cellId") ? QString::number(O["cellId"].toInteger())
                                            : QStringLiteral("-"));
  }
  QCOMPARE(Towers.join('|'), towers);
  const QJsonObject Map =
      QJsonDocument::fromJson(ExportRecords({record}, TExportFormat::efGeoJson).Text).object();
  const QJsonObject P = Map["features"][0]["properties"].toObject();
  QStringList Cells{QStringLiteral("%1 %2 %3").arg(P["technology"].toString())};
  for (const char* Key : {"bsic", "psc", "pci"})
    if (P.contains(QLatin1String(Key)))
      Cells[0] = Cells[0].arg(QStringLiteral("%1=%2").arg(Key, P[Key].toString()));
  for (const char* Key : {"lac", "tac"})
    if (P.contains(QLatin1String(Key)))
      Cells[0] = Cells[0].arg(QStringLiteral("%1=%2").arg(Key).arg(P[Key].toInt()));
  for (const QJsonValue& N : P["neighbours"].toArray()) {
    QString Cell = N["technology"].toString();
    if (N.toObject().contains("psc")) Cell += " psc=" + N["psc"].toString();
    Cells << Cell;
  }
  QCOMPARE(Cells.join('|'), features);
}

QTEST_GUILESS_MAIN(TestGps)
#include "tst_gps.moc"
