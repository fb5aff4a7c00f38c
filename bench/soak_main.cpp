// vantrel-soak: the monitor window monitoring the simulator for a long time, reporting its
// resident size, open descriptors and cycle count every minute. Leaks and descriptor losses
// show as numbers that keep rising once the first minutes have filled the caches.
#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <cstdio>

#include "BenchSupport.h"
#include "CycleWatch.h"
#include "gui/monitor_window.h"
#include "serial/SerialPortDriver.h"
#include "tests/support/SimProcess.h"

using namespace vantrel::bench;

namespace {

struct TSample {
  int Minute;
  std::int64_t Rss;
  int Fds;
  std::int64_t Cycles;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication Application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Vantrel"));
  QCommandLineParser Parser;
  Parser.setApplicationDescription(QStringLiteral("Monitors the simulated modem for a while."));
  Parser.addHelpOption();
  const QCommandLineOption Minutes(QStringLiteral("minutes"), QStringLiteral("Run time."),
                                   QStringLiteral("n"), QStringLiteral("30"));
  const QCommandLineOption Baud(QStringLiteral("baud"), QStringLiteral("Simulator line rate."),
                                QStringLiteral("bps"), QStringLiteral("19200"));
  const QCommandLineOption Interval(QStringLiteral("interval"),
                                    QStringLiteral("Seconds between reports."), QStringLiteral("s"),
                                    QStringLiteral("60"));
  const QCommandLineOption Sim(QStringLiteral("sim"), QStringLiteral("vantrel-modem-sim binary."),
                               QStringLiteral("path"), DefaultSimPath());
  Parser.addOptions({Minutes, Baud, Interval, Sim});
  Parser.process(Application);
  const int RunMinutes = Parser.value(Minutes).toInt();
  const int IntervalS = qMax(1, Parser.value(Interval).toInt());

  vantrel::test::SimProcess Modem(Parser.value(Sim));
  if (!Modem.start({QStringLiteral("--no-link"), QStringLiteral("--seed"), QStringLiteral("11"),
                    QStringLiteral("--baud"), Parser.value(Baud)})) {
    std::fprintf(stderr, "soak: the simulator did not start\n");
    return 2;
  }
  TForm3 Window;
  Window.show();
  Window.Modem()->SetPortName(Modem.slavePath());
  PumpFor(200);
  if (!GoOnline(Window)) {
    std::fprintf(stderr, "soak: could not go online on %s\n", qPrintable(Modem.slavePath()));
    return 2;
  }
  TCycleWatch Watch(Window);
  SetMonitoring(Window, true);
  std::printf("soak: %d min at %s bit/s on %s, pid %lld, a report every %d s\n", RunMinutes,
              qPrintable(Parser.value(Baud)), qPrintable(Modem.slavePath()),
              QCoreApplication::applicationPid(), IntervalS);
  std::printf("%8s %10s %5s %8s %10s %10s %10s\n", "elapsed", "rss_KiB", "fds", "cycles",
              "cycle_med", "cycle_max", "cpu_%core");
  std::fflush(stdout);

  std::vector<TSample> Samples;
  const std::int64_t StartNs = MonotonicNs();
  std::int64_t LastTicks = CpuTicks();
  std::int64_t LastNs = StartNs;
  QTimer Report;
  Report.setInterval(IntervalS * 1000);
  QObject::connect(&Report, &QTimer::timeout, &Window, [&] {
    const std::int64_t Now = MonotonicNs();
    const std::int64_t Ticks = CpuTicks();
    const double Cpu =
        100.0 * double(Ticks - LastTicks) / double(TicksPerSecond()) / (double(Now - LastNs) / 1e9);
    LastTicks = Ticks;
    LastNs = Now;
    const TSummary Cycle = Summarize(Watch.TakeDurations());
    const int Elapsed = int((Now - StartNs) / 1000000000);
    Samples.push_back({Elapsed, ResidentKiB(), OpenDescriptors(), Watch.Cycles()});
    std::printf("%7ds %10lld %5d %8lld %8.0fms %8.0fms %10.2f\n", Elapsed,
                static_cast<long long>(Samples.back().Rss), Samples.back().Fds,
                static_cast<long long>(Samples.back().Cycles), Cycle.Median, Cycle.Max, Cpu);
    std::fflush(stdout);
    if (Now - StartNs >= std::int64_t(RunMinutes) * 60 * 1000000000) QApplication::quit();
  });
  Report.start();
  QApplication::exec();

  SetMonitoring(Window, false);
  GoOffline(Window);
  // Flat means: from the third report on, the resident size moves within a band and the
  // descriptor count does not move at all.
  if (Samples.size() < 4) {
    std::printf("soak: too short to judge (%zu reports)\n", Samples.size());
    return 0;
  }
  std::int64_t Lo = Samples[2].Rss;
  std::int64_t Hi = Lo;
  int FdLo = Samples[2].Fds;
  int FdHi = FdLo;
  for (std::size_t I = 2; I < Samples.size(); ++I) {
    Lo = std::min(Lo, Samples[I].Rss);
    Hi = std::max(Hi, Samples[I].Rss);
    FdLo = std::min(FdLo, Samples[I].Fds);
    FdHi = std::max(FdHi, Samples[I].Fds);
  }
  const std::int64_t Growth = Samples.back().Rss - Samples[2].Rss;
  const bool Flat = Growth <= 256 && FdLo == FdHi;
  std::printf(
      "soak: from %ds to %ds rss %lld..%lld KiB (end minus start %+lld KiB), fds %d..%d, "
      "%lld cycles: %s\n",
      Samples[2].Minute, Samples.back().Minute, static_cast<long long>(Lo),
      static_cast<long long>(Hi), static_cast<long long>(Growth), FdLo, FdHi,
      static_cast<long long>(Samples.back().Cycles), Flat ? "flat" : "NOT flat");
  return Flat ? 0 : 1;
}
