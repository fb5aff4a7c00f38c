#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "ModemCore.h"
#include "MonitorReplies.h"
#include "Pacer.h"
#include "support/SimProcess.h"

using namespace vantrel::sim;

Q_DECLARE_METATYPE(vantrel::sim::TServingCell)

namespace {

// Columns counted from 1; a cut past the end yields what exists, as the program cuts.
QString cut(const QString& line, int from, int to) {
  return line.mid(from - 1, to - from + 1);
}

int cutInt(const QString& line, int from, int to, int base = 10) {
  bool ok = false;
  const int v = cut(line, from, to).trimmed().toInt(&ok, base);
  return ok ? v : -99999;
}

// The reply's non-empty lines, as the program splits it.
QStringList lines(const std::string& reply) {
  return QString::fromStdString(reply).split(QRegularExpression(QStringLiteral("[\r\n]+")),
                                             Qt::SkipEmptyParts);
}

// The settings a control line may touch, and two it must not, in one comparable text.
QString describe(const TSimOptions& o) {
  QStringList parts;
  for (const auto& c : o.Unanswered) parts << QStringLiteral("unanswered=%1").arg(c.c_str());
  for (const auto& c : o.Error) parts << QStringLiteral("error=%1").arg(c.c_str());
  if (o.EchoStuck) parts << QStringLiteral("echo-stuck");
  if (o.CutFinal) parts << QStringLiteral("cut-final");
  if (o.Split) parts << QStringLiteral("split=%1").arg(o.Split);
  if (o.GapMs) parts << QStringLiteral("gap=%1").arg(o.GapMs);
  if (o.Garbage) parts << QStringLiteral("garbage");
  if (o.Flood) parts << QStringLiteral("flood");
  if (o.HangupAfter) parts << QStringLiteral("hangup=%1").arg(o.HangupAfter);
  if (o.Urc) parts << QStringLiteral("urc=%1").arg(o.Urc);
  if (o.State != TRadioState::Camping) parts << QStringLiteral("state=%1").arg(int(o.State));
  if (o.Neighbours >= 0) parts << QStringLiteral("neighbours=%1").arg(o.Neighbours);
  if (o.Layout != TMoniLayout::A) parts << QStringLiteral("layout=b");
  if (o.Rat != TRat::Lte) parts << QStringLiteral("rat=%1").arg(int(o.Rat));
  parts << QStringLiteral("port=%1").arg(o.Port) << QStringLiteral("seed=%1").arg(*o.Seed);
  return parts.join(' ');
}

TModemCore quietCore(TSimOptions o = {}) {
  if (!o.Seed) o.Seed = 1;
  TModemCore core(std::move(o));
  core.Feed("ATE0\r");
  return core;
}

bool ptyAvailable() {
  int m = -1, s = -1;
  if (openpty(&m, &s, nullptr, nullptr, nullptr) != 0) return false;
  close(m);
  close(s);
  return true;
}

int openPort(const QString& path) {
  const int fd =
      ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd >= 0) {
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
  }
  return fd;
}

// Reads until `until` appears or the time runs out; generous, the machine may be busy.
QByteArray readUntil(int fd, const QByteArray& until, int timeoutMs = 5000) {
  QByteArray got;
  QElapsedTimer t;
  t.start();
  while (!got.contains(until) && t.elapsed() < timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 50) > 0) {
      char buf[512];
      const ssize_t n = ::read(fd, buf, sizeof buf);
      if (n > 0)
        got.append(buf, n);
      else if (n < 0 && errno != EAGAIN)
        break;
    }
  }
  return got;
}

}  // namespace

class TestModemSim : public QObject {
  Q_OBJECT

 private slots:
  void replies_data();
  void replies();
  void identityNumbers();
  void echoControl();
  void escapeIgnored();
  void lineBufferCapped();
  void moniLikeRealModems_data();
  void moniLikeRealModems();
  void monpLikeRealModems();
  void smoncLikeRealModems();
  void statesInTheReports_data();
  void statesInTheReports();
  void fixedNeighbourCount_data();
  void fixedNeighbourCount();
  void unsolicitedCodes_data();
  void unsolicitedCodes();
  void moniColumns_data();
  void moniColumns();
  void monpColumns_data();
  void monpColumns();
  void smoncFields();
  void drift();
  void faults_data();
  void faults();
  void pacer();
  void options_data();
  void options();
  void controlLines_data();
  void controlLines();
  void faultsSwitchedWhileRunning();
  void familyReplies_data();
  void familyReplies();
  void familySlotsAndDrift();

  void binaryReadyAndLink();
  void binaryRefusesLiveLink();
  void binaryReplacesDanglingLink();
  void binaryHangupAfter();
  void binaryControlInput();
  void binaryTakesOverItsOwnStaleLink();
  void binaryUnsolicitedCodesAndLayout();
  void binaryFamily();
};

void TestModemSim::replies_data() {
  QTest::addColumn<QByteArray>("command");
  QTest::addColumn<QByteArray>("reply");
  QTest::newRow("at") << QByteArray("AT\r") << QByteArray("\r\nOK\r\n");
  QTest::newRow("atv1") << QByteArray("ATV1\r") << QByteArray("\r\nOK\r\n");
  QTest::newRow("gmi") << QByteArray("AT+GMI\r") << QByteArray("\r\nVantrel Labs\r\n\r\nOK\r\n");
  QTest::newRow("gmm") << QByteArray("AT+GMM\r")
                       << QByteArray("\r\nVX-900 Simulated\r\n\r\nOK\r\n");
  QTest::newRow("gmr") << QByteArray("AT+GMR\r") << QByteArray("\r\nREVISION 01.002\r\n\r\nOK\r\n");
  QTest::newRow("lower case") << QByteArray("at+gmi\r")
                              << QByteArray("\r\nVantrel Labs\r\n\r\nOK\r\n");
  QTest::newRow("newline end") << QByteArray("AT\n") << QByteArray("\r\nOK\r\n");
  QTest::newRow("crlf is one command") << QByteArray("AT\r\n") << QByteArray("\r\nOK\r\n");
  QTest::newRow("unknown") << QByteArray("ATZ9\r") << QByteArray("\r\nERROR\r\n");
  QTest::newRow("verbose off unknown") << QByteArray("ATV0\r") << QByteArray("\r\nERROR\r\n");
  QTest::newRow("prefix of a report") << QByteArray("AT^MON\r") << QByteArray("\r\nERROR\r\n");
  QTest::newRow("blank line") << QByteArray("  \r") << QByteArray();
}

void TestModemSim::replies() {
  QFETCH(QByteArray, command);
  QFETCH(QByteArray, reply);
  TModemCore core = quietCore();
  QCOMPARE(QByteArray::fromStdString(core.Feed(command.toStdString())), reply);
}

void TestModemSim::identityNumbers() {
  TModemCore core = quietCore();
  const QStringList imei = lines(core.Feed("AT+GSN\r"));
  QCOMPARE(imei.size(), 2);
  QVERIFY(QRegularExpression(QStringLiteral("^\\d{15}$")).match(imei[0]).hasMatch());
  QCOMPARE(imei[1], QStringLiteral("OK"));
  const QStringList imsi = lines(core.Feed("AT+CIMI\r"));
  QCOMPARE(imsi.size(), 2);
  QVERIFY(QRegularExpression(QStringLiteral("^26207\\d{10}$")).match(imsi[0]).hasMatch());
}

void TestModemSim::echoControl() {
  TSimOptions o;
  o.Seed = 1;
  TModemCore core(o);
  QVERIFY(core.Echo());
  QCOMPARE(core.Feed("AT\r"), std::string("AT\r\r\nOK\r\n"));
  QCOMPARE(core.Feed("ATE0\r"), std::string("ATE0\r\r\nOK\r\n"));
  QVERIFY(!core.Echo());
  QCOMPARE(core.Feed("AT\r"), std::string("\r\nOK\r\n"));
  QCOMPARE(core.Feed("ATE1\r"), std::string("\r\nOK\r\n"));
  QCOMPARE(core.Feed("AT\r"), std::string("AT\r\r\nOK\r\n"));
  // Bytes trickling in one at a time give the same echo and reply.
  std::string out;
  for (char c : std::string("AT+GMI\r")) out += core.Feed(std::string(1, c));
  QCOMPARE(out, std::string("AT+GMI\r\r\nVantrel Labs\r\n\r\nOK\r\n"));
}

