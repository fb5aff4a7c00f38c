#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::sim {

/// The command set a simulated modem prints its cells with: the AT^MONI reports, or the
/// AT+CENG (SIMCOM), AT#MONI (Telit) or AT+CCED (Wavecom, Sierra) report.
enum class Family : std::uint8_t { monitor, ceng, moni, cced };

/// "ceng", "moni", "cced" (and "monitor"), as --family takes them; nullopt for other names.
std::optional<Family> familyFromName(std::string_view name);
/// The AT+GMI / AT+CGMI answer of the family's modems ("SIMCOM_Ltd", "Telit",
/// " WAVECOM MODEM" with its leading blank); empty for `monitor`, which keeps its own.
std::string familyManufacturer(Family family);

/// How a report lists a cell.
enum class SlotKind : std::uint8_t {
  cell,     ///< a neighbour heard and identified
  unknown,  ///< heard, but its network and cell id not decoded (empty MCC and MNC)
  unread,   ///< a slot whose identity was never read: cell id FFFF, MCC 000
};

/// One cell of a family report, in the units the radio uses.
struct FamilyCell {
  SlotKind kind = SlotKind::cell;
  int arfcn = 0;
  int dbm = -80;  ///< received level; rxlev reports print it clamped to their 0..63 scale
  int mcc = 262;
  int mnc = 7;
  int mncDigits = 2;  ///< 2 or 3: how many digits the network code is written with
  int lac = 0;
  int cellId = 0;
  int bsic = 0;  ///< 0..63: network colour code times 8 plus base station colour code
  int rxQual = 0;
  int ta = 0;
  int c1 = 0;
  int c2 = 0;
  int rla = 8;  ///< AT+CENG serving: minimum access level, in rxlev units
  int txp = 5;  ///< AT+CENG serving: highest power level allowed on the control channel
};

/// The cells one report prints: the serving cell and up to six neighbours, in the modem's order.
struct FamilyCells {
  FamilyCell serving;
  std::vector<FamilyCell> neighbours;
};

struct CengStyle {
  bool blankAfterColon = true;  ///< some firmware writes "+CENG:" without the blank
};

/// The reply to AT+CENG? in mode 1 with neighbour cell ids: the "+CENG: 1,1" line, the serving
/// cell (index 0) and each neighbour (1..6), then OK. rxl = dBm + 113.
std::string cengReply(const FamilyCells& cells, const CengStyle& style = {});
/// The reply to AT#MONI after AT#MONI=7: the table form, header, "S" row and "N<k>" rows.
/// The BSIC is printed as its two colour code digits; `network` is the name closing the S row.
std::string moniTableReply(const FamilyCells& cells, std::string_view network = "I WIND");
/// The reply to AT#MONI while AT#MONI=0 selects the serving cell alone: one line of key:value
/// text, "PWR" being the received level.
std::string moniSingleReply(const FamilyCell& serving, std::string_view network = "I WIND");
/// The reply to AT+CCED=0,3: one line, the serving cell's thirteen fields then seven per
/// neighbour. rxlev = dBm + 110.
std::string ccedReply(const FamilyCells& cells);

}  // namespace vantrel::sim
