// vantrel-log against the simulator: records that read back into what the modem sent, a kill
// that leaves only whole records, stopping on a signal, refusing what it cannot do.
#include <signal.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "CellModel.h"
#include "RadioCells.h"
#include "core/DriveRecord.h"
#include "support/SimProcess.h"

namespace {

using vantrel::sim::TCellModel;
using vantrel::sim::TRadioCell;
using vantrel::sim::TRat;
using vantrel::test::SimProcess;

constexpr std::uint32_t Seed = 11;

QStringList SimArgs(const QStringList& More = {}) {
  return QStringList{QStringLiteral("--no-link"), QStringLiteral("--seed"), QString::number(Seed)} +
         More;
}

QByteArray ReadAll(const QString& Path) {
  QFile F(Path);
  return F.open(QIODevice::ReadOnly) ? F.readAll() : QByteArray();
}

// Waits, pumping events, until Done() or the time-out.
template <typename F>
bool WaitFor(F Done, int TimeoutMs) {
  QElapsedTimer T;
  T.start();
  while (!Done()) {
    if (T.elapsed() > TimeoutMs) return false;
    QTest::qWait(20);
  }
  return true;
}

// The cells the simulator shows in its n-th cycle (counted from 1): its model steps once per
// serving report, from the same seed. On LTE they are the model's cells as an LTE module lists
// them, the measured neighbours without a cell id.
struct TExpected {
  TRecordCell Serving;
  QString Plmn, Lac, Quality, Sinr, Rssi;
  QList<TRecordCell> Neighbours;
};
TRecordCell LteCell(const TRadioCell& C, bool Serving) {
  return {QStringLiteral("B%1").arg(C.Band),
          QString::number(C.Channel),
          QString::number(C.Level),
          QString::number(C.Id),
          Serving ? QString::number(C.CellId) : QString(),
          QStringLiteral("LTE")};
}
TExpected ExpectedCycle(int N, bool Lte) {
  TCellModel Model(Seed);
  for (int I = 0; I < N; ++I) Model.Step();
  TExpected E;
  const auto& S = Model.Serving();
  E.Plmn = QString::number(S.Mcc * 100 + S.Mnc);
  if (Lte) {
    const auto Cells = vantrel::sim::RadioCells(Model, TRat::Lte);
    const TRadioCell& R = Cells.Serving;
    E.Serving = LteCell(R, true);
    E.Lac = QString::number(R.Area);
    E.Quality = QString::number(R.Quality);
    E.Sinr = QString::number(R.Sinr);
    E.Rssi = QString::number(R.Rssi);
    for (const TRadioCell& C : Cells.Neighbours)
      if (C.Measured && E.Neighbours.size() < RecordNeighbourCount)
        E.Neighbours << LteCell(C, false);
    return E;
  }
  E.Serving.Channel = QString::number(S.Channel);
  E.Serving.Level = QString::number(S.Dbm);
  E.Serving.Bsic = QStringLiteral("%1%2").arg(S.Ncc).arg(S.Bcc);
  E.Serving.CellId = QString::number(S.CellId & 0xFFFF);
  E.Serving.Technology = QStringLiteral("GSM");
  E.Lac = QString::number(S.Lac & 0xFFFF);
  for (const auto& Nb : Model.PresentNeighbours()) {
    TRecordCell C;
    C.Channel = QString::number(Nb.Channel);
    C.Level = QString::number(Nb.Dbm);
    C.Bsic = QStringLiteral("%1%2").arg(Nb.Ncc).arg(Nb.Bcc);
    C.CellId = QString::number(Nb.CellId & 0xFFFF);
    C.Technology = QStringLiteral("GSM");
    E.Neighbours << C;
  }
  return E;
}

class TLog {
 public:
  void Start(const QStringList& Args) {
    FProcess.setProgram(QStringLiteral(VANTREL_LOG_PATH));
    FProcess.setArguments(Args);
    FProcess.start();
  }
  // Runs to the end; false on a time-out.
  bool Run(const QStringList& Args, int TimeoutMs = 60000) {
    Start(Args);
    return FProcess.waitForFinished(TimeoutMs);
  }
  QProcess FProcess;
};

}  // namespace

