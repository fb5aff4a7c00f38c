#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <clocale>
#include <cmath>
#include <limits>
#include <string>

#include "core/LevelHistory.h"
#include "core/NumberFormat.h"
#include "core/RxLevelStats.h"

class TRxLevelStatsTest : public QObject {
  Q_OBJECT

 private:
  static QStringList Report(const QList<int>& Levels) {
    TLevelHistory H;
    for (int L : Levels) H.AppendLevel(static_cast<std::int16_t>(L), 0);
    TRxLevelStats Stats(&H);
    QStringList Lines;
    Stats.WriteStatistics(Lines);
    return Lines;
  }

 private slots:
  void FullReport_data() {
    QTest::addColumn<QList<int>>("Levels");
    QTest::addColumn<QStringList>("Expected");
    QTest::newRow("single") << QList<int>{-75}
                            << QStringList{"Number of values: 1",
                                           "Maximum value: -75 at position 0",
                                           "Minimum value: -75 at position 0",
                                           "",
                                           "Range: 0",
                                           "",
                                           "Average: -75",
                                           "Median: -75",
                                           "Mode: -75",
                                           "Std. Deviation: 0",
                                           "Variance: 0",
                                           "Root Mean Square: 0",
                                           "Correlation: 1"};
    QTest::newRow("falling-pair") << QList<int>{-70, -80}
                                  << QStringList{"Number of values: 2",
                                                 "Maximum value: -70 at position 0",
                                                 "Minimum value: -80 at position 1",
                                                 "",
                                                 "Range: 10",
                                                 "",
                                                 "Average: -75",
                                                 "Median: -75",
                                                 "Mode: -80",
                                                 "Std. Deviation: 7.071",
                                                 "Variance: 25",
                                                 "Root Mean Square: 106.301",
                                                 "Correlation: -1"};
  }
  void FullReport() {
    QFETCH(QList<int>, Levels);
    QFETCH(QStringList, Expected);
    QCOMPARE(Report(Levels), Expected);
  }

  void ReportLines_data() {
    QTest::addColumn<QList<int>>("Levels");
    QTest::addColumn<int>("Line");
    QTest::addColumn<QString>("Expected");
    const QList<int> Flat{-75, -75, -75};
    QTest::newRow("flat-range") << Flat << 4 << "Range: 0";
    QTest::newRow("flat-dev") << Flat << 9 << "Std. Deviation: 0";
    QTest::newRow("flat-var") << Flat << 10 << "Variance: 0";
    QTest::newRow("flat-rms") << Flat << 11 << "Root Mean Square: 91.856";
    QTest::newRow("flat-corr") << Flat << 12 << "Correlation: 1";
    const QList<int> Rising{-70, -65, -65};
    QTest::newRow("rising-max") << Rising << 1 << "Maximum value: -65 at position 1";
    QTest::newRow("rising-avg") << Rising << 6 << "Average: -66.667";
    QTest::newRow("rising-median") << Rising << 7 << "Median: -65";
    QTest::newRow("rising-mode") << Rising << 8 << "Mode: -65";
    QTest::newRow("rising-corr") << Rising << 12 << "Correlation: 0.866";
    const QList<int> Four{-60, -80, -70, -75};
    QTest::newRow("four-median") << Four << 7 << "Median: -72.5";
    QTest::newRow("four-mode") << Four << 8 << "Mode: -80";
    QTest::newRow("four-avg") << Four << 6 << "Average: -71.25";
    QTest::newRow("four-dev") << Four << 9 << "Std. Deviation: 8.539";
    const QList<int> Five{-70, -80, -70, -80, -75};
    QTest::newRow("five-median") << Five << 7 << "Median: -75";
    QTest::newRow("five-mode") << Five << 8 << "Mode: -80";
    QTest::newRow("mode-longest-run") << QList<int>{-60, -60, -90, -60} << 8 << "Mode: -60";
  }
  void ReportLines() {
    QFETCH(QList<int>, Levels);
    QFETCH(int, Line);
    QFETCH(QString, Expected);
    const QStringList Lines = Report(Levels);
    QCOMPARE(Lines.size(), 13);
    QCOMPARE(Lines[Line], Expected);
  }

