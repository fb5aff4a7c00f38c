#pragma once

// Reaching the monitor window's controls by name, as the end-to-end tests do.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QString>

#include "gui/monitor_window.h"

namespace vantrel::test {

template <typename T>
T* Child(const TForm3& W, const QString& Name) {
  return W.findChild<T*>(Name);
}

// What a grid cell (a label) or a detail field (a line edit) shows.
inline QString Text(const TForm3& W, const QString& Name) {
  if (auto* L = Child<QLabel>(W, Name)) return L->text();
  return Child<QLineEdit>(W, Name)->text();
}

// The name of a grid cell: the row's prefix and the column, e.g. "sttChannel3".
inline QString Grid(const char* Row, int Column) {
  return QString::fromLatin1(Row) + QString::number(Column);
}

// Points the window's port at Path and checks Online; true when it stayed checked.
inline bool GoOnline(TForm3& W, const QString& Path) {
  W.Modem()->SetPortName(Path);
  auto* Online = Child<QCheckBox>(W, QStringLiteral("cbxOnline"));
  Online->setChecked(true);
  return Online->isChecked();
}

}  // namespace vantrel::test
