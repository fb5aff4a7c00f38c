#include "core/RxLevelStats.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/LevelHistory.h"
#include "core/NumberFormat.h"

TRxLevelStats::TRxLevelStats(const TLevelHistory* Series) : FSeries(Series) {}

void TRxLevelStats::SetSeparators(QChar Decimal, QChar Thousand) {
  FDecimal = Decimal;
  FThousand = Thousand;
}

namespace {

// Index of the oldest sample equal to Value, or -1.
int FirstIndexOf(const std::vector<TLevelSample>& Samples, double Value) {
  for (std::size_t I = 0; I < Samples.size(); ++I)
    if (Samples[I].Level == Value) return static_cast<int>(I);
  return -1;
}

double Median(const std::vector<double>& Sorted) {
  const std::size_t N = Sorted.size();
  if (N % 2 == 1) return Sorted[(N - 1) / 2];
  return (Sorted[N / 2 - 1] + Sorted[N / 2]) / 2.0;
}

// Level of the longest run of equal values; the first (smallest) run wins a tie.
double Mode(const std::vector<double>& Sorted) {
  double Best = Sorted.front();
  std::size_t BestLength = 0;
  for (std::size_t I = 0; I < Sorted.size();) {
    std::size_t J = I;
    while (J < Sorted.size() && Sorted[J] == Sorted[I]) ++J;
    if (J - I > BestLength) {
      BestLength = J - I;
      Best = Sorted[I];
    }
    I = J;
  }
  return Best;
}

}  // namespace

void TRxLevelStats::WriteStatistics(QStringList& Lines) const {
  if (FSeries == nullptr || FSeries->Samples().empty()) return;
  const std::vector<TLevelSample>& Samples = FSeries->Samples();
  const std::size_t Count = Samples.size();
  const double N = static_cast<double>(Count);
  const QString Pattern = FSeries->Lines()[0].ValueFormat;
  auto F = [&](double V) { return FormatFloat(Pattern, V, FDecimal, FThousand); };

  std::vector<double> Sorted;
  Sorted.reserve(Count);
  long double SumX = 0, SumXX = 0, SumP = 0, SumPP = 0, SumPX = 0;
  for (const TLevelSample& S : Samples) {
    Sorted.push_back(S.Level);
    SumX += S.Level;
    SumXX += static_cast<long double>(S.Level) * S.Level;
    SumP += S.Position;
    SumPP += static_cast<long double>(S.Position) * S.Position;
    SumPX += static_cast<long double>(S.Position) * S.Level;
  }
  std::sort(Sorted.begin(), Sorted.end());
  const double Max = Sorted.back();
  const double Min = Sorted.front();
  const double Mean = static_cast<double>(SumX / N);

  double Deviation = 0.0;
  double Rms = 0.0;
  double Correlation = 1.0;
  if (Count >= 2) {
    const long double Q = (N * SumXX - SumX * SumX) / (N * (N - 1));
    Deviation = Q < 0 ? 0.0 : static_cast<double>(std::sqrt(Q));
    Rms = static_cast<double>(std::sqrt(SumXX / (N - 1)));
    const long double Spp = SumPP - SumP * SumP / N;
    const long double Sxx = SumXX - SumX * SumX / N;
    const long double Product = Spp * Sxx;
    // Rounding can leave a tiny negative product for constant levels; treat it as zero.
    const long double S = Product > 0 ? std::sqrt(Product) : 0.0L;
    if (S != 0) Correlation = static_cast<double>((SumPX - SumP * SumX / N) / S);
  }
  double Variance = 0.0;
  for (double X : Sorted) Variance += (X - Mean) * (X - Mean);
  Variance /= N;

  auto AtPosition = [&](double Value) {
    const int Index = FirstIndexOf(Samples, Value);
    return Index < 0 ? QString() : QStringLiteral(" at position %1").arg(Index);
  };

  Lines << QStringLiteral("Number of values: %1").arg(Count);
  Lines << QStringLiteral("Maximum value: ") + F(Max) + AtPosition(Max);
  Lines << QStringLiteral("Minimum value: ") + F(Min) + AtPosition(Min);
  Lines << QString();
  Lines << QStringLiteral("Range: ") + F(Max - Min);
  Lines << QString();
  Lines << QStringLiteral("Average: ") + F(Mean);
  Lines << QStringLiteral("Median: ") + F(Median(Sorted));
  Lines << QStringLiteral("Mode: ") + F(Mode(Sorted));
  Lines << QStringLiteral("Std. Deviation: ") + F(Deviation);
  Lines << QStringLiteral("Variance: ") + F(Variance);
  Lines << QStringLiteral("Root Mean Square: ") + F(Rms);
  Lines << QStringLiteral("Correlation: ") + F(Correlation);
}
