#include "CycleWatch.h"

#include <QEvent>
#include <QTimer>

#include "BenchSupport.h"
#include "gui/monitor_window.h"

namespace vantrel::bench {

TCycleWatch::TCycleWatch(TForm3& Window)
    : QObject(&Window), FTimer(Window.findChild<QTimer*>(QStringLiteral("tmrPolling"))) {
  if (!FTimer) return;
  FTimer->installEventFilter(this);
  connect(FTimer, &QTimer::timeout, this, &TCycleWatch::CycleEnded);
}

std::vector<double> TCycleWatch::TakeDurations() {
  std::vector<double> Out;
  Out.swap(FDurations);
  return Out;
}

bool TCycleWatch::eventFilter(QObject* Watched, QEvent* Event) {
  if (Watched == FTimer && Event->type() == QEvent::Timer) FStartNs = MonotonicNs();
  return false;
}

void TCycleWatch::CycleEnded() {
  ++FCycles;
  if (FStartNs >= 0) FDurations.push_back(double(MonotonicNs() - FStartNs) / 1e6);
  FStartNs = -1;
}

}  // namespace vantrel::bench
