#include <QTest>

#include "core/ReplyText.h"

using TLines = QList<QByteArray>;

class TestReplyText : public QObject {
  Q_OBJECT

 private slots:
  void SplitReplyLinesCases_data();
  void SplitReplyLinesCases();
  void UnsolicitedCodesLeftOut_data();
  void UnsolicitedCodesLeftOut();
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

void TestReplyText::UnsolicitedCodesLeftOut_data() {
  QTest::addColumn<QByteArray>("Line");
  QTest::addColumn<bool>("Unsolicited");
  for (const char* Code :
       {"RING", "+CRING: VOICE", "+CLIP: \"+4930123\",145", "+CCWA: \"+4930123\",145,1", "+CREG: 1",
        "+CGREG: 5", "+CEREG: 1,\"1A2B\",\"01A2B3C4\",7", "+CMTI: \"SM\",3",
        "+CMT: \"+4930123\",,\"24/01/01,12:00:00+04\"", "+CBM: 88", "+CDS: 6,12", "+CDSI: \"SM\",4",
        "+CUSD: 0,\"Guthaben 5 EUR\",15", "NO CARRIER"})
    QTest::newRow(Code) << QByteArray(Code) << true;
  // Replies that only look alike stay.
  for (const char* Reply : {" RING", "ring", "+CRE", "+CREG 1", "+CSQ: 21,99", "NO DIALTONE",
                            "^SMONC: 232,03", "chann rs  dBm", "OK", "SIEMENS"})
    QTest::newRow(Reply) << QByteArray(Reply) << false;
}

// A modem sends these when the line is free, so they turn up just before a reply or between
// two. In a reply they used to become the manufacturer ("+CREG: 1") or a neighbour ("RING").
void TestReplyText::UnsolicitedCodesLeftOut() {
  QFETCH(QByteArray, Line);
  QFETCH(bool, Unsolicited);
  QCOMPARE(IsUnsolicitedResultCode(Line), Unsolicited);
  const TLines Reply{"SIEMENS", "OK"};
  const TLines Kept{Line, "SIEMENS", "OK"};
  const TLines& Expected = Unsolicited ? Reply : Kept;
  QCOMPARE(SplitReplyLines("\r\n" + Line + "\r\n\r\nSIEMENS\r\n\r\nOK\r\n"), Expected);
  // Inside the reply and after it as well.
  const TLines Inside = Unsolicited ? Reply : TLines{"SIEMENS", Line, "OK"};
  QCOMPARE(SplitReplyLines("\r\nSIEMENS\r\n" + Line + "\r\n\r\nOK\r\n"), Inside);
  const TLines After = Unsolicited ? Reply : TLines{"SIEMENS", "OK", Line};
  QCOMPARE(SplitReplyLines("\r\nSIEMENS\r\n\r\nOK\r\n\r\n" + Line + "\r\n"), After);
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
