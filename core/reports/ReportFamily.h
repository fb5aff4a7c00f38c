#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>

// The command set a modem prints its cells with. rfMonitor is AT^MONI, AT^MONP and AT^SMONC,
// read by the three report readers of CellReports.h; the others each have one reader here.
enum class TReportFamily : std::uint8_t { rfMonitor, rfCeng, rfMoni, rfCced };

// The family of a modem from its manufacturer text, compared without regard to case and to
// surrounding blanks: SIMCOM prints AT+CENG, Telit AT#MONI, Wavecom and Sierra AT+CCED; any
// other maker keeps the AT^MONI family.
TReportFamily ChooseReportFamily(const QByteArray& Manufacturer);

// The commands of one monitoring cycle, in order, each ending in "\r". For the CENG, #MONI and
// CCED families the earlier commands only prepare the modem: the reply to the last one is the
// report their reader reads. rfMonitor gives its three reports, each read by its own reader.
QList<QByteArray> FamilyCommands(TReportFamily Family);

// Short name for the user: "AT^MONI", "AT+CENG", "AT#MONI" or "AT+CCED".
QString FamilyName(TReportFamily Family);

// What the program tells the user about how it reads the modem's cells: "reports: AT+CENG",
// or "reports: AT^MONI, AT^MONP, AT^SMONC"; with Refused, that the modem answers ERROR to them.
QString FamilyNote(TReportFamily Family, bool Refused);
