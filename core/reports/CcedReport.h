#pragma once

#include <QByteArray>
#include <QList>
#include <array>

#include "core/CellReports.h"
#include "core/reports/FamilyView.h"

// The reply to "AT+CCED=0,3" (Wavecom and Sierra modules): "+CCED: " and the serving cell's
// thirteen fields (mcc, mnc, lac, ci, bsic, bcch, rxlev, rxlev full, rxlev sub, rxqual, rxqual
// full, rxqual sub, idle ts), then seven fields per neighbour (mcc, mnc, lac, ci, bsic, bcch,
// rxlev), on the same line or on further "+CCED: " lines. Previous holds the records by grid
// column. An empty view when the reply holds no report line or says ERROR.
TFamilyView ReadCcedReport(const QList<QByteArray>& Lines,
                           const std::array<TCellInfo, 7>& Previous);