class TestE2eLog : public QObject {
  Q_OBJECT
 private slots:
  void recordsReadBack_data();
  void recordsReadBack();
  void killLeavesWholeRecords();
  void terminateEndsAfterARecord();
  void refusals_data();
  void refusals();
  void lostDeviceIsWaitedFor();

 private:
  QTemporaryDir FDir;
};

void TestE2eLog::recordsReadBack_data() {
  QTest::addColumn<QString>("file");
  QTest::addColumn<QStringList>("extra");
  QTest::addColumn<QStringList>("sim");
  QTest::newRow("csv by name") << "drive.csv" << QStringList{} << QStringList{};
  QTest::newRow("jsonl by name") << "drive.jsonl" << QStringList{} << QStringList{};
  QTest::newRow("csv asked") << "drive.txt" << QStringList{"--format", "csv"} << QStringList{};
  const QStringList QuectelLte{"--family", "quectel", "--rat", "lte"};
  QTest::newRow("Quectel on LTE, csv") << "lte.csv" << QStringList{} << QuectelLte;
  QTest::newRow("Quectel on LTE, jsonl") << "lte.jsonl" << QStringList{} << QuectelLte;
}

void TestE2eLog::recordsReadBack() {
  QFETCH(QString, file);
  QFETCH(QStringList, extra);
  QFETCH(QStringList, sim);
  const bool Lte = sim.contains("lte");
  SimProcess Sim;
  QVERIFY(Sim.start(SimArgs(sim)));
  const QString Path = FDir.filePath(file);
  QFile::remove(Path);
  const int Cycles = 6;
  TLog Log;
  QVERIFY(Log.Run(QStringList{"--port", Sim.slavePath(), "--cycles", QString::number(Cycles),
                              "--interval", "50", "--output", Path} +
                  extra));
  QCOMPARE(Log.FProcess.exitStatus(), QProcess::NormalExit);
  QCOMPARE(Log.FProcess.exitCode(), 0);
  const QByteArray Text = ReadAll(Path);
  const QList<TDriveRecord> Records = ReadDriveRecords(Text);
  QCOMPARE(Records.size(), Cycles);
  for (int K = 0; K < Cycles; ++K) {
    const TDriveRecord& R = Records[K];
    const TExpected E = ExpectedCycle(K + 1, Lte);
    QCOMPARE(R.Imsi, QStringLiteral("262073987654321"));
    QCOMPARE(R.Reports, QString::fromLatin1(Lte ? "AT+QENG" : "AT^MONI"));
    QCOMPARE(R.Serving.Channel, E.Serving.Channel);
    QCOMPARE(R.Serving.Level, E.Serving.Level);
    QCOMPARE(R.Serving.Bsic, E.Serving.Bsic);
    QCOMPARE(R.Serving.CellId, E.Serving.CellId);
    QCOMPARE(R.Serving.Technology, E.Serving.Technology);
    QCOMPARE(R.Plmn, E.Plmn);
    QCOMPARE(R.Lac, E.Lac);
    QCOMPARE(QStringList({R.Quality, R.Sinr, R.Rssi}), QStringList({E.Quality, E.Sinr, E.Rssi}));
    if (Lte)
      QCOMPARE(R.Serving.Band, E.Serving.Band);
    else
      QVERIFY(!R.Serving.Band.isEmpty() || R.Serving.Channel == "0");
    QCOMPARE(R.Neighbours.size(), E.Neighbours.size());
    for (int I = 0; I < E.Neighbours.size(); ++I) {
      QCOMPARE(R.Neighbours[I].Channel, E.Neighbours[I].Channel);
      QCOMPARE(R.Neighbours[I].Level, E.Neighbours[I].Level);
      QCOMPARE(R.Neighbours[I].Bsic, E.Neighbours[I].Bsic);
      QCOMPARE(R.Neighbours[I].CellId, E.Neighbours[I].CellId);
      QCOMPARE(R.Neighbours[I].Technology, E.Neighbours[I].Technology);
    }
    if (K > 0) QVERIFY(Records[K - 1].Time < R.Time);
  }
  if (!Path.endsWith(QLatin1String(".jsonl"))) {
    // An independent reader of the file: Python's csv module sees a header and whole rows.
    QProcess Py;
    Py.start(QStringLiteral("python3"),
             {QStringLiteral("-c"),
              QStringLiteral("import csv,sys\nrows=list(csv.reader(open(sys.argv[1],newline='')))\n"
                             "print(len(rows), sorted(set(len(r) for r in rows)), rows[0][0], "
                             "rows[1][3])"),
              Path});
    QVERIFY(Py.waitForFinished(20000));
    QCOMPARE(QString::fromUtf8(Py.readAllStandardOutput()).trimmed(),
             QStringLiteral("%1 [53] time %2").arg(Cycles + 1).arg(Records[0].Serving.Channel));
  }
}

