#pragma once

#include <QObject>
#include <cstdint>
#include <vector>

class QTimer;
class TForm3;

namespace vantrel::bench {

// Watches the window's polling timer from outside: a timer event on it starts a cycle, and
// the timeout slot connected after the window's own marks the end, since the window runs
// the whole cycle inside its handler.
class TCycleWatch : public QObject {
 public:
  explicit TCycleWatch(TForm3& Window);
  std::int64_t Cycles() const { return FCycles; }
  // Durations of the cycles since the last call, in milliseconds.
  std::vector<double> TakeDurations();

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  void CycleEnded();

  QTimer* FTimer = nullptr;
  std::int64_t FCycles = 0;
  std::int64_t FStartNs = -1;
  std::vector<double> FDurations;
};

}  // namespace vantrel::bench
