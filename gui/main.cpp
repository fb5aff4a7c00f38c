#include <QApplication>
#include <cstdio>
#include <cstring>

#include "gui/ProgramMain.h"

namespace {

// Answered before the application is made: a window system is not needed to say what the
// program is, so `vantrel --version` works on a console and in a package check.
constexpr const char* HelpText =
    "Usage: vantrel [options]\n"
    "Watches the serving and neighbour cells of a GSM modem on a serial port.\n"
    "Check Online to open the port and identify the modem, Monitor to read its cells\n"
    "about once a second.\n"
    "\n"
    "Options:\n"
    "  -h, --help     Show this help.\n"
    "  --version      Show the version.\n"
    "Qt's own options (-platform, -style, -display ...) are taken as by any Qt program.\n";

}  // namespace

int main(int argc, char** argv) {
  for (int Index = 1; Index < argc; ++Index) {
    if (std::strcmp(argv[Index], "--help") == 0 || std::strcmp(argv[Index], "-h") == 0) {
      std::fputs(HelpText, stdout);
      return 0;
    }
    if (std::strcmp(argv[Index], "--version") == 0) {
      std::printf("vantrel %s\n", VANTREL_VERSION);
      return 0;
    }
  }
  QApplication Application(argc, argv);
  return RunMonitorProgram(Application);
}
