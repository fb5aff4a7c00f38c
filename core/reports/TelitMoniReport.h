#pragma once

#include <QByteArray>
#include <QList>
#include <array>

#include "core/CellReports.h"
#include "core/reports/FamilyView.h"

// The reply to "AT#MONI" (Telit modules). After "AT#MONI=7" it is a table: a header line, the
// serving cell "#MONI: S <bsic> <lac> <cellid> <arfcn> <dBm>dbm <c1> <c2> <ta> <rxqual> <name>"
// and neighbours "#MONI: N<k> <bsic> <lac> <cellid> <arfcn> <dBm>dbm <c1> <c2>". Firmware that
// reports the serving cell only prints one line of "key:value" words instead ("BSIC:23
// LAC:AEAD Id:5265 ARFCN: 59 PWR: -80 dBm ..."). Previous holds the records by grid column.
// An empty view when the reply holds no serving cell or says ERROR.
TFamilyView ReadTelitMoniReport(const QList<QByteArray>& Lines,
                                const std::array<TCellInfo, 7>& Previous);