void TestModemSim::escapeIgnored() {
  TModemCore core = quietCore();
  QCOMPARE(core.Feed("+++"), std::string());
  QCOMPARE(core.PendingInput(), std::size_t(0));
  QCOMPARE(core.Feed("AT\r"), std::string("\r\nOK\r\n"));
  QCOMPARE(core.Feed("++"), std::string());
  QCOMPARE(core.Feed("+"), std::string());
  QCOMPARE(core.Feed("AT+GMM\r"), std::string("\r\nVX-900 Simulated\r\n\r\nOK\r\n"));
  QCOMPARE(core.CommandCount(), 3);  // ATE0, AT, AT+GMM: escapes are no commands
}

void TestModemSim::lineBufferCapped() {
  TModemCore core = quietCore();
  core.Feed(std::string(20000, 'A'));
  QVERIFY(core.PendingInput() <= TModemCore::MaxLine);
  core.Feed("\r");
  QCOMPARE(core.Feed("AT\r"), std::string("\r\nOK\r\n"));
}

namespace {

// A real reply from the shared collection (copied into tests/data), as lines.
QStringList realLines(const QString& name) {
  QFile file(QStringLiteral(VANTREL_REPLIES_DIR "/monitor/") + name);
  if (!file.open(QIODevice::ReadOnly)) qFatal("cannot read %s", qPrintable(file.fileName()));
  return lines(file.readAll().toStdString());
}

// The cell of the manual's example reports.
TServingCell exampleCell() {
  TServingCell c;
  c.Channel = 1013;
  c.Rs = 21;
  c.Dbm = -71;
  c.Mcc = 1;
  c.Mnc = 1;
  c.Lac = 0x1001;
  c.CellId = 0x0103;
  c.Ncc = 7;
  c.Bcc = 7;
  c.Pwr = 33;
  c.RxLev = -105;
  c.C1 = 33;
  c.Dedicated = TDedicatedChannel{1015, 1, 0, 5, -76, 0, "S_HR"};
  return c;
}

}  // namespace

void TestModemSim::moniLikeRealModems_data() {
  QTest::addColumn<QString>("file");
  QTest::addColumn<int>("layout");
  QTest::addColumn<int>("state");
  QTest::addColumn<TServingCell>("cell");
  const TServingCell example = exampleCell();
  TServingCell dedicated = example;
  dedicated.Rs = 19;
  dedicated.Dbm = -76;
  TServingCell limited = example;
  limited.Channel = 477;
  limited.Mcc = 123;
  limited.Mnc = 456;
  limited.Lac = 0xA123;
  limited.CellId = 0xB456;
  limited.Ncc = 5;
  limited.Bcc = 3;
  TServingCell reselection = example;
  reselection.Rs = 4;
  reselection.Dbm = -106;
  reselection.C1 = -1;
  const int a = int(TMoniLayout::A), b = int(TMoniLayout::B);
  QTest::newRow("a camping") << "moni-a-camping.txt" << a << int(TRadioState::Camping) << example;
  QTest::newRow("a dedicated") << "moni-a-dedicated.txt" << a << int(TRadioState::Dedicated)
                               << dedicated;
  QTest::newRow("a limited") << "moni-a-limited-service.txt" << a
                             << int(TRadioState::LimitedService) << limited;
  QTest::newRow("a reselection") << "moni-a-reselection.txt" << a << int(TRadioState::Reselection)
                                 << reselection;
  QTest::newRow("a searching") << "moni-a-searching.txt" << a << int(TRadioState::Searching)
                               << example;
  QTest::newRow("b camping") << "moni-b-camping.txt" << b << int(TRadioState::Camping) << example;
  QTest::newRow("b dedicated") << "moni-b-dedicated.txt" << b << int(TRadioState::Dedicated)
                               << dedicated;
  QTest::newRow("b searching") << "moni-b-searching.txt" << b << int(TRadioState::Searching)
                               << example;
}

// The serving report's lines, byte for byte as the real modems print them.
void TestModemSim::moniLikeRealModems() {
  QFETCH(QString, file);
  QFETCH(int, layout);
  QFETCH(int, state);
  QFETCH(TServingCell, cell);
  const QStringList real = realLines(file);
  QCOMPARE(real.size(), 4);
  const QStringList made{
      QString::fromStdString(FormatMoniTitle(TMoniLayout(layout))),
      QString::fromStdString(FormatMoniColumnHeader(TMoniLayout(layout))),
      QString::fromStdString(FormatMoniDataLine(cell, TMoniLayout(layout), TRadioState(state))),
      QStringLiteral("OK")};
  QCOMPARE(made, real);
}

void TestModemSim::monpLikeRealModems() {
  const QStringList real = realLines(QStringLiteral("monp-six.txt"));
  QCOMPARE(real.size(), 8);
  QCOMPARE(QString::fromStdString(FormatMonpHeader()), real[0]);
  TNeighbourCell n;
  n.Channel = 653;
  n.Rs = 26;
  n.Dbm = -84;
  n.Mcc = 262;
  n.Mnc = 7;
  n.Bcc = 0;
  n.C1 = 22;
  n.C2 = 22;
  QCOMPARE(QString::fromStdString(FormatMonpLine(n)), real[1]);
  n.Channel = 643;
  n.Rs = 10;
  n.Dbm = -100;
  n.Bcc = 7;
  n.C1 = 6;
  n.C2 = 6;
  QCOMPARE(QString::fromStdString(FormatMonpLine(n)), real[6]);
  // In dedicated mode the modem does not measure C1 and C2.
  QCOMPARE(QString::fromStdString(FormatMonpLine(n, true)),
           QStringLiteral(" 643  10 -100 262  07   7   -   -"));
}

void TestModemSim::smoncLikeRealModems() {
  const QStringList real = realLines(QStringLiteral("smonc-seven.txt"));
  QCOMPARE(real.size(), 2);
  const QStringList groups = real[0].mid(8).split(QLatin1Char(','));
  QCOMPARE(groups.size(), 63);
  TServingCell s;
  s.Mcc = 232;
  s.Mnc = 3;
  s.Lac = 0x3010;
  s.CellId = 0x4EAF;
  s.Ncc = 3;
  s.Bcc = 2;
  s.Channel = 82;
  s.Dbm = TCellModel::MinDbm + 38;
  s.C1 = 30;
  QCOMPARE(QString::fromStdString(FormatSmoncGroup(s)), QStringList(groups.mid(0, 9)).join(','));
  TNeighbourCell n;
  n.Mcc = 232;
  n.Mnc = 3;
  n.Lac = 0x2010;
  n.CellId = 0x00C0;
  n.Ncc = 3;
  n.Bcc = 5;
  n.Channel = 113;
  n.Dbm = TCellModel::MinDbm + 9;
  n.C1 = 1;
  n.C2 = 1;
  QCOMPARE(QString::fromStdString(FormatSmoncGroup(n)), QStringList(groups.mid(45, 9)).join(','));
  QCOMPARE(QString::fromStdString(EmptySmoncGroup()),
           QStringLiteral("000,00,0000,0000,00,0,0,0,0"));
}

