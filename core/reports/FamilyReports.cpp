#include "core/reports/FamilyReports.h"

#include "core/reports/CcedReport.h"
#include "core/reports/CengReport.h"
#include "core/reports/CpsiReport.h"
#include "core/reports/QuectelReport.h"
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
    case TReportFamily::rfQuectel:
      return ReadQuectelReport(Lines, Previous);
    case TReportFamily::rfQuectel2g:
      return ReadQuectel2gReport(Lines, Previous);
    case TReportFamily::rfCpsi:
    case TReportFamily::rfCpsiCeng:
      return ReadCpsiReport(Lines, Previous);
    case TReportFamily::rfMonitor:
      break;
  }
  return {};
}
