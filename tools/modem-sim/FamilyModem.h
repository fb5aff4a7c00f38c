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

// The drifting cells as a report of the family lists them: the serving cell and the present
// neighbours in slot order. Now and then a neighbour is heard but not decoded (no network, no
// cell id) or its identity not read yet (cell id FFFF), as field captures show.
TFamilyCells FamilyCells(const TCellModel& Model);

// The report commands of a modem of the AT+CENG, AT#MONI or AT+CCED family, and the modes
// they were switched to. Such a modem starts with its engineering report off (AT+CENG) or set
// to the serving cell alone (AT#MONI), so a program must switch it before reading.
class TFamilyModem {
 public:
  explicit TFamilyModem(TSimFamily Family, TCengStyle Ceng = {}) : FFamily(Family), FCeng(Ceng) {}

  // The reply to `Command` (upper case, without CR) when it is one of the family's report
  // commands, else nullopt. Reading the report moves the model on by one cycle.
  std::optional<std::string> Execute(const std::string& Command, TCellModel& Model);

  TSimFamily Family() const { return FFamily; }

 private:
  std::string Report(TCellModel& Model, bool WithNeighbours = true);

  TSimFamily FFamily;
  TCengStyle FCeng;
  bool FCengOn = false;    // AT+CENG=1,1 given: the report lists the cells
  bool FAllCells = false;  // AT#MONI=7 given: the table of all cells, not the serving cell
};

}  // namespace vantrel::sim
