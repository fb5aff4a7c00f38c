#pragma once

#include <QList>
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

// The family that recorded a drive test, from the reports column of its first record
// ("AT+CENG", ...; Monitor for any other). AT+QENG and AT+CPSI? each name two families, told
// apart by what they recorded: a Quectel that heard UMTS or LTE cells, or never printed an
// access level or power, is an LTE module, else a 2G one; a SIMCom module that listed
// neighbours and never camped on UMTS is a SIM7000.
TSimFamily ReplayFamily(const QList<TDriveRecord>& Records);
// One recorded cycle as the model's cells, in the way `Family` shows them.
TReplayCycle ReplayCycle(const TDriveRecord& Record, TSimFamily Family);

}  // namespace vantrel::sim
