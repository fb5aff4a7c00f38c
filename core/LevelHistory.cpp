#include "core/LevelHistory.h"

#include <algorithm>

TLevelHistory::TLevelHistory()
    : FLines{{{QStringLiteral("Min"), QStringLiteral("#,##0.###"), {}},
              {QStringLiteral("Max"), QStringLiteral("#,##0.###"), {}},
              {QStringLiteral("Av"), QStringLiteral("##0.0"), {}}}} {}

void TLevelHistory::AppendLevel(std::int16_t Level, std::uint32_t Color) {
  const double Value = Level;
  const std::size_t Count = FSamples.size();
  double Position = 0.0;
  if (Count == 0) {
    // An unparsed level arrives as -114; it must not start a fresh history.
    if (Value < FScaleLow) return;
    Position = 0.0;
  } else if (Count >= MaxSamples) {
    FSamples.erase(FSamples.begin());
    FWindowMin += 1.0;
    FWindowMax += 1.0;
    Position = FWindowMax - 0.5;
  } else {
    Position = static_cast<double>(Count);
  }
  FSamples.push_back({Position, Value, Color});
  if (OnAfterAdd) OnAfterAdd(this, static_cast<std::int32_t>(FSamples.size() - 1));
  Changed();
}

void TLevelHistory::ClearHistory() {
  FSamples.clear();
  for (TLevelLine& Line : FLines) Line.Points.clear();
  Changed();
}

void TLevelHistory::SetLevelScale(double Low, double High) {
  FScaleLow = Low;
  FScaleHigh = High;
  Changed();
}

void TLevelHistory::ResetHistoryWindow() {
  FWindowMin = -0.5;
  FWindowMax = 30.5;
  Changed();
}

void TLevelHistory::RefreshLevelLines() {
  for (TLevelLine& Line : FLines) Line.Points.clear();
  if (!FSamples.empty()) {
    double Min = FSamples.front().Level;
    double Max = Min;
    double Sum = 0.0;
    for (const TLevelSample& S : FSamples) {
      Min = std::min(Min, S.Level);
      Max = std::max(Max, S.Level);
      Sum += S.Level;
    }
    const double Values[3] = {Min, Max, Sum / static_cast<double>(FSamples.size())};
    // Positions are kept ascending, so the ends of the list are the ends of the lines.
    const double First = FSamples.front().Position;
    const double Last = FSamples.back().Position;
    for (std::size_t I = 0; I < FLines.size(); ++I) {
      FLines[I].Points.emplace_back(First, Values[I]);
      FLines[I].Points.emplace_back(Last, Values[I]);
    }
  }
  Changed();
}

void TLevelHistory::Changed() {
  if (OnChanged) OnChanged();
}
