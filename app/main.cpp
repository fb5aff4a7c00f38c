#include <QApplication>

#include "app/monitor_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName(QString());
  QApplication::setApplicationName(QStringLiteral("Vantrel"));
  TForm3 Form3;
  Form3.show();
  return QApplication::exec();
}
