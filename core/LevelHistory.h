#pragma once

#include <QPointF>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

// One bar of the history: where it stands, how high it goes and how it is filled.
struct TLevelSample {
  double Position;
  double Level;
  std::uint32_t Color;  // 0x00BBGGRR, red in the low byte
};

// A derived horizontal line ("Min", "Max", "Av"): either empty or exactly two points,
// (oldest position, value) and (newest position, value).
struct TLevelLine {
  QString Title;
  QString ValueFormat;
  std::vector<QPointF> Points;
};

// The serving cell's last 31 levels in a sliding window of 31 slots, plus the three
// level lines computed from them on request.
class TLevelHistory {
 public:
  static constexpr std::size_t MaxSamples = 31;
  static constexpr double LowestLevel = -113.0;  // of the GSM scale, the one a history starts on

  TLevelHistory();

  void AppendLevel(std::int16_t Level, std::uint32_t Color);
  void ClearHistory();
  void ResetHistoryWindow();
  void RefreshLevelLines();
  // The levels the chart's axis spans (GSM -113..-47 until set otherwise). A first sample below
  // Low is a level that was not read: it starts no history.
  void SetLevelScale(double Low, double High);
  double ScaleLow() const { return FScaleLow; }
  double ScaleHigh() const { return FScaleHigh; }

  const std::vector<TLevelSample>& Samples() const { return FSamples; }
  double WindowMin() const { return FWindowMin; }
  double WindowMax() const { return FWindowMax; }
  const std::array<TLevelLine, 3>& Lines() const { return FLines; }

  // Raised inside AppendLevel once the new sample is stored; ValueIndex is its index.
  std::function<void(TLevelHistory* Sender, std::int32_t ValueIndex)> OnAfterAdd;
  // Raised whenever what the chart shows may have changed.
  std::function<void()> OnChanged;

 private:
  void Changed();

  std::vector<TLevelSample> FSamples;
  double FWindowMin = -0.5;
  double FWindowMax = 30.5;
  std::array<TLevelLine, 3> FLines;
  double FScaleLow = LowestLevel;
  double FScaleHigh = -47.0;
};