void TestE2eLog::killLeavesWholeRecords() {
  SimProcess Sim;
  QVERIFY(Sim.start(SimArgs()));
  const QString Path = FDir.filePath(QStringLiteral("killed.csv"));
  TLog Log;
  Log.Start({"--port", Sim.slavePath(), "--interval", "1", "--output", Path});
  QVERIFY(WaitFor([&] { return ReadAll(Path).count('\n') >= 4; }, 30000));
  ::kill(pid_t(Log.FProcess.processId()), SIGKILL);
  QVERIFY(Log.FProcess.waitForFinished(5000));
  const QByteArray Text = ReadAll(Path);
  QVERIFY(Text.endsWith('\n'));
  QCOMPARE(ReadDriveRecords(Text).size(), Text.count('\n') - 1);  // every line after the header

  // Appending to the file later adds records, not a second header.
  Log.Run({"--port", Sim.slavePath(), "--cycles", "1", "--output", Path});
  QCOMPARE(Log.FProcess.exitCode(), 0);
  const QByteArray After = ReadAll(Path);
  QCOMPARE(After.count("time,imsi"), 1);
  QCOMPARE(ReadDriveRecords(After).size(), ReadDriveRecords(Text).size() + 1);
}

void TestE2eLog::terminateEndsAfterARecord() {
  SimProcess Sim;
  QVERIFY(Sim.start(SimArgs()));
  const QString Path = FDir.filePath(QStringLiteral("terminated.jsonl"));
  TLog Log;
  Log.Start({"--port", Sim.slavePath(), "--interval", "1", "--output", Path});
  QVERIFY(WaitFor([&] { return ReadAll(Path).count('\n') >= 2; }, 30000));
  Log.FProcess.terminate();
  QVERIFY(Log.FProcess.waitForFinished(5000));
  QCOMPARE(Log.FProcess.exitStatus(), QProcess::NormalExit);
  QCOMPARE(Log.FProcess.exitCode(), 0);
  const QByteArray Text = ReadAll(Path);
  QVERIFY(Text.endsWith('\n'));
  QCOMPARE(ReadDriveRecords(Text).size(), Text.count('\n'));
}

