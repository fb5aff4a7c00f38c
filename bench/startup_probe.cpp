// The program's start as app/main.cpp does it, plus stamps of the monotonic clock at each
// step and at the end of the first paint of the window; prints them as JSON and quits.
#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <cstdio>
#include <functional>

#include "BenchSupport.h"
#include "gui/monitor_window.h"

using vantrel::bench::MonotonicNs;

namespace {

// The first paint event of the window starts a zero timer; it fires once the whole window,
// children included, has been painted and flushed, since that all happens in one go.
class TFirstPaint : public QObject {
 public:
  std::function<void()> OnPainted;

 protected:
  bool eventFilter(QObject*, QEvent* Event) override {
    if (Event->type() == QEvent::Paint && OnPainted) {
      auto Fn = std::move(OnPainted);
      OnPainted = nullptr;
      QTimer::singleShot(0, this, Fn);
    }
    return false;
  }
};

}  // namespace

int main(int argc, char** argv) {
  const std::int64_t Main = MonotonicNs();
  QApplication Application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Vantrel"));
  QApplication::setDesktopFileName(QStringLiteral("io.github.vantrel.vantrel"));
  const std::int64_t App = MonotonicNs();
  TForm3 Form3;
  const std::int64_t Window = MonotonicNs();
  std::int64_t Shown = 0;
  TFirstPaint Filter;
  Filter.OnPainted = [&] {
    const std::int64_t Painted = MonotonicNs();
    std::printf("{\"main\":%lld,\"app\":%lld,\"window\":%lld,\"shown\":%lld,\"painted\":%lld}\n",
                static_cast<long long>(Main), static_cast<long long>(App),
                static_cast<long long>(Window), static_cast<long long>(Shown),
                static_cast<long long>(Painted));
    std::fflush(stdout);
    QApplication::quit();
  };
  Form3.installEventFilter(&Filter);
  Form3.show();
  Shown = MonotonicNs();
  QTimer::singleShot(10000, &Application, &QApplication::quit);
  return QApplication::exec();
}
