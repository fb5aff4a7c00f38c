#include "core/reports/ReportFamily.h"

#include "core/ReplyText.h"

namespace {

bool IsQuectelModel(const QByteArray& Model) {
  for (const char* Prefix : {"EC2", "EG2", "EG9", "EC200", "EP06", "BG9"})
    if (Model.startsWith(Prefix)) return true;
  return false;
}

}  // namespace

TReportFamily ChooseReportFamily(const QByteArray& Manufacturer, const QByteArray& Model) {
  const QByteArray Maker = TrimBlanks(Manufacturer).toUpper();
  const QByteArray Name = TrimBlanks(Model).toUpper();
  if (Maker.contains("QUECTEL") || IsQuectelModel(Name)) return TReportFamily::rfQuectel;
  if (Maker.contains("SIMCOM") && Name.contains("SIM7")) {
    for (const char* Listing : {"SIM7000", "SIM7070", "SIM7080"})
      if (Name.contains(Listing)) return TReportFamily::rfCpsiCeng;
    return TReportFamily::rfCpsi;
  }
  if (Maker.contains("SIMCOM")) return TReportFamily::rfCeng;
  if (Maker.contains("TELIT")) return TReportFamily::rfMoni;
  if (Maker.contains("WAVECOM") || Maker.contains("SIERRA")) return TReportFamily::rfCced;
  return TReportFamily::rfMonitor;
}

TReportFamily RefusedFamilyFallback(TReportFamily Family) {
  return Family == TReportFamily::rfQuectel ? TReportFamily::rfQuectel2g : Family;
}

QList<QByteArray> FamilyCommands(TReportFamily Family) {
  switch (Family) {
    case TReportFamily::rfQuectel:
      return {QByteArrayLiteral("AT+QENG=\"servingcell\"\r"),
              QByteArrayLiteral("AT+QENG=\"neighbourcell\"\r")};
    case TReportFamily::rfQuectel2g:
      return {QByteArrayLiteral("AT+QENG=1,1\r"), QByteArrayLiteral("AT+QENG?\r")};
    case TReportFamily::rfCpsi:
      return {QByteArrayLiteral("AT+CPSI?\r")};
    case TReportFamily::rfCpsiCeng:
      return {QByteArrayLiteral("AT+CPSI?\r"), QByteArrayLiteral("AT+CENG=1,1\r"),
              QByteArrayLiteral("AT+CENG?\r")};
    case TReportFamily::rfCeng:
      // Engineering mode is switched on every cycle, so a module that restarted reports again.
      return {QByteArrayLiteral("AT+CENG=1,1\r"), QByteArrayLiteral("AT+CENG?\r")};
    case TReportFamily::rfMoni:
      return {QByteArrayLiteral("AT#MONI=7\r"), QByteArrayLiteral("AT#MONI\r")};
    case TReportFamily::rfCced:
      return {QByteArrayLiteral("AT+CCED=0,3\r")};
    case TReportFamily::rfMonitor:
      break;
  }
  return {QByteArrayLiteral("AT^MONI\r"), QByteArrayLiteral("AT^MONP\r"),
          QByteArrayLiteral("AT^SMONC\r")};
}

QString FamilyName(TReportFamily Family) {
  switch (Family) {
    case TReportFamily::rfQuectel:
    case TReportFamily::rfQuectel2g:
      return QStringLiteral("AT+QENG");
    case TReportFamily::rfCpsi:
    case TReportFamily::rfCpsiCeng:
      return QStringLiteral("AT+CPSI?");
    case TReportFamily::rfCeng:
      return QStringLiteral("AT+CENG");
    case TReportFamily::rfMoni:
      return QStringLiteral("AT#MONI");
    case TReportFamily::rfCced:
      return QStringLiteral("AT+CCED");
    case TReportFamily::rfMonitor:
      break;
  }
  return QStringLiteral("AT^MONI");
}

QString FamilyNote(TReportFamily Family, bool Refused) {
  QString Note = QStringLiteral("reports: ");
  if (Family == TReportFamily::rfMonitor)
    Note += QStringLiteral("AT^MONI, AT^MONP, AT^SMONC");
  else
    Note += FamilyName(Family);
  if (Refused) Note += QStringLiteral(" \u2014 the modem answers ERROR");
  return Note;
}
