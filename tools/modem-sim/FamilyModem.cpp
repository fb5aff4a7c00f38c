#include "FamilyModem.h"

#include <algorithm>

#include "ModemCore.h"

namespace vantrel::sim {

namespace {

const std::string Ok = "\r\nOK\r\n";
// The operator name Telit closes its serving cell line with, for the model's network 262 07.
constexpr std::string_view TelitNetwork = "o2 - de";

// Which neighbours a report lists without their identity. Tied to the cell id, so a cell keeps
// its kind while it stays and the kinds change as neighbours come and go.
SlotKind slotKind(const NeighbourCell& n) {
  if (n.kind) return *n.kind;
  switch (n.cellId % 12) {
    case 0:
      return SlotKind::unknown;
    case 1:
      return SlotKind::unread;
    default:
      return SlotKind::cell;
  }
}

// What the serving cell and a neighbour have alike: where they are and who they are.
template <typename Cell>
void setRadio(FamilyCell& out, const Cell& cell) {
  out.arfcn = cell.channel;
  out.dbm = cell.dbm;
  out.mcc = cell.mcc;
  out.mnc = cell.mnc;
  out.mncDigits = cell.mnc >= 100 ? 3 : 2;
  out.lac = cell.lac;
  out.cellId = cell.cellId;
  out.bsic = (cell.ncc & 7) * 8 + (cell.bcc & 7);
}

}  // namespace

ModemIdentity familyIdentity(Family family) {
  switch (family) {
    case Family::ceng:
      return {familyManufacturer(family), "SIMCOM_SIM800L", "Revision:1418B04SIM800L24"};
    case Family::moni:
      return {familyManufacturer(family), "GL865-QUAD", "16.00.153"};
    case Family::cced:
      return {familyManufacturer(family), "MULTIBAND  900E  1800", "R7.46.0.201108091115.FXT009"};
    case Family::monitor:
      break;
  }
  return {"Vantrel Labs", "VX-900 Simulated", "REVISION 01.002"};
}

FamilyCells familyCells(const CellModel& model) {
  const bool dedicated = model.state() == RadioState::Dedicated;
  const ServingCell& s = model.serving();
  FamilyCells cells;
  FamilyCell& own = cells.serving;
  setRadio(own, s);
  own.rxQual = dedicated ? s.dedicated.quality : 0;
  own.ta = dedicated ? s.dedicated.timingAdvance : 0;
  own.c1 = s.c1;
  own.c2 = s.c1;
  // The minimum access level on the 0..63 scale whose 0 is -113 dBm.
  own.rla = std::clamp(s.rxLev + 113, 0, 63);
  own.txp = 5;
  for (const NeighbourCell& n : model.presentNeighbours()) {
    FamilyCell c;
    c.kind = slotKind(n);
    setRadio(c, n);
    c.c1 = n.c1;
    c.c2 = n.c2;
    cells.neighbours.push_back(c);
  }
  return cells;
}

std::optional<std::string> FamilyModem::execute(const std::string& command, CellModel& model) {
  switch (m_family) {
    case Family::ceng:
      if (command == "AT+CENG=1,1" || command == "AT+CENG=0") {
        m_cengOn = command == "AT+CENG=1,1";
        return Ok;
      }
      if (command == "AT+CENG?") return report(model);
      break;
    case Family::moni:
      if (command == "AT#MONI=7" || command == "AT#MONI=0") {
        m_allCells = command == "AT#MONI=7";
        return Ok;
      }
      if (command == "AT#MONI") return report(model);
      break;
    case Family::cced:
      // Dump 3 lists the serving cell and the neighbours, dump 1 the serving cell alone.
      if (command == "AT+CCED=0,3" || command == "AT+CCED=0,1")
        return report(model, command == "AT+CCED=0,3");
      break;
    case Family::monitor:
      break;
  }
  return std::nullopt;
}

std::string FamilyModem::report(CellModel& model, bool withNeighbours) {
  model.step();
  FamilyCells cells = familyCells(model);
  if (!withNeighbours) cells.neighbours.clear();
  switch (m_family) {
    case Family::ceng: {
      const std::string prefix = m_ceng.blankAfterColon ? "+CENG: " : "+CENG:";
      // Switched off, the report gives only its mode; searching, it has no cells to list.
      if (!m_cengOn) return "\r\n" + prefix + "0,0\r\n" + Ok;
      if (!model.hasServing()) return "\r\n" + prefix + "1,1\r\n" + Ok;
      return cengReply(cells, m_ceng);
    }
    case Family::moni:
      if (!model.hasServing())
        return m_allCells
                   ? "\r\n#MONI: Cell BSIC LAC CellId ARFCN Power C1 C2 TA RxQual PLMN\r\n" + Ok
                   : Ok;
      return m_allCells ? moniTableReply(cells, TelitNetwork)
                        : moniSingleReply(cells.serving, TelitNetwork);
    case Family::cced:
      return model.hasServing() ? ccedReply(cells) : Ok;
    case Family::monitor:
      break;
  }
  return Ok;
}

}  // namespace vantrel::sim
