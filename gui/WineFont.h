#pragma once

#include <QFont>
#include <QString>

// The window and the dialog are measured for the faces fonts-wine ships (Tahoma, MS Sans Serif)
// at 11 pixels. Those files sit outside fontconfig's folders, so they are loaded by path; where
// the package is missing, Fallback stands in (an empty name: the desktop's own face).
QFont WineFont(const QString& FileName, const QString& Fallback);
