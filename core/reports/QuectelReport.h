#pragma once

#include <QByteArray>
#include <QList>
#include <array>

#include "core/CellReports.h"
#include "core/reports/FamilyView.h"

// The replies to AT+QENG="servingcell" and AT+QENG="neighbourcell" (Quectel LTE modules), read
// together: the "servingcell" line (GSM, WCDMA, LTE and its CAT-M and NB-IoT forms; SEARCH gives
// no serving cell), then "neighbourcell" lines, whose fields depend on the serving cell's
// technology. Neighbour lines with no measured level are configured frequencies, not cells: they
// fill no column. An empty view without a serving line or with an error line.
TFamilyView ReadQuectelReport(const QList<QByteArray>& Lines,
                              const std::array<TCellInfo, 7>& Previous);

// The reply to AT+QENG? (Quectel 2G modules, after AT+QENG=1,1): "+QENG: 0,..." the serving
// cell, one "+QENG: 1,..." line with up to six neighbours of ten fields each.
TFamilyView ReadQuectel2gReport(const QList<QByteArray>& Lines,
                                const std::array<TCellInfo, 7>& Previous);