// How a run ends when it cannot do what it was asked, or can only do part of it. "@pty" in the
// arguments stands for the simulator's port (a row without simulator options starts none).
void TestE2eLog::refusals_data() {
  QTest::addColumn<QStringList>("args");
  QTest::addColumn<QStringList>("sim");
  QTest::addColumn<int>("status");
  QTest::addColumn<QString>("says");
  QTest::addColumn<int>("records");  // on standard output
  const QStringList NoSim;
  QTest::newRow("unknown option") << QStringList{"--colour"} << NoSim << 2 << "colour" << 0;
  QTest::newRow("cycles not a number")
      << QStringList{"--cycles", "many"} << NoSim << 2 << "--cycles" << 0;
  QTest::newRow("bad format") << QStringList{"--format", "xml"} << NoSim << 2 << "csv or jsonl"
                              << 0;
  QTest::newRow("bad duration") << QStringList{"--duration", "soon"} << NoSim << 2 << "--duration"
                                << 0;
  // Hours that fit a 64-bit number while their milliseconds do not.
  QTest::newRow("huge duration") << QStringList{"--duration", "3000000000000h"} << NoSim << 2
                                 << "--duration" << 0;
  QTest::newRow("no such device")
      << QStringList{"--port", "/dev/vantrel-none"} << NoSim << 1
      << "cannot open /dev/vantrel-none: it stands for no device on this machine" << 0;
  QTest::newRow("not a terminal") << QStringList{"--port", "/dev/null"} << NoSim << 1
                                  << "cannot open /dev/null: not a serial port" << 0;
  QTest::newRow("unwritable output")
      << QStringList{"--output", "/proc/vantrel/x.csv"} << NoSim << 1 << "cannot write" << 0;
  QTest::newRow("no identity") << QStringList{"--port", "@pty", "--cycles", "1"}
                               << QStringList{"--unanswered", "AT+GMI"} << 1
                               << "vantrel-log: no answer to AT+GMI on /dev/pts/" << 0;
  QTest::newRow("full disk") << QStringList{"--port", "@pty",     "--cycles",
                                            "3",      "--output", "/dev/full"}
                             << QStringList{"--neighbours", "2"} << 1
                             << "vantrel-log: cannot write /dev/full: " << 0;
  // Recorded with an empty IMSI, said once.
  QTest::newRow("no SIM") << QStringList{"--port", "@pty", "--cycles", "3", "--interval", "50"}
                          << QStringList{"--error", "AT+CIMI"} << 0
                          << "vantrel-log: AT+CIMI answered ERROR: no IMSI" << 3;
}

void TestE2eLog::refusals() {
  QFETCH(QStringList, args);
  QFETCH(QStringList, sim);
  QFETCH(int, status);
  QFETCH(QString, says);
  QFETCH(int, records);
  SimProcess Sim;
  if (!sim.isEmpty()) {
    QVERIFY(Sim.start(SimArgs(sim)));
    args.replaceInStrings(QStringLiteral("@pty"), Sim.slavePath());
  }
  TLog Log;
  QVERIFY(Log.Run(args, 20000));
  QCOMPARE(Log.FProcess.exitCode(), status);
  const QString Err = QString::fromLocal8Bit(Log.FProcess.readAllStandardError());
  QVERIFY2(Err.count(says) == 1, qPrintable(Err));
  const QList<TDriveRecord> Records = ReadDriveRecords(Log.FProcess.readAllStandardOutput());
  QCOMPARE(Records.size(), records);
  for (const TDriveRecord& R : Records) {
    QVERIFY(R.Imsi.isEmpty());
    QVERIFY(!R.Serving.Channel.isEmpty());
  }
}

void TestE2eLog::lostDeviceIsWaitedFor() {
  // The simulator linked as COM7 in a port map folder of our own, through a udev-style name
  // of its own, so it comes back as the same device on whatever pseudo-terminal it gets.
  QTemporaryDir Config;
  QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
  Env.insert(QStringLiteral("XDG_CONFIG_HOME"), Config.path());
  const QStringList LinkArgs{"--port",  "7",
                             "--seed",  QString::number(Seed),
                             "--alias", Config.filePath(QStringLiteral("modem"))};
  SimProcess Sim;
  QVERIFY(Sim.start(LinkArgs, Env));
  const QString Path = FDir.filePath(QStringLiteral("lost.csv"));
  TLog Log;
  Log.FProcess.setProcessEnvironment(Env);
  Log.Start({"--port", "\\\\.\\COM7", "--interval", "50", "--output", Path});
  QVERIFY(WaitFor([&] { return ReadDriveRecords(ReadAll(Path)).size() >= 2; }, 30000));
  QVERIFY(Sim.stop());
  QVERIFY(
      WaitFor([&] { return Log.FProcess.readAllStandardError().contains("device lost"); }, 10000));
  const qsizetype Before = ReadDriveRecords(ReadAll(Path)).size();
  QVERIFY(Sim.start(LinkArgs, Env));
  QVERIFY(WaitFor([&] { return ReadDriveRecords(ReadAll(Path)).size() >= Before + 2; }, 20000));
  QCOMPARE(Log.FProcess.state(), QProcess::Running);
  Log.FProcess.terminate();
  QVERIFY(Log.FProcess.waitForFinished(5000));
  QCOMPARE(Log.FProcess.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestE2eLog)
#include "tst_e2e_log.moc"