  void FullHistoryCountsFromOldestHeld() {
    QList<int> Levels;
    for (int I = 0; I < 40; ++I) Levels << (I == 9 ? -50 : I == 39 ? -100 : -70);
    const QStringList Lines = Report(Levels);
    QCOMPARE(Lines[0], QStringLiteral("Number of values: 31"));
    QCOMPARE(Lines[1], QStringLiteral("Maximum value: -50 at position 0"));
    QCOMPARE(Lines[2], QStringLiteral("Minimum value: -100 at position 30"));
  }

  void AppendsAfterExistingLinesAndNothingWhenEmpty() {
    TLevelHistory H;
    TRxLevelStats Stats(&H);
    QStringList Lines{"kept"};
    Stats.WriteStatistics(Lines);
    QCOMPARE(Lines, QStringList{"kept"});
    H.AppendLevel(-80, 0);
    Stats.WriteStatistics(Lines);
    QCOMPARE(Lines.size(), 14);
    QCOMPARE(Lines[0], QStringLiteral("kept"));
    TRxLevelStats Detached(nullptr);
    QStringList None;
    Detached.WriteStatistics(None);
    QVERIFY(None.isEmpty());
  }

  void UsesSeparators() {
    TLevelHistory H;
    H.AppendLevel(-70, 0);
    H.AppendLevel(-75, 0);
    TRxLevelStats Stats(&H);
    Stats.SetSeparators(u',', u'.');
    QStringList Lines;
    Stats.WriteStatistics(Lines);
    QCOMPARE(Lines[6], QStringLiteral("Average: -72,5"));
  }

  void Format_data() {
    QTest::addColumn<QString>("Pattern");
    QTest::addColumn<double>("Value");
    QTest::addColumn<QString>("Decimal");
    QTest::addColumn<QString>("Thousand");
    QTest::addColumn<QString>("Expected");
    const QString G = "#,##0.###";
    const QString A = "##0.0";
    QTest::newRow("whole") << G << -75.0 << "."
                           << ","
                           << "-75";
    QTest::newRow("half") << G << -72.5 << "."
                          << ","
                          << "-72.5";
    QTest::newRow("thirds") << G << -200.0 / 3 << "."
                            << ","
                            << "-66.667";
    QTest::newRow("rms") << G << std::sqrt(11300.0) << "."
                         << ","
                         << "106.301";
    QTest::newRow("corr") << G << std::sqrt(3.0) / 2 << "."
                          << ","
                          << "0.866";
    QTest::newRow("zero") << G << 0.0 << "."
                          << ","
                          << "0";
    QTest::newRow("negzero") << G << -0.0 << "."
                             << ","
                             << "0";
    QTest::newRow("tiny-negative") << G << -0.0001 << "."
                                   << ","
                                   << "0";
    QTest::newRow("carry") << G << 9.9996 << "."
                           << ","
                           << "10";
    QTest::newRow("carry-group") << G << -999.9999 << "."
                                 << ","
                                 << "-1,000";
    QTest::newRow("tie-away") << G << 0.0625 << "."
                              << ","
                              << "0.063";
    QTest::newRow("grouped") << G << 1234567.5 << "."
                             << ","
                             << "1,234,567.5";
    QTest::newRow("grouped-comma") << G << 1234567.5 << ","
                                   << "."
                                   << "1.234.567,5";
    QTest::newRow("grouped-space") << G << -1234567.5 << ","
                                   << " "
                                   << "-1 234 567,5";
    QTest::newRow("no-group-three") << G << 123.0 << "."
                                    << ","
                                    << "123";
    QTest::newRow("av-whole") << A << -72.0 << "."
                              << ","
                              << "-72.0";
    QTest::newRow("av-half") << A << -72.5 << "."
                             << ","
                             << "-72.5";
    QTest::newRow("av-round") << A << -71.25 << "."
                              << ","
                              << "-71.3";
    QTest::newRow("av-big-ungrouped") << A << 1234567.5 << "."
                                      << ","
                                      << "1234567.5";
    QTest::newRow("av-negzero") << A << -0.04 << "."
                                << ","
                                << "0.0";
    QTest::newRow("nan") << G << std::numeric_limits<double>::quiet_NaN() << "."
                         << ","
                         << "NAN";
    QTest::newRow("inf") << G << -std::numeric_limits<double>::infinity() << "."
                         << ","
                         << "-INF";
  }
  void Format() {
    QFETCH(QString, Pattern);
    QFETCH(double, Value);
    QFETCH(QString, Decimal);
    QFETCH(QString, Thousand);
    QFETCH(QString, Expected);
    QCOMPARE(FormatFloat(Pattern, Value, Decimal[0], Thousand[0]), Expected);
  }