void TestModemSim::statesInTheReports_data() {
  QTest::addColumn<QStringList>("args");
  QTest::addColumn<QString>("tail");  // how the serving data line ends
  QTest::addColumn<bool>("neighbours");
  QTest::addColumn<bool>("dashes");  // C1 and C2 of the neighbours read "-"
  QTest::newRow("camping") << QStringList{} << "I    No connection" << true << false;
  QTest::newRow("limited") << QStringList{"--state", "limited"} << "I    Limited Service" << true
                           << false;
  QTest::newRow("reselection") << QStringList{"--state", "reselection"} << "I    Cell Reselection"
                               << true << false;
  QTest::newRow("dedicated") << QStringList{"--state", "dedicated"} << " 0 S_HR" << true << true;
  QTest::newRow("searching") << QStringList{"--state", "searching"} << "Searching" << false
                             << false;
  QTest::newRow("layout b") << QStringList{"--layout", "b"} << "I    No connection" << true
                            << false;
}

void TestModemSim::statesInTheReports() {
  QFETCH(QStringList, args);
  QFETCH(QString, tail);
  QFETCH(bool, neighbours);
  QFETCH(bool, dashes);
  std::vector<std::string> a{"--neighbours", "6"};
  for (const QString& x : args) a.push_back(x.toStdString());
  TSimOptions o;
  QCOMPARE(ParseOptions(a, o), std::string());
  TModemCore core = quietCore(o);
  const QStringList moni = lines(core.Feed("AT^MONI\r"));
  QCOMPARE(moni.size(), 4);
  QVERIFY2(moni[2].endsWith(tail), qPrintable(moni[2]));
  const bool joined = o.Layout == TMoniLayout::B;
  QCOMPARE(moni[1].contains(QStringLiteral("PLMN")), joined);
  QCOMPARE(moni[1].contains(QStringLiteral("MCC")), !joined);
  if (tail != QLatin1String("Searching")) {
    const TServingCell& s = core.Model().Serving();
    // The columns from LAC on sit two places to the left in layout b.
    const int shift = joined ? -2 : 0;
    QCOMPARE(cutInt(moni[2], 22 + shift, 26 + shift, 16), s.Lac);
    QCOMPARE(cutInt(moni[2], 40 + shift, 43 + shift), s.Pwr);
    QCOMPARE(cutInt(moni[2], 44 + shift, 49 + shift), s.RxLev);
    QCOMPARE(cutInt(moni[2], 50 + shift, 53 + shift), s.C1);
    if (joined)
      QCOMPARE(cut(moni[2], 14, 19), QStringLiteral(" %1%2")
                                         .arg(s.Mcc, 3, 10, QLatin1Char('0'))
                                         .arg(s.Mnc, 2, 10, QLatin1Char('0')));
  }
  const QStringList monp = lines(core.Feed("AT^MONP\r"));
  QCOMPARE(monp.size(), neighbours ? 8 : 2);
  QVERIFY(monp[0].startsWith(QStringLiteral("chann")));
  for (int i = 1; i + 1 < monp.size(); ++i)
    QCOMPARE(monp[i].endsWith(QStringLiteral("   -   -")), dashes);
  const QStringList smonc = lines(core.Feed("AT^SMONC\r"));
  const int empty = int(smonc[0].count(QStringLiteral("000,00,0000,0000,00,0,0,0,0")));
  QCOMPARE(empty, neighbours ? 0 : 7);
}

void TestModemSim::fixedNeighbourCount_data() {
  QTest::addColumn<int>("count");
  for (int n = 0; n <= 6; ++n) QTest::addRow("%d", n) << n;
}

void TestModemSim::fixedNeighbourCount() {
  QFETCH(int, count);
  TSimOptions o;
  o.Neighbours = count;
  TModemCore core = quietCore(o);
  for (int cycle = 0; cycle < 40; ++cycle) {
    core.Feed("AT^MONI\r");
    QCOMPARE(int(core.Model().PresentNeighbours().size()), count);
    QCOMPARE(int(lines(core.Feed("AT^MONP\r")).size()), count + 2);
    const QString smonc = lines(core.Feed("AT^SMONC\r")).value(0);
    QCOMPARE(int(smonc.count(QStringLiteral(",000,00,0000,0000,00,0,0,0,0"))), 6 - count);
  }
  // Switched back while running, they come and go again.
  core.SetFaults(TSimOptions{});
  std::set<std::size_t> seen;
  for (int cycle = 0; cycle < 300; ++cycle) {
    core.Feed("AT^MONI\r");
    seen.insert(core.Model().PresentNeighbours().size());
  }
  QVERIFY(seen.size() > 1);
}

void TestModemSim::unsolicitedCodes_data() {
  QTest::addColumn<QStringList>("args");
  QTest::addColumn<bool>("before");
  QTest::addColumn<QList<int>>("delays");  // of the codes scheduled per command
  QTest::newRow("off") << QStringList{} << false << QList<int>{};
  QTest::newRow("before") << QStringList{"--urc", "before"} << true << QList<int>{};
  QTest::newRow("gap") << QStringList{"--urc", "gap"} << false << QList<int>{20};
  QTest::newRow("late") << QStringList{"--urc", "late"} << false << QList<int>{600};
  QTest::newRow("all") << QStringList{"--urc", "before", "--urc", "gap", "--urc", "late"} << true
                       << QList<int>{20, 600};
}

void TestModemSim::unsolicitedCodes() {
  QFETCH(QStringList, args);
  QFETCH(bool, before);
  QFETCH(QList<int>, delays);
  std::vector<std::string> a{"--unanswered", "AT+GMM"};
  for (const QString& x : args) a.push_back(x.toStdString());
  TSimOptions o;
  QCOMPARE(ParseOptions(a, o), std::string());
  TModemCore core = quietCore(o);
  core.TakeScheduled();
  auto isCode = [](const QString& l) {
    return QRegularExpression(QStringLiteral("^(RING|\\+C[A-Z]+: )")).match(l).hasMatch();
  };
  for (const char* command : {"AT+GMI\r", "AT^MONI\r", "AT+GMM\r"}) {
    const QStringList reply = lines(core.Feed(command));
    const bool answered = std::string(command) != "AT+GMM\r";
    if (answered) {
      QCOMPARE(isCode(reply.value(0)), before);
      QCOMPARE(reply.size(), (std::string(command) == "AT^MONI\r" ? 4 : 2) + int(before));
      for (const QString& l : reply.mid(int(before))) QVERIFY2(!isCode(l), qPrintable(l));
    } else {
      QVERIFY(reply.isEmpty());
    }
    // Scheduled ones come for unanswered commands too: after the program's time-out.
    const auto scheduled = core.TakeScheduled();
    QCOMPARE(int(scheduled.size()), int(delays.size()));
    for (std::size_t i = 0; i < scheduled.size(); ++i) {
      QCOMPARE(scheduled[i].DelayMs, delays[int(i)]);
      const QStringList l = lines(scheduled[i].Bytes);
      QCOMPARE(l.size(), 1);
      QVERIFY2(isCode(l[0]), qPrintable(l[0]));
    }
  }
}

void TestModemSim::moniColumns_data() {
  QTest::addColumn<quint32>("seed");
  QTest::addColumn<int>("steps");
  for (quint32 seed : {1u, 7u, 42u, 90210u})
    for (int steps : {0, 3, 60}) QTest::addRow("seed %u step %d", seed, steps) << seed << steps;
}

void TestModemSim::moniColumns() {
  QFETCH(quint32, seed);
  QFETCH(int, steps);
  TSimOptions o;
  o.Seed = seed;
  TModemCore core = quietCore(o);
  std::string reply;
  for (int i = 0; i <= steps; ++i) reply = core.Feed("AT^MONI\r");
  QVERIFY(reply.ends_with("\r\nOK\r\n"));
  const QStringList l = lines(reply);
  QCOMPARE(l.size(), 4);
  QVERIFY(l[1].contains(QStringLiteral("chann")));
  const TServingCell& s = core.Model().Serving();
  const QString d = l[2];
  QCOMPARE(cutInt(d, 1, 4), s.Channel);
  QCOMPARE(cutInt(d, 9, 13), s.Dbm);
  QCOMPARE(cutInt(d, 14, 17), s.Mcc);
  QCOMPARE(cutInt(d, 18, 21), s.Mnc);
  QCOMPARE(cutInt(d, 22, 26, 16), s.Lac);
  QCOMPARE(cutInt(d, 40, 43), s.Pwr);
  QCOMPARE(cutInt(d, 45, 49), s.RxLev);
  QCOMPARE(cutInt(d, 50, 53), s.C1);
}

