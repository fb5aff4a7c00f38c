#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::sim {

// The command set a simulated modem prints its cells with: the AT^MONI reports, the
// AT+CENG (SIMCOM SIM800), AT#MONI (Telit) or AT+CCED (Wavecom, Sierra) report, or one of the
// LTE modules: Quectel's AT+QENG="servingcell" (EC25 and kin), Quectel's 2G AT+QENG (M95),
// SIMCom's AT+CPSI? (SIM7600; the SIM7000 adds its LTE form of AT+CENG).
enum class TSimFamily : std::uint8_t {
  Monitor,
  Ceng,
  Moni,
  Cced,
  Quectel,
  Quectel2g,
  Sim7600,
  Sim7000
};

// "ceng", "moni", "cced", "quectel", "quectel-2g", "sim7600", "sim7000" (and "monitor"), as
// --family takes them; nullopt for other names.
std::optional<TSimFamily> FamilyFromName(std::string_view Name);
// The AT+GMI / AT+CGMI answer of the family's modems ("SIMCOM_Ltd", "Telit",
// " WAVECOM MODEM" with its leading blank, "Quectel", "SIMCOM INCORPORATED"); empty for
// `Monitor`, which keeps its own.
std::string FamilyManufacturer(TSimFamily Family);

// The radio access technology a module camps on; the GSM-only families always use GSM.
enum class TRat : std::uint8_t { Gsm, Umts, Lte };

// How a report lists a cell.
enum class TSlotKind : std::uint8_t {
  Cell,     // a neighbour heard and identified
  Unknown,  // heard, but its network and cell id not decoded (empty MCC and MNC)
  Unread,   // a slot whose identity was never read: cell id FFFF, MCC 000
};

// One cell of a family report, in the units the radio uses.
struct TFamilyCell {
  TSlotKind Kind = TSlotKind::Cell;
  int Arfcn = 0;
  int Dbm = -80;  // received level; rxlev reports print it clamped to their 0..63 scale
  int Mcc = 262;
  int Mnc = 7;
  int MncDigits = 2;  // 2 or 3: how many digits the network code is written with
  int Lac = 0;
  int CellId = 0;
  int Bsic = 0;  // 0..63: network colour code times 8 plus base station colour code
  int RxQual = 0;
  int Ta = 0;
  int C1 = 0;
  int C2 = 0;
  int Rla = 8;  // AT+CENG serving: minimum access level, in rxlev units
  int Txp = 5;  // AT+CENG serving: highest power level allowed on the control channel
};

// The cells one report prints: the serving cell and up to six neighbours, in the modem's order.
struct TFamilyCells {
  TFamilyCell Serving;
  std::vector<TFamilyCell> Neighbours;
};

// One UMTS or LTE cell as the modules report it. GSM cells of these modules are TFamilyCell.
struct TRadioCell {
  TRat Rat = TRat::Lte;
  bool Measured = true;  // false: a configured frequency listed without levels, not a cell
  int Channel = 0;       // UARFCN or EARFCN
  int Band = 0;          // UTRA or E-UTRA band number
  int Id = 0;            // PSC or PCI
  int CellId = 0;        // 28 bits
  int Area = 0;          // LAC or TAC
  int Mcc = 262;
  int Mnc = 7;
  int Level = -90;     // RSCP or RSRP, dBm
  int Quality = -8;    // Ec/Io or RSRQ, dB
  int Rssi = -65;      // dBm
  int Sinr = 10;       // dB
  int Fraction = 0;    // 0..9: tenths of a dB for the modules that print tenths
  bool Whole = false;  // played from a record: tenths printed are the whole values' tens
};

struct TRadioCells {
  TRadioCell Serving;
  std::vector<TRadioCell> Neighbours;
};

struct TCengStyle {
  bool BlankAfterColon = true;  // some firmware writes "+CENG:" without the blank
};

// The reply to AT+CENG? in mode 1 with neighbour cell ids: the "+CENG: 1,1" line, the serving
// cell (index 0) and each neighbour (1..6), then OK. rxl = dBm + 113.
std::string CengReply(const TFamilyCells& Cells, const TCengStyle& Style = {});
// The reply to AT#MONI after AT#MONI=7: the table form, header, "S" row and "N<k>" rows.
// The BSIC is printed as its two colour code digits; `Network` is the name closing the S row.
std::string MoniTableReply(const TFamilyCells& Cells, std::string_view Network = "I WIND");
// The reply to AT#MONI while AT#MONI=0 selects the serving cell alone: one line of key:value
// text, "PWR" being the received level.
std::string MoniSingleReply(const TFamilyCell& Serving, std::string_view Network = "I WIND");
// The reply to AT+CCED=0,3: one line, the serving cell's thirteen fields then seven per
// neighbour. rxlev = dBm + 110.
std::string CcedReply(const TFamilyCells& Cells);

}  // namespace vantrel::sim
