#include "app/reports/FamilyReports.h"

#include "app/reports/CcedReport.h"
#include "app/reports/CengReport.h"
#include "app/reports/TelitMoniReport.h"

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
