#pragma once

#include <optional>
#include <string>
#include <vector>

#include "CellModel.h"

struct TDriveRecord;

namespace vantrel::sim {

// A drive-test record, ready to play: the family that recorded it, its IMSI and its cycles.
struct TReplayScript {
  TSimFamily Family = TSimFamily::Monitor;
  std::string Imsi;
  std::vector<TReplayCycle> Cycles;
};

// Reads a vantrel-log record file (CSV or JSON Lines); nullopt with `Error` set when it holds
// no whole record.
std::optional<TReplayScript> LoadReplay(const std::string& Path, std::string& Error);

// The family a record names in its reports column ("AT+CENG", ...); Monitor for any other.
// Records of the LTE and UMTS families will add their technology columns; this is where the
// family is told, and ReplayCycle where a record becomes the model's cells.
TSimFamily ReplayFamily(const std::string& Reports);
// One recorded cycle as the model's cells, in the way `Family` shows them.
TReplayCycle ReplayCycle(const TDriveRecord& Record, TSimFamily Family);

}  // namespace vantrel::sim
