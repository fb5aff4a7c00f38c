// vantrel-log --gps against the simulator and a fake gpsd (or gpsfake, where installed), and
// vantrel-log export of what it recorded, read back by Python's json and xml modules.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "core/DriveRecord.h"
#include "support/FakeGpsd.h"
#include "support/SimProcess.h"

namespace {

using vantrel::test::FakeGpsd;
using vantrel::test::SimProcess;
using vantrel::test::TpvFix;
using vantrel::test::TpvNoFix;

QByteArray ReadAll(const QString& Path) {
  QFile F(Path);
  return F.open(QIODevice::ReadOnly) ? F.readAll() : QByteArray();
}

// Runs the recorder (or its export) to the end while this process's event loop serves the
// fake gpsd; false on a time-out.
bool Run(QProcess& P, const QString& Program, const QStringList& Args, int TimeoutMs = 60000) {
  P.start(Program, Args);
  QElapsedTimer T;
  T.start();
  while (P.state() != QProcess::NotRunning) {
    if (T.elapsed() > TimeoutMs) return false;
    QTest::qWait(20);
  }
  return true;
}
bool RunLog(QProcess& P, const QStringList& Args, int TimeoutMs = 60000) {
  return Run(P, QStringLiteral(VANTREL_LOG_PATH), Args, TimeoutMs);
}

// A port nobody listens on.
quint16 ClosedPort() {
  QTcpServer S;
  S.listen(QHostAddress::LocalHost);
  return S.serverPort();
}

// The fixes the fake gpsd plays: driving east, a few metres a line.
QList<QByteArray> Road() {
  QList<QByteArray> Lines{TpvNoFix};
  for (int I = 0; I < 10; ++I) Lines << TpvFix(52.52 + I * 0.0001, 13.40 + I * 0.0002);
  return Lines;
}

}  // namespace

class TestE2eGps : public QObject {
  Q_OBJECT
 private slots:
  void recordsCarryPositions();
  void exportsParse_data();
  void exportsParse();
  void exportRefusals_data();
  void exportRefusals();
  void staleFixLeavesFieldsEmpty();
  void withoutGpsd();
  void gpsfake();

 private:
  QTemporaryDir FDir;
  QString FDrive;
  QList<TDriveRecord> FRecords;
};

void TestE2eGps::recordsCarryPositions() {
  SimProcess Sim;
  QVERIFY(Sim.start({"--no-link", "--seed", "11"}));
  FakeGpsd Gpsd;
  Gpsd.Lines = Road();
  Gpsd.IntervalMs = 40;
  QVERIFY(Gpsd.Listen());
  FDrive = FDir.filePath(QStringLiteral("drive.csv"));
  QProcess Log;
  QVERIFY(RunLog(Log, {"--port", Sim.slavePath(), "--gps", Gpsd.Address(), "--cycles", "20",
                       "--interval", "50", "--output", FDrive}));
  QCOMPARE(Log.exitCode(), 0);
  FRecords = ReadDriveRecords(ReadAll(FDrive));
  QCOMPARE(FRecords.size(), 20);
  for (const TDriveRecord& R : FRecords) {
    QVERIFY(R.Position.has_value());
    QVERIFY2(Road().join().contains("\"lat\":" + R.Position->Latitude.toLatin1() +
                                    "00,\"lon\":" + R.Position->Longitude.toLatin1() + "00"),
             qPrintable(R.Position->Latitude + ' ' + R.Position->Longitude));
    QCOMPARE(R.Position->Mode, "3");
    QCOMPARE(R.Position->Altitude, "37.1");
    QCOMPARE(R.Position->HorizontalError, "4.3");
    QCOMPARE(R.Position->FixTime, "2024-05-02T09:14:05.000Z");
    QVERIFY(R.Position->AgeMs.toInt() >= 0 && R.Position->AgeMs.toInt() <= 3000);
    QVERIFY(!R.Serving.CellId.isEmpty());
  }
}

