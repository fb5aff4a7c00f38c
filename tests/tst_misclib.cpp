#include <QTest>

#include "core/MiscLib.h"
#include "core/ReplyText.h"

class TestMiscLib : public QObject {
  Q_OBJECT

 private slots:
  void TryParseIntCases_data();
  void TryParseIntCases();
  void TryParseHexCases_data();
  void TryParseHexCases();
  void FailureKeepsValue();
  void TicksElapsedCases_data();
  void TicksElapsedCases();
};

void TestMiscLib::TryParseIntCases_data() {
  QTest::addColumn<QByteArray>("Text");
  QTest::addColumn<bool>("Ok");
  QTest::addColumn<int>("Expected");
  QTest::newRow("leading blank") << QByteArray(" 12") << true << 12;
  QTest::newRow("trailing blank") << QByteArray("12 ") << false << 0;
  QTest::newRow("plus") << QByteArray("+7") << true << 7;
  QTest::newRow("dollar hex") << QByteArray("$1A") << true << 26;
  QTest::newRow("minus 0x") << QByteArray("-0x10") << true << -16;
  QTest::newRow("x prefix") << QByteArray("Xff") << true << 255;
  QTest::newRow("empty") << QByteArray() << false << 0;
  QTest::newRow("lone minus") << QByteArray("-") << false << 0;
  QTest::newRow("prefix only") << QByteArray("0x") << false << 0;
  QTest::newRow("two signs") << QByteArray("+-1") << false << 0;
  QTest::newRow("tab not skipped") << QByteArray("\t1") << false << 0;
  QTest::newRow("blank after sign") << QByteArray("- 1") << false << 0;
  QTest::newRow("zero") << QByteArray("0") << true << 0;
  QTest::newRow("max") << QByteArray("2147483647") << true << 2147483647;
  QTest::newRow("max+1") << QByteArray("2147483648") << false << 0;
  QTest::newRow("min") << QByteArray("-2147483648") << true << int(-2147483647 - 1);
  QTest::newRow("min-1") << QByteArray("-2147483649") << false << 0;
  QTest::newRow("huge") << QByteArray("99999999999999999999999") << false << 0;
  QTest::newRow("minus hex pattern") << QByteArray("-$80000000") << true << int(-2147483647 - 1);
  QTest::newRow("nul inside") << QByteArray("1\0002", 3) << false << 0;
}

void TestMiscLib::TryParseIntCases() {
  QFETCH(QByteArray, Text);
  QFETCH(bool, Ok);
  QFETCH(int, Expected);
  std::int32_t Value = 0;
  QCOMPARE(TryParseInt(Text, Value), Ok);
  if (Ok) QCOMPARE(Value, Expected);
}

void TestMiscLib::TryParseHexCases_data() {
  QTest::addColumn<QByteArray>("Text");
  QTest::addColumn<bool>("Ok");
  QTest::addColumn<int>("Expected");
  QTest::newRow("mixed case") << QByteArray("1a2B") << true << 6699;
  QTest::newRow("FFFF") << QByteArray("FFFF") << true << 65535;
  QTest::newRow("all ones") << QByteArray("FFFFFFFF") << true << -1;
  QTest::newRow("leading zeros") << QByteArray("000000001") << true << 1;
  QTest::newRow("nine digits") << QByteArray("100000000") << false << 0;
  QTest::newRow("blank first") << QByteArray(" 1A") << false << 0;
  QTest::newRow("empty") << QByteArray() << false << 0;
  QTest::newRow("sign") << QByteArray("-1") << false << 0;
  QTest::newRow("not hex") << QByteArray("1G") << false << 0;
}

void TestMiscLib::TryParseHexCases() {
  QFETCH(QByteArray, Text);
  QFETCH(bool, Ok);
  QFETCH(int, Expected);
  std::int32_t Value = 0;
  QCOMPARE(TryParseHex(Text, Value), Ok);
  if (Ok) QCOMPARE(Value, Expected);
}

void TestMiscLib::FailureKeepsValue() {
  std::int32_t Value = 4711;
  QVERIFY(!TryParseInt("12x", Value));
  QVERIFY(!TryParseHex("", Value));
  QCOMPARE(Value, 4711);
}

void TestMiscLib::TicksElapsedCases_data() {
  QTest::addColumn<quint32>("Now");
  QTest::addColumn<quint32>("Start");
  QTest::addColumn<quint32>("Expected");
  QTest::newRow("plain") << 5u << 3u << 2u;
  QTest::newRow("wrap by one") << 0u << 4294967295u << 1u;
  QTest::newRow("wrap") << 10u << 4294967290u << 16u;
}

void TestMiscLib::TicksElapsedCases() {
  QFETCH(quint32, Now);
  QFETCH(quint32, Start);
  QFETCH(quint32, Expected);
  QCOMPARE(TicksElapsed(Now, Start), Expected);
}

QTEST_MAIN(TestMiscLib)
#include "tst_misclib.moc"
