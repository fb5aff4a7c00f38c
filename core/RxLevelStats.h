#pragma once

#include <QChar>
#include <QStringList>

class TLevelHistory;

// The thirteen-line statistics report over the levels held by a history.
class TRxLevelStats {
 public:
  explicit TRxLevelStats(const TLevelHistory* Series);

  void SetSeparators(QChar Decimal, QChar Thousand);
  // Appends the report after whatever Lines already holds; nothing without samples.
  void WriteStatistics(QStringList& Lines) const;

 private:
  const TLevelHistory* FSeries;
  QChar FDecimal = u'.';
  QChar FThousand = u',';
};
