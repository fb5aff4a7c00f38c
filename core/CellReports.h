#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/RadioTech.h"

enum class TGsmBand : std::uint8_t { gbNone, gb900, gb1800, gbE, gbR };

// One grid column's record. Parsed values are kept as their low 16 bits. For a UMTS or LTE cell
// Channel is the UARFCN or EARFCN, Level the RSCP or RSRP in dBm, Bsic the PSC or PCI and Lac
// the LAC or TAC.
struct TCellInfo {
  TRadioTech Tech = TRadioTech::rtGsm;
  TGsmBand Band = TGsmBand::gbNone;
  std::int16_t Channel = 0, Level = 0, RxLev = 0, C1 = 0, Pwr = 0;
  std::uint16_t Mcc = 0, Mnc = 0, Lac = 0, Bsic = 0, CellId = 0;
};

// Band of a channel number, classified on the full value (before any 16-bit cut).
TGsmBand ChannelBand(std::int32_t Channel);
// "-", "900", "1800", "E" or "R".
QString BandText(TGsmBand Band);
// Colour of a level bar or history bar as 0x00BBGGRR: deep blue for weak, pale for strong.
std::uint32_t LevelColor(std::int16_t Level);

// The PLMN as the details show it: MCC and MNC side by side. A three-digit network code needs
// three places (310 with 260 is 310260, and 310 with 010 written so is 310010), so it is taken
// as three digits when it was written with three or is 100 or more.
QString PlmnText(std::uint16_t Mcc, std::uint16_t Mnc, bool WrittenWithThreeDigits = false);

// Text of one grid cell; Valid false means it is shown in red.
struct TCellText {
  QString Text;
  bool Valid = true;
};

struct TBarView {
  std::int16_t Position = 0;
  std::uint32_t Color = 0;
};

// The level a record keeps when none was read: just below the weakest level a bar can show.
constexpr std::int16_t NoLevel = -114;

// Reply bytes as the window shows them.
QString Latin1(const QByteArray& Bytes);

// A detail field: when Text reads as a decimal its low 16 bits go to Stored and it shows as the
// untrimmed Text (AsPrinted) or as the decimal; otherwise it shows "-" and Stored stays.
QString ReadDetail(const QByteArray& Text, std::int16_t& Stored, bool AsPrinted);

// The LAC (hexadecimal) into Cell.Lac, shown in decimal; "-" when it does not read.
QString ReadLac(const QByteArray& Text, TCellInfo& Cell);

// The serving column and the details. Cell.Tech tells which details apply: GSM RxLev, C1, Pwr,
// Plmn, Lac; UMTS Quality (Ec/Io), Rssi, Pwr, Plmn, Lac; LTE Quality (RSRQ), Sinr, Rssi, Plmn,
// Lac (the TAC). rtNone (searching, no service): every text empty, the record emptied.
struct TServingCellView {
  TCellInfo Cell;  // the new record of the serving column
  TCellText Channel, Band, Level;
  TBarView Bar;                       // on the GSM scale, whatever the technology
  QString RxLev, C1, Pwr, Plmn, Lac;  // the untrimmed cut, a decimal, or "-"
  QString Quality, Sinr, Rssi;        // whole dB / dBm, SINR as printed, or "-"
};

// Serving cell report (AT^MONI), in either column layout: separate MCC and MNC columns, or
// one PLMN column (told by the column header). nullopt when the reply's shape is not accepted.
std::optional<TServingCellView> ParseServingCellReport(const QList<QByteArray>& Lines,
                                                       const TCellInfo& Previous);

struct TNeighbourColumnView {
  TCellInfo Cell;
  TCellText Channel, Band, Level;
  TBarView Bar;
};

// A neighbour column the modem no longer reports: nothing shown, the bar empty, the record
// back to an empty cell.
TNeighbourColumnView EmptiedNeighbourColumn();

// Neighbour cell report (AT^MONP). Six elements, element k being grid column k + 1; the
// columns after the last neighbour read come emptied (empty texts, empty bar, an empty
// record). Previous is indexed by grid column (element 0 unused). nullopt when the shape is
// not accepted.
std::optional<std::vector<TNeighbourColumnView>> ParseNeighbourCellReport(
    const QList<QByteArray>& Lines, const std::array<TCellInfo, 7>& Previous);

struct TIdentityColumnView {
  TCellInfo Cell;
  TCellText Bsic, CellId;
};

struct TCellIdentityReport {
  bool PrefixFound = false;  // the field list is replaced by Fields exactly when this is true
  QList<QByteArray> Fields;
  std::optional<std::array<TIdentityColumnView, 7>> Columns;  // only with 63 or more fields
};

// Cell identity report (AT^SMONC), indexed by grid column. A slot the modem marks empty
// (country 0, channel 0) gives empty texts and zero BSIC and cell id.
TCellIdentityReport ParseCellIdentityReport(const QList<QByteArray>& Lines,
                                            const std::array<TCellInfo, 7>& Previous);