void TestModemSim::monpColumns_data() {
  moniColumns_data();
}

void TestModemSim::monpColumns() {
  QFETCH(quint32, seed);
  QFETCH(int, steps);
  TSimOptions o;
  o.Seed = seed;
  TModemCore core = quietCore(o);
  for (int i = 0; i < steps; ++i) core.Feed("AT^MONI\r");
  const std::string reply = core.Feed("AT^MONP\r");
  QVERIFY(reply.ends_with("\r\nOK\r\n"));
  const QStringList l = lines(reply);
  const auto present = core.Model().PresentNeighbours();
  QVERIFY(present.size() <= 6);
  QCOMPARE(l.size(), int(present.size()) + 2);
  QVERIFY(l[0].contains(QStringLiteral("chann")));
  for (std::size_t i = 0; i < present.size(); ++i) {
    const QString& n = l[int(i) + 1];
    QVERIFY(!n.contains(QStringLiteral("OK")));
    QCOMPARE(cutInt(n, 1, 4), present[i].Channel);
    QCOMPARE(cutInt(n, 9, 13), present[i].Dbm);
  }
}

void TestModemSim::smoncFields() {
  TSimOptions o;
  o.Seed = 5;
  TModemCore core = quietCore(o);
  bool sawFull = false, sawShort = false;
  for (int step = 0; step < 400 && !(sawFull && sawShort); ++step) {
    const QStringList l = lines(core.Feed("AT^SMONC\r"));
    QCOMPARE(l.size(), 2);
    QVERIFY(l[0].startsWith(QStringLiteral("^SMONC: ")));
    const QStringList f = l[0].mid(8).split(QLatin1Char(','));
    QCOMPARE(f.size(), 63);
    for (const QString& x : f) QVERIFY(!x.isEmpty());
    const TServingCell& s = core.Model().Serving();
    QCOMPARE(f[0].toInt(), s.Mcc);
    QCOMPARE(f[3].toInt(nullptr, 16), s.CellId);
    QCOMPARE(f[5].toInt(), s.Channel);
    const auto present = core.Model().PresentNeighbours();
    for (int g = 1; g <= 6; ++g) {
      const QStringList group = f.mid(g * 9, 9);
      if (g <= int(present.size())) {
        QCOMPARE(group[3].toInt(nullptr, 16), present[std::size_t(g - 1)].CellId);
        QCOMPARE(group[5].toInt(), present[std::size_t(g - 1)].Channel);
      } else {
        QCOMPARE(group.join(QLatin1Char(',')), QStringLiteral("000,00,0000,0000,00,0,0,0,0"));
      }
    }
    (present.size() == 6 ? sawFull : sawShort) = true;
    core.Feed("AT^MONI\r");  // the next cycle
  }
  QVERIFY(sawFull);
  QVERIFY(sawShort);
}

void TestModemSim::drift() {
  auto inBand = [](int ch) {
    return (ch >= 1 && ch <= 124) || (ch >= 512 && ch <= 885) || (ch >= 975 && ch <= 1023);
  };
  TCellModel a(11), b(11), c(12);
  std::set<int> servingLevels;
  std::set<std::size_t> counts;
  bool differs = false;
  for (int i = 0; i < 3000; ++i) {
    a.Step();
    b.Step();
    c.Step();
    const int lvl = a.Serving().Dbm;
    QVERIFY(lvl >= TCellModel::MinDbm && lvl <= TCellModel::MaxDbm);
    QCOMPARE(b.Serving().Dbm, lvl);
    differs = differs || c.Serving().Dbm != lvl;
    servingLevels.insert(lvl);
    QVERIFY(inBand(a.Serving().Channel));
    for (const auto& n : a.PresentNeighbours()) {
      QVERIFY(n.Dbm >= TCellModel::MinDbm && n.Dbm <= TCellModel::MaxDbm);
      QVERIFY2(inBand(n.Channel), qPrintable(QString::number(n.Channel)));
    }
    counts.insert(a.PresentNeighbours().size());
  }
  QVERIFY(differs);
  QVERIFY(servingLevels.size() > 10);  // it walks, it does not stand still
  QVERIFY(counts.count(6));
  QVERIFY(counts.size() > 1);  // neighbours come and go
}

void TestModemSim::faults_data() {
  QTest::addColumn<QStringList>("args");
  QTest::addColumn<QByteArray>("input");
  QTest::addColumn<QByteArray>("expected");
  const QByteArray gmi = "\r\nVantrel Labs\r\n\r\nOK\r\n";
  QTest::newRow("none") << QStringList() << QByteArray("AT+GMI\r") << gmi;
  QTest::newRow("unanswered") << QStringList{"--unanswered", "AT+GMI"} << QByteArray("AT+GMI\rAT\r")
                              << QByteArray("\r\nOK\r\n");
  QTest::newRow("unanswered other command")
      << QStringList{"--unanswered", "AT^MONP"} << QByteArray("AT+GMI\r") << gmi;
  QTest::newRow("error") << QStringList{"--error", "at+gmi", "--error", "AT+GMM"}
                         << QByteArray("AT+GMI\rAT+GMM\r")
                         << QByteArray("\r\nERROR\r\n\r\nERROR\r\n");
  QTest::newRow("cut final") << QStringList{"--cut-final"} << QByteArray("AT+GMI\r")
                             << QByteArray("\r\nVantrel Labs\r\n\r\nOK");
  QTest::newRow("echo stuck") << QStringList{"--echo-stuck"} << QByteArray("AT\r")
                              << QByteArray("AT\r\r\nOK\r\n");
  QTest::newRow("hangup after 2") << QStringList{"--hangup-after", "2"}
                                  << QByteArray("AT\rAT+GMM\r") << QByteArray();
}

void TestModemSim::faults() {
  QFETCH(QStringList, args);
  QFETCH(QByteArray, input);
  QFETCH(QByteArray, expected);
  std::vector<std::string> a;
  for (const QString& s : args) a.push_back(s.toStdString());
  TSimOptions o;
  QCOMPARE(ParseOptions(a, o), std::string());
  o.Seed = 3;
  TModemCore core = quietCore(o);  // ATE0 is the first command
  const QByteArray out = QByteArray::fromStdString(core.Feed(input.toStdString()));
  if (o.HangupAfter) {
    QVERIFY(core.HangupDue());
    QCOMPARE(out, QByteArray("\r\nOK\r\n"));  // the second command is answered, the rest not read
    QCOMPARE(QByteArray::fromStdString(core.Feed("AT\r")), QByteArray("\r\nOK\r\n"));
    return;
  }
  QVERIFY(!core.HangupDue());
  QCOMPARE(out, expected);
}

void TestModemSim::pacer() {
  TPacer split(5, 20, 0);
  split.Push("0123456789AB");
  QCOMPARE(split.DelayUs(1000), std::int64_t(0));
  QCOMPARE(split.Take(1000), std::string("01234"));
  QCOMPARE(split.DelayUs(1000), std::int64_t(20000));
  QCOMPARE(split.Take(15000), std::string());  // too early
  QCOMPARE(split.Take(21000), std::string("56789"));
  QCOMPARE(split.Take(41000), std::string("AB"));
  QCOMPARE(split.DelayUs(41000), std::int64_t(-1));

  TPacer paced(0, 0, 9600);
  paced.Push(std::string(100, 'x'));
  QCOMPARE(paced.Take(0).size(), std::size_t(64));
  QCOMPARE(paced.DelayUs(0), std::int64_t(64 * 10 * 1000000 / 9600));

  TPacer plain(0, 0, 0);
  plain.Push(std::string(5000, 'x'));
  QCOMPARE(plain.Take(0).size(), std::size_t(5000));

  // Garbage: a NUL and extra bytes inside the reply, still ending in OK most of the time.
  TSimOptions o;
  o.Garbage = true;
  o.Seed = 9;
  TModemCore core = quietCore(o);
  const std::string clean = "\r\nVantrel Labs\r\n\r\nOK\r\n";
  for (int i = 0; i < 20; ++i) {
    const std::string r = core.Feed("AT+GMI\r");
    QVERIFY(r.find('\0') != std::string::npos);
    QVERIFY(r.size() > clean.size());
  }
  QCOMPARE(core.Noise(32).size(), std::size_t(32));
}

