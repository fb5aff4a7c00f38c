#include "FamilyModem.h"

#include <algorithm>

#include "CellModel.h"
#include "SimText.h"

namespace vantrel::sim {

namespace {

// The operator name Telit closes its serving cell line with, for the model's network 262 07.
constexpr std::string_view TelitNetwork = "o2 - de";

// Which neighbours a report lists without their identity. Tied to the cell id, so a cell keeps
// its kind while it stays and the kinds change as neighbours come and go.
TSlotKind SlotKindOf(const TNeighbourCell& N) {
  if (N.Kind) return *N.Kind;
  switch (N.CellId % 12) {
    case 0:
      return TSlotKind::Unknown;
    case 1:
      return TSlotKind::Unread;
    default:
      return TSlotKind::Cell;
  }
}

// What the serving cell and a neighbour have alike: where they are and who they are.
template <typename TCell>
void SetRadio(TFamilyCell& Out, const TCell& Cell) {
  Out.Arfcn = Cell.Channel;
  Out.Dbm = Cell.Dbm;
  Out.Mcc = Cell.Mcc;
  Out.Mnc = Cell.Mnc;
  Out.MncDigits = Cell.Mnc >= 100 ? 3 : 2;
  Out.Lac = Cell.Lac;
  Out.CellId = Cell.CellId;
  Out.Bsic = (Cell.Ncc & 7) * 8 + (Cell.Bcc & 7);
}

}  // namespace

TModemIdentity FamilyIdentity(TSimFamily Family) {
  switch (Family) {
    case TSimFamily::Ceng:
      return {FamilyManufacturer(Family), "SIMCOM_SIM800L", "Revision:1418B04SIM800L24"};
    case TSimFamily::Moni:
      return {FamilyManufacturer(Family), "GL865-QUAD", "16.00.153"};
    case TSimFamily::Cced:
      return {FamilyManufacturer(Family), "MULTIBAND  900E  1800", "R7.46.0.201108091115.FXT009"};
    case TSimFamily::Monitor:
      break;
  }
  return {"Vantrel Labs", "VX-900 Simulated", "REVISION 01.002"};
}

TFamilyCells FamilyCells(const TCellModel& Model) {
  const bool Dedicated = Model.State() == TRadioState::Dedicated;
  const TServingCell& S = Model.Serving();
  TFamilyCells Cells;
  TFamilyCell& Own = Cells.Serving;
  SetRadio(Own, S);
  Own.RxQual = Dedicated ? S.Dedicated.Quality : 0;
  Own.Ta = Dedicated ? S.Dedicated.TimingAdvance : 0;
  Own.C1 = S.C1;
  Own.C2 = S.C1;
  // The minimum access level on the 0..63 scale whose 0 is -113 dBm.
  Own.Rla = std::clamp(S.RxLev + 113, 0, 63);
  Own.Txp = 5;
  for (const TNeighbourCell& N : Model.PresentNeighbours()) {
    TFamilyCell C;
    C.Kind = SlotKindOf(N);
    SetRadio(C, N);
    C.C1 = N.C1;
    C.C2 = N.C2;
    Cells.Neighbours.push_back(C);
  }
  return Cells;
}

std::optional<std::string> TFamilyModem::Execute(const std::string& Command, TCellModel& Model) {
  switch (FFamily) {
    case TSimFamily::Ceng:
      if (Command == "AT+CENG=1,1" || Command == "AT+CENG=0") {
        FCengOn = Command == "AT+CENG=1,1";
        return OkReply;
      }
      if (Command == "AT+CENG?") return Report(Model);
      break;
    case TSimFamily::Moni:
      if (Command == "AT#MONI=7" || Command == "AT#MONI=0") {
        FAllCells = Command == "AT#MONI=7";
        return OkReply;
      }
      if (Command == "AT#MONI") return Report(Model);
      break;
    case TSimFamily::Cced:
      // Dump 3 lists the serving cell and the neighbours, dump 1 the serving cell alone.
      if (Command == "AT+CCED=0,3" || Command == "AT+CCED=0,1")
        return Report(Model, Command == "AT+CCED=0,3");
      break;
    case TSimFamily::Monitor:
      break;
  }
  return std::nullopt;
}

std::string TFamilyModem::Report(TCellModel& Model, bool WithNeighbours) {
  Model.Step();
  TFamilyCells Cells = FamilyCells(Model);
  if (!WithNeighbours) Cells.Neighbours.clear();
  switch (FFamily) {
    case TSimFamily::Ceng: {
      const std::string Prefix = FCeng.BlankAfterColon ? "+CENG: " : "+CENG:";
      // Switched off, the report gives only its mode; searching, it has no cells to list.
      if (!FCengOn) return Line(Prefix + "0,0") + OkReply;
      if (!Model.HasServing()) return Line(Prefix + "1,1") + OkReply;
      return CengReply(Cells, FCeng);
    }
    case TSimFamily::Moni:
      if (!Model.HasServing())
        return FAllCells
                   ? Line("#MONI: Cell BSIC LAC CellId ARFCN Power C1 C2 TA RxQual PLMN") + OkReply
                   : OkReply;
      return FAllCells ? MoniTableReply(Cells, TelitNetwork)
                       : MoniSingleReply(Cells.Serving, TelitNetwork);
    case TSimFamily::Cced:
      return Model.HasServing() ? CcedReply(Cells) : OkReply;
    case TSimFamily::Monitor:
      break;
  }
  return OkReply;
}

}  // namespace vantrel::sim
