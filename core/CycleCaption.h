#pragma once

#include <QLocale>
#include <QString>
#include <QTime>

// The separator the user's locale puts between hours and minutes ("." in some
// locales); ":" when the locale's format shows none.
QString LocaleTimeSeparator(const QLocale& Locale);

// "Vantrel:" and the time as hh:nn:ss on a 24-hour clock, the fields joined by
// the given separator. The colon after the title is always a colon.
QString CycleCaption(const QString& Title, QTime Finish, const QString& Separator);