  void FormatHugeValue() {
    const QString Text = FormatFloat("#,##0.###", -std::numeric_limits<double>::max(), u'.', u',');
    QVERIFY(Text.startsWith(QStringLiteral("-179,769,313")));
    QVERIFY(!Text.contains(u'.'));
    QCOMPARE(Text.size(), 1 + 309 + 102);  // sign, digits, one separator per full group
  }

  // The application object sets the C library to the user's locale, whose decimal point may be
  // a comma; the formats give the same text whatever it is.
  void FormatIgnoresCLibraryLocale() {
    QTemporaryDir Built;
    const QByteArray Locale = CommaLocale(Built);
    if (Locale.isEmpty()) QSKIP("no locale with a decimal comma, and none could be built");
    const std::string Saved = std::setlocale(LC_NUMERIC, nullptr);
    QVERIFY(std::setlocale(LC_NUMERIC, Locale.constData()) != nullptr);
    const char Point = *std::localeconv()->decimal_point;
    const QString Statistics = FormatFloat("#,##0.###", -1072.5, u'.', u',');
    const QString Average = FormatFloat("##0.0", -72.25, u'.', u',');
    std::setlocale(LC_NUMERIC, Saved.c_str());
    QCOMPARE(Point, ',');
    QCOMPARE(Statistics, QStringLiteral("-1,072.5"));
    QCOMPARE(Average, QStringLiteral("-72.3"));
  }

 private:
  // An installed locale whose decimal point is a comma, or one built into Dir.
  static QByteArray CommaLocale(const QTemporaryDir& Dir) {
    const std::string Saved = std::setlocale(LC_NUMERIC, nullptr);
    QByteArray Found;
    for (const char* Name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"}) {
      if (std::setlocale(LC_NUMERIC, Name) != nullptr) {
        Found = Name;
        break;
      }
    }
    std::setlocale(LC_NUMERIC, Saved.c_str());
    if (!Found.isEmpty() || !Dir.isValid()) return Found;

    const QString Localedef = QStandardPaths::findExecutable(QStringLiteral("localedef"));
    if (Localedef.isEmpty()) return {};
    QFile Source(Dir.filePath(QStringLiteral("comma.def")));
    if (!Source.open(QIODevice::WriteOnly)) return {};
    Source.write(
        "LC_NUMERIC\ndecimal_point \"<U002C>\"\nthousands_sep \"<U002E>\"\n"
        "grouping 3;3\nEND LC_NUMERIC\n");
    Source.close();
    // Only the numeric category is defined; -c writes the locale despite the missing others.
    QProcess Build;
    Build.start(Localedef, {QStringLiteral("-c"), QStringLiteral("-i"), Source.fileName(),
                            QStringLiteral("-f"), QStringLiteral("UTF-8"),
                            Dir.filePath(QStringLiteral("comma.UTF-8"))});
    if (!Build.waitForFinished(60000)) return {};
    qputenv("LOCPATH", Dir.path().toLocal8Bit());
    return QFile::exists(Dir.filePath(QStringLiteral("comma.UTF-8/LC_NUMERIC")))
               ? QByteArrayLiteral("comma.UTF-8")
               : QByteArray();
  }
};

QTEST_MAIN(TRxLevelStatsTest)
#include "tst_rxlevelstats.moc"
