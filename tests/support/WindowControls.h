#pragma once

// Reaching the monitor window's controls by name, as the end-to-end tests do.

#include <QCheckBox>
#include <QString>

#include "app/monitor_window.h"

namespace vantrel::test {

template <typename T>
T* Child(const TForm3& W, const QString& Name) {
  return W.findChild<T*>(Name);
}

// Points the window's port at Path and checks Online; true when it stayed checked.
inline bool GoOnline(TForm3& W, const QString& Path) {
  W.Modem()->SetPortName(Path);
  auto* Online = Child<QCheckBox>(W, QStringLiteral("cbxOnline"));
  Online->setChecked(true);
  return Online->isChecked();
}

}  // namespace vantrel::test
