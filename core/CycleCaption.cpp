#include "core/CycleCaption.h"

QString LocaleTimeSeparator(const QLocale& Locale) {
  const QString Format = Locale.timeFormat(QLocale::LongFormat);
  const qsizetype Hour = Format.indexOf(QLatin1Char('h'), 0, Qt::CaseInsensitive);
  if (Hour < 0) return QStringLiteral(":");
  qsizetype I = Hour;
  while (I < Format.size() && Format[I].toLower() == QLatin1Char('h')) ++I;
  QString Separator;
  while (I < Format.size() && Format[I] != QLatin1Char('m')) {
    if (Format[I] != QLatin1Char('\'')) Separator += Format[I];
    ++I;
  }
  return Separator.isEmpty() ? QStringLiteral(":") : Separator;
}

QString CycleCaption(const QString& Title, QTime Finish, const QString& Separator) {
  auto Two = [](int V) { return QStringLiteral("%1").arg(V, 2, 10, QLatin1Char('0')); };
  return Title + QLatin1Char(':') + Two(Finish.hour()) + Separator + Two(Finish.minute()) +
         Separator + Two(Finish.second());
}
