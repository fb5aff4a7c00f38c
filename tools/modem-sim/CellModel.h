#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "FamilyReplies.h"
#include "SimOptions.h"

namespace vantrel::sim {

// The traffic channel of a call (dedicated mode).
struct TDedicatedChannel {
  int Channel = 0;
  int Timeslot = 1;
  int TimingAdvance = 0;
  int Pwr = 5;
  int Dbm = 0;
  int Quality = 0;
  std::string Mode = "S_HR";
};

struct TServingCell {
  int Channel = 0;
  int Rs = 0;
  int Dbm = 0;
  int Mcc = 262;
  int Mnc = 7;
  int Lac = 0;
  int CellId = 0;
  int Ncc = 0;
  int Bcc = 0;
  int Pwr = 33;
  int RxLev = -105;  // minimum access level the C1 is measured against
  int C1 = 0;
  TDedicatedChannel Dedicated;
};

struct TNeighbourCell {
  bool Present = true;
  int Channel = 0;
  int Rs = 0;
  int Dbm = 0;
  int Mcc = 262;
  int Mnc = 7;
  int Lac = 0;
  int CellId = 0;
  int Ncc = 0;
  int Bcc = 0;
  int C1 = 0;
  int C2 = 0;
  // How reports list it; unset: as the drifting model decides from its cell id.
  std::optional<TSlotKind> Kind;
};

// One recorded cycle, played back as the model's cells.
struct TReplayCycle {
  TRadioState State = TRadioState::Camping;
  TServingCell Serving;
  std::vector<TNeighbourCell> Neighbours;  // at most six, in the order they were listed
  // The UMTS or LTE cells a record of the newer modules holds, played as they were; unset,
  // the reports draw them from the GSM cells above.
  std::optional<TRadioCells> Radio;
};

// The radio environment: a serving cell and six neighbour slots whose levels
// random-walk within -110..-50 dBm; neighbours vanish and reappear, unless their number
// is fixed. Nothing here knows how a report prints it.
class TCellModel {
 public:
  explicit TCellModel(std::uint32_t Seed);
  void Step();
  const TServingCell& Serving() const { return FServing; }
  const std::array<TNeighbourCell, 6>& Neighbours() const { return FNeighbours; }
  // The present neighbours, in slot order; none while searching.
  std::vector<TNeighbourCell> PresentNeighbours() const;
  // Whether there is a serving cell at all (not while searching).
  bool HasServing() const { return FState != TRadioState::Searching; }
  TRadioState State() const { return FState; }
  void SetState(TRadioState State) { FState = State; }
  // 0-6 neighbours from now on, in the first slots; -1 lets them come and go again.
  void SetNeighbourCount(int Count);
  // From now on each step plays the next recorded cycle, from the first again after the last,
  // instead of drifting. An empty script drifts.
  void SetScript(std::vector<TReplayCycle> Script);
  // The UMTS or LTE cells of the replayed cycle, if it recorded them.
  const std::optional<TRadioCells>& RecordedRadio() const { return FRecordedRadio; }
  // Whether the steps play a recorded script rather than drift.
  bool Replaying() const { return !FScript.empty(); }

  static constexpr int MinDbm = -110;
  static constexpr int MaxDbm = -50;

 private:
  int RandomChannel();
  void RefreshDerived();
  void RenewNeighbour(TNeighbourCell& N);
  void ApplyNeighbourCount();

  std::mt19937 FRng;
  TServingCell FServing;
  std::array<TNeighbourCell, 6> FNeighbours;
  TRadioState FState = TRadioState::Camping;
  int FNeighbourCount = -1;
  std::vector<TReplayCycle> FScript;
  std::size_t FScriptNext = 0;
  std::optional<TRadioCells> FRecordedRadio;
};

}  // namespace vantrel::sim
