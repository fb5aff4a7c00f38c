#include "FamilyReplies.h"

#include <algorithm>
#include <cstdio>

namespace vantrel::sim {

namespace {

template <typename... A>
std::string fmt(const char* f, A... a) {
  char buf[256];
  const int n = std::snprintf(buf, sizeof buf, f, a...);
  return std::string(buf, static_cast<std::size_t>(std::clamp(n, 0, int(sizeof buf) - 1)));
}

const std::string Ok = "\r\nOK\r\n";
constexpr std::size_t MaxNeighbours = 6;

// The received level on the 0..63 scale whose 0 stands for DbmAtZero.
int rxLevel(int dbm, int dbmAtZero) {
  return std::clamp(dbm - dbmAtZero, 0, 63);
}

int mncDigits(const FamilyCell& c) {
  return c.mncDigits == 3 ? 3 : 2;
}

std::size_t neighbourCount(const FamilyCells& cells) {
  return std::min(cells.neighbours.size(), MaxNeighbours);
}

std::string cengServing(const FamilyCell& c) {
  return fmt("%04d,%02d,%02d,%03d,%0*d,%02d,%04x,%02d,%02d,%04x,%d", c.arfcn, rxLevel(c.dbm, -113),
             c.rxQual, c.mcc, mncDigits(c), c.mnc, c.bsic, c.cellId & 0xFFFF, c.rla, c.txp,
             c.lac & 0xFFFF, c.ta);
}

std::string cengNeighbour(const FamilyCell& c) {
  const int rxl = rxLevel(c.dbm, -113);
  switch (c.kind) {
    case SlotKind::unknown:
      // Field captures print such a neighbour without its cell id and with no network.
      return fmt("%04d,%02d,%02d,,,0000", c.arfcn, rxl, c.bsic);
    case SlotKind::unread:
      return fmt("%04d,%02d,127,ffff,000,00,0", c.arfcn, rxl);
    case SlotKind::cell:
      break;
  }
  return fmt("%04d,%02d,%02d,%04x,%03d,%0*d,%04x", c.arfcn, rxl, c.bsic, c.cellId & 0xFFFF, c.mcc,
             mncDigits(c), c.mnc, c.lac & 0xFFFF);
}

// Telit prints the BSIC as its two colour code digits, each 0..7.
std::string moniBsic(const FamilyCell& c) {
  return fmt("%d%d", (c.bsic >> 3) & 7, c.bsic & 7);
}

// Telit's table has no network column, so a cell not identified shows only as cell id FFFF.
int moniCellId(const FamilyCell& c) {
  return c.kind == SlotKind::cell ? c.cellId & 0xFFFF : 0xFFFF;
}

std::string ccedGroup(const FamilyCell& c) {
  const int rxlev = rxLevel(c.dbm, -110);
  switch (c.kind) {
    case SlotKind::unknown:
      return fmt(",,,,%d,%d,%d", c.bsic, c.arfcn, rxlev);
    case SlotKind::unread:
      return fmt("000,00,0000,FFFF,%d,%d,%d", c.bsic, c.arfcn, rxlev);
    case SlotKind::cell:
      break;
  }
  return fmt("%03d,%0*d,%04X,%04X,%d,%d,%d", c.mcc, mncDigits(c), c.mnc, c.lac & 0xFFFF,
             c.cellId & 0xFFFF, c.bsic, c.arfcn, rxlev);
}

}  // namespace

std::optional<Family> familyFromName(std::string_view name) {
  if (name == "monitor") return Family::monitor;
  if (name == "ceng") return Family::ceng;
  if (name == "moni") return Family::moni;
  if (name == "cced") return Family::cced;
  return std::nullopt;
}

std::string familyManufacturer(Family family) {
  switch (family) {
    case Family::ceng:
      return "SIMCOM_Ltd";
    case Family::moni:
      return "Telit";
    case Family::cced:
      return " WAVECOM MODEM";
    case Family::monitor:
      break;
  }
  return {};
}

std::string cengReply(const FamilyCells& cells, const CengStyle& style) {
  const std::string prefix = style.blankAfterColon ? "+CENG: " : "+CENG:";
  std::string out = "\r\n" + prefix + "1,1\r\n\r\n";
  out += prefix + "0,\"" + cengServing(cells.serving) + "\"\r\n";
  for (std::size_t i = 0; i < neighbourCount(cells); ++i)
    out += prefix + std::to_string(i + 1) + ",\"" + cengNeighbour(cells.neighbours[i]) + "\"\r\n";
  return out + Ok;
}

std::string moniTableReply(const FamilyCells& cells, std::string_view network) {
  const FamilyCell& s = cells.serving;
  std::string out = "\r\n#MONI: Cell BSIC LAC CellId ARFCN Power C1 C2 TA RxQual PLMN\r\n";
  out += fmt("#MONI: S %s %04X %04X %d %ddbm %d %d %d %d ", moniBsic(s).c_str(), s.lac & 0xFFFF,
             moniCellId(s), s.arfcn, s.dbm, s.c1, s.c2, s.ta, s.rxQual) +
         std::string(network) + "\r\n";
  for (std::size_t i = 0; i < neighbourCount(cells); ++i) {
    const FamilyCell& n = cells.neighbours[i];
    out += fmt("#MONI: N%d %s %04X %04X %d %ddbm %d %d\r\n", int(i + 1), moniBsic(n).c_str(),
               n.lac & 0xFFFF, moniCellId(n), n.arfcn, n.dbm, n.c1, n.c2);
  }
  return out + Ok;
}

std::string moniSingleReply(const FamilyCell& s, std::string_view network) {
  return "\r\n#MONI: " + std::string(network) +
         fmt(" BSIC:%s RxQual:%d LAC:%04X Id:%04X ARFCN:%3d PWR:%4d dBm TA:%d\r\n",
             moniBsic(s).c_str(), s.rxQual, s.lac & 0xFFFF, moniCellId(s), s.arfcn, s.dbm, s.ta) +
         Ok;
}

std::string ccedReply(const FamilyCells& cells) {
  const FamilyCell& s = cells.serving;
  const int rxlev = rxLevel(s.dbm, -110);
  // The idle time slot is left empty, as modems do with what they cannot measure.
  std::string out = "+CCED: " + ccedGroup(s) +
                    fmt(",%d,%d,%d,%d,%d,", rxlev, rxlev, s.rxQual, s.rxQual, s.rxQual);
  for (std::size_t i = 0; i < neighbourCount(cells); ++i)
    out += "," + ccedGroup(cells.neighbours[i]);
  return "\r\n" + out + "\r\n" + Ok;
}

}  // namespace vantrel::sim
