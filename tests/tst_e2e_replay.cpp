// A drive test recorded with vantrel-log from a modem of each family, then played back by the
// simulator: the recorder reads back the same records, and the window shows the recorded cells.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "core/DriveRecord.h"
#include "gui/monitor_window.h"
#include "serial/SerialPortDriver.h"
#include "support/SimProcess.h"
#include "support/WindowControls.h"

namespace {

using vantrel::test::Child;
using vantrel::test::GoOnline;
using vantrel::test::SimProcess;

// Records Cycles cycles from the simulator started with SimArgs into Path.
bool Record(const QStringList& SimArgs, const QString& Path, int Cycles) {
  SimProcess Sim;
  if (!Sim.start(QStringList{"--no-link"} + SimArgs)) return false;
  QProcess Log;
  Log.start(QStringLiteral(VANTREL_LOG_PATH),
            {"--port", Sim.slavePath(), "--cycles", QString::number(Cycles), "--interval", "20",
             "--output", Path});
  return Log.waitForFinished(60000) && Log.exitCode() == 0;
}

QList<TDriveRecord> ReadRecords(const QString& Path) {
  QFile F(Path);
  return F.open(QIODevice::ReadOnly) ? ReadDriveRecords(F.readAll()) : QList<TDriveRecord>{};
}

QString Shown(const TForm3& W, const QString& Name) {
  if (auto* L = Child<QLabel>(W, Name)) return L->text().trimmed();
  const QString T = Child<QLineEdit>(W, Name)->text().trimmed();
  return T == QLatin1String("-") ? QString() : T;  // the record keeps "-" as nothing read
}

void CompareCell(const TForm3& W, int Column, const TRecordCell& Cell) {
  const QString I = QString::number(Column);
  QCOMPARE(Shown(W, "sttChannel" + I), Cell.Channel);
  QCOMPARE(Shown(W, "sttRxLevel" + I), Cell.Level);
  QCOMPARE(Shown(W, "sttGsmBand" + I) == "-" ? QString() : Shown(W, "sttGsmBand" + I), Cell.Band);
  QCOMPARE(Shown(W, "sttBSIC" + I), Cell.Bsic);
  QCOMPARE(Shown(W, "sttCellID" + I), Cell.CellId);
}

}  // namespace

class TestE2eReplay : public QObject {
  Q_OBJECT
 private slots:
  void recordThenReplay_data();
  void recordThenReplay();
  void refusesARecordItCannotRead();

 private:
  QTemporaryDir FDir;
};

void TestE2eReplay::recordThenReplay_data() {
  QTest::addColumn<QStringList>("family");
  QTest::addColumn<QString>("reports");
  QTest::addColumn<QString>("technology");
  QTest::newRow("AT^MONI") << QStringList{"monitor"} << "AT^MONI"
                           << "GSM";
  QTest::newRow("AT+CENG") << QStringList{"ceng"} << "AT+CENG"
                           << "GSM";
  QTest::newRow("AT#MONI") << QStringList{"moni"} << "AT#MONI"
                           << "GSM";
  QTest::newRow("AT+CCED") << QStringList{"cced"} << "AT+CCED"
                           << "GSM";
  QTest::newRow("Quectel on LTE") << QStringList{"quectel", "--rat", "lte"} << "AT+QENG"
                                  << "LTE";
  QTest::newRow("Quectel on UMTS") << QStringList{"quectel", "--rat", "umts"} << "AT+QENG"
                                   << "UMTS";
  QTest::newRow("Quectel on GSM") << QStringList{"quectel", "--rat", "gsm"} << "AT+QENG"
                                  << "GSM";
  QTest::newRow("Quectel 2G") << QStringList{"quectel-2g"} << "AT+QENG"
                              << "GSM";
  // Levels in tenths, and no neighbours.
  QTest::newRow("SIM7600 on LTE") << QStringList{"sim7600", "--neighbours", "0"} << "AT+CPSI?"
                                  << "LTE";
  QTest::newRow("SIM7000") << QStringList{"sim7000"} << "AT+CPSI?"
                           << "LTE";
}

