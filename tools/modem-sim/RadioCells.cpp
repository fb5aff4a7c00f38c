#include "RadioCells.h"

#include <algorithm>
#include <iterator>

#include "CellModel.h"

namespace vantrel::sim {

namespace {

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

struct TFrequency {
  int Channel;
  int Band;
};

// The frequencies of the simulated neighbourhood: LTE bands 3, 20, 7, 1 and 8, UMTS bands 1
// and 8, as a European operator uses them.
constexpr TFrequency LteFrequencies[] = {{1300, 3}, {6300, 20}, {3050, 7},
                                         {100, 1},  {1444, 3},  {3740, 8}};
constexpr TFrequency UmtsFrequencies[] = {{10588, 1}, {10612, 1}, {3011, 8}, {10637, 1}};

template <std::size_t Count>
TFrequency Pick(const TFrequency (&List)[Count], int Key) {
  return List[std::size_t(Key) % Count];
}

// One cell on UMTS or LTE, from its GSM counterpart. The level ranges follow the technology:
// RSRP -130..-70 dBm with RSRQ -6..-18 dB, RSCP -115..-55 dBm with Ec/Io -6..-21 dB, so values
// printed in tenths always read as tenths.
template <typename TCell>
TRadioCell Radio(TRat Rat, const TCell& Cell, TFrequency Frequency) {
  TRadioCell R;
  R.Rat = Rat;
  R.Channel = Frequency.Channel;
  R.Band = Frequency.Band;
  R.Mcc = Cell.Mcc;
  R.Mnc = Cell.Mnc;
  R.Area = Cell.Lac & 0xFFFF;
  R.Fraction = ((Cell.CellId + Cell.Dbm) % 10 + 10) % 10;
  if (Rat == TRat::Lte) {
    R.Id = Cell.CellId % 504;
    R.CellId = ((Cell.CellId & 0xFFFF) << 8) | (1 + Cell.CellId % 3);
    R.Level = Cell.Dbm - 20;
    R.Quality = -6 - (-70 - R.Level) / 5;
    R.Rssi = R.Level + 27;
    R.Sinr = std::clamp((R.Level + 120) / 2, -5, 25);
  } else {
    R.Id = Cell.CellId % 512;
    R.CellId = ((Cell.Lac & 0xFFF) << 16) | (Cell.CellId & 0xFFFF);
    R.Level = Cell.Dbm - 5;
    R.Quality = -6 - (-55 - R.Level) / 4;
    R.Rssi = R.Level - R.Quality;
  }
  return R;
}

}  // namespace

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

TRadioCells RadioCells(const TCellModel& Model, TRat Rat) {
  if (Model.RecordedRadio()) return *Model.RecordedRadio();
  const TServingCell& S = Model.Serving();
  const bool Lte = Rat == TRat::Lte;
  auto Frequency = [&](int Key) {
    return Lte ? Pick(LteFrequencies, Key) : Pick(UmtsFrequencies, Key);
  };
  const TFrequency Own = Frequency(S.Channel);
  TRadioCells Cells;
  Cells.Serving = Radio(Rat, S, Own);
  for (const TNeighbourCell& N : Model.PresentNeighbours()) {
    // Half the measured neighbours share the serving cell's frequency, the others spread over
    // the rest; a configured frequency is never the serving one.
    const bool Measured = SlotKindOf(N) == TSlotKind::Cell;
    TFrequency Where = Measured && N.Channel % 2 == 0 ? Own : Frequency(N.Channel / 2);
    if (!Measured && Where.Channel == Own.Channel) Where = Frequency(N.Channel / 2 + 1);
    TRadioCell C = Radio(Rat, N, Where);
    C.Measured = Measured;
    Cells.Neighbours.push_back(C);
  }
  return Cells;
}

}  // namespace vantrel::sim
