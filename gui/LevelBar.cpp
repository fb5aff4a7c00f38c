#include "gui/LevelBar.h"

#include <QPainter>
#include <algorithm>

TLevelBar::TLevelBar(QWidget* Parent) : QWidget(Parent) {
  setFocusPolicy(Qt::NoFocus);
}

void TLevelBar::SetRange(int Min, int Max) {
  FMin = Min;
  FMax = std::max(Min, Max);
  SetPosition(FPosition);
  update();
}

void TLevelBar::SetPosition(int Position) {
  const int Clamped = std::clamp(Position, FMin, FMax);
  if (Clamped == FPosition) return;
  FPosition = Clamped;
  update();
}

void TLevelBar::SetBarColor(QColor Color) {
  FBarColor = Color;
  update();
}

void TLevelBar::SetBackgroundColor(QColor Color) {
  FBackgroundColor = Color;
  update();
}

int TLevelBar::FillHeight(int Min, int Max, int Position, int InnerHeight) {
  if (Max <= Min || InnerHeight <= 0) return 0;
  const long long Span = static_cast<long long>(Max) - Min;
  const long long Offset = std::clamp<long long>(static_cast<long long>(Position) - Min, 0, Span);
  return static_cast<int>((Offset * InnerHeight + Span / 2) / Span);
}

void TLevelBar::paintEvent(QPaintEvent*) {
  QPainter Painter(this);
  const QRect Outer = rect();
  Painter.fillRect(Outer, FBackgroundColor);
  // A thin sunken frame like the desktop's progress control.
  Painter.setPen(QColor(160, 160, 160));
  Painter.drawRect(Outer.adjusted(0, 0, -1, -1));
  const QRect Inner = Outer.adjusted(1, 1, -1, -1);
  const int Fill = FillHeight(FMin, FMax, FPosition, Inner.height());
  if (Fill > 0)
    Painter.fillRect(QRect(Inner.left(), Inner.bottom() - Fill + 1, Inner.width(), Fill),
                     FBarColor);
}
