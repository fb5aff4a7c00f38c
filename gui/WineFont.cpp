#include "gui/WineFont.h"

#include <QFontDatabase>
#include <QHash>
#include <QStringList>

QFont WineFont(const QString& FileName, const QString& Fallback) {
  // Each face is added once per program; adding it again would register a second copy.
  static QHash<QString, QString> Families;
  auto Found = Families.constFind(FileName);
  if (Found == Families.constEnd()) {
    const int Id =
        QFontDatabase::addApplicationFont(QStringLiteral("/usr/share/wine/fonts/") + FileName);
    const QStringList Loaded = QFontDatabase::applicationFontFamilies(Id);
    Found = Families.insert(FileName, Loaded.isEmpty() ? QString() : Loaded.first());
  }
  const QString Family = Found->isEmpty() ? Fallback : *Found;
  QFont Font = Family.isEmpty() ? QFont() : QFont(Family);
  Font.setPixelSize(11);
  return Font;
}
