#pragma once

#include <optional>
#include <string>

#include "FamilyReplies.h"

namespace vantrel::sim {

class TCellModel;

// What the identity queries answer: AT+GMI, AT+GMM, AT+GMR.
struct TModemIdentity {
  std::string Manufacturer;
  std::string Model;
  std::string Revision;
};

// The identity of a modem of the family; `Monitor` is the simulator's own modem.
TModemIdentity FamilyIdentity(TSimFamily Family);

// The report commands of a modem of one of the families other than AT^MONI, and the modes they
// were switched to. An AT+CENG or 2G AT+QENG modem starts with its engineering report off, an
// AT#MONI modem set to the serving cell alone, so a program must switch it before reading.
class TFamilyModem {
 public:
  explicit TFamilyModem(TSimFamily Family, TCengStyle Ceng = {}) : FFamily(Family), FCeng(Ceng) {}

  // The reply to `Command` (upper case, without CR) when it is one of the family's report
  // commands, else nullopt. Reading the serving cell moves the model on by one cycle. `Rat`
  // is the technology the LTE modules camp on; the GSM-only families ignore it.
  std::optional<std::string> Execute(const std::string& Command, TCellModel& Model, TRat Rat);

  TSimFamily Family() const { return FFamily; }

 private:
  std::string Report(TCellModel& Model, bool WithNeighbours = true);
  std::optional<std::string> ExecuteLte(const std::string& Command, TCellModel& Model, TRat Rat);

  TSimFamily FFamily;
  TCengStyle FCeng;
  bool FCengOn = false;    // AT+CENG=1,1 (or AT+QENG=1,1) given: the report lists the cells
  bool FAllCells = false;  // AT#MONI=7 given: the table of all cells, not the serving cell
};

}  // namespace vantrel::sim
