#include "core/reports/ReportFamily.h"

#include "core/ReplyText.h"

TReportFamily ChooseReportFamily(const QByteArray& Manufacturer) {
  const QByteArray Maker = TrimBlanks(Manufacturer).toUpper();
  if (Maker.contains("SIMCOM")) return TReportFamily::rfCeng;
  if (Maker.contains("TELIT")) return TReportFamily::rfMoni;
  if (Maker.contains("WAVECOM") || Maker.contains("SIERRA")) return TReportFamily::rfCced;
  return TReportFamily::rfMonitor;
}

QList<QByteArray> FamilyCommands(TReportFamily Family) {
  switch (Family) {
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
