#include <QDir>
#include <QImage>
#include <QTest>

#include "core/LevelHistory.h"
#include "gui/RxLevelChart.h"

class TRxLevelChartTest : public QObject {
  Q_OBJECT

 private:
  static constexpr QSize ChartSize{620, 260};

  static QImage Render(TLevelHistory& H, const QString& Name) {
    TRxLevelChart Chart(&H);
    Chart.resize(ChartSize);
    QImage Image(ChartSize, QImage::Format_ARGB32);
    Image.fill(Qt::transparent);
    Chart.render(&Image, QPoint(), QRegion(), QWidget::DrawChildren);
    QString Dir = qEnvironmentVariable("VANTREL_ARTIFACTS");
    if (Dir.isEmpty()) Dir = QCoreApplication::applicationDirPath() + QStringLiteral("/artifacts");
    QDir().mkpath(Dir);
    Image.save(Dir + QStringLiteral("/chart_") + Name + QStringLiteral(".png"));
    return Image;
  }
  static TChartLayout Layout(const TLevelHistory& H) {
    return ComputeChartLayout(H, ChartSize, u'.', u',', TRxLevelChart(nullptr).font());
  }
  static QStringList LabelTexts(const TChartLayout& L) {
    QStringList Texts;
    for (const TChartLabel& Label : L.Labels) Texts << Label.Text;
    return Texts;
  }
  // Every sample gets a colour of its own, red in the low byte as the caller passes it.
  static std::uint32_t ColorRef(int I) {
    return static_cast<std::uint32_t>(I * 8) | static_cast<std::uint32_t>(255 - I * 8) << 8 |
           static_cast<std::uint32_t>(I * 5) << 16;
  }
  static void Fill(TLevelHistory& H, const QList<int>& Levels) {
    for (int I = 0; I < Levels.size(); ++I)
      H.AppendLevel(static_cast<std::int16_t>(Levels[I]), ColorRef(I % 31));
    H.RefreshLevelLines();
  }

 private slots:
  void EmptyChartShowsPanelAndPlotOnly() {
    TLevelHistory H;
    const TChartLayout L = Layout(H);
    QVERIFY(L.Bars.empty());
    QVERIFY(L.Labels.empty());
    for (const TChartLine& Line : L.Lines) QVERIFY(!Line.Visible);
    QCOMPARE(L.Title, QStringLiteral("Receiving level"));
    QCOMPARE(L.AxisLabels[0].Text, QStringLiteral("-113"));
    QCOMPARE(L.AxisLabels[1].Text, QStringLiteral("-47"));
    QCOMPARE(L.Ticks.size(), std::size_t{6});
    QVERIFY(L.AxisLabels[0].Box.center().y() > L.AxisLabels[1].Box.center().y());
    const QImage Image = Render(H, QStringLiteral("empty"));
    const QPoint Mid = L.Plot.center().toPoint();
    QCOMPARE(Image.pixel(Mid), QColor(196, 196, 255).rgb());
    QCOMPARE(Image.pixel(L.Plot.left() / 2 + 4, static_cast<int>(L.Plot.center().y())),
             QColor(255, 255, 187).rgb());
    QCOMPARE(Image.pixel(ChartSize.width() / 2, ChartSize.height() - 1), QColor(128, 0, 255).rgb());
    QCOMPARE(qAlpha(Image.pixel(0, 0)), 0);  // outside the rounded corner
  }

  void LabelTexts_data() {
    QTest::addColumn<QList<int>>("Levels");
    QTest::addColumn<QStringList>("Texts");
    QTest::newRow("one") << QList<int>{-75}
                         << QStringList{"-75", "-75", "-75", "-75", "-75.0", "-75.0"};
    QTest::newRow("two") << QList<int>{-70, -75}
                         << QStringList{"-75", "-75", "-70", "-70", "-72.5", "-72.5"};
    QTest::newRow("low-second") << QList<int>{-70, -114}
                                << QStringList{"-114", "-114", "-70", "-70", "-92.0", "-92.0"};
  }
  void LabelTexts() {
    QFETCH(QList<int>, Levels);
    QFETCH(QStringList, Texts);
    TLevelHistory H;
    Fill(H, Levels);
    const TChartLayout L = Layout(H);
    QCOMPARE(LabelTexts(L), Texts);
    for (const TChartLabel& Label : L.Labels) {
      const QLineF& Seg = L.Lines[static_cast<std::size_t>(Label.LineIndex)].Segment;
      QVERIFY(Label.Box.bottom() < Seg.p1().y());  // above its point
      QVERIFY(qAbs(Label.Box.center().x() - Seg.p1().x()) < 0.5 ||
              qAbs(Label.Box.center().x() - Seg.p2().x()) < 0.5);
    }
    QCOMPARE(L.Lines[2].Style, Qt::DashLine);
    QCOMPARE(L.Lines[0].Style, Qt::DotLine);
  }

