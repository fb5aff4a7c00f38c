#pragma once

#include <QDateTime>
#include <QList>
#include <vector>

#include "core/DriveRecord.h"
#include "core/ModemSession.h"

// Gathers what one monitoring cycle read into a record: only this cycle's views count, so a
// report that was not answered leaves its fields empty rather than repeating the last cycle.
class TCycleRecorder {
 public:
  void Begin(const QDateTime& Time, const QString& Imsi, const QString& Reports);
  void Add(const TCycleView& View);
  const TDriveRecord& Record() const { return FRecord; }

 private:
  TDriveRecord FRecord;
  std::vector<std::size_t> FNeighbourColumns;  // the grid column of each recorded neighbour
};