void TestE2eGps::exportsParse_data() {
  QTest::addColumn<QString>("format");
  QTest::addColumn<QString>("python");  // prints count, then "lon lat channel cell" of the first
  QTest::newRow("geojson") << "geojson"
                           << "d=json.load(open(sys.argv[1]))\n"
                              "f=d['features']\n"
                              "assert d['type']=='FeatureCollection'\n"
                              "c=f[0]['geometry']['coordinates']; p=f[0]['properties']\n"
                              "print(len(f), c[0], c[1], p['channel'], p['cell_id'])";
  QTest::newRow("kml") << "kml"
                       << "ns={'k':'http://www.opengis.net/kml/2.2'}\n"
                          "d=xml.etree.ElementTree.parse(sys.argv[1]).getroot()\n"
                          "pm=d.findall('.//k:Folder/k:Placemark',ns)\n"
                          "line=d.findall('.//k:LineString/k:coordinates',ns)\n"
                          "assert len(line)==1 and len(line[0].text.split())==len(pm)\n"
                          "c=pm[0].find('k:Point/k:coordinates',ns).text.split(',')\n"
                          "t=pm[0].find('k:description',ns).text\n"
                          "ch=t.split('channel ')[1].split(',')[0]\n"
                          "cell=t.split('cell ')[1].split(',')[0]\n"
                          "print(len(pm), float(c[0]), float(c[1]), ch, cell)";
  QTest::newRow("geosubmit") << "geosubmit"
                             << "d=json.load(open(sys.argv[1]))['items']\n"
                                "p=d[0]['position']; t=d[0]['cellTowers'][0]\n"
                                "assert t['serving']==1 and p['source']=='gps'\n"
                                "print(len(d), p['longitude'], p['latitude'], 'x', t['cellId'])";
}

// The recorded file's exports, one entry per placed record, at the record's place.
void TestE2eGps::exportsParse() {
  QFETCH(QString, format);
  QFETCH(QString, python);
  if (FRecords.isEmpty()) QSKIP("recordsCarryPositions recorded nothing");
  const QString Out = FDir.filePath("drive." + format);
  QProcess Export;
  QVERIFY(RunLog(Export, {"export", "--format", format, "--output", Out, FDrive}));
  QCOMPARE(Export.exitCode(), 0);
  QVERIFY(!ReadAll(Out).contains(FRecords[0].Imsi.toLatin1()));
  QProcess Py;
  QVERIFY(Run(Py, "python3", {"-c", "import json,sys,xml.etree.ElementTree\n" + python, Out}));
  QVERIFY2(Py.exitCode() == 0, Py.readAllStandardError().constData());
  const TDriveRecord& R = FRecords[0];
  const QString Channel = format == "geosubmit" ? "x" : R.Serving.Channel;
  QCOMPARE(QString::fromUtf8(Py.readAllStandardOutput()).trimmed(),
           QStringLiteral("20 %1 %2 %3 %4")
               .arg(R.Position->Longitude.toDouble())
               .arg(R.Position->Latitude.toDouble())
               .arg(Channel, R.Serving.CellId));
}

void TestE2eGps::exportRefusals_data() {
  QTest::addColumn<QByteArray>("record");
  QTest::addColumn<QStringList>("args");
  QTest::addColumn<int>("status");
  QTest::addColumn<QString>("says");
  TDriveRecord R;
  R.Time = QDateTime::currentDateTime();
  R.Position = TRecordPosition{"", "1.0000000", "2.0000000", "", "", "", "", "2", "5"};
  const QByteArray Good = CsvHeader({true}) + CsvRow(R, {true}) + CsvRow(R, {true});
  QTest::newRow("a line that is no record") << Good + "not,a,record\n" + CsvRow(R, {true})
                                            << QStringList{"--format", "kml"} << 1 << "line 4";
  QTest::newRow("unknown format") << Good << QStringList{"--format", "gpx"} << 2
                                  << "geojson, kml or geosubmit";
  QTest::newRow("no format") << Good << QStringList{} << 2 << "--format";
  QTest::newRow("not a record at all")
      << QByteArray("hello") << QStringList{"--format", "kml"} << 1 << "holds no record";
}

