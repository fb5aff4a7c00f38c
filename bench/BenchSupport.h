#pragma once

// Helpers the benchmark programs share: reading this process's (or another's) CPU time,
// resident size and open descriptors from /proc, percentiles, and driving the monitor
// window the way a person would, through its check boxes.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

class TForm3;

namespace vantrel::bench {

// utime + stime of a process, in clock ticks (see TicksPerSecond); -1 when unreadable.
std::int64_t CpuTicks(qint64 Pid = 0);
long TicksPerSecond();
// VmRSS in KiB; -1 when unreadable.
std::int64_t ResidentKiB(qint64 Pid = 0);
// Bytes the allocator has handed out and not had back (mallinfo2), in KiB: tells a
// growing heap from a resident size that only moves with fragmentation and page reuse.
std::int64_t HeapInUseKiB();
// Entries in /proc/<pid>/fd; -1 when unreadable.
int OpenDescriptors(qint64 Pid = 0);
// CLOCK_MONOTONIC in nanoseconds: the same clock in every process of the machine.
std::int64_t MonotonicNs();

struct TSummary {
  double Median = 0;
  double P95 = 0;
  double Max = 0;
  double Mean = 0;
};
// Nearest-rank percentiles; an empty set gives zeros.
TSummary Summarize(std::vector<double> Values);

// Milliseconds that Bytes take on a line at Rate bit/s, ten bit times a byte.
inline double LineTimeMs(double Bytes, double Rate) {
  return Rate > 0 ? Bytes * 10.0 * 1000.0 / Rate : 0.0;
}

// Checks Online through the check box; true when the window ended up online.
bool GoOnline(TForm3& Window);
void GoOffline(TForm3& Window);
void SetMonitoring(TForm3& Window, bool On);
// Runs the event loop for Ms milliseconds.
void PumpFor(int Ms);

// The simulator binary the build knows of, overridable with --sim.
QString DefaultSimPath();

}  // namespace vantrel::bench
