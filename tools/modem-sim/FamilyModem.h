#pragma once

#include <optional>
#include <string>

#include "FamilyReplies.h"

namespace vantrel::sim {

class CellModel;

/// What the identity queries answer: AT+GMI, AT+GMM, AT+GMR.
struct ModemIdentity {
  std::string manufacturer;
  std::string model;
  std::string revision;
};

/// The identity of a modem of the family; `monitor` is the simulator's own modem.
ModemIdentity familyIdentity(Family family);

/// The drifting cells as a report of the family lists them: the serving cell and the present
/// neighbours in slot order. Now and then a neighbour is heard but not decoded (no network, no
/// cell id) or its identity not read yet (cell id FFFF), as field captures show.
FamilyCells familyCells(const CellModel& model);

/// The report commands of a modem of the AT+CENG, AT#MONI or AT+CCED family, and the modes
/// they were switched to. Such a modem starts with its engineering report off (AT+CENG) or set
/// to the serving cell alone (AT#MONI), so a program must switch it before reading.
class FamilyModem {
 public:
  explicit FamilyModem(Family family, CengStyle ceng = {}) : m_family(family), m_ceng(ceng) {}

  /// The reply to `command` (upper case, without CR) when it is one of the family's report
  /// commands, else nullopt. Reading the report moves the model on by one cycle.
  std::optional<std::string> execute(const std::string& command, CellModel& model);

  Family family() const { return m_family; }

 private:
  std::string report(CellModel& model, bool withNeighbours = true);

  Family m_family;
  CengStyle m_ceng;
  bool m_cengOn = false;    ///< AT+CENG=1,1 given: the report lists the cells
  bool m_allCells = false;  ///< AT#MONI=7 given: the table of all cells, not the serving cell
};

}  // namespace vantrel::sim
