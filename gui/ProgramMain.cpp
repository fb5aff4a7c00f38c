#include "gui/ProgramMain.h"

#include <QApplication>

#include "gui/monitor_window.h"

int RunMonitorProgram(QApplication& Application, const std::function<void(TForm3&)>& Started) {
  // The application title; no display name, which some platforms would append
  // to every window caption.
  QApplication::setApplicationName(QStringLiteral("Vantrel"));
  QApplication::setDesktopFileName(QStringLiteral("io.github.vantrel.vantrel"));
  QApplication::setWindowIcon(TForm3::ApplicationIcon());
  // Quit at once when the window closes, not through a posted quit event: the close may come
  // inside a wait, and a nested loop could take a posted event for itself.
  QObject::connect(&Application, &QGuiApplication::lastWindowClosed, &Application,
                   &QCoreApplication::quit);
  TForm3 Form3;
  Form3.show();
  if (Started) Started(Form3);
  return QApplication::exec();
}
