#pragma once

#include <functional>

class QApplication;
class TForm3;

// The program's run, from setting the title to the end of the event loop: what main() does,
// kept callable so a test driver can run the very same program and act on its window once it
// is shown. Returns the exit status.
int RunMonitorProgram(QApplication& Application, const std::function<void(TForm3&)>& Started = {});
