#include "core/reports/FamilyReports.h"

#include "core/reports/CcedReport.h"
#include "core/reports/CengReport.h"
#include "core/reports/TelitMoniReport.h"

TFamilyView ReadFamilyReport(TReportFamily Family, const QList<QByteArray>& Lines,
                             const std::array<TCellInfo, 7>& Previous) {
  switch (Family) {
    case TReportFamily::rfCeng:
      return ReadCengReport(Lines, Previous);
    case TReportFamily::rfMoni:
      return ReadTelitMoniReport(Lines, Previous);
    case TReportFamily::rfCced:
      return ReadCcedReport(Lines, Previous);
    case TReportFamily::rfMonitor:
      break;
  }
  return {};
}
