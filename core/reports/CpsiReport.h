#pragma once

#include <QByteArray>
#include <QList>
#include <array>

#include "core/CellReports.h"
#include "core/reports/FamilyView.h"

// The reply to AT+CPSI? (SIMCom LTE modules: SIM7600, SIM7500, SIM7000, SIM7080): one "+CPSI:"
// line for the serving cell, GSM, WCDMA or LTE (also "LTE CAT-M1", "LTE NB-IOT"); "NO SERVICE"
// gives no serving cell. SIM7000-class modules add the LTE form of AT+CENG?, whose lines 1 to 6
// are the measured LTE neighbours (its line 0 stands in for the serving cell when no "+CPSI:"
// line came). An empty view without a serving cell line or with an error line.
TFamilyView ReadCpsiReport(const QList<QByteArray>& Lines,
                           const std::array<TCellInfo, 7>& Previous);
