#include "BenchSupport.h"

#include <malloc.h>
#include <unistd.h>

#include <QCheckBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <ctime>

#include "gui/monitor_window.h"

namespace vantrel::bench {

namespace {

QString ProcPath(qint64 Pid, const char* Leaf) {
  return Pid > 0 ? QStringLiteral("/proc/%1/%2").arg(Pid).arg(QLatin1String(Leaf))
                 : QStringLiteral("/proc/self/%1").arg(QLatin1String(Leaf));
}

QByteArray ReadProcFile(qint64 Pid, const char* Leaf) {
  QFile File(ProcPath(Pid, Leaf));
  if (!File.open(QIODevice::ReadOnly)) return {};
  return File.readAll();
}

QCheckBox* Box(TForm3& Window, const char* Name) {
  return Window.findChild<QCheckBox*>(QString::fromLatin1(Name));
}

}  // namespace

std::int64_t CpuTicks(qint64 Pid) {
  const QByteArray Stat = ReadProcFile(Pid, "stat");
  // The command name is in parentheses and may hold blanks; the fields count from after it.
  const qsizetype Close = Stat.lastIndexOf(')');
  if (Close < 0) return -1;
  const QList<QByteArray> Fields = Stat.mid(Close + 2).split(' ');
  // After the name: state is field 3 of the whole line, utime 14 and stime 15.
  if (Fields.size() < 13) return -1;
  bool OkU = false;
  bool OkS = false;
  const std::int64_t UTime = Fields.at(11).toLongLong(&OkU);
  const std::int64_t STime = Fields.at(12).toLongLong(&OkS);
  return OkU && OkS ? UTime + STime : -1;
}

long TicksPerSecond() {
  return sysconf(_SC_CLK_TCK);
}

std::int64_t ResidentKiB(qint64 Pid) {
  const QByteArray Status = ReadProcFile(Pid, "status");
  for (const QByteArray& Line : Status.split('\n')) {
    if (!Line.startsWith("VmRSS:")) continue;
    bool Ok = false;
    const std::int64_t Value = Line.mid(6).trimmed().split(' ').first().toLongLong(&Ok);
    return Ok ? Value : -1;
  }
  return -1;
}

std::int64_t HeapInUseKiB() {
  const struct mallinfo2 Info = mallinfo2();
  return static_cast<std::int64_t>((Info.uordblks + Info.hblkhd) / 1024);
}

int OpenDescriptors(qint64 Pid) {
  const QDir Dir(ProcPath(Pid, "fd"));
  if (!Dir.exists()) return -1;
  // Listing our own folder holds one descriptor on it while it reads, and /proc lists that
  // one too; it is gone again once entryList returns, so take it off.
  const qsizetype Count =
      Dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size();
  const bool Own = Pid <= 0 || Pid == getpid();
  return static_cast<int>(Own ? Count - 1 : Count);
}

std::int64_t MonotonicNs() {
  timespec Ts{};
  clock_gettime(CLOCK_MONOTONIC, &Ts);
  return std::int64_t(Ts.tv_sec) * 1000000000 + Ts.tv_nsec;
}

TSummary Summarize(std::vector<double> Values) {
  TSummary S;
  if (Values.empty()) return S;
  std::sort(Values.begin(), Values.end());
  auto Rank = [&](double P) {
    const auto N = static_cast<double>(Values.size());
    const auto Index = static_cast<std::size_t>(std::max(1.0, std::ceil(P * N))) - 1;
    return Values[std::min(Index, Values.size() - 1)];
  };
  S.Median = Rank(0.5);
  S.P95 = Rank(0.95);
  S.Max = Values.back();
  double Sum = 0;
  for (double V : Values) Sum += V;
  S.Mean = Sum / static_cast<double>(Values.size());
  return S;
}

bool GoOnline(TForm3& Window) {
  QCheckBox* Online = Box(Window, "cbxOnline");
  if (!Online->isChecked()) Online->click();
  return Online->isChecked();
}

void GoOffline(TForm3& Window) {
  QCheckBox* Online = Box(Window, "cbxOnline");
  if (Online->isChecked()) Online->click();
}

void SetMonitoring(TForm3& Window, bool On) {
  QCheckBox* Monitor = Box(Window, "cbxMonitor");
  if (Monitor->isChecked() != On) Monitor->click();
}

void PumpFor(int Ms) {
  QEventLoop Loop;
  QTimer::singleShot(Ms, &Loop, &QEventLoop::quit);
  Loop.exec();
}

QString DefaultSimPath() {
  return QStringLiteral(VANTREL_MODEM_SIM_PATH);
}

}  // namespace vantrel::bench
