#include <QApplication>

#include "app/monitor_window.h"

int main(int argc, char** argv) {
  QApplication Application(argc, argv);
  // The application title; no display name, which some platforms would append
  // to every window caption.
  QApplication::setApplicationName(QStringLiteral("Vantrel"));
  QApplication::setDesktopFileName(QStringLiteral("vantrel"));
  TForm3 Form3;
  Form3.show();
  return QApplication::exec();
}