void TestModemSim::options_data() {
  QTest::addColumn<QStringList>("args");
  QTest::addColumn<bool>("ok");
  QTest::newRow("empty") << QStringList() << true;
  QTest::newRow("all") << QStringList{"--port",     "3",
                                      "--seed",     "4",
                                      "--baud",     "115200",
                                      "--split",    "3",
                                      "--gap",      "5",
                                      "--garbage",  "--flood",
                                      "--no-link",  "--echo-stuck",
                                      "--cut-final"}
                       << true;
  QTest::newRow("port zero") << QStringList{"--port", "0"} << false;
  QTest::newRow("port text") << QStringList{"--port", "x"} << false;
  QTest::newRow("missing value") << QStringList{"--hangup-after"} << false;
  QTest::newRow("negative baud") << QStringList{"--baud", "-1"} << false;
  QTest::newRow("unknown") << QStringList{"--frobnicate"} << false;
  QTest::newRow("layout b") << QStringList{"--layout", "b"} << true;
  QTest::newRow("layout c") << QStringList{"--layout", "c"} << false;
  QTest::newRow("conditions") << QStringList{"--state", "dedicated", "--neighbours", "0"} << true;
  QTest::newRow("state unknown") << QStringList{"--state", "roaming"} << false;
  QTest::newRow("seven neighbours") << QStringList{"--neighbours", "7"} << false;
  QTest::newRow("urc timing") << QStringList{"--urc", "late", "--urc", "gap"} << true;
  QTest::newRow("urc unknown") << QStringList{"--urc", "often"} << false;
  QTest::newRow("urc missing") << QStringList{"--urc"} << false;
  QTest::newRow("family") << QStringList{"--family", "cced", "--ceng-no-blank"} << true;
  QTest::newRow("family upper case") << QStringList{"--family", "CENG"} << false;
  QTest::newRow("family unknown") << QStringList{"--family", "qcom"} << false;
  QTest::newRow("family missing") << QStringList{"--family"} << false;
  QTest::newRow("LTE families") << QStringList{"--family", "quectel-2g", "--family", "sim7600",
                                               "--family", "quectel", "--rat", "umts"}
                                << true;
  QTest::newRow("rat unknown") << QStringList{"--rat", "5g"} << false;
  QTest::newRow("SIM7000 without UMTS") << QStringList{"--rat", "umts", "--family", "sim7000"}
                                        << false;
}

void TestModemSim::options() {
  QFETCH(QStringList, args);
  QFETCH(bool, ok);
  std::vector<std::string> a;
  for (const QString& s : args) a.push_back(s.toStdString());
  TSimOptions o;
  QCOMPARE(ParseOptions(a, o).empty(), ok);
}

void TestModemSim::controlLines_data() {
  QTest::addColumn<QString>("line");
  QTest::addColumn<QString>("answer");
  QTest::addColumn<QString>("after");
  const QString before = QStringLiteral("split=3 garbage port=4 seed=5");
  QTest::newRow("replace") << "faults --error AT^MONP --unanswered at+gmi"
                           << "OK"
                           << "unanswered=AT+GMI error=AT^MONP port=4 seed=5";
  QTest::newRow("all off") << "faults"
                           << "OK"
                           << "port=4 seed=5";
  QTest::newRow("blanks and CR") << "  faults   --cut-final\r"
                                 << "OK"
                                 << "cut-final port=4 seed=5";
  QTest::newRow("split and gap") << "faults --split 1 --gap 2"
                                 << "OK"
                                 << "split=1 gap=2 port=4 seed=5";
  QTest::newRow("hang-up") << "faults --hangup-after 1"
                           << "OK"
                           << "hangup=1 port=4 seed=5";
  QTest::newRow("unsolicited codes and conditions")
      << "faults --urc before --urc late --state searching --neighbours 0"
      << "OK"
      << "urc=5 state=4 neighbours=0 port=4 seed=5";
  QTest::newRow("technology switched") << "faults --rat gsm"
                                       << "OK"
                                       << "rat=0 port=4 seed=5";
  QTest::newRow("layout only at start") << "faults --layout b"
                                        << "ERROR not a fault option: --layout" << before;
  QTest::newRow("family only at start") << "faults --family ceng"
                                        << "ERROR not a fault option: --family" << before;
  QTest::newRow("start option refused") << "faults --port 2"
                                        << "ERROR not a fault option: --port" << before;
  QTest::newRow("bad value keeps all") << "faults --flood --split 0"
                                       << "ERROR --split needs a positive number" << before;
  QTest::newRow("missing value") << "faults --error"
                                 << "ERROR --error needs a command" << before;
  QTest::newRow("unknown command") << "reset"
                                   << "ERROR unknown control command reset" << before;
  QTest::newRow("empty") << ""
                         << "ERROR empty control line" << before;
}

void TestModemSim::controlLines() {
  QFETCH(QString, line);
  QFETCH(QString, answer);
  QFETCH(QString, after);
  TSimOptions o;
  o.Garbage = true;
  o.Split = 3;
  o.Port = 4;
  o.Seed = 5;
  QCOMPARE(QString::fromStdString(ApplyControl(line.toStdString(), o)), answer);
  QCOMPARE(describe(o), after);
}

void TestModemSim::faultsSwitchedWhileRunning() {
  TModemCore core = quietCore();
  TSimOptions faults;
  faults.EchoStuck = true;
  faults.Error.insert("AT+GMI");
  core.SetFaults(faults);
  QVERIFY(core.Echo());
  QCOMPARE(core.Feed("AT+GMI\r"), std::string("AT+GMI\r\r\nERROR\r\n"));
  core.SetFaults(TSimOptions{});
  // Echo goes back to what ATE0 asked for.
  QVERIFY(!core.Echo());
  QCOMPARE(core.Feed("AT+GMI\r"), std::string("\r\nVantrel Labs\r\n\r\nOK\r\n"));

  // A hang-up set while running counts from then on, not from the start.
  TSimOptions hangup;
  hangup.HangupAfter = 2;
  core.SetFaults(hangup);
  QVERIFY(!core.HangupDue());
  QCOMPARE(core.Feed("AT\r"), std::string("\r\nOK\r\n"));
  QVERIFY(!core.HangupDue());
  QCOMPARE(core.Feed("AT\rAT\r"), std::string("\r\nOK\r\n"));
  QVERIFY(core.HangupDue());
  core.SetFaults(TSimOptions{});
  QVERIFY(!core.HangupDue());

  // An LTE module hands over to GSM and back.
  TSimOptions quectel;
  quectel.Family = TSimFamily::Quectel;
  TModemCore lte = quietCore(quectel);
  TSimOptions gsm;
  gsm.Rat = TRat::Gsm;
  lte.SetFaults(gsm);
  QVERIFY(lte.Feed("AT+QENG=\"servingcell\"\r").find("\"GSM\"") != std::string::npos);
  lte.SetFaults(TSimOptions{});
  QVERIFY(lte.Feed("AT+QENG=\"servingcell\"\r").find("\"LTE\"") != std::string::npos);
}

