#include <QApplication>

#include "gui/ProgramMain.h"

int main(int argc, char** argv) {
  QApplication Application(argc, argv);
  return RunMonitorProgram(Application);
}
