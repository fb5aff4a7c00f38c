#pragma once

#include <QColor>
#include <QWidget>
#include <cstdint>

// A vertical level bar that fills upward as one smooth bar. Painted by hand
// rather than with QProgressBar: a level outside the range must show at the
// nearer end (QProgressBar ignores such values), and both the fill and the
// background colour are set per bar.
class TLevelBar : public QWidget {
  Q_OBJECT
 public:
  explicit TLevelBar(QWidget* Parent = nullptr);

  int Min() const { return FMin; }
  int Max() const { return FMax; }
  void SetRange(int Min, int Max);
  // The stored position is always inside the range, as a progress control keeps it.
  int Position() const { return FPosition; }
  void SetPosition(int Position);
  QColor BarColor() const { return FBarColor; }
  void SetBarColor(QColor Color);
  QColor BackgroundColor() const { return FBackgroundColor; }
  void SetBackgroundColor(QColor Color);

  // Height in pixels of the filled part for a bar of the given inner height.
  static int FillHeight(int Min, int Max, int Position, int InnerHeight);

 protected:
  void paintEvent(QPaintEvent* Event) override;

 private:
  int FMin = 0;
  int FMax = 100;
  int FPosition = 0;
  QColor FBarColor{0, 120, 215};
  QColor FBackgroundColor{Qt::white};
};
