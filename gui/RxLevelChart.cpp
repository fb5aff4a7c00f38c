#include "gui/RxLevelChart.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "core/LevelHistory.h"
#include "core/NumberFormat.h"
#include "gui/ColorRef.h"

namespace {

const QColor PanelColor(255, 255, 187);
const QColor BorderColor(128, 0, 255);
const QColor TitleColor(0, 0, 64);
const QColor PlotColor(196, 196, 255);
const QColor LineColor(128, 255, 255);
constexpr double BorderWidth = 2.0;
constexpr double CornerRadius = 24.0;
constexpr double TickLength = 4.0;
constexpr double MinorTickLength = 2.0;
constexpr double LabelGap = 3.0;  // between a value label and its point
constexpr double LabelPadding = 2.0;
constexpr double ShadowOffset = 2.0;

QFont BoldFont(const QFont& Font) {
  QFont Bold(Font);
  Bold.setBold(true);
  return Bold;
}

}  // namespace

TChartLayout ComputeChartLayout(const TLevelHistory& History, QSize Size, QChar Decimal,
                                QChar Thousand, const QFont& Font) {
  TChartLayout L;
  L.Panel = QRectF(0, 0, Size.width(), Size.height());
  L.Title = QStringLiteral("Receiving level");

  QFont TitleFont = BoldFont(Font);
  TitleFont.setUnderline(true);
  const QFontMetricsF TitleMetrics(TitleFont);
  const QFontMetricsF AxisMetrics(Font);
  const QFontMetricsF LabelMetrics(BoldFont(Font));

  const double TitleWidth = TitleMetrics.horizontalAdvance(L.Title);
  L.TitleBox =
      QRectF((L.Panel.width() - TitleWidth) / 2, BorderWidth, TitleWidth, TitleMetrics.height());

  // The axis spans the history's scale: the serving cell's technology decides it.
  const double ScaleBottom = History.ScaleLow();
  const double ScaleTop = History.ScaleHigh();
  L.AxisLabels[0].Text = QString::number(ScaleBottom);
  L.AxisLabels[1].Text = QString::number(ScaleTop);
  const double AxisTextWidth = AxisMetrics.horizontalAdvance(L.AxisLabels[0].Text);
  // Margins keep the plot clear of the rounded corners and leave room for the value
  // labels that stand above the top line.
  const double Left = std::max(CornerRadius / 2, BorderWidth + 4 + AxisTextWidth + TickLength + 2);
  const double Right = CornerRadius / 2 + 2;
  const double Top = L.TitleBox.bottom() + LabelMetrics.height() / 2 + 2;
  const double Bottom = CornerRadius / 2 + 2;
  const double PlotWidth = std::max(1.0, std::floor(L.Panel.width() - Left - Right));
  const double PlotHeight = std::max(1.0, std::floor(L.Panel.height() - Top - Bottom));
  L.Plot = QRectF(std::floor(Left), std::floor(Top), PlotWidth, PlotHeight);
  const QRectF Plot = L.Plot;

  const double WinMin = History.WindowMin();
  const double WinSpan = History.WindowMax() - WinMin;
  auto XOf = [&](double Position) {
    return Plot.left() + (Position - WinMin) / WinSpan * Plot.width();
  };
  auto YOf = [&](double Level) {
    return Plot.bottom() - (Level - ScaleBottom) / (ScaleTop - ScaleBottom) * Plot.height();
  };

  for (int I = 0; I <= 5; ++I)
    L.Ticks.push_back({YOf(ScaleBottom + I * ((ScaleTop - ScaleBottom) / 5)), I == 0 || I == 5});
  for (int I = 0; I < 2; ++I) {
    const double Y = YOf(I == 0 ? ScaleBottom : ScaleTop);
    const double W = AxisMetrics.horizontalAdvance(L.AxisLabels[static_cast<std::size_t>(I)].Text);
    L.AxisLabels[static_cast<std::size_t>(I)].Box = QRectF(
        Plot.left() - TickLength - 2 - W, Y - AxisMetrics.height() / 2, W, AxisMetrics.height());
  }

  const std::vector<TLevelSample>& Samples = History.Samples();
  if (!Samples.empty()) {
    const std::size_t N = Samples.size();
    const double First = Samples.front().Position;
    const double Last = Samples.back().Position;
    const double Distance =
        std::round(std::fabs(XOf(Last + (Last - First) / static_cast<double>(N)) - XOf(First)));
    const double BarWidth = std::floor(Distance / static_cast<double>(N));
    std::vector<double> LeftEdges(N);
    for (std::size_t I = 0; I < N; ++I)
      LeftEdges[I] = std::round(XOf(Samples[I].Position) - BarWidth / 2);
    for (std::size_t I = 0; I < N; ++I) {
      const TLevelSample& S = Samples[I];
      if (!(S.Level >= ScaleBottom)) continue;  // nothing to show below the axis
      const double Right = I + 1 < N ? LeftEdges[I + 1] : LeftEdges[I] + BarWidth;
      const double TopY = std::round(std::max(Plot.top(), YOf(std::min(S.Level, ScaleTop))));
      QRectF Rect(QPointF(LeftEdges[I], TopY), QPointF(Right, Plot.bottom()));
      if (BarWidth > 0) {
        Rect = Rect.intersected(Plot);
        if (Rect.isEmpty()) continue;
      }
      L.Bars.push_back({Rect, FromColorRef(S.Color)});
    }
  }

  const std::array<TLevelLine, 3>& Lines = History.Lines();
  for (std::size_t I = 0; I < Lines.size(); ++I) {
    const TLevelLine& Line = Lines[I];
    TChartLine& Out = L.Lines[I];
    Out.Style = I == 2 ? Qt::DashLine : Qt::DotLine;
    if (Line.Points.size() < 2) continue;
    Out.Visible = true;
    const QPointF A(XOf(Line.Points.front().x()), YOf(Line.Points.front().y()));
    const QPointF B(XOf(Line.Points.back().x()), YOf(Line.Points.back().y()));
    Out.Segment = QLineF(A, B);
    for (const QPointF& P : Line.Points) {
      TChartLabel Label;
      Label.LineIndex = static_cast<int>(I);
      Label.Text = FormatFloat(Line.ValueFormat, P.y(), Decimal, Thousand);
      const double W = LabelMetrics.horizontalAdvance(Label.Text) + 2 * LabelPadding + 2;
      const double H = LabelMetrics.height() + 2;
      const QPointF At(XOf(P.x()), YOf(P.y()));
      Label.Box = QRectF(At.x() - W / 2, At.y() - LabelGap - H, W, H);
      // A value above the axis (a level over -47) would put its label off the panel.
      const QRectF Inner = L.Panel.adjusted(BorderWidth, BorderWidth, -BorderWidth, -BorderWidth);
      Label.Box.moveTop(
          std::clamp(Label.Box.top(), Inner.top(), std::max(Inner.top(), Inner.bottom() - H)));
      Label.Box.moveLeft(
          std::clamp(Label.Box.left(), Inner.left(), std::max(Inner.left(), Inner.right() - W)));
      L.Labels.push_back(Label);
    }
  }
  return L;
}