// A refused export says why and leaves the file it was to replace as it was.
void TestE2eGps::exportRefusals() {
  QFETCH(QByteArray, record);
  QFETCH(QStringList, args);
  QFETCH(int, status);
  QFETCH(QString, says);
  const QString In = FDir.filePath("refused.csv"), Out = FDir.filePath("kept.out");
  QFile F(In);
  QVERIFY(F.open(QIODevice::WriteOnly | QIODevice::Truncate));
  F.write(record);
  F.close();
  QFile Kept(Out);
  QVERIFY(Kept.open(QIODevice::WriteOnly | QIODevice::Truncate));
  Kept.write("a good export\n");
  Kept.close();
  QProcess Export;
  QVERIFY(RunLog(Export, QStringList{"export"} + args + QStringList{"--output", Out, In}));
  QCOMPARE(Export.exitCode(), status);
  const QString Err = QString::fromLocal8Bit(Export.readAllStandardError());
  QVERIFY2(Err.contains(says), qPrintable(Err));
  QCOMPARE(ReadAll(Out), QByteArray("a good export\n"));
  QCOMPARE(QDir(FDir.path()).entryList({"kept.out*"}, QDir::Files), QStringList{"kept.out"});
}

// One fix, then gpsd loses it: records go on, placed while the fix is at most 3 s old.
void TestE2eGps::staleFixLeavesFieldsEmpty() {
  SimProcess Sim;
  QVERIFY(Sim.start({"--no-link", "--seed", "11"}));
  FakeGpsd Gpsd;
  Gpsd.Lines = {TpvFix(52.52, 13.40), TpvNoFix};
  Gpsd.Loop = false;
  QVERIFY(Gpsd.Listen());
  const QString Path = FDir.filePath(QStringLiteral("stale.jsonl"));
  QProcess Log;
  QVERIFY(RunLog(Log, {"--port", Sim.slavePath(), "--gps", Gpsd.Address(), "--cycles", "5",
                       "--interval", "1000", "--output", Path}));
  const QList<TDriveRecord> Records = ReadDriveRecords(ReadAll(Path));
  QCOMPARE(Records.size(), 5);
  QVERIFY(Records.first().Position.has_value());
  QVERIFY(!Records.last().Position.has_value());
  QVERIFY(!ReadAll(Path).split('\n').last().contains("position"));
  qint64 Age = -1;
  for (qsizetype I = 0; I < Records.size(); ++I) {
    if (!Records[I].Position) {
      QVERIFY(!Records.value(I + 1, Records[I]).Position);  // once stale, stale for good
      continue;
    }
    QVERIFY(Records[I].Position->AgeMs.toLongLong() > Age);
    Age = Records[I].Position->AgeMs.toLongLong();
    QVERIFY(Age <= 3000);
  }
}

void TestE2eGps::withoutGpsd() {
  SimProcess Sim;
  QVERIFY(Sim.start({"--no-link", "--seed", "11"}));
  const QString Path = FDir.filePath(QStringLiteral("nogps.csv"));
  const QString Gps = QStringLiteral("127.0.0.1:%1").arg(ClosedPort());
  const QStringList Args{"--port", Sim.slavePath(), "--gps", Gps,        "--cycles",
                         "3",      "--interval",    "50",    "--output", Path};
  // Under script(1) standard error is a terminal, so the status line is drawn.
  const QString Script = QStandardPaths::findExecutable(QStringLiteral("script"));
  QProcess Log;
  if (Script.isEmpty())
    QVERIFY(RunLog(Log, Args));
  else
    QVERIFY(Run(Log, Script,
                {"-qec", QStringLiteral(VANTREL_LOG_PATH " ") + Args.join(' '), "/dev/null"}));
  QCOMPARE(Log.exitCode(), 0);
  const QByteArray Said = Log.readAllStandardOutput() + Log.readAllStandardError();
  QVERIFY2(Said.contains("gpsd at " + Gps.toLatin1() + " not reachable"), Said.constData());
  const QByteArray Text = ReadAll(Path);
  QVERIFY(Text.startsWith(CsvHeader({true})));
  const QList<TDriveRecord> Records = ReadDriveRecords(Text);
  QCOMPARE(Records.size(), 3);
  for (const TDriveRecord& R : Records) QVERIFY(!R.Position && !R.Serving.CellId.isEmpty());
  // Rows without the position columns would not fit under this file's header.
  QProcess Append;
  QVERIFY(RunLog(Append, {"--port", Sim.slavePath(), "--cycles", "1", "--output", Path}));
  QCOMPARE(Append.exitCode(), 1);
  QVERIFY(Append.readAllStandardError().contains("was recorded with --gps"));
  QCOMPARE(ReadAll(Path), Text);
  if (Script.isEmpty()) QSKIP("script(1) is not installed: the status line was not looked at");
  QVERIFY2(Said.contains("3 records, serving ") && Said.contains("gpsd not reachable\r\n"),
           Said.constData());
}

