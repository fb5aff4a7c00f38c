#include "FamilyReplies.h"

#include <algorithm>

#include "SimText.h"

namespace vantrel::sim {

namespace {

constexpr std::size_t MaxNeighbours = 6;

// The received level on the 0..63 scale whose 0 stands for DbmAtZero.
int RxLevel(int Dbm, int DbmAtZero) {
  return std::clamp(Dbm - DbmAtZero, 0, 63);
}

int MncDigits(const TFamilyCell& C) {
  return C.MncDigits == 3 ? 3 : 2;
}

std::size_t NeighbourCount(const TFamilyCells& Cells) {
  return std::min(Cells.Neighbours.size(), MaxNeighbours);
}

std::string CengServing(const TFamilyCell& C) {
  return Fmt("%04d,%02d,%02d,%03d,%0*d,%02d,%04x,%02d,%02d,%04x,%d", C.Arfcn, RxLevel(C.Dbm, -113),
             C.RxQual, C.Mcc, MncDigits(C), C.Mnc, C.Bsic, C.CellId & 0xFFFF, C.Rla, C.Txp,
             C.Lac & 0xFFFF, C.Ta);
}

std::string CengNeighbour(const TFamilyCell& C) {
  const int Rxl = RxLevel(C.Dbm, -113);
  switch (C.Kind) {
    case TSlotKind::Unknown:
      // Field captures print such a neighbour without its cell id and with no network.
      return Fmt("%04d,%02d,%02d,,,0000", C.Arfcn, Rxl, C.Bsic);
    case TSlotKind::Unread:
      return Fmt("%04d,%02d,127,ffff,000,00,0", C.Arfcn, Rxl);
    case TSlotKind::Cell:
      break;
  }
  return Fmt("%04d,%02d,%02d,%04x,%03d,%0*d,%04x", C.Arfcn, Rxl, C.Bsic, C.CellId & 0xFFFF, C.Mcc,
             MncDigits(C), C.Mnc, C.Lac & 0xFFFF);
}

// Telit prints the BSIC as its two colour code digits, each 0..7.
std::string MoniBsic(const TFamilyCell& C) {
  return Fmt("%d%d", (C.Bsic >> 3) & 7, C.Bsic & 7);
}

// Telit's table has no network column, so a cell not identified shows only as cell id FFFF.
int MoniCellId(const TFamilyCell& C) {
  return C.Kind == TSlotKind::Cell ? C.CellId & 0xFFFF : 0xFFFF;
}

std::string CcedGroup(const TFamilyCell& C) {
  const int RxLev = RxLevel(C.Dbm, -110);
  switch (C.Kind) {
    case TSlotKind::Unknown:
      return Fmt(",,,,%d,%d,%d", C.Bsic, C.Arfcn, RxLev);
    case TSlotKind::Unread:
      return Fmt("000,00,0000,FFFF,%d,%d,%d", C.Bsic, C.Arfcn, RxLev);
    case TSlotKind::Cell:
      break;
  }
  return Fmt("%03d,%0*d,%04X,%04X,%d,%d,%d", C.Mcc, MncDigits(C), C.Mnc, C.Lac & 0xFFFF,
             C.CellId & 0xFFFF, C.Bsic, C.Arfcn, RxLev);
}

}  // namespace

std::optional<TSimFamily> FamilyFromName(std::string_view Name) {
  if (Name == "monitor") return TSimFamily::Monitor;
  if (Name == "ceng") return TSimFamily::Ceng;
  if (Name == "moni") return TSimFamily::Moni;
  if (Name == "cced") return TSimFamily::Cced;
  if (Name == "quectel") return TSimFamily::Quectel;
  if (Name == "quectel-2g") return TSimFamily::Quectel2g;
  if (Name == "sim7600") return TSimFamily::Sim7600;
  if (Name == "sim7000") return TSimFamily::Sim7000;
  return std::nullopt;
}

std::string FamilyManufacturer(TSimFamily Family) {
  switch (Family) {
    case TSimFamily::Ceng:
      return "SIMCOM_Ltd";
    case TSimFamily::Moni:
      return "Telit";
    case TSimFamily::Cced:
      return " WAVECOM MODEM";
    case TSimFamily::Quectel:
    case TSimFamily::Quectel2g:
      return "Quectel";
    case TSimFamily::Sim7600:
    case TSimFamily::Sim7000:
      return "SIMCOM INCORPORATED";
    case TSimFamily::Monitor:
      break;
  }
  return {};
}

std::string CengReply(const TFamilyCells& Cells, const TCengStyle& Style) {
  const std::string Prefix = Style.BlankAfterColon ? "+CENG: " : "+CENG:";
  std::string Out = "\r\n" + Prefix + "1,1\r\n\r\n";
  Out += Prefix + "0,\"" + CengServing(Cells.Serving) + "\"\r\n";
  for (std::size_t I = 0; I < NeighbourCount(Cells); ++I)
    Out += Prefix + std::to_string(I + 1) + ",\"" + CengNeighbour(Cells.Neighbours[I]) + "\"\r\n";
  return Out + OkReply;
}

std::string MoniTableReply(const TFamilyCells& Cells, std::string_view Network) {
  const TFamilyCell& S = Cells.Serving;
  std::string Out = "\r\n#MONI: Cell BSIC LAC CellId ARFCN Power C1 C2 TA RxQual PLMN\r\n";
  Out += Fmt("#MONI: S %s %04X %04X %d %ddbm %d %d %d %d ", MoniBsic(S).c_str(), S.Lac & 0xFFFF,
             MoniCellId(S), S.Arfcn, S.Dbm, S.C1, S.C2, S.Ta, S.RxQual) +
         std::string(Network) + "\r\n";
  for (std::size_t I = 0; I < NeighbourCount(Cells); ++I) {
    const TFamilyCell& N = Cells.Neighbours[I];
    Out += Fmt("#MONI: N%d %s %04X %04X %d %ddbm %d %d\r\n", int(I + 1), MoniBsic(N).c_str(),
               N.Lac & 0xFFFF, MoniCellId(N), N.Arfcn, N.Dbm, N.C1, N.C2);
  }
  return Out + OkReply;
}

std::string MoniSingleReply(const TFamilyCell& S, std::string_view Network) {
  return "\r\n#MONI: " + std::string(Network) +
         Fmt(" BSIC:%s RxQual:%d LAC:%04X Id:%04X ARFCN:%3d PWR:%4d dBm TA:%d\r\n",
             MoniBsic(S).c_str(), S.RxQual, S.Lac & 0xFFFF, MoniCellId(S), S.Arfcn, S.Dbm, S.Ta) +
         OkReply;
}

std::string CcedReply(const TFamilyCells& Cells) {
  const TFamilyCell& S = Cells.Serving;
  const int RxLev = RxLevel(S.Dbm, -110);
  // The idle time slot is left empty, as modems do with what they cannot measure.
  std::string Out = "+CCED: " + CcedGroup(S) +
                    Fmt(",%d,%d,%d,%d,%d,", RxLev, RxLev, S.RxQual, S.RxQual, S.RxQual);
  for (std::size_t I = 0; I < NeighbourCount(Cells); ++I) {
    Out += ',';  // in two steps, as in SmoncReply
    Out += CcedGroup(Cells.Neighbours[I]);
  }
  return "\r\n" + Out + "\r\n" + OkReply;
}

}  // namespace vantrel::sim