void TestModemSim::familyReplies_data() {
  QTest::addColumn<QStringList>("args");
  QTest::addColumn<QStringList>("before");  // commands sent first, their replies not checked
  QTest::addColumn<QString>("command");
  QTest::addColumn<QString>("pattern");  // of the reply's lines joined with "|"
  const QString ok = QStringLiteral("^OK$");
  const QString error = QStringLiteral("^ERROR$");
  const QStringList ceng{"--family", "ceng", "--neighbours", "6"};
  const QStringList moni{"--family", "moni", "--neighbours", "6"};
  const QStringList cced{"--family", "cced", "--neighbours", "6"};
  const QString cengServing = QStringLiteral(
      "\\+CENG: 0,\"\\d{4},\\d\\d,00,262,07,\\d\\d,[0-9a-f]{4},08,05,[0-9a-f]{4},0\"");
  const QString ccedField = QStringLiteral("[^,|]*");

  // Identity texts as the real modules print them.
  QTest::newRow("ceng maker") << ceng << QStringList{} << "AT+GMI"
                              << "^SIMCOM_Ltd\\|OK$";
  QTest::newRow("ceng model") << ceng << QStringList{} << "AT+GMM"
                              << "^SIMCOM_SIM800L\\|OK$";
  QTest::newRow("moni maker") << moni << QStringList{} << "AT+GMI"
                              << "^Telit\\|OK$";
  QTest::newRow("cced maker, leading blank") << cced << QStringList{} << "at+gmi"
                                             << "^ WAVECOM MODEM\\|OK$";
  QTest::newRow("monitor maker") << QStringList{"--family", "monitor"} << QStringList{} << "AT+GMI"
                                 << "^Vantrel Labs\\|OK$";

  QTest::newRow("quectel maker and model")
      << QStringList{"--family", "quectel"} << QStringList{"AT+GMI"} << "AT+GMM" << "^EC25\\|OK$";
  QTest::newRow("quectel-2g model") << QStringList{"--family", "quectel-2g"} << QStringList{}
                                    << "AT+GMM" << "^M95\\|OK$";
  QTest::newRow("sim7600 maker") << QStringList{"--family", "sim7600"} << QStringList{} << "AT+GMI"
                                 << "^SIMCOM INCORPORATED\\|OK$";
  QTest::newRow("sim7600 model") << QStringList{"--family", "sim7600"} << QStringList{} << "AT+GMM"
                                 << "^SIMCOM_SIM7600E-H\\|OK$";
  QTest::newRow("sim7000 model") << QStringList{"--family", "sim7000"} << QStringList{} << "AT+GMM"
                                 << "^SIMCOM_SIM7000E\\|OK$";

  // AT+CENG: off until switched on, then the mode line, the serving cell and the neighbours.
  QTest::newRow("ceng off") << ceng << QStringList{} << "AT+CENG?"
                            << "^\\+CENG: 0,0\\|OK$";
  QTest::newRow("ceng switched on") << ceng << QStringList{} << "AT+CENG=1,1" << ok;
  QTest::newRow("ceng report") << ceng << QStringList{"AT+CENG=1,1"} << "AT+CENG?"
                               << "^\\+CENG: 1,1\\|" + cengServing +
                                      "(\\|\\+CENG: [1-6],\"[^\"|]+\"){6}\\|OK$";
  QTest::newRow("ceng switched off again")
      << ceng << QStringList{"AT+CENG=1,1", "AT+CENG=0"} << "AT+CENG?"
      << "^\\+CENG: 0,0\\|OK$";
  QTest::newRow("ceng without the blank")
      << (QStringList(ceng) << "--ceng-no-blank") << QStringList{"AT+CENG=1,1"} << "AT+CENG?"
      << "^\\+CENG:1,1\\|\\+CENG:0,\"[^|]*\"(\\|\\+CENG:[1-6],\"[^\"|]+\"){6}\\|OK$";
  QTest::newRow("ceng searching") << (QStringList(ceng) << "--state"
                                                        << "searching")
                                  << QStringList{"AT+CENG=1,1"} << "AT+CENG?"
                                  << "^\\+CENG: 1,1\\|OK$";
  QTest::newRow("ceng mode it does not print") << ceng << QStringList{} << "AT+CENG=4,1" << error;

  // AT#MONI: the serving cell in key:value text until AT#MONI=7 asks for the table.
  QTest::newRow("moni serving cell")
      << moni << QStringList{} << "AT#MONI"
      << "^#MONI: o2 - de BSIC:[0-7]{2} RxQual:0 LAC:[0-9A-F]{4} Id:[0-9A-F]{4} ARFCN: *\\d{1,4} "
         "PWR: ?-\\d{2,3} dBm TA:0\\|OK$";
  QTest::newRow("moni table")
      << moni << QStringList{"AT#MONI=7"} << "AT#MONI"
      << "^#MONI: Cell BSIC LAC CellId ARFCN Power C1 C2 TA RxQual PLMN\\|"
         "#MONI: S [0-7]{2} [0-9A-F]{4} [0-9A-F]{4} \\d+ -\\d+dbm -?\\d+ -?\\d+ 0 0 o2 - de"
         "(\\|#MONI: N[1-6] [0-7]{2} [0-9A-F]{4} [0-9A-F]{4} \\d+ -\\d+dbm -?\\d+ -?\\d+){6}\\|OK$";
  QTest::newRow("moni back to the serving cell")
      << moni << QStringList{"AT#MONI=7", "AT#MONI=0"} << "AT#MONI"
      << "^#MONI: o2 - de BSIC:";

  // AT+CCED: one line, 13 serving fields and 7 per neighbour.
  QTest::newRow("cced report") << cced << QStringList{} << "AT+CCED=0,3"
                               << "^\\+CCED: 262,07,(" + ccedField + ",){52}" + ccedField +
                                      "\\|OK$";
  QTest::newRow("cced serving cell only")
      << cced << QStringList{} << "AT+CCED=0,1"
      << "^\\+CCED: 262,07,(" + ccedField + ",){10}" + ccedField + "\\|OK$";
  QTest::newRow("cced searching") << (QStringList(cced) << "--state"
                                                        << "searching")
                                  << QStringList{} << "AT+CCED=0,3" << ok;

  // Each family knows its own reports only.
  QTest::newRow("ceng: AT^MONI") << ceng << QStringList{} << "AT^MONI" << error;
  QTest::newRow("ceng: AT^SMONC") << ceng << QStringList{} << "AT^SMONC" << error;
  QTest::newRow("ceng: AT#MONI") << ceng << QStringList{} << "AT#MONI" << error;
  QTest::newRow("moni: AT^MONP") << moni << QStringList{} << "AT^MONP" << error;
  QTest::newRow("moni: AT+CCED") << moni << QStringList{} << "AT+CCED=0,3" << error;
  QTest::newRow("cced: AT+CENG") << cced << QStringList{} << "AT+CENG=1,1" << error;
  QTest::newRow("cced: AT^MONI") << cced << QStringList{} << "AT^MONI" << error;
  QTest::newRow("monitor: AT+CENG") << QStringList{} << QStringList{} << "AT+CENG?" << error;
  QTest::newRow("monitor: AT#MONI=7") << QStringList{} << QStringList{} << "AT#MONI=7" << error;
  // A Quectel 2G module is told from the LTE ones by this ERROR.
  QTest::newRow("quectel-2g: servingcell") << QStringList{"--family", "quectel-2g"} << QStringList{}
                                           << "AT+QENG=\"servingcell\"" << error;
  QTest::newRow("quectel-2g off") << QStringList{"--family", "quectel-2g"} << QStringList{}
                                  << "AT+QENG?" << "^\\+QENG: 0,0\\|OK$";
  QTest::newRow("quectel: AT+QENG?") << QStringList{"--family", "quectel"} << QStringList{}
                                     << "AT+QENG?" << error;
  QTest::newRow("sim7600: AT+CENG?") << QStringList{"--family", "sim7600"} << QStringList{}
                                     << "AT+CENG?" << error;
  QTest::newRow("sim7000 on GSM lists no LTE cells")
      << QStringList{"--family", "sim7000", "--rat", "gsm"} << QStringList{"AT+CENG=1,1"}
      << "AT+CENG?" << "^\\+CENG: 1,1,0,GSM\\|OK$";

  // The fault options take the family's commands by name.
  QTest::newRow("error on the report") << (QStringList(ceng) << "--error"
                                                             << "at+ceng?")
                                       << QStringList{"AT+CENG=1,1"} << "AT+CENG?" << error;
  QTest::newRow("error on the switch") << (QStringList(moni) << "--error"
                                                             << "AT#MONI=7")
                                       << QStringList{} << "AT#MONI=7" << error;
  QTest::newRow("error on a quoted report")
      << QStringList{"--family", "quectel", "--error", "AT+QENG=\"neighbourcell\""}
      << QStringList{} << "at+qeng=\"neighbourcell\"" << error;
  QTest::newRow("SIMCom report unanswered")
      << QStringList{"--family", "sim7000", "--unanswered", "AT+CPSI?"} << QStringList{}
      << "AT+CPSI?" << "^$";
  QTest::newRow("report unanswered") << (QStringList(cced) << "--unanswered"
                                                           << "AT+CCED=0,3")
                                     << QStringList{} << "AT+CCED=0,3"
                                     << "^$";
  QTest::newRow("unsolicited code before the report")
      << (QStringList(moni) << "--urc"
                            << "before")
      << QStringList{} << "AT#MONI"
      << "^(RING|\\+C[A-Z]+: [^|]*)\\|#MONI: o2 - de BSIC:[^|]*\\|OK$";
}