// A real gpsd, fed NMEA by gpsfake through a pseudo-terminal as from a USB receiver.
void TestE2eGps::gpsfake() {
  const QString Fake = QStandardPaths::findExecutable(QStringLiteral("gpsfake"));
  const QString Daemon = QStandardPaths::findExecutable(QStringLiteral("gpsd"), {"/usr/sbin"});
  if (Fake.isEmpty() || Daemon.isEmpty())
    QSKIP("gpsfake and gpsd (Debian: gpsd, gpsd-clients) are not installed");
  QByteArray Nmea;
  const auto Sentence = [&Nmea](const QByteArray& Body) {
    char Sum = 0;
    for (const char C : Body) Sum ^= C;
    Nmea += '$' + Body + '*' +
            QByteArray::number(quint8(Sum), 16).toUpper().rightJustified(2, '0') + "\r\n";
  };
  for (int I = 0; I < 10; ++I) {
    const QByteArray Time = QByteArray::number(91405 + I).rightJustified(6, '0') + ".00";
    const QByteArray Lat = "5231." + QByteArray::number(2005 + I * 10);
    Sentence("GPGGA," + Time + "," + Lat + ",N,01324.2972,E,1,08,0.9,37.1,M,44.2,M,,");
    Sentence("GPRMC," + Time + ",A," + Lat + ",N,01324.2972,E,16.2,87.4,020524,,,A");
  }
  const QString Log = FDir.filePath(QStringLiteral("receiver.nmea"));
  QFile F(Log);
  QVERIFY(F.open(QIODevice::WriteOnly));
  F.write(Nmea);
  F.close();
  const quint16 Port = ClosedPort();
  QProcess Gpsfake;
  Gpsfake.start(Fake, {"-q", "-c", "0.1", "-P", QString::number(Port), Log});
  QVERIFY(Gpsfake.waitForStarted());
  SimProcess Sim;
  QVERIFY(Sim.start({"--no-link", "--seed", "11"}));
  const QString Path = FDir.filePath(QStringLiteral("gpsfake.csv"));
  QProcess Rec;
  // gpsd takes a moment to start under gpsfake; the recorder tries again until it is there.
  QVERIFY(RunLog(Rec, {"--port", Sim.slavePath(), "--gps", QStringLiteral("127.0.0.1:%1").arg(Port),
                       "--duration", "6s", "--interval", "200", "--output", Path}));
  Gpsfake.terminate();
  Gpsfake.waitForFinished(5000);
  const QList<TDriveRecord> Records = ReadDriveRecords(ReadAll(Path));
  QVERIFY(!Records.isEmpty());
  QVERIFY(Records.last().Position.has_value());
  const double Lat = Records.last().Position->Latitude.toDouble();
  QVERIFY2(Lat > 52.5200 && Lat < 52.5204, qPrintable(Records.last().Position->Latitude));
  QCOMPARE(Records.last().Position->Longitude, "13.4049533");
}

QTEST_GUILESS_MAIN(TestE2eGps)
#include "tst_e2e_gps.moc"
