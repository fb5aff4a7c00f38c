#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ModemCore.h"

struct TDriveRecord;

namespace vantrel::sim {

/// A drive-test record, ready to play: the family that recorded it, its IMSI and its cycles.
struct ReplayScript {
  Family family = Family::monitor;
  std::string imsi;
  std::vector<ReplayCycle> cycles;
};

/// Reads a vantrel-log record file (CSV or JSON Lines); nullopt with `error` set when it holds
/// no whole record.
std::optional<ReplayScript> loadReplay(const std::string& path, std::string& error);

/// The family a record names in its reports column ("AT+CENG", ...); monitor for any other.
Family replayFamily(const std::string& reports);
/// One recorded cycle as the model's cells, in the way `family` shows them.
ReplayCycle replayCycle(const TDriveRecord& record, Family family);

}  // namespace vantrel::sim
