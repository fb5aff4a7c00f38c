#include "serial/platform/EventWait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <algorithm>

#include "serial/platform/Ticks.h"

bool WaitWithEvents(const std::function<bool()>& Done, int TimeoutMs,
                    const std::function<bool()>& Stop, int StepMs) {
  const QDeadlineTimer Deadline(std::max(0, TimeoutMs));
  for (;;) {
    if (Stop && Stop()) return false;
    if (Done()) return true;
    if (Deadline.hasExpired()) return false;
    const qint64 Left = std::max<qint64>(1, Deadline.remainingTime());
    SleepMs(static_cast<std::uint32_t>(std::min<qint64>(std::max(1, StepMs), Left)));
    if (QCoreApplication::instance()) QCoreApplication::processEvents(QEventLoop::AllEvents);
  }
}