void TestModemSim::familyReplies() {
  QFETCH(QStringList, args);
  QFETCH(QStringList, before);
  QFETCH(QString, command);
  QFETCH(QString, pattern);
  std::vector<std::string> a;
  for (const QString& x : args) a.push_back(x.toStdString());
  TSimOptions o;
  QCOMPARE(ParseOptions(a, o), std::string());
  TModemCore core = quietCore(o);
  for (const QString& c : before) core.Feed(c.toStdString() + "\r");
  const std::string reply = core.Feed(command.toStdString() + "\r");
  const QString joined = lines(reply).join(QLatin1Char('|'));
  QVERIFY2(QRegularExpression(pattern).match(joined).hasMatch(), qPrintable(joined));
  // Every answer is framed like any other: it ends with the final result's line break.
  QVERIFY(reply.empty() || reply.ends_with("\r\n"));
}

void TestModemSim::familySlotsAndDrift() {
  // Over many cycles the report drifts like the three reports do, neighbours come and go, and
  // now and then one is listed unknown (no network) or not yet read (cell id ffff).
  TSimOptions o;
  o.Family = TSimFamily::Ceng;
  TModemCore core = quietCore(o);
  QCOMPARE(core.Feed("AT+CENG=1,1\r"), std::string("\r\nOK\r\n"));
  std::set<int> levels;
  std::set<int> counts;
  bool unknown = false, unread = false;
  for (int cycle = 0; cycle < 300; ++cycle) {
    const QStringList l = lines(core.Feed("AT+CENG?\r"));
    QCOMPARE(l.value(0), QStringLiteral("+CENG: 1,1"));
    QCOMPARE(l.last(), QStringLiteral("OK"));
    const auto present = core.Model().PresentNeighbours();
    QCOMPARE(l.size(), int(present.size()) + 3);
    const QStringList serving = l[1].mid(10).chopped(1).split(QLatin1Char(','));
    QCOMPARE(serving.size(), 11);
    QCOMPARE(serving[0].toInt(), core.Model().Serving().Channel);
    QCOMPARE(serving[1].toInt() - 113, core.Model().Serving().Dbm);
    QCOMPARE(serving[6].toInt(nullptr, 16), core.Model().Serving().CellId);
    levels.insert(serving[1].toInt());
    counts.insert(int(present.size()));
    for (std::size_t k = 0; k < present.size(); ++k) {
      const QString& n = l[int(k) + 2];
      QVERIFY2(n.startsWith(QStringLiteral("+CENG: %1,\"%2,")
                                .arg(k + 1)
                                .arg(present[k].Channel, 4, 10, QLatin1Char('0'))),
               qPrintable(n));
      unknown = unknown || n.endsWith(QStringLiteral(",,,0000\""));
      unread = unread || n.contains(QStringLiteral(",127,ffff,000,00,0\""));
    }
  }
  QVERIFY(levels.size() > 10);
  QVERIFY(counts.size() > 1);
  QVERIFY(unknown);
  QVERIFY(unread);
}

void TestModemSim::binaryReadyAndLink() {
  if (!ptyAvailable()) QSKIP("no pseudo-terminals here");
  QTemporaryDir xdg;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), xdg.path());
  vantrel::test::SimProcess sim;
  QVERIFY2(sim.start({"--port", "7", "--seed", "1"}, env), sim.errorOutput().constData());
  const QString link = xdg.path() + QStringLiteral("/vantrel/ports/com7");
  QCOMPARE(QFileInfo(link).symLinkTarget(), sim.slavePath());

  // Opening, closing and reopening the port must not hang the modem up.
  for (int round = 0; round < 2; ++round) {
    const int fd = openPort(link);
    QVERIFY(fd >= 0);
    QVERIFY(::write(fd, "AT+GMI\r", 7) == 7);
    QCOMPARE(readUntil(fd, "OK\r\n"), QByteArray("AT+GMI\r\r\nVantrel Labs\r\n\r\nOK\r\n"));
    ::close(fd);
  }
  QVERIFY(sim.stop());
  QVERIFY(!QFileInfo::exists(link));
  QVERIFY(!QFileInfo(link).isSymLink());
}

void TestModemSim::binaryRefusesLiveLink() {
  if (!ptyAvailable()) QSKIP("no pseudo-terminals here");
  QTemporaryDir xdg;
  QVERIFY(QDir().mkpath(xdg.path() + QStringLiteral("/vantrel/ports")));
  const QString link = xdg.path() + QStringLiteral("/vantrel/ports/com1");
  QVERIFY(QFile::link(QStringLiteral("/dev/null"), link));
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), xdg.path());
  vantrel::test::SimProcess sim;
  QVERIFY(!sim.start({}, env));
  QVERIFY2(sim.waitForExit(), qPrintable(QString::number(sim.process().state())));
  QCOMPARE(sim.exitCode(), 2);
  QVERIFY(!sim.errorOutput().isEmpty());
  QCOMPARE(QFileInfo(link).symLinkTarget(), QStringLiteral("/dev/null"));
}

void TestModemSim::binaryReplacesDanglingLink() {
  if (!ptyAvailable()) QSKIP("no pseudo-terminals here");
  QTemporaryDir xdg;
  QVERIFY(QDir().mkpath(xdg.path() + QStringLiteral("/vantrel/ports")));
  const QString link = xdg.path() + QStringLiteral("/vantrel/ports/com1");
  QVERIFY(QFile::link(xdg.path() + QStringLiteral("/gone"), link));
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), xdg.path());
  vantrel::test::SimProcess sim;
  QVERIFY(sim.start({}, env));
  QCOMPARE(QFileInfo(link).symLinkTarget(), sim.slavePath());
  QVERIFY(sim.stop());
  QVERIFY(!QFileInfo(link).isSymLink());
}

void TestModemSim::binaryHangupAfter() {
  if (!ptyAvailable()) QSKIP("no pseudo-terminals here");
  QTemporaryDir xdg;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), xdg.path());
  vantrel::test::SimProcess sim;
  QVERIFY(sim.start({"--hangup-after", "2"}, env));
  const QString link = xdg.path() + QStringLiteral("/vantrel/ports/com1");
  const int fd = openPort(sim.slavePath());
  QVERIFY(fd >= 0);
  QVERIFY(::write(fd, "AT\r", 3) == 3);
  QCOMPARE(readUntil(fd, "OK\r\n"), QByteArray("AT\r\r\nOK\r\n"));
  QVERIFY(QFileInfo(link).isSymLink());  // still there after one command
  QVERIFY(::write(fd, "AT+GMM\r", 7) == 7);
  const QByteArray second = readUntil(fd, "OK\r\n");
  QVERIFY2(second.endsWith("\r\nOK\r\n"), second.toHex().constData());
  QVERIFY(sim.waitForExit());
  QCOMPARE(sim.exitCode(), 0);
  QVERIFY(!QFileInfo(link).isSymLink());
  // The other end is gone: the port hangs up rather than staying silent.
  pollfd p{fd, POLLIN, 0};
  QVERIFY(poll(&p, 1, 2000) > 0);
  QVERIFY(p.revents & (POLLHUP | POLLERR | POLLIN));
  ::close(fd);
}

