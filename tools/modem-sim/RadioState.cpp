#include "modem-sim/RadioState.h"

#include <algorithm>

namespace vantrel::sim {

namespace {

int Walk(SimRandom& random, int value, int step) {
  value += random.Between(-step, step);
  // Reflect at the edges so the level does not stick to a limit.
  if (value > RadioState::MaxDbm) value = 2 * RadioState::MaxDbm - value;
  if (value < RadioState::MinDbm) value = 2 * RadioState::MinDbm - value;
  return std::clamp(value, RadioState::MinDbm, RadioState::MaxDbm);
}

}  // namespace

int SimCell::RxLev() const {
  return std::clamp(Dbm + 110, 0, 63);
}

bool IsSimChannel(int channel) {
  return (channel >= 1 && channel <= 124) || (channel >= 512 && channel <= 885) ||
         (channel >= 975 && channel <= 1023);
}

RadioState::RadioState(std::uint64_t seed) : FRandom(seed) {
  FBand = FRandom.Between(0, 2);
  FServing.Channel = RandomChannel(FBand);
  FServing.Dbm = FRandom.Between(-95, -60);
  FServing.Lac = FRandom.Between(0x1000, 0xFFFE);
  FServing.CellId = FRandom.Between(0x0001, 0xFFFF);
  FServing.Ncc = FRandom.Between(0, 7);
  FServing.Bcc = FRandom.Between(0, 7);
  FServing.RxLevAccessMin = FRandom.Between(-108, -100);
  FServing.Pwr = FBand == 1 ? 30 : 33;
  FServing.ReselectOffset = FRandom.Between(0, 4) * 2;
  for (int i = 0; i < MaxNeighbours; ++i) FNeighbours.push_back(NewNeighbour());
  std::stable_sort(FNeighbours.begin(), FNeighbours.end(),
                   [](const SimCell& a, const SimCell& b) { return a.Dbm > b.Dbm; });
}

int RadioState::RandomChannel(int band) {
  for (;;) {
    int channel = 0;
    switch (band) {
      case 0:
        channel = FRandom.Between(1, 124);
        break;
      case 1:
        channel = FRandom.Between(512, 885);
        break;
      default:
        channel = FRandom.Between(975, 1023);
        break;
    }
    if (!ChannelInUse(channel)) return channel;
  }
}

bool RadioState::ChannelInUse(int channel) const {
  if (FServing.Channel == channel) return true;
  return std::any_of(FNeighbours.begin(), FNeighbours.end(),
                     [channel](const SimCell& c) { return c.Channel == channel; });
}

SimCell RadioState::NewNeighbour() {
  SimCell cell;
  // Most neighbours share the serving band; dual-band networks mix in the others.
  const int band = FRandom.Chance(70) ? FBand : FRandom.Between(0, 2);
  cell.Channel = RandomChannel(band);
  cell.Dbm = FRandom.Between(-108, -70);
  cell.Mcc = FServing.Mcc;
  cell.Mnc = FServing.Mnc;
  cell.Lac = FRandom.Chance(80) ? FServing.Lac : FRandom.Between(0x1000, 0xFFFE);
  cell.CellId = FRandom.Between(0x0001, 0xFFFF);
  cell.Ncc = FRandom.Between(0, 7);
  cell.Bcc = FRandom.Between(0, 7);
  cell.RxLevAccessMin = FRandom.Between(-108, -100);
  cell.Pwr = band == 1 ? 30 : 33;
  cell.ReselectOffset = FRandom.Between(0, 4) * 2;
  return cell;
}

void RadioState::Step() {
  ++FSteps;
  FServing.Dbm = Walk(FRandom, FServing.Dbm, 3);
  for (SimCell& cell : FNeighbours) cell.Dbm = Walk(FRandom, cell.Dbm, 4);

  if (!FNeighbours.empty() && FRandom.Chance(1)) {
    // A short fade: the whole neighbour list is lost for a while.
    FNeighbours.clear();
  } else {
    std::erase_if(FNeighbours, [this](const SimCell&) { return FRandom.Chance(4); });
  }
  if (FNeighbours.size() < MaxNeighbours && FRandom.Chance(40)) {
    FNeighbours.push_back(NewNeighbour());
  }
  std::stable_sort(FNeighbours.begin(), FNeighbours.end(),
                   [](const SimCell& a, const SimCell& b) { return a.Dbm > b.Dbm; });
}

}  // namespace vantrel::sim
