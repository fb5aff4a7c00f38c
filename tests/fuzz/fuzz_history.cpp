// Level sequences, extreme 16-bit values included, through the history, its level lines and
// the statistics report, in the order the monitor window drives them.

#include <fuzzer/FuzzedDataProvider.h>

#include <QString>
#include <QStringList>
#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <map>
#include <tuple>
#include <vector>

#include "FormatChecks.h"
#include "FuzzCheck.h"
#include "Separators.h"
#include "core/LevelHistory.h"
#include "core/RxLevelStats.h"

namespace {

const fmt::TShape StatShape = fmt::ShapeOf(QStringLiteral("#,##0.###"));

struct TRun {
  TLevelHistory History;
  TRxLevelStats Stats{&History};
  QChar Decimal, Thousand;
  int Added = 0;
  int LastIndex = -1;
  bool WindowReset = true;  // the window was put back since the history was last emptied
};

// The value after Label, read back as the statistics format wrote it.
double Value(const QString& Line, const QString& Label, const TRun& Run) {
  FUZZ_CHECK(Line.startsWith(Label));
  return fmt::ReadBack(Line.mid(Label.size()), StatShape, Run.Decimal, Run.Thousand);
}

// "F(v) at position i": the oldest sample holding v.
void CheckExtreme(const QString& Line, const QString& Label, double Expected,
                  const std::vector<TLevelSample>& Samples, const TRun& Run) {
  const QString At = QStringLiteral(" at position ");
  const qsizetype Cut = Line.lastIndexOf(At);
  FUZZ_CHECK(Cut > 0);
  FUZZ_CHECK(Value(Line.left(Cut), Label, Run) == Expected);
  bool Ok = false;
  const int Index = Line.mid(Cut + At.size()).toInt(&Ok);
  FUZZ_CHECK(Ok && Index >= 0 && Index < static_cast<int>(Samples.size()));
  FUZZ_CHECK(Samples[static_cast<std::size_t>(Index)].Level == Expected);
  for (int I = 0; I < Index; ++I)
    FUZZ_CHECK(Samples[static_cast<std::size_t>(I)].Level != Expected);
}

void CheckStatistics(const TRun& Run) {
  const std::vector<TLevelSample>& S = Run.History.Samples();
  QStringList Lines{QStringLiteral("kept")};
  Run.Stats.WriteStatistics(Lines);
  FUZZ_CHECK(Lines.size() == 14 && Lines.front() == QStringLiteral("kept"));
  Lines.removeFirst();

  // Exact sums in integers: levels and positions are whole numbers.
  const auto N = static_cast<std::int64_t>(S.size());
  std::int64_t X = 0, XX = 0, P = 0, PP = 0, PX = 0;
  std::map<std::int64_t, int> Runs;
  for (const TLevelSample& Sample : S) {
    const auto L = static_cast<std::int64_t>(Sample.Level);
    const auto Q = static_cast<std::int64_t>(Sample.Position);
    X += L;
    XX += L * L;
    P += Q;
    PP += Q * Q;
    PX += Q * L;
    ++Runs[L];
  }
  const double Max = static_cast<double>(Runs.rbegin()->first);
  const double Min = static_cast<double>(Runs.begin()->first);

  FUZZ_CHECK(Lines[0] == QStringLiteral("Number of values: %1").arg(N));
  CheckExtreme(Lines[1], QStringLiteral("Maximum value: "), Max, S, Run);
  CheckExtreme(Lines[2], QStringLiteral("Minimum value: "), Min, S, Run);
  FUZZ_CHECK(Lines[3].isEmpty() && Lines[5].isEmpty());
  FUZZ_CHECK(Value(Lines[4], QStringLiteral("Range: "), Run) == Max - Min);

  const double Mean = static_cast<double>(X) / static_cast<double>(N);
  FUZZ_CHECK(fmt::Near(Value(Lines[6], QStringLiteral("Average: "), Run), Mean, StatShape));

  std::vector<std::int64_t> Sorted;
  for (const auto& [Level, Count] : Runs) Sorted.insert(Sorted.end(), Count, Level);
  const double Median =
      N % 2 == 1
          ? static_cast<double>(Sorted[Sorted.size() / 2])
          : static_cast<double>(Sorted[Sorted.size() / 2 - 1] + Sorted[Sorted.size() / 2]) / 2.0;
  FUZZ_CHECK(Value(Lines[7], QStringLiteral("Median: "), Run) == Median);

  // The longest run of equal levels; the smallest level wins a tie.
  const auto Mode = std::max_element(
      Runs.begin(), Runs.end(), [](const auto& A, const auto& B) { return A.second < B.second; });
  FUZZ_CHECK(Value(Lines[8], QStringLiteral("Mode: "), Run) == static_cast<double>(Mode->first));

  // n·Σx² − (Σx)² is exact here and never negative.
  const std::int64_t Spread = N * XX - X * X;
  FUZZ_CHECK(Spread >= 0);
  const double Deviation =
      N < 2 ? 0.0 : std::sqrt(static_cast<double>(Spread) / static_cast<double>(N * (N - 1)));
  const double Variance = static_cast<double>(Spread) / static_cast<double>(N * N);
  const double Rms = N < 2 ? 0.0 : std::sqrt(static_cast<double>(XX) / static_cast<double>(N - 1));
  FUZZ_CHECK(
      fmt::Near(Value(Lines[9], QStringLiteral("Std. Deviation: "), Run), Deviation, StatShape));
  FUZZ_CHECK(fmt::Near(Value(Lines[10], QStringLiteral("Variance: "), Run), Variance, StatShape));
  FUZZ_CHECK(
      fmt::Near(Value(Lines[11], QStringLiteral("Root Mean Square: "), Run), Rms, StatShape));

  const double R = Value(Lines[12], QStringLiteral("Correlation: "), Run);
  FUZZ_CHECK(R >= -1.0 && R <= 1.0);
  const std::int64_t SpreadP = N * PP - P * P;
  if (N < 2 || Spread == 0 || SpreadP == 0) {
    FUZZ_CHECK(R == 1.0);
  } else {
    const double Exact = static_cast<double>(N * PX - P * X) /
                         std::sqrt(static_cast<double>(SpreadP) * static_cast<double>(Spread));
    FUZZ_CHECK(std::fabs(R - Exact) <= 0.0005 + 1e-9);
  }
}

void CheckHistory(const TRun& Run) {
  const TLevelHistory& H = Run.History;
  const std::vector<TLevelSample>& S = H.Samples();
  FUZZ_CHECK(S.size() <= TLevelHistory::MaxSamples);
  FUZZ_CHECK(H.WindowMax() - H.WindowMin() == 31.0);
  for (std::size_t I = 0; I < S.size(); ++I) {
    FUZZ_CHECK(S[I].Position == std::floor(S[I].Position));
    if (I > 0) FUZZ_CHECK(S[I].Position > S[I - 1].Position);
    // Once the window was put back with the history, it shows every sample held.
    if (Run.WindowReset) FUZZ_CHECK(S[I].Position > H.WindowMin() && S[I].Position < H.WindowMax());
  }
  if (Run.WindowReset && S.size() == TLevelHistory::MaxSamples)
    FUZZ_CHECK(S.back().Position == H.WindowMax() - 0.5 &&
               S.front().Position == H.WindowMin() + 0.5);
}

void CheckLines(const TRun& Run) {
  const TLevelHistory& H = Run.History;
  const std::vector<TLevelSample>& S = H.Samples();
  if (S.empty()) {
    for (const TLevelLine& Line : H.Lines()) FUZZ_CHECK(Line.Points.empty());
    return;
  }
  double Min = S.front().Level, Max = Min, Sum = 0;
  for (const TLevelSample& Sample : S) {
    Min = std::min(Min, Sample.Level);
    Max = std::max(Max, Sample.Level);
    Sum += Sample.Level;
  }
  const double Values[3] = {Min, Max, Sum / static_cast<double>(S.size())};
  for (std::size_t I = 0; I < 3; ++I) {
    const std::vector<QPointF>& Points = H.Lines()[I].Points;
    FUZZ_CHECK(Points.size() == 2);
    FUZZ_CHECK(Points[0].x() == S.front().Position && Points[1].x() == S.back().Position);
    FUZZ_CHECK(Points[0].y() == Values[I] && Points[1].y() == Values[I]);
  }
  FUZZ_CHECK(Min <= Values[2] && Values[2] <= Max);
}

std::int16_t LevelFrom(FuzzedDataProvider& In) {
  // Mostly levels a modem reports, often the 16-bit extremes and the unparsed -114.
  switch (In.ConsumeIntegralInRange(0, 7)) {
    case 0:
      return -32768;
    case 1:
      return 32767;
    case 2:
      return -114;
    case 3:
      return In.ConsumeIntegral<std::int16_t>();
    default:
      return In.ConsumeIntegralInRange<std::int16_t>(-120, 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The program's application object sets the C library to the user's locale; so do we, so
  // that a run under a decimal-comma locale shows whether the formats depend on it.
  std::setlocale(LC_ALL, "");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  FuzzedDataProvider In(Data, Size);
  TRun Run;
  std::tie(Run.Decimal, Run.Thousand) = SeparatorsFrom(In.ConsumeIntegral<std::uint8_t>());
  Run.Stats.SetSeparators(Run.Decimal, Run.Thousand);
  Run.History.OnAfterAdd = [&Run](TLevelHistory* Sender, std::int32_t ValueIndex) {
    FUZZ_CHECK(Sender == &Run.History);
    ++Run.Added;
    Run.LastIndex = ValueIndex;
  };

  for (int Step = 0; Step < 200 && In.remaining_bytes() > 0; ++Step) {
    const int Op = In.ConsumeIntegralInRange(0, 31);
    if (Op == 0) {  // going online: the history empties, the window stays
      Run.History.ClearHistory();
      Run.WindowReset = false;
    } else if (Op == 1) {  // monitoring switched on
      Run.History.ClearHistory();
      Run.History.ResetHistoryWindow();
      Run.WindowReset = true;
    } else {
      const std::size_t Before = Run.History.Samples().size();
      const std::int16_t Level = LevelFrom(In);
      const std::uint32_t Color = In.ConsumeIntegral<std::uint32_t>();
      const int AddedBefore = Run.Added;
      Run.History.AppendLevel(Level, Color);
      const auto& S = Run.History.Samples();
      if (Before == 0 && Level < -113) {
        FUZZ_CHECK(S.empty() && Run.Added == AddedBefore);
        continue;
      }
      FUZZ_CHECK(Run.Added == AddedBefore + 1);
      FUZZ_CHECK(Run.LastIndex == static_cast<int>(S.size()) - 1);
      FUZZ_CHECK(S.size() == std::min(Before + 1, TLevelHistory::MaxSamples));
      FUZZ_CHECK(S.back().Level == Level && S.back().Color == Color);
      // What the window's handler does after every sample.
      Run.History.RefreshLevelLines();
      CheckLines(Run);
      CheckStatistics(Run);
    }
    CheckHistory(Run);
  }
  return 0;
}
