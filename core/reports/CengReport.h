#pragma once

#include <QByteArray>
#include <QList>
#include <array>

#include "core/CellReports.h"
#include "core/reports/FamilyView.h"

// The reply to "AT+CENG?" (SIMCOM modules): "+CENG: <index>,"<fields>"" lines, index 0 the
// serving cell and 1 to 6 the neighbours, in engineering mode 1 or 4, with or without neighbour
// cell ids. Previous holds the records by grid column. An empty view when the reply holds no
// serving cell line or says ERROR.
TFamilyView ReadCengReport(const QList<QByteArray>& Lines,
                           const std::array<TCellInfo, 7>& Previous);
