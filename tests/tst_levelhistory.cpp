#include <QTest>

#include "core/LevelHistory.h"

class TLevelHistoryTest : public QObject {
  Q_OBJECT

 private:
  struct TCounter {
    int Adds = 0;
    std::int32_t LastIndex = -1;
    int Changes = 0;
  };
  static void Attach(TLevelHistory& H, TCounter& C) {
    H.OnAfterAdd = [&H, &C](TLevelHistory* Sender, std::int32_t Index) {
      QCOMPARE(Sender, &H);
      // The new sample must already be stored when the handler runs.
      QCOMPARE(Index, static_cast<std::int32_t>(H.Samples().size()) - 1);
      ++C.Adds;
      C.LastIndex = Index;
    };
    H.OnChanged = [&C] { ++C.Changes; };
  }

 private slots:
  void FirstLevelBelowAxisIsDropped() {
    TLevelHistory H;
    TCounter C;
    Attach(H, C);
    H.AppendLevel(-114, 0x0000FF);
    QVERIFY(H.Samples().empty());
    QCOMPARE(C.Adds, 0);
    QCOMPARE(C.Changes, 0);
    H.AppendLevel(-113, 0x0000FF);
    QCOMPARE(H.Samples().size(), std::size_t{1});
    QCOMPARE(H.Samples()[0].Position, 0.0);
    QCOMPARE(H.Samples()[0].Level, -113.0);
    QCOMPARE(C.Adds, 1);
    QCOMPARE(C.LastIndex, 0);
  }

  void LowLevelAcceptedOnceStarted() {
    TLevelHistory H;
    H.AppendLevel(-70, 1);
    H.AppendLevel(-114, 2);
    QCOMPARE(H.Samples().size(), std::size_t{2});
    QCOMPARE(H.Samples()[1].Position, 1.0);
    QCOMPARE(H.Samples()[1].Color, 2u);
    H.RefreshLevelLines();
    QCOMPARE(H.Lines()[0].Points.front().y(), -114.0);
  }

  void WindowScrollsOnceFull_data() {
    QTest::addColumn<int>("Appends");
    QTest::addColumn<double>("WinMin");
    QTest::addColumn<double>("FirstPos");
    QTest::addColumn<double>("LastPos");
    QTest::newRow("30") << 30 << -0.5 << 0.0 << 29.0;
    QTest::newRow("31") << 31 << -0.5 << 0.0 << 30.0;
    QTest::newRow("32") << 32 << 0.5 << 1.0 << 31.0;
    QTest::newRow("40") << 40 << 8.5 << 9.0 << 39.0;
    QTest::newRow("100") << 100 << 68.5 << 69.0 << 99.0;
  }
  void WindowScrollsOnceFull() {
    QFETCH(int, Appends);
    QFETCH(double, WinMin);
    QFETCH(double, FirstPos);
    QFETCH(double, LastPos);
    TLevelHistory H;
    TCounter C;
    Attach(H, C);
    for (int I = 0; I < Appends; ++I)
      H.AppendLevel(static_cast<std::int16_t>(-60 - I % 7), static_cast<std::uint32_t>(I));
    QCOMPARE(C.Adds, Appends);
    QCOMPARE(H.WindowMin(), WinMin);
    QCOMPARE(H.WindowMax(), WinMin + 31);
    QCOMPARE(H.Samples().size(), std::size_t(std::min(Appends, 31)));
    QCOMPARE(H.Samples().front().Position, FirstPos);
    QCOMPARE(H.Samples().back().Position, LastPos);
    QCOMPARE(H.Samples().back().Color, static_cast<std::uint32_t>(Appends - 1));
    for (std::size_t I = 1; I < H.Samples().size(); ++I)
      QCOMPARE(H.Samples()[I].Position, H.Samples()[I - 1].Position + 1);
  }

  void ClearKeepsWindowUntilReset() {
    TLevelHistory H;
    TCounter C;
    Attach(H, C);
    for (int I = 0; I < 40; ++I) H.AppendLevel(-70, 0);
    H.RefreshLevelLines();
    const int Adds = C.Adds;
    H.ClearHistory();
    QVERIFY(H.Samples().empty());
    for (const TLevelLine& L : H.Lines()) QVERIFY(L.Points.empty());
    QCOMPARE(H.WindowMin(), 8.5);
    QCOMPARE(H.WindowMax(), 39.5);
    H.ResetHistoryWindow();
    QCOMPARE(H.WindowMin(), -0.5);
    QCOMPARE(H.WindowMax(), 30.5);
    QCOMPARE(C.Adds, Adds);  // neither clearing nor resetting is an append
    H.AppendLevel(-80, 0);
    QCOMPARE(H.Samples().front().Position, 0.0);
  }

  void Lines_data() {
    QTest::addColumn<QList<int>>("Levels");
    QTest::addColumn<double>("Min");
    QTest::addColumn<double>("Max");
    QTest::addColumn<double>("Av");
    QTest::addColumn<double>("LastPos");
    QTest::newRow("single") << QList<int>{-75} << -75.0 << -75.0 << -75.0 << 0.0;
    QTest::newRow("two") << QList<int>{-70, -75} << -75.0 << -70.0 << -72.5 << 1.0;
    QTest::newRow("low-second") << QList<int>{-60, -114, -90} << -114.0 << -60.0 << -88.0 << 2.0;
  }
  void Lines() {
    QFETCH(QList<int>, Levels);
    QFETCH(double, Min);
    QFETCH(double, Max);
    QFETCH(double, Av);
    QFETCH(double, LastPos);
    TLevelHistory H;
    for (int L : Levels) H.AppendLevel(static_cast<std::int16_t>(L), 0);
    QVERIFY(H.Lines()[0].Points.empty());  // only a refresh builds the lines
    H.RefreshLevelLines();
    const double Values[3] = {Min, Max, Av};
    const char* Titles[3] = {"Min", "Max", "Av"};
    for (std::size_t I = 0; I < 3; ++I) {
      const TLevelLine& Line = H.Lines()[I];
      QCOMPARE(Line.Title, QString::fromLatin1(Titles[I]));
      QCOMPARE(Line.Points.size(), std::size_t{2});
      QCOMPARE(Line.Points[0], QPointF(0.0, Values[I]));
      QCOMPARE(Line.Points[1], QPointF(LastPos, Values[I]));
    }
  }

  void LinesFollowScrolledPositions() {
    TLevelHistory H;
    for (int I = 0; I < 40; ++I) H.AppendLevel(static_cast<std::int16_t>(I < 9 ? -50 : -80), 0);
    H.RefreshLevelLines();
    // The -50s have left the window; only the newest 31 count.
    QCOMPARE(H.Lines()[1].Points[0], QPointF(9.0, -80.0));
    QCOMPARE(H.Lines()[1].Points[1], QPointF(39.0, -80.0));
  }
};

QTEST_MAIN(TLevelHistoryTest)
#include "tst_levelhistory.moc"
