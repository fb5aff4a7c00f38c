#pragma once

#include <cstdint>
#include <vector>

#include "modem-sim/SimRandom.h"

namespace vantrel::sim {

/// One cell as the simulated modem sees it. Levels are in dBm.
struct SimCell {
  int Channel = 0;
  int Dbm = -110;
  int Mcc = 262;
  int Mnc = 7;
  int Lac = 0;
  int CellId = 0;
  int Ncc = 0;
  int Bcc = 0;
  int RxLevAccessMin = -105;  ///< lowest level at which the cell may be used (dBm)
  int Pwr = 33;               ///< highest transmit power the cell allows (dBm)
  int ReselectOffset = 0;     ///< C2 - C1

  int Bsic() const { return Ncc * 8 + Bcc; }
  /// GSM RXLEV scale 0..63, one step per dB above -110 dBm.
  int RxLev() const;
  /// Path loss criterion: how far the level is above the access minimum.
  int C1() const { return Dbm - RxLevAccessMin; }
  int C2() const { return C1() + ReselectOffset; }
};

/// The radio environment: a serving cell and up to six neighbours whose levels
/// random-walk, neighbours appearing and disappearing. The same seed gives the
/// same sequence of states.
class RadioState {
 public:
  static constexpr int MinDbm = -110;
  static constexpr int MaxDbm = -50;
  static constexpr int MaxNeighbours = 6;

  explicit RadioState(std::uint64_t seed);

  const SimCell& Serving() const { return FServing; }
  /// Neighbours, strongest first, as a modem lists them.
  const std::vector<SimCell>& Neighbours() const { return FNeighbours; }

  /// Advance one report period.
  void Step();
  unsigned Steps() const { return FSteps; }

 private:
  SimCell NewNeighbour();
  int RandomChannel(int band);
  bool ChannelInUse(int channel) const;

  SimRandom FRandom;
  int FBand = 0;  // 0: 900, 1: 1800, 2: E
  SimCell FServing;
  std::vector<SimCell> FNeighbours;
  unsigned FSteps = 0;
};

/// True for channels of the bands the simulator uses (900, 1800, E-GSM).
bool IsSimChannel(int channel);

}  // namespace vantrel::sim
