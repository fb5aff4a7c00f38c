#include "CellModel.h"

#include <algorithm>

namespace vantrel::sim {

TCellModel::TCellModel(std::uint32_t Seed) : FRng(Seed) {
  std::uniform_int_distribution<int> Level(-95, -60);
  std::uniform_int_distribution<int> Id(1, 0xFFFF);
  std::uniform_int_distribution<int> Digit(0, 7);
  FServing.Channel = RandomChannel();
  FServing.Dbm = Level(FRng);
  FServing.Lac = Id(FRng);
  FServing.CellId = Id(FRng);
  FServing.Ncc = Digit(FRng);
  FServing.Bcc = Digit(FRng);
  // A call's traffic channel lies near the cell's own.
  FServing.Dedicated.Channel = FServing.Channel + (FServing.Channel + 2 <= 1023 ? 2 : -2);
  for (auto& N : FNeighbours) {
    N.Lac = FServing.Lac;
    RenewNeighbour(N);
  }
  RefreshDerived();
}

int TCellModel::RandomChannel() {
  // Weighted like a real neighbourhood: mostly 900 and 1800, a few extended-band cells.
  std::uniform_int_distribution<int> Band(0, 9);
  const int B = Band(FRng);
  if (B < 4) return std::uniform_int_distribution<int>(1, 124)(FRng);
  if (B < 8) return std::uniform_int_distribution<int>(512, 885)(FRng);
  return std::uniform_int_distribution<int>(975, 1023)(FRng);
}

void TCellModel::RenewNeighbour(TNeighbourCell& N) {
  std::uniform_int_distribution<int> Id(1, 0xFFFF);
  std::uniform_int_distribution<int> Digit(0, 7);
  N.Present = true;
  N.Channel = RandomChannel();
  N.Dbm = std::uniform_int_distribution<int>(-105, -65)(FRng);
  N.CellId = Id(FRng);
  if (std::uniform_int_distribution<int>(0, 3)(FRng) == 0) N.Lac = Id(FRng);
  N.Ncc = Digit(FRng);
  N.Bcc = Digit(FRng);
}

void TCellModel::RefreshDerived() {
  auto Rs = [](int Dbm) { return (Dbm - MinDbm) / 2 + 5; };
  FServing.Rs = Rs(FServing.Dbm);
  FServing.C1 = FServing.Dbm - FServing.RxLev;
  FServing.Dedicated.Dbm = FServing.Dbm;
  for (auto& N : FNeighbours) {
    N.Rs = Rs(N.Dbm);
    N.C1 = N.Dbm - FServing.RxLev;
    N.C2 = N.C1 + (N.Channel % 3) * 2;
  }
}

void TCellModel::SetScript(std::vector<TReplayCycle> Script) {
  FScript = std::move(Script);
  FScriptNext = 0;
}

void TCellModel::Step() {
  if (!FScript.empty()) {
    // Recorded values are played as they were, derived ones included.
    const TReplayCycle& Cycle = FScript[FScriptNext++ % FScript.size()];
    FState = Cycle.State;
    FServing = Cycle.Serving;
    FRecordedRadio = Cycle.Radio;
    for (std::size_t I = 0; I < FNeighbours.size(); ++I) {
      FNeighbours[I] = I < Cycle.Neighbours.size() ? Cycle.Neighbours[I] : TNeighbourCell{};
      FNeighbours[I].Present = I < Cycle.Neighbours.size();
    }
    return;
  }
  std::uniform_int_distribution<int> Walk(-3, 3);
  std::uniform_int_distribution<int> Chance(0, 99);
  FServing.Dbm = std::clamp(FServing.Dbm + Walk(FRng), MinDbm, MaxDbm);
  for (auto& N : FNeighbours) {
    if (N.Present) {
      N.Dbm = std::clamp(N.Dbm + Walk(FRng), MinDbm, MaxDbm);
      if (Chance(FRng) < 4) N.Present = false;
    } else if (Chance(FRng) < 40) {
      RenewNeighbour(N);
    }
  }
  ApplyNeighbourCount();
  RefreshDerived();
}

void TCellModel::SetNeighbourCount(int Count) {
  FNeighbourCount = std::clamp(Count, -1, 6);
  ApplyNeighbourCount();
  RefreshDerived();
}

void TCellModel::ApplyNeighbourCount() {
  if (FNeighbourCount < 0) return;
  for (std::size_t I = 0; I < FNeighbours.size(); ++I) {
    TNeighbourCell& N = FNeighbours[I];
    if (int(I) >= FNeighbourCount)
      N.Present = false;
    else if (!N.Present)
      RenewNeighbour(N);
  }
}

std::vector<TNeighbourCell> TCellModel::PresentNeighbours() const {
  std::vector<TNeighbourCell> Out;
  if (!HasServing()) return Out;
  for (const auto& N : FNeighbours)
    if (N.Present) Out.push_back(N);
  return Out;
}

}  // namespace vantrel::sim
