#include "core/RadioTech.h"

#include <array>
#include <cmath>

#include "core/ReplyText.h"

namespace {

struct TBandRange {
  int Band;
  std::int32_t First, Last;
};

// Downlink channel ranges of the bands in use.
constexpr std::array<TBandRange, 23> LteBands{
    {{1, 0, 599},        {2, 600, 1199},     {3, 1200, 1949},    {4, 1950, 2399},
     {5, 2400, 2649},    {7, 2750, 3449},    {8, 3450, 3799},    {12, 5010, 5179},
     {13, 5180, 5279},   {14, 5280, 5379},   {17, 5730, 5849},   {18, 5850, 5999},
     {19, 6000, 6149},   {20, 6150, 6449},   {25, 8040, 8689},   {26, 8690, 9039},
     {28, 9210, 9659},   {38, 37750, 38249}, {39, 38250, 38649}, {40, 38650, 39649},
     {41, 39650, 41589}, {66, 66436, 67335}, {71, 68586, 68935}}};
constexpr std::array<TBandRange, 5> UmtsBands{
    {{1, 10562, 10838}, {2, 9662, 9938}, {4, 1537, 1738}, {5, 4357, 4458}, {8, 2937, 3088}}};

template <std::size_t N>
int BandOf(const std::array<TBandRange, N>& Bands, std::int32_t Channel) {
  for (const TBandRange& Range : Bands)
    if (Channel >= Range.First && Channel <= Range.Last) return Range.Band;
  return 0;
}

constexpr TLevelScale GsmScale{-113, -47};

}  // namespace

QString TechName(TRadioTech Tech) {
  switch (Tech) {
    case TRadioTech::rtGsm:
      return QStringLiteral("GSM");
    case TRadioTech::rtUmts:
      return QStringLiteral("UMTS");
    case TRadioTech::rtLte:
      return QStringLiteral("LTE");
    case TRadioTech::rtNone:
      break;
  }
  return {};
}

TLevelScale LevelScale(TRadioTech Tech) {
  switch (Tech) {
    case TRadioTech::rtUmts:
      return {-120, -25};
    case TRadioTech::rtLte:
      return {-140, -44};
    case TRadioTech::rtGsm:
    case TRadioTech::rtNone:
      break;
  }
  return GsmScale;
}

std::int16_t GsmScaleLevel(TRadioTech Tech, std::int32_t Level) {
  const TLevelScale Scale = LevelScale(Tech);
  if (Scale.Low == GsmScale.Low && Scale.High == GsmScale.High)
    return static_cast<std::int16_t>(Level);
  const double Span = GsmScale.High - GsmScale.Low;
  const double Place = static_cast<double>(Level - Scale.Low) / (Scale.High - Scale.Low);
  return static_cast<std::int16_t>(RoundHalfAway(GsmScale.Low + Span * Place));
}

std::int16_t NoLevelOf(TRadioTech Tech) {
  return static_cast<std::int16_t>(LevelScale(Tech).Low - 1);
}

int LteBandOfEarfcn(std::int32_t Earfcn) {
  return BandOf(LteBands, Earfcn);
}

int UmtsBandOfUarfcn(std::int32_t Uarfcn) {
  return BandOf(UmtsBands, Uarfcn);
}

std::int32_t RoundHalfAway(double Value) {
  return static_cast<std::int32_t>(std::round(Value));  // std::round rounds halves away from 0
}

bool IsNoValue(const QByteArray& Field) {
  const QByteArray Text = TrimBlanks(Field);
  return Text.isEmpty() || Text == "-" || Text == "\"-\"" || Text == "x" || Text == "-32768" ||
         Text == "-1920";
}

std::optional<double> ReadMeasure(const QByteArray& Field, bool Quality) {
  if (IsNoValue(Field)) return std::nullopt;
  bool Ok = false;
  double Value = TrimBlanks(Field).toDouble(&Ok);
  // Far beyond any level or quality even in tenths: not a measurement.
  if (!Ok || !std::isfinite(Value) || std::fabs(Value) > 10000) return std::nullopt;
  if (std::fabs(Value) > (Quality ? 50 : 200)) Value /= 10;
  return Value;
}
