#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>

// The command set a modem prints its cells with. rfMonitor is AT^MONI, AT^MONP and AT^SMONC,
// read by the three report readers of CellReports.h; the others each have one reader here.
// rfQuectel: AT+QENG="servingcell" and ="neighbourcell"; rfQuectel2g: AT+QENG? after
// AT+QENG=1,1; rfCpsi: AT+CPSI?; rfCpsiCeng: AT+CPSI? and the LTE neighbours of AT+CENG?.
enum class TReportFamily : std::uint8_t {
  rfMonitor,
  rfCeng,
  rfMoni,
  rfCced,
  rfQuectel,
  rfQuectel2g,
  rfCpsi,
  rfCpsiCeng
};

// The family of a modem from its manufacturer and model texts, compared without regard to case
// and to surrounding blanks: Quectel (by maker, or by a model starting EC2, EG2, EG9, EC200,
// EP06, BG9, since some EG25-G firmware names its maker "QUALCOMM INCORPORATED") prints AT+QENG;
// SIMCOM with a SIM7 model AT+CPSI? (SIM7000, SIM7070 and SIM7080 also AT+CENG's LTE
// neighbours), any other SIMCOM AT+CENG; Telit AT#MONI; Wavecom and Sierra AT+CCED; any other
// maker keeps the AT^MONI family.
TReportFamily ChooseReportFamily(const QByteArray& Manufacturer, const QByteArray& Model = {});

// The family a modem turns out to be of when it answers the first command of Family's cycle with
// an error, for the rest of the connection: a Quectel that refuses AT+QENG="servingcell" is a 2G
// module. Family itself when there is no such fallback.
TReportFamily RefusedFamilyFallback(TReportFamily Family);

// The commands of one monitoring cycle, in order, each ending in "\r". For the CENG, #MONI and
// CCED families the earlier commands only prepare the modem: the reply to the last one is the
// report their reader reads. rfMonitor gives its three reports, each read by its own reader.
QList<QByteArray> FamilyCommands(TReportFamily Family);

// Short name for the user: "AT^MONI", "AT+CENG", "AT#MONI", "AT+CCED", "AT+QENG" or "AT+CPSI?".
QString FamilyName(TReportFamily Family);

// What the program tells the user about how it reads the modem's cells: "reports: AT+CENG",
// or "reports: AT^MONI, AT^MONP, AT^SMONC"; with Refused, that the modem answers ERROR to them.
QString FamilyNote(TReportFamily Family, bool Refused);
