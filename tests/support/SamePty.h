#pragma once

// A lost device comes back only as itself: a pseudo-terminal is known by its path, so a test
// whose simulator goes away and comes back must give it the same /dev/pts number again. The
// kernel hands out the lowest free number (and frees a closed one a moment later), so the
// numbers below the wanted one are held while the simulator starts.

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QString>
#include <QThread>
#include <functional>
#include <vector>

namespace vantrel::test {

// Start() starts the simulator and returns its pseudo-terminal's path (empty on failure);
// Stop() ends one that came up elsewhere. True once it runs on Path again.
inline bool StartOnSamePty(const QString& Path, const std::function<QString()>& Start,
                           const std::function<void()>& Stop, int Tries = 50) {
  const int Wanted = Path.mid(Path.lastIndexOf(QLatin1Char('/')) + 1).toInt();
  for (int Try = 0; Try < Tries; ++Try) {
    std::vector<int> Held;
    bool Free = false;
    for (;;) {
      const int Master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
      if (Master < 0) break;
      int Number = -1;
      ::ioctl(Master, TIOCGPTN, &Number);
      if (Number == Wanted) {
        ::close(Master);
        Free = true;
        break;
      }
      Held.push_back(Master);
      if (Number > Wanted) break;  // not freed yet, or someone else's now
    }
    const QString Got = Free ? Start() : QString();
    for (const int Master : Held) ::close(Master);
    if (Got == Path) return true;
    if (!Got.isEmpty()) Stop();
    QThread::msleep(100);
  }
  return false;
}

}  // namespace vantrel::test
