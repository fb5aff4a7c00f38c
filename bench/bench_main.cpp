// vantrel-bench: timing, CPU, memory, start-up and drawing figures of the monitor window
// with the real driver against vantrel-modem-sim. Each stage prints its own table; `all`
// runs them one after the other. Figures, not pass/fail tests: a busy machine moves them.
#include <sys/resource.h>

#include <QApplication>
#include <QCheckBox>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QPixmap>
#include <QProcess>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <random>

#include "BenchSupport.h"
#include "CycleWatch.h"
#include "core/LevelHistory.h"
#include "gui/RxLevelChart.h"
#include "gui/monitor_window.h"
#include "serial/SerialPortDriver.h"
#include "tests/support/SimProcess.h"

using namespace vantrel::bench;

namespace {

const QByteArray Ok = QByteArrayLiteral("\r\nOK\r\n");

struct TConfig {
  QString SimPath;
  QString PeerScript;
  QString Python;
  QString ProbePath;
  int Cycles = 50;
  int CpuSeconds = 60;
  int MemoryCycles = 1000;
  int MemoryPollingDelay = 5;
  int StartupRuns = 10;
};

double CpuSecondsPrecise() {
  rusage Usage{};
  getrusage(RUSAGE_SELF, &Usage);
  return double(Usage.ru_utime.tv_sec + Usage.ru_stime.tv_sec) +
         double(Usage.ru_utime.tv_usec + Usage.ru_stime.tv_usec) / 1e6;
}

double MsSince(std::int64_t StartNs) {
  return double(MonotonicNs() - StartNs) / 1e6;
}

// The simulator plus the window online on it, the way a person would get there.
struct TRig {
  vantrel::test::SimProcess Sim;
  // Both outlive the window, whose driver's receive event counts into them.
  std::uint64_t Received = 0;
  QByteArray Tail;  // what arrived since the bench last emptied it
  std::unique_ptr<TForm3> Window;

  explicit TRig(const QString& SimPath) : Sim(SimPath) {}
  ~TRig() {
    if (Window) GoOffline(*Window);
    Window.reset();
  }