void TestE2eReplay::recordThenReplay() {
  QFETCH(QStringList, family);
  QFETCH(QString, reports);
  QFETCH(QString, technology);
  const QString Name = QString::fromLatin1(QTest::currentDataTag()).replace(' ', '-');
  const QString First = FDir.filePath(Name + ".csv");
  const QString Again = FDir.filePath(Name + "-again.jsonl");
  const int Cycles = 4;
  QVERIFY(Record(QStringList{"--family"} + family + QStringList{"--seed", "21"}, First, Cycles));
  const QList<TDriveRecord> Recorded = ReadRecords(First);
  QCOMPARE(Recorded.size(), Cycles);
  QCOMPARE(Recorded.first().Reports, reports);
  // The simulated modem camps on a cell with neighbours: a record without them read nothing.
  for (const TDriveRecord& R : Recorded) {
    QCOMPARE(R.Serving.Technology, technology);
    QVERIFY(!R.Serving.Channel.isEmpty());
    QVERIFY(!R.Serving.Level.isEmpty());
    QVERIFY(!R.Lac.isEmpty());
  }
  // A SIM7600 lists no neighbours.
  if (!family.contains("sim7600"))
    QVERIFY(std::any_of(Recorded.begin(), Recorded.end(),
                        [](const TDriveRecord& R) { return !R.Neighbours.isEmpty(); }));

  // The recorder against the replay reads the same cycles, and then the first one again.
  QVERIFY(Record({"--replay", First}, Again, Cycles + 1));
  const QList<TDriveRecord> Replayed = ReadRecords(Again);
  QCOMPARE(Replayed.size(), Cycles + 1);
  for (int K = 0; K <= Cycles; ++K) {
    TDriveRecord Want = Recorded[K % Cycles];
    Want.Time = Replayed[K].Time;
    QCOMPARE(Replayed[K], Want);
  }

  // The window watching the replay shows the first recorded cycle after its first cycle.
  SimProcess Sim;
  QVERIFY(Sim.start({"--no-link", "--replay", First}));
  TForm3 W;
  QVERIFY(GoOnline(W, Sim.slavePath()));
  QCOMPARE(Shown(W, "lbeIMSI"), Recorded.first().Imsi);
  Child<QCheckBox>(W, "cbxMonitor")->setChecked(true);
  QTRY_VERIFY_WITH_TIMEOUT(W.windowTitle().startsWith("Vantrel:"), 10000);
  const TDriveRecord& R = Recorded.first();
  CompareCell(W, 0, R.Serving);
  for (int I = 0; I < 6; ++I)
    CompareCell(W, I + 1, I < R.Neighbours.size() ? R.Neighbours[I] : TRecordCell{});
  // The five details of the serving cell's technology.
  const QStringList Details = technology == "LTE"    ? QStringList{R.Quality, R.Sinr, R.Rssi}
                              : technology == "UMTS" ? QStringList{R.Quality, R.Rssi, R.Pwr}
                                                     : QStringList{R.RxLev, R.C1, R.Pwr};
  QStringList Fields;
  for (const char* Field : {"lbeRxLev", "lbeC1", "lbePWR", "lbePLMN", "lbeLAC"})
    Fields << Shown(W, QLatin1String(Field));
  QCOMPARE(Fields, Details + QStringList({R.Plmn, R.Lac}));
}

void TestE2eReplay::refusesARecordItCannotRead() {
  const QString Path = FDir.filePath("not-a-record.csv");
  QFile F(Path);
  QVERIFY(F.open(QIODevice::WriteOnly));
  F.write("hello,world\n");
  F.close();
  for (const QString& File : {Path, FDir.filePath("missing.csv")}) {
    QProcess Sim;
    Sim.start(QStringLiteral(VANTREL_MODEM_SIM_PATH), {"--no-link", "--replay", File});
    QVERIFY(Sim.waitForFinished(10000));
    QCOMPARE(Sim.exitCode(), 1);
    QVERIFY(Sim.readAllStandardOutput().isEmpty());  // never READY
    QVERIFY(!Sim.readAllStandardError().isEmpty());
  }
}

QTEST_MAIN(TestE2eReplay)
#include "tst_e2e_replay.moc"