void TestModemSim::binaryControlInput() {
  if (!ptyAvailable()) QSKIP("no pseudo-terminals here");
  vantrel::test::SimProcess sim;
  QVERIFY(sim.start({"--no-link", "--control", "--seed", "1"}));
  const int fd = openPort(sim.slavePath());
  QVERIFY(fd >= 0);
  QVERIFY(::write(fd, "ATE0\r", 5) == 5);
  QVERIFY(readUntil(fd, "OK\r\n").endsWith("OK\r\n"));
  const QByteArray gmi = "\r\nVantrel Labs\r\n\r\nOK\r\n";

  QVERIFY(sim.control(QStringLiteral("faults --error AT+GMI")));
  QVERIFY(::write(fd, "AT+GMI\r", 7) == 7);
  QCOMPARE(readUntil(fd, "ERROR\r\n"), QByteArray("\r\nERROR\r\n"));

  QVERIFY(!sim.control(QStringLiteral("faults --nonsense")));
  QVERIFY(sim.lastAnswer().startsWith(QLatin1String("ERROR ")));
  QVERIFY(::write(fd, "AT+GMI\r", 7) == 7);  // the bad line changed nothing
  QCOMPARE(readUntil(fd, "ERROR\r\n"), QByteArray("\r\nERROR\r\n"));

  // A flood switched off is over once the answer is in: nothing but the reply follows. The
  // noise still on its way through the pseudo-terminal is read away up to the reply of a
  // first command (the port delivers in order), rather than flushed after a guessed pause.
  QVERIFY(sim.control(QStringLiteral("faults --flood")));
  QTest::qWait(50);
  QVERIFY(sim.control(QStringLiteral("faults")));
  QVERIFY(::write(fd, "AT+GSN\r", 7) == 7);
  QVERIFY(readUntil(fd, "357246031234567\r\n\r\nOK\r\n").endsWith("357246031234567\r\n\r\nOK\r\n"));
  QVERIFY(::write(fd, "AT+GMI\r", 7) == 7);
  QCOMPARE(readUntil(fd, "OK\r\n"), gmi);

  // The end of the control input ends the simulator, as its controller is gone.
  sim.process().closeWriteChannel();
  QVERIFY(sim.waitForExit());
  QCOMPARE(sim.exitCode(), 0);
  ::close(fd);
}

void TestModemSim::binaryUnsolicitedCodesAndLayout() {
  if (!ptyAvailable()) QSKIP("no pseudo-terminals here");
  vantrel::test::SimProcess sim;
  QVERIFY(sim.start({"--no-link", "--control", "--seed", "1", "--layout", "b"}));
  const int fd = openPort(sim.slavePath());
  QVERIFY(fd >= 0);
  QVERIFY(::write(fd, "ATE0\r", 5) == 5);
  QVERIFY(readUntil(fd, "OK\r\n").endsWith("OK\r\n"));

  QVERIFY(sim.control(QStringLiteral("faults --urc before")));
  QVERIFY(::write(fd, "AT^MONI\r", 8) == 8);
  const QStringList moni = lines(readUntil(fd, "\r\nOK\r\n").toStdString());
  QCOMPARE(moni.size(), 5);
  QCOMPARE(moni[0], QStringLiteral("RING"));
  QCOMPARE(moni[2], QString::fromStdString(FormatMoniColumnHeader(TMoniLayout::B)));

  // The gap code follows the reply on its own, about 20 ms later.
  QVERIFY(sim.control(QStringLiteral("faults --urc gap")));
  QVERIFY(::write(fd, "AT+GMI\r", 7) == 7);
  QByteArray got = readUntil(fd, "\r\nOK\r\n");
  QCOMPARE(got, QByteArray("\r\nVantrel Labs\r\n\r\nOK\r\n"));
  got = readUntil(fd, "+CREG: 1\r\n", 3000);
  QCOMPARE(got, QByteArray("\r\n+CREG: 1\r\n"));

  // A late code comes after the time-out of a command left unanswered.
  QVERIFY(sim.control(QStringLiteral("faults --urc late --unanswered AT^MONP")));
  QElapsedTimer clock;
  clock.start();
  QVERIFY(::write(fd, "AT^MONP\r", 8) == 8);
  got = readUntil(fd, "+CMTI: \"SM\",3\r\n", 5000);
  QCOMPARE(got, QByteArray("\r\n+CMTI: \"SM\",3\r\n"));
  QVERIFY2(clock.elapsed() >= 500, qPrintable(QString::number(clock.elapsed())));
  ::close(fd);
  QVERIFY(sim.stop());
}

void TestModemSim::binaryFamily() {
  if (!ptyAvailable()) QSKIP("no pseudo-terminals here");
  vantrel::test::SimProcess sim;
  QVERIFY(sim.start({"--no-link", "--seed", "1", "--family", "moni", "--neighbours", "2"}));
  const int fd = openPort(sim.slavePath());
  QVERIFY(fd >= 0);
  QVERIFY(::write(fd, "ATE0\r", 5) == 5);
  QVERIFY(readUntil(fd, "OK\r\n").endsWith("OK\r\n"));
  QVERIFY(::write(fd, "AT+GMI\r", 7) == 7);
  QCOMPARE(readUntil(fd, "OK\r\n"), QByteArray("\r\nTelit\r\n\r\nOK\r\n"));
  QVERIFY(::write(fd, "AT#MONI=7\r", 10) == 10);
  QCOMPARE(readUntil(fd, "OK\r\n"), QByteArray("\r\nOK\r\n"));
  QVERIFY(::write(fd, "AT#MONI\r", 8) == 8);
  const QStringList table = lines(readUntil(fd, "\r\nOK\r\n").toStdString());
  QCOMPARE(table.size(), 5);  // header, S, N1, N2, OK
  QVERIFY2(table[1].startsWith(QStringLiteral("#MONI: S ")), qPrintable(table[1]));
  QVERIFY2(table[3].startsWith(QStringLiteral("#MONI: N2 ")), qPrintable(table[3]));
  ::close(fd);
  QVERIFY(sim.stop());
}

void TestModemSim::binaryTakesOverItsOwnStaleLink() {
  if (!ptyAvailable()) QSKIP("no pseudo-terminals here");
  QTemporaryDir xdg;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), xdg.path());
  const QString link = xdg.path() + QStringLiteral("/vantrel/ports/com1");
  vantrel::test::SimProcess crashed;
  QVERIFY(crashed.start({}, env));
  crashed.kill(5000, vantrel::test::SimProcess::KeepLink);
  QCOMPARE(QFileInfo(link).symLinkTarget(), crashed.slavePath());  // left behind
  // The next simulator usually gets the freed pseudo-terminal back, so the link that
  // is left points at its own device; either way it takes the name over. Only when another
  // program took that pseudo-terminal meanwhile (tests run side by side) is the link
  // someone else's port, which it must leave alone.
  vantrel::test::SimProcess next;
  if (!next.start({}, env)) {
    const QByteArray Why = next.errorOutput();
    QVERIFY2(
        Why.contains("already points to the device") && QFileInfo(crashed.slavePath()).exists(),
        Why.constData());
    QSKIP("the killed simulator's pseudo-terminal went to another program meanwhile");
  }
  QCOMPARE(QFileInfo(link).symLinkTarget(), next.slavePath());
  QVERIFY(next.stop());
}

QTEST_MAIN(TestModemSim)
#include "tst_modemsim.moc"
