#include <QTest>

#include "app/ReplyText.h"

using TLines = QList<QByteArray>;

class TestReplyText : public QObject {
  Q_OBJECT

 private slots:
  void SplitReplyLinesCases_data();
  void SplitReplyLinesCases();
  void CutAndTrim();
  void SplitIdentityFieldsCases_data();
  void SplitIdentityFieldsCases();
};

void TestReplyText::SplitReplyLinesCases_data() {
  QTest::addColumn<QByteArray>("Reply");
  QTest::addColumn<TLines>("Expected");
  QTest::newRow("only line ends") << QByteArray("\r\n\r\n") << TLines{};
  QTest::newRow("blanks kept") << QByteArray("  1 2\r\nOK") << TLines{"  1 2", "OK"};
  QTest::newRow("echo and OK") << QByteArray("\r\nX1\r\n\r\nOK\r\n") << TLines{"X1", "OK"};
  QTest::newRow("quote spans break")
      << QByteArray("+X: \"a\r\nb\",1\r\nOK\r\n") << TLines{"+X: \"a\r\nb\",1", "OK"};
  QTest::newRow("other quote inside") << QByteArray("'a\"\r\n'\nOK") << TLines{"'a\"\r\n'", "OK"};
  QTest::newRow("unclosed quote") << QByteArray("\"a\r\nOK\r\n") << TLines{"\"a\r\nOK\r\n"};
  QTest::newRow("nul ends") << QByteArray("A\r\nB\0C\r\nOK", 10) << TLines{"A", "B"};
  QTest::newRow("nul ends quote") << QByteArray("\"A\0\"\r\nB", 7) << TLines{"\"A"};
  QTest::newRow("nul first") << QByteArray("\0OK", 3) << TLines{};
}

void TestReplyText::SplitReplyLinesCases() {
  QFETCH(QByteArray, Reply);
  QFETCH(TLines, Expected);
  QCOMPARE(SplitReplyLines(Reply), Expected);
}

void TestReplyText::CutAndTrim() {
  QCOMPARE(TrimBlanks(QByteArray("\t 12 \x01")), QByteArray("12"));
  QCOMPARE(TrimBlanks(QByteArray("  ")), QByteArray());
  QCOMPARE(TrimBlanks(QByteArray("\xff")), QByteArray("\xff"));  // high bytes are not blanks
  QCOMPARE(CutColumns("abcdefgh", 2, 4), QByteArray("bcd"));
  QCOMPARE(CutColumns("abcdefgh", 7, 12), QByteArray("gh"));
  QCOMPARE(CutColumns("abc", 9, 13), QByteArray());
  QCOMPARE(CutColumns("abc", 3, 2), QByteArray());
  QCOMPARE(CutColumns("abc", -5, 1), QByteArray("a"));
}

void TestReplyText::SplitIdentityFieldsCases_data() {
  QTest::addColumn<QByteArray>("Text");
  QTest::addColumn<TLines>("Expected");
  QTest::newRow("plain") << QByteArray("a,b ,c") << TLines{"a", "b ", "c"};
  QTest::newRow("empties dropped") << QByteArray(",a,,b,") << TLines{"a", "b"};
  QTest::newRow("quoted comma") << QByteArray("\"x,y\",z") << TLines{"\"x,y\"", "z"};
  QTest::newRow("single quotes") << QByteArray("'x,\"',z") << TLines{"'x,\"'", "z"};
  QTest::newRow("open quote to end") << QByteArray("a,\"b,c") << TLines{"a", "\"b,c"};
  QTest::newRow("empty") << QByteArray() << TLines{};
}

void TestReplyText::SplitIdentityFieldsCases() {
  QFETCH(QByteArray, Text);
  QFETCH(TLines, Expected);
  QCOMPARE(SplitIdentityFields(Text), Expected);
}

QTEST_MAIN(TestReplyText)
#include "tst_replytext.moc"