  void SingleSampleIsHairline() {
    TLevelHistory H;
    Fill(H, {-75});
    const TChartLayout L = Layout(H);
    QCOMPARE(L.Bars.size(), std::size_t{1});
    QCOMPARE(L.Bars[0].Rect.width(), 0.0);
    QCOMPARE(L.Lines[0].Segment.length(), 0.0);
    const QImage Image = Render(H, QStringLiteral("one"));
    const int X = static_cast<int>(L.Bars[0].Rect.left());
    QCOMPARE(Image.pixel(X, static_cast<int>(L.Plot.bottom()) - 3), L.Bars[0].Color.rgb());
  }

  void TwoSamplesAreThreeQuartersOfASlot() {
    TLevelHistory H;
    Fill(H, {-70, -75});
    const TChartLayout L = Layout(H);
    QCOMPARE(L.Bars.size(), std::size_t{2});
    const double Slot = L.Plot.width() / 31;
    QVERIFY(qAbs(L.Bars[1].Rect.width() - 0.75 * Slot) <= 1.0);
    QCOMPARE(L.Bars[0].Rect.right(), L.Bars[1].Rect.left());
    QVERIFY(L.Bars[0].Rect.top() < L.Bars[1].Rect.top());  // -70 stands higher than -75
    Render(H, QStringLiteral("two"));
  }

  void FullHistoryPaintsEachBarInItsColour() {
    TLevelHistory H;
    QList<int> Levels;
    for (int I = 0; I < 31; ++I) Levels << -100 + (I * 7) % 60;
    Levels[5] = -40;  // above the axis: cut at the top
    Fill(H, Levels);
    const TChartLayout L = Layout(H);
    QCOMPARE(L.Bars.size(), std::size_t{31});
    const double Slot = L.Plot.width() / 31;
    const double W = L.Bars.back().Rect.width();
    QVERIFY(W <= Slot && W > Slot - 2);
    for (std::size_t I = 0; I + 1 < L.Bars.size(); ++I)
      QCOMPARE(L.Bars[I].Rect.right(), L.Bars[I + 1].Rect.left());
    QCOMPARE(L.Bars[5].Rect.top(), L.Plot.top());
    const QImage Image = Render(H, QStringLiteral("full"));
    for (std::size_t I = 0; I < L.Bars.size(); ++I) {
      const QPoint At(static_cast<int>(L.Bars[I].Rect.center().x()),
                      static_cast<int>(L.Plot.bottom()) - 2);
      QCOMPARE(Image.pixel(At), L.Bars[I].Color.rgb());
      const int N = static_cast<int>(I);
      QCOMPARE(L.Bars[I].Color, QColor(N * 8, 255 - N * 8, N * 5));
    }
  }

  void ScrolledHistorySkipsLevelsBelowAxis() {
    TLevelHistory H;
    QList<int> Levels;
    for (int I = 0; I < 40; ++I) Levels << (I == 24 ? -114 : -60 - I % 20);
    Fill(H, Levels);
    QCOMPARE(H.WindowMin(), 8.5);
    const TChartLayout L = Layout(H);
    QCOMPARE(L.Bars.size(), std::size_t{30});
    QCOMPARE(L.Labels.front().Text, QStringLiteral("-114"));
    QCOMPARE(L.Labels[2].Text, QStringLiteral("-60"));
    // The bars fill the whole window from its left edge to its right edge.
    QVERIFY(L.Bars.front().Rect.left() - L.Plot.left() < L.Plot.width() / 31);
    QVERIFY(L.Plot.right() - L.Bars.back().Rect.right() < L.Plot.width() / 31);
    const QImage Image = Render(H, QStringLiteral("scrolled"));
    const double Slot = L.Plot.width() / 31;
    const QPoint Gap(static_cast<int>(L.Plot.left() + (24 - 8.5) * Slot),
                     static_cast<int>(L.Plot.bottom()) - 2);
    QCOMPARE(Image.pixel(Gap), QColor(196, 196, 255).rgb());
  }
};

QTEST_MAIN(TRxLevelChartTest)
#include "tst_rxlevelchart.moc"
