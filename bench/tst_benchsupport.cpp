#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QTest>
#include <cstring>
#include <memory>

#include "BenchSupport.h"

using namespace vantrel::bench;

namespace {

double CpuSecondsByRusage() {
  rusage Usage{};
  getrusage(RUSAGE_SELF, &Usage);
  return double(Usage.ru_utime.tv_sec + Usage.ru_stime.tv_sec) +
         double(Usage.ru_utime.tv_usec + Usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

// The figures the benchmarks print stand on these readers; a wrong /proc field or an
// off-by-one rank would go unnoticed in a table of plausible numbers.
class TestBenchSupport : public QObject {
  Q_OBJECT

 private slots:
  void summarize_data();
  void summarize();
  void cpuTicksFollowTheKernelsAccount();
  void residentSizeSeesTouchedPages();
  void descriptorsCountOpenFiles();
};

void TestBenchSupport::summarize_data() {
  QTest::addColumn<QList<double>>("values");
  QTest::addColumn<double>("median");
  QTest::addColumn<double>("p95");
  QTest::addColumn<double>("max");
  QTest::newRow("empty") << QList<double>{} << 0.0 << 0.0 << 0.0;
  QTest::newRow("one") << QList<double>{7} << 7.0 << 7.0 << 7.0;
  QTest::newRow("even count takes the lower middle")
      << QList<double>{4, 1, 3, 2} << 2.0 << 4.0 << 4.0;
  QList<double> Hundred;
  for (int I = 100; I >= 1; --I) Hundred << I;
  QTest::newRow("1..100 unsorted") << Hundred << 50.0 << 95.0 << 100.0;
  QList<double> Twenty;
  for (int I = 1; I <= 20; ++I) Twenty << I;
  QTest::newRow("1..20: p95 is the 19th") << Twenty << 10.0 << 19.0 << 20.0;
}

void TestBenchSupport::summarize() {
  QFETCH(QList<double>, values);
  QFETCH(double, median);
  QFETCH(double, p95);
  QFETCH(double, max);
  const TSummary S = Summarize(std::vector<double>(values.begin(), values.end()));
  QCOMPARE(S.Median, median);
  QCOMPARE(S.P95, p95);
  QCOMPARE(S.Max, max);
}

void TestBenchSupport::cpuTicksFollowTheKernelsAccount() {
  // Burn a known amount of CPU time (not wall time: the machine may be busy) and compare
  // the /proc reading with getrusage, which the kernel keeps from the same account.
  const std::int64_t Ticks0 = CpuTicks();
  QVERIFY(Ticks0 >= 0);
  const double Start = CpuSecondsByRusage();
  volatile std::uint64_t Sink = 0;
  while (CpuSecondsByRusage() - Start < 0.3)
    for (int I = 0; I < 100000; ++I) Sink = Sink + static_cast<std::uint64_t>(I);
  const double Spent = CpuSecondsByRusage() - Start;
  const double ByProc = double(CpuTicks() - Ticks0) / double(TicksPerSecond());
  QVERIFY2(std::abs(ByProc - Spent) <= 3.0 / double(TicksPerSecond()),
           qPrintable(QStringLiteral("proc %1 s, rusage %2 s").arg(ByProc).arg(Spent)));
  QCOMPARE(CpuTicks(999999999), std::int64_t(-1));
}

void TestBenchSupport::residentSizeSeesTouchedPages() {
  const std::int64_t Before = ResidentKiB();
  QVERIFY(Before > 0);
  constexpr std::size_t Size = 16 * 1024 * 1024;
  const std::unique_ptr<char[]> Block(new char[Size]);
  std::memset(Block.get(), 1, Size);
  const std::int64_t After = ResidentKiB();
  QVERIFY2(After - Before >= 15 * 1024, qPrintable(QString::number(After - Before)));
  QVERIFY(Block[Size - 1] == 1);
}

void TestBenchSupport::descriptorsCountOpenFiles() {
  const int Before = OpenDescriptors();
  QVERIFY(Before >= 3);
  const int Fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
  QVERIFY(Fd >= 0);
  QCOMPARE(OpenDescriptors(), Before + 1);
  close(Fd);
  QCOMPARE(OpenDescriptors(), Before);
  QCOMPARE(OpenDescriptors(getpid()), Before);
}

QTEST_MAIN(TestBenchSupport)
#include "tst_benchsupport.moc"