TRxLevelChart::TRxLevelChart(TLevelHistory* History, QWidget* Parent)
    : QWidget(Parent), FHistory(History) {
  // The chart is the history's only view, so every change of it asks for a repaint.
  if (FHistory != nullptr) FHistory->OnChanged = [this] { update(); };
}

TRxLevelChart::~TRxLevelChart() {
  if (FHistory != nullptr) FHistory->OnChanged = nullptr;
}

void TRxLevelChart::SetSeparators(QChar Decimal, QChar Thousand) {
  FDecimal = Decimal;
  FThousand = Thousand;
  update();
}

QSize TRxLevelChart::sizeHint() const {
  return QSize(420, 220);
}

void TRxLevelChart::paintEvent(QPaintEvent*) {
  if (FHistory == nullptr) return;
  const TChartLayout L = ComputeChartLayout(*FHistory, size(), FDecimal, FThousand, font());
  QPainter P(this);
  P.setRenderHint(QPainter::Antialiasing, true);

  const QRectF PanelRect =
      L.Panel.adjusted(BorderWidth / 2, BorderWidth / 2, -BorderWidth / 2, -BorderWidth / 2);
  P.setPen(QPen(BorderColor, BorderWidth));
  P.setBrush(PanelColor);
  P.drawRoundedRect(PanelRect, CornerRadius, CornerRadius);

  QFont TitleFont = BoldFont(font());
  TitleFont.setUnderline(true);
  P.setFont(TitleFont);
  P.setPen(TitleColor);
  P.drawText(L.TitleBox, Qt::AlignCenter, L.Title);

  // Bars and axes sit on whole pixels; antialiasing would blend their colours.
  P.setRenderHint(QPainter::Antialiasing, false);
  P.fillRect(L.Plot, PlotColor);

  P.setPen(QPen(Qt::black, 1));
  P.drawLine(QPointF(L.Plot.left(), L.Plot.top()), QPointF(L.Plot.left(), L.Plot.bottom()));
  P.drawLine(QPointF(L.Plot.left(), L.Plot.bottom()), QPointF(L.Plot.right(), L.Plot.bottom()));
  for (const TChartTick& Tick : L.Ticks) {
    const double Length = Tick.Major ? TickLength : MinorTickLength;
    P.drawLine(QPointF(L.Plot.left() - Length, Tick.Y), QPointF(L.Plot.left(), Tick.Y));
  }
  P.setFont(font());
  for (const TAxisLabel& Label : L.AxisLabels)
    P.drawText(Label.Box, Qt::AlignRight | Qt::AlignVCenter, Label.Text);

  P.save();
  P.setClipRect(L.Plot);
  for (const TChartBar& Bar : L.Bars) {
    if (Bar.Rect.width() <= 0) {
      P.setPen(QPen(Bar.Color, 0));
      P.drawLine(QPointF(Bar.Rect.left(), Bar.Rect.top()),
                 QPointF(Bar.Rect.left(), Bar.Rect.bottom()));
    } else {
      P.fillRect(Bar.Rect, Bar.Color);
    }
  }
  for (const TChartLine& Line : L.Lines) {
    if (!Line.Visible) continue;
    P.setPen(QPen(LineColor, 3, Line.Style, Qt::FlatCap));
    P.drawLine(Line.Segment);
  }
  P.restore();

  P.setRenderHint(QPainter::Antialiasing, true);
  const QFont LabelFont = BoldFont(font());
  P.setFont(LabelFont);
  const QColor TipBase = palette().color(QPalette::ToolTipBase);
  for (const TChartLabel& Label : L.Labels) {
    if (Label.LineIndex == 2) {
      P.setPen(QPen(LineColor, 1));
      P.setBrush(QColor(0, 0, 255));
      P.drawRoundedRect(Label.Box, 4, 4);
      P.setPen(Qt::white);
    } else {
      const QColor Shadow = Label.LineIndex == 0 ? QColor(129, 129, 129) : QColor(192, 192, 192);
      P.fillRect(Label.Box.translated(ShadowOffset, ShadowOffset), Shadow);
      P.setPen(QPen(QColor(0, 64, 128), 1));
      P.setBrush(TipBase);
      P.drawRect(Label.Box);
      P.setPen(Label.LineIndex == 0 ? QColor(0, 0, 128) : QColor(0, 64, 128));
    }
    P.drawText(Label.Box, Qt::AlignCenter, Label.Text);
  }
}
