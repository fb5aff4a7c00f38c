#pragma once

#include <QByteArray>
#include <QList>
#include <array>

#include "core/CellReports.h"
#include "core/reports/FamilyView.h"
#include "core/reports/ReportFamily.h"

// The reader of Family applied to the reply of the family's last command (FamilyCommands),
// with the replies of the commands before it in front where the family reads them together.
// Previous holds the records by grid column. rfMonitor has three reports with readers of their
// own (CellReports.h): for it, as for a reply that is no report, the view is empty.
TFamilyView ReadFamilyReport(TReportFamily Family, const QList<QByteArray>& Lines,
                             const std::array<TCellInfo, 7>& Previous);