  bool Start(int Baud, bool Online = true) {
    QStringList Args{QStringLiteral("--no-link"), QStringLiteral("--seed"), QStringLiteral("7")};
    if (Baud > 0) Args << QStringLiteral("--baud") << QString::number(Baud);
    if (!Sim.start(Args)) {
      std::fprintf(stderr, "bench: the simulator did not start\n");
      return false;
    }
    Window = std::make_unique<TForm3>();
    Window->show();
    Window->Modem()->SetPortName(Sim.slavePath());
    if (Baud > 0) Window->Modem()->SetBaudRateValue(static_cast<std::uint32_t>(Baud));
    auto Original = Window->Modem()->OnReceiveData;
    Window->Modem()->OnReceiveData = [this, Original](QObject* Sender, const std::uint8_t* Data,
                                                      std::uint32_t Size) {
      Received += Size;
      if (Tail.size() < 65536) Tail.append(reinterpret_cast<const char*>(Data), qsizetype(Size));
      Original(Sender, Data, Size);
    };
    PumpFor(200);
    if (Online && !GoOnline(*Window)) {
      std::fprintf(stderr, "bench: could not go online on %s\n", qPrintable(Sim.slavePath()));
      return false;
    }
    return true;
  }
};

struct TSeries {
  std::vector<double> Ms;
  std::vector<double> LineMs;
  std::vector<double> Over;  // measured minus line time, per exchange
  std::vector<double> Bytes;
  int Failures = 0;
  void Add(double Measured, double Line, double ByteCount) {
    Ms.push_back(Measured);
    LineMs.push_back(Line);
    Over.push_back(Measured - Line);
    Bytes.push_back(ByteCount);
  }
};

// ---------------------------------------------------------------------------------------

QJsonObject RunPeer(const TConfig& Config, const QString& Port, int Baud) {
  QProcess Peer;
  Peer.start(Config.Python,
             {Config.PeerScript, QStringLiteral("--port"), Port, QStringLiteral("--baud"),
              QString::number(Baud), QStringLiteral("--cycles"), QString::number(Config.Cycles)});
  if (!Peer.waitForFinished(300000)) {
    Peer.kill();
    Peer.waitForFinished();
    return {};
  }
  const QList<QByteArray> Lines = Peer.readAllStandardOutput().trimmed().split('\n');
  const QByteArray Errors = Peer.readAllStandardError();
  if (!Errors.isEmpty()) std::fprintf(stderr, "peer: %s\n", Errors.constData());
  return QJsonDocument::fromJson(Lines.last()).object();
}

void PrintRow(const char* Name, const TSeries& S, double Bound) {
  const TSummary M = Summarize(S.Ms);
  const TSummary L = Summarize(S.LineMs);
  const TSummary O = Summarize(S.Over);
  const TSummary B = Summarize(S.Bytes);
  std::printf("  %-10s %4zu %3d %7.0f %8.1f %8.1f %8.1f %7.2f %8.1f %8.1f %8.1f %6.0f\n", Name,
              S.Ms.size(), S.Failures, B.Mean, L.Median, M.Median, M.P95, M.Median / L.Median,
              O.Median, O.P95, O.Max, Bound);
}

bool StageExchange(const TConfig& Config, int Baud) {
  TRig Rig(Config.SimPath);
  if (!Rig.Start(Baud)) return false;
  TForm3& W = *Rig.Window;
  const double Delay = W.Modem()->PollingDelay();
  std::mt19937 Random(1234);
  // The driver's poll runs on its own 50 ms beat; a random pause puts each exchange at
  // another point of it, as the 1100 ms gaps and the user's clicks do in real use.
  std::uniform_int_distribution<int> Gap(0, 2 * W.Modem()->PollingDelay());
  // Before a lone report the pause is long enough for the simulator to have finished the
  // reply before (it paces the last piece's line time after writing it), so the report
  // meets a modem at rest, as the peer's do.
  std::uniform_int_distribution<int> RestGap(40, 40 + 2 * W.Modem()->PollingDelay());

  struct TReport {
    const char* Name;
    QByteArray Command;
    std::function<void()> Parse;
    TSeries Series;
  };
  std::array<TReport, 3> Reports{
      {{"AT^MONI", QByteArrayLiteral("AT^MONI\r"), [&] { W.ParseServingCell(); }, {}},
       {"AT^MONP", QByteArrayLiteral("AT^MONP\r"), [&] { W.ParseNeighbourCells(); }, {}},
       {"AT^SMONC", QByteArrayLiteral("AT^SMONC\r"), [&] { W.ParseCellIdentities(); }, {}}}};
  TSeries Cycle;
  double CycleCpu = 0;
  for (int I = -3; I < Config.Cycles; ++I) {  // three warm-up rounds
    for (TReport& R : Reports) {
      PumpFor(RestGap(Random));
      const std::int64_t T0 = MonotonicNs();
      const bool Done = W.ExecCommand(R.Command, Ok, 1, 500);
      const double Ms = MsSince(T0);
      if (I < 0) continue;
      if (!Done) {
        ++R.Series.Failures;
        continue;
      }
      const auto Bytes = double(W.Reply().size());
      R.Series.Add(Ms, LineTimeMs(Bytes, Baud), Bytes);
      if (W.SplitReply() > 1) R.Parse();
    }
    // The cycle as the program runs it: the three reports back to back.
    PumpFor(Gap(Random));
    const std::uint64_t Before = Rig.Received;
    Rig.Tail.clear();
    const double Cpu0 = CpuSecondsPrecise();
    const std::int64_t T0 = MonotonicNs();
    W.PollCells();
    const double Ms = MsSince(T0);
    const double Cpu = CpuSecondsPrecise() - Cpu0;
    if (I < 0) continue;
    const auto Bytes = double(Rig.Received - Before);
    // A cycle with an unanswered report runs into its 500 ms time-out; keep it out of the
    // timing of answered cycles but count it.
    if (Rig.Tail.count(Ok) < 3) {
      ++Cycle.Failures;
      continue;
    }
    CycleCpu += Cpu;
    Cycle.Add(Ms, LineTimeMs(Bytes, Baud), Bytes);
  }

  const QString Port = Rig.Sim.slavePath();
  GoOffline(W);
  const QJsonObject Peer = RunPeer(Config, Port, Baud);

  std::printf("\nExchange and cycle at %d bit/s (PollingDelay %.0f ms, %d cycles, ms)\n", Baud,
              Delay, Config.Cycles);
  std::printf("  %-10s %4s %3s %7s %8s %8s %8s %7s %8s %8s %8s %6s\n", "report", "n", "bad",
              "bytes", "line", "median", "p95", "ratio", "over.med", "over.p95", "over.max",
              "bound");
  for (const TReport& R : Reports) PrintRow(R.Name, R.Series, Delay + 10);
  PrintRow("PollCells", Cycle, 3 * (Delay + 10));
  const double OurCpuMs = Cycle.Ms.empty() ? 0 : CycleCpu * 1000 / double(Cycle.Ms.size());
  if (Peer.isEmpty()) {
    std::printf("  peer: no result (is python3-serial installed?)\n");
  } else {
    const QJsonObject Commands = Peer.value(QStringLiteral("commands")).toObject();
    std::printf(
        "  peer (pyserial, blocking reads): cycle median %.1f p95 %.1f, CPU %.2f ms/cycle;"
        " ours: cycle median %.1f p95 %.1f, CPU %.2f ms/cycle\n",
        Peer.value(QStringLiteral("cycle_median_ms")).toDouble(),
        Peer.value(QStringLiteral("cycle_p95_ms")).toDouble(),
        Peer.value(QStringLiteral("cpu_ms_per_cycle")).toDouble(), Summarize(Cycle.Ms).Median,
        Summarize(Cycle.Ms).P95, OurCpuMs);
    std::printf("  peer per report, median/p95 and median of (measured - line):");
    for (const TReport& R : Reports) {
      const QJsonObject C = Commands.value(QLatin1String(R.Name)).toObject();
      std::printf("  %s %.1f/%.1f %+.1f", R.Name, C.value(QStringLiteral("median_ms")).toDouble(),
                  C.value(QStringLiteral("p95_ms")).toDouble(),
                  C.value(QStringLiteral("over_median_ms")).toDouble());
    }
    std::printf("  (failures %d)\n", Peer.value(QStringLiteral("failures")).toInt());
    // The modem's own answer time is what the peer sees beyond the line time: it waits for
    // nothing else. It is negative when the simulator delivers the last piece before a real
    // line would have, and then tightens the bound, so that the comparison is with what the
    // same modem gives a reader that blocks.
    bool Met = true;
    std::printf("  target per exchange, p95 of (measured - line) <= %.0f ms + modem answer:",
                Delay + 10);
    for (const TReport& R : Reports) {
      const QJsonObject C = Commands.value(QLatin1String(R.Name)).toObject();
      const double Bound = Delay + 10 + C.value(QStringLiteral("over_median_ms")).toDouble();
      const double P95 = Summarize(R.Series.Over).P95;
      const bool RowMet = !R.Series.Over.empty() && R.Series.Failures == 0 && P95 <= Bound;
      Met = Met && RowMet;
      std::printf("  %s %.1f <= %.1f %s;", R.Name, P95, Bound, RowMet ? "met" : "MISSED");
    }
    std::printf("  overall %s\n", Met ? "met" : "MISSED");
    // What the window adds to a reader that blocks until the bytes are there: the median of
    // each report against the peer's, on the same simulator in the same run.
    std::vector<double> OverPeer;
    std::printf("  exchange median over the peer:");
    for (const TReport& R : Reports) {
      const QJsonObject C = Commands.value(QLatin1String(R.Name)).toObject();
      const double Over =
          Summarize(R.Series.Ms).Median - C.value(QStringLiteral("median_ms")).toDouble();
      OverPeer.push_back(Over);
      std::printf("  %s %+.1f", R.Name, Over);
    }
    const double OverPeerMedian = Summarize(OverPeer).Median;
    std::printf(";  median %.1f ms (target below 8 ms: %s)\n", OverPeerMedian,
                OverPeerMedian < 8 ? "met" : "MISSED");
  }
  std::fflush(stdout);
  return true;
}

// ---------------------------------------------------------------------------------------

double CpuPercentOver(int Seconds) {
  const std::int64_t T0 = MonotonicNs();
  const std::int64_t C0 = CpuTicks();
  PumpFor(Seconds * 1000);
  const std::int64_t C1 = CpuTicks();
  return 100.0 * double(C1 - C0) / double(TicksPerSecond()) / (double(MonotonicNs() - T0) / 1e9);
}

bool StageCpu(const TConfig& Config) {
  TRig Rig(Config.SimPath);
  if (!Rig.Start(19200)) return false;
  TForm3& W = *Rig.Window;
  const qint64 SimPid = Rig.Sim.process().processId();
  PumpFor(1000);
  const std::int64_t Sim0 = CpuTicks(SimPid);
  const double Idle = CpuPercentOver(Config.CpuSeconds);
  const std::int64_t Sim1 = CpuTicks(SimPid);
  TCycleWatch Watch(W);
  SetMonitoring(W, true);
  const double Monitoring = CpuPercentOver(Config.CpuSeconds);
  const std::int64_t Sim2 = CpuTicks(SimPid);
  SetMonitoring(W, false);
  const TSummary Cycle = Summarize(Watch.TakeDurations());
  const double Tps = double(TicksPerSecond());
  std::printf(
      "\nCPU over %d s at 19200 bit/s, %% of one core (/proc/<pid>/stat utime+stime, "
      "tick %.0f ms)\n",
      Config.CpuSeconds, 1000 / Tps);
  std::printf("  online, idle:  %.2f %%  (target 0.3 %%: %s)   simulator %.2f %%\n", Idle,
              Idle <= 0.3 ? "met" : "MISSED",
              100.0 * double(Sim1 - Sim0) / Tps / Config.CpuSeconds);
  std::printf(
      "  monitoring:    %.2f %%  (target 1 %%: %s)   simulator %.2f %%   %lld cycles, "
      "cycle median %.0f ms\n",
      Monitoring, Monitoring <= 1.0 ? "met" : "MISSED",
      100.0 * double(Sim2 - Sim1) / Tps / Config.CpuSeconds, static_cast<long long>(Watch.Cycles()),
      Cycle.Median);
  std::fflush(stdout);
  return true;
}

// ---------------------------------------------------------------------------------------

void StageDraw(TForm3& W) {
  auto* Chart = W.findChild<TRxLevelChart*>(QStringLiteral("chtRxLevel"));
  auto Time = [](int Runs, const std::function<void()>& Fn) {
    Fn();  // caches, glyphs
    std::vector<double> Ms;
    for (int I = 0; I < Runs; ++I) {
      const std::int64_t T0 = MonotonicNs();
      Fn();
      Ms.push_back(MsSince(T0));
    }
    return Summarize(Ms);
  };
  QImage ChartImage(Chart->size(), QImage::Format_ARGB32_Premultiplied);
  QImage WindowImage(W.size(), QImage::Format_ARGB32_Premultiplied);
  const TSummary ChartGrab = Time(100, [&] { (void)Chart->grab(); });
  const TSummary ChartRender = Time(100, [&] { Chart->render(&ChartImage); });
  const TSummary WindowGrab = Time(50, [&] { (void)W.grab(); });
  const TSummary WindowRender = Time(50, [&] { W.render(&WindowImage); });
  std::printf("\nDrawing (chart with %zu samples, %dx%d; window %dx%d), ms\n",
              W.History()->Samples().size(), Chart->width(), Chart->height(), W.width(),
              W.height());
  std::printf("  %-22s %8s %8s %8s\n", "", "median", "p95", "max");
  std::printf("  %-22s %8.2f %8.2f %8.2f\n", "chart grab()", ChartGrab.Median, ChartGrab.P95,
              ChartGrab.Max);
  std::printf("  %-22s %8.2f %8.2f %8.2f\n", "chart render(QImage)", ChartRender.Median,
              ChartRender.P95, ChartRender.Max);
  std::printf("  %-22s %8.2f %8.2f %8.2f\n", "window grab()", WindowGrab.Median, WindowGrab.P95,
              WindowGrab.Max);
  std::printf("  %-22s %8.2f %8.2f %8.2f\n", "window render(QImage)", WindowRender.Median,
              WindowRender.P95, WindowRender.Max);
  std::fflush(stdout);
}

bool StageMemory(const TConfig& Config, bool Draw) {
  TRig Rig(Config.SimPath);
  if (!Rig.Start(0, false)) return false;
  TForm3& W = *Rig.Window;
  const std::int64_t AtStart = ResidentKiB();
  if (!GoOnline(W)) return false;
  const std::int64_t Online = ResidentKiB();
  W.Modem()->SetPollingDelay(static_cast<std::uint16_t>(Config.MemoryPollingDelay));
  std::printf(
      "\nResident size, PollCells back to back on an unpaced simulator "
      "(PollingDelay %d ms for speed), KiB\n",
      Config.MemoryPollingDelay);
  std::printf("  %-14s %8s %8s %4s\n", "", "rss", "heap", "fds");
  std::printf("  %-14s %8lld %8s %4d\n", "after start", static_cast<long long>(AtStart), "",
              OpenDescriptors());
  std::printf("  %-14s %8lld %8lld %4d\n", "online", static_cast<long long>(Online),
              static_cast<long long>(HeapInUseKiB()), OpenDescriptors());
  std::int64_t Heap100 = -1;
  std::int64_t HeapLast = -1;
  std::int64_t At100 = -1;
  std::int64_t Last = -1;
  const std::int64_t T0 = MonotonicNs();
  for (int I = 1; I <= Config.MemoryCycles; ++I) {
    W.PollCells();
    if (I % 100 == 0 || I == Config.MemoryCycles) {
      Last = ResidentKiB();
      HeapLast = HeapInUseKiB();
      if (I == 100) {
        At100 = Last;
        Heap100 = HeapLast;
      }
      if (I == 100 || I == 200 || I == 500 || I % 1000 == 0 || I == Config.MemoryCycles)
        std::printf("  after %5d    %8lld %8lld %4d  (%.0f ms/cycle)\n", I,
                    static_cast<long long>(Last), static_cast<long long>(HeapLast),
                    OpenDescriptors(), MsSince(T0) / I);
    }
  }
  if (At100 >= 0)
    std::printf("  cycle 100 to %d: rss %+lld KiB, heap in use %+lld KiB (target flat: %s)\n",
                Config.MemoryCycles, static_cast<long long>(Last - At100),
                static_cast<long long>(HeapLast - Heap100), Last - At100 <= 64 ? "met" : "MISSED");
  std::fflush(stdout);
  W.Modem()->SetPollingDelay(50);
  if (Draw) StageDraw(W);
  return true;
}

// ---------------------------------------------------------------------------------------

bool StageStartup(const TConfig& Config) {
  std::printf("\nStart-up to the first painted window (offscreen), %d runs, ms\n",
              Config.StartupRuns);
  std::printf("  %4s %8s %8s %8s %8s %8s\n", "run", "main", "app", "window", "shown", "painted");
  std::vector<double> Painted;
  for (int I = 1; I <= Config.StartupRuns; ++I) {
    QProcess Probe;
    const std::int64_t T0 = MonotonicNs();
    Probe.start(Config.ProbePath, {});
    if (!Probe.waitForFinished(10000)) {
      Probe.kill();
      Probe.waitForFinished();
      std::printf("  %4d  no paint within 10 s\n", I);
      continue;
    }
    QJsonObject Stamps =
        QJsonDocument::fromJson(Probe.readAllStandardOutput().trimmed().split('\n').last())
            .object();
    auto At = [&](const char* Key) {
      return double(Stamps.value(QLatin1String(Key)).toInteger() - T0) / 1e6;
    };
    if (!Stamps.contains(QStringLiteral("painted"))) {
      std::printf("  %4d  no stamps\n", I);
      continue;
    }
    Painted.push_back(At("painted"));
    std::printf("  %4d %8.1f %8.1f %8.1f %8.1f %8.1f\n", I, At("main"), At("app"), At("window"),
                At("shown"), At("painted"));
  }
  const TSummary S = Summarize(Painted);
  std::printf("  painted: median %.1f, p95 %.1f, max %.1f (target 300 ms: %s)\n", S.Median, S.P95,
              S.Max, !Painted.empty() && S.Median <= 300 ? "met" : "MISSED");
  std::fflush(stdout);
  return !Painted.empty();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication Application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Vantrel"));
  QCommandLineParser Parser;
  Parser.setApplicationDescription(QStringLiteral(
      "Benchmarks of the monitor window against the simulated modem. Stages: exchange, cpu, "
      "memory (with drawing), startup, all."));
  Parser.addHelpOption();
  Parser.addPositionalArgument(QStringLiteral("stage"), QStringLiteral("Which stage (all)."));
  auto Option = [&](const char* Name, const char* Help, const QString& Default) {
    QCommandLineOption O(QString::fromLatin1(Name), QString::fromLatin1(Help),
                         QStringLiteral("value"), Default);
    Parser.addOption(O);
    return O;
  };
  const QCommandLineOption Cycles = Option("cycles", "Cycles per rate.", QStringLiteral("50"));
  const QCommandLineOption CpuSeconds =
      Option("cpu-seconds", "Seconds per CPU figure.", QStringLiteral("60"));
  const QCommandLineOption MemoryCycles =
      Option("memory-cycles", "Cycles of the memory stage.", QStringLiteral("1000"));
  const QCommandLineOption StartupRuns =
      Option("startup-runs", "Start-ups to time.", QStringLiteral("10"));
  const QCommandLineOption Sim = Option("sim", "vantrel-modem-sim binary.", DefaultSimPath());
  const QCommandLineOption Python = Option("python", "Python with pyserial.",
                                           QFileInfo::exists(QStringLiteral("/usr/bin/python3"))
                                               ? QStringLiteral("/usr/bin/python3")
                                               : QStringLiteral("python3"));
  Parser.process(Application);

  TConfig Config;
  Config.SimPath = Parser.value(Sim);
  Config.Python = Parser.value(Python);
  Config.PeerScript = QStringLiteral(VANTREL_BENCH_PEER_SCRIPT);
  Config.ProbePath = QStringLiteral(VANTREL_BENCH_PROBE_PATH);
  Config.Cycles = Parser.value(Cycles).toInt();
  Config.CpuSeconds = Parser.value(CpuSeconds).toInt();
  Config.MemoryCycles = Parser.value(MemoryCycles).toInt();
  Config.StartupRuns = Parser.value(StartupRuns).toInt();
  const QString Stage = Parser.positionalArguments().isEmpty()
                            ? QStringLiteral("all")
                            : Parser.positionalArguments().first();
  const bool All = Stage == QLatin1String("all");

  bool Ok = true;
  if (All || Stage == QLatin1String("startup")) Ok = StageStartup(Config) && Ok;
  if (All || Stage == QLatin1String("exchange")) {
    Ok = StageExchange(Config, 19200) && Ok;
    Ok = StageExchange(Config, 115200) && Ok;
  }
  if (All || Stage == QLatin1String("memory") || Stage == QLatin1String("draw"))
    Ok = StageMemory(Config, Stage != QLatin1String("memory")) && Ok;
  if (All || Stage == QLatin1String("cpu")) Ok = StageCpu(Config) && Ok;
  return Ok ? 0 : 1;
}
