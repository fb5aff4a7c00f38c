#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

// The radio technology of a cell. rtNone stands for no serving cell at all: the modem searches
// or has no service. GSM comes first, so a record nobody set is a GSM cell.
enum class TRadioTech : std::uint8_t { rtGsm, rtUmts, rtLte, rtNone };

// "GSM", "UMTS", "LTE"; empty for rtNone.
QString TechName(TRadioTech Tech);

// The levels a technology's bar and chart span, in dBm: GSM RxLev -113..-47, UMTS RSCP
// -120..-25, LTE RSRP -140..-44 (rtNone: the GSM scale).
struct TLevelScale {
  int Low, High;
};
TLevelScale LevelScale(TRadioTech Tech);

// The GSM level at the same place of the GSM scale as Level on Tech's scale (rounded half away
// from zero): bars and colours are drawn on the GSM scale for every technology.
std::int16_t GsmScaleLevel(TRadioTech Tech, std::int32_t Level);

// The level a record of Tech keeps when none was read: just below its scale, which lands just
// below the GSM scale too.
std::int16_t NoLevelOf(TRadioTech Tech);

// The E-UTRA band of a downlink EARFCN and the UTRA band of a downlink UARFCN; 0 when the
// channel lies in no band the program knows.
int LteBandOfEarfcn(std::int32_t Earfcn);
int UmtsBandOfUarfcn(std::int32_t Uarfcn);

// Half away from zero: -88.5 is -89.
std::int32_t RoundHalfAway(double Value);

// Whether a field is one of the ways modems write "no value": "-", "\"-\"", "x", "-32768",
// "-1920" (surrounding blanks ignored), or nothing at all.
bool IsNoValue(const QByteArray& Field);

// A level (Quality false) or a quality (true) in dB or dBm. Some modems print them in tenths:
// a level whose magnitude is over 200, or a quality whose magnitude is over 50, is divided by
// ten. nullopt for a no-value field or one that is not a number.
std::optional<double> ReadMeasure(const QByteArray& Field, bool Quality);
