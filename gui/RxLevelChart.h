#pragma once

#include <QColor>
#include <QFont>
#include <QLineF>
#include <QRectF>
#include <QString>
#include <QWidget>
#include <array>
#include <vector>

class TLevelHistory;

struct TChartBar {
  QRectF Rect;  // zero width: a hairline at Rect.left()
  QColor Color;
};

struct TChartLine {
  bool Visible = false;
  QLineF Segment;
  Qt::PenStyle Style = Qt::DotLine;
};

struct TChartLabel {
  int LineIndex = 0;  // 0 "Min", 1 "Max", 2 "Av"
  QString Text;
  QRectF Box;
};

struct TChartTick {
  double Y = 0;
  bool Major = false;
};

struct TAxisLabel {
  QString Text;
  QRectF Box;
};

// Everything the chart paints, in widget pixels, so that it can be checked without a screen.
struct TChartLayout {
  QRectF Panel;
  QString Title;
  QRectF TitleBox;
  QRectF Plot;
  std::vector<TChartTick> Ticks;
  std::array<TAxisLabel, 2>
      AxisLabels;  // the history's scale: -113 at the bottom, -47 at the top for GSM
  std::vector<TChartBar> Bars;
  std::array<TChartLine, 3> Lines;
  std::vector<TChartLabel> Labels;
};

// The GSM scale, which a history has until it is given another.
constexpr double ChartLevelBottom = -113.0;
constexpr double ChartLevelTop = -47.0;

// Fonts: Font is the widget's font; titles and value labels use its bold variant.
TChartLayout ComputeChartLayout(const TLevelHistory& History, QSize Size, QChar Decimal,
                                QChar Thousand, const QFont& Font = QFont());

// The level history chart: coloured bars of the last levels and the "Min", "Max", "Av" lines.
class TRxLevelChart : public QWidget {
  Q_OBJECT

 public:
  explicit TRxLevelChart(TLevelHistory* History, QWidget* Parent = nullptr);
  ~TRxLevelChart() override;

  void SetSeparators(QChar Decimal, QChar Thousand);
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* Event) override;

 private:
  TLevelHistory* FHistory;
  QChar FDecimal = u'.';
  QChar FThousand = u',';
};
