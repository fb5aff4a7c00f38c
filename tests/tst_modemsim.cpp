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
#include "support/SimProcess.h"

using namespace vantrel::sim;

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
QString describe(const Options& o) {
  QStringList parts;
  for (const auto& c : o.unanswered) parts << QStringLiteral("unanswered=%1").arg(c.c_str());
  for (const auto& c : o.error) parts << QStringLiteral("error=%1").arg(c.c_str());
  if (o.echoStuck) parts << QStringLiteral("echo-stuck");
  if (o.cutFinal) parts << QStringLiteral("cut-final");
  if (o.split) parts << QStringLiteral("split=%1").arg(o.split);
  if (o.gapMs) parts << QStringLiteral("gap=%1").arg(o.gapMs);
  if (o.garbage) parts << QStringLiteral("garbage");
  if (o.flood) parts << QStringLiteral("flood");
  if (o.hangupAfter) parts << QStringLiteral("hangup=%1").arg(o.hangupAfter);
  parts << QStringLiteral("port=%1").arg(o.port) << QStringLiteral("seed=%1").arg(*o.seed);
  return parts.join(' ');
}

ModemCore quietCore(Options o = {}) {
  if (!o.seed) o.seed = 1;
  ModemCore core(std::move(o));
  core.feed("ATE0\r");
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
  void moniExampleLine();
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

  void binaryReadyAndLink();
  void binaryRefusesLiveLink();
  void binaryReplacesDanglingLink();
  void binaryHangupAfter();
  void binaryControlInput();
  void binaryTakesOverItsOwnStaleLink();
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
  ModemCore core = quietCore();
  QCOMPARE(QByteArray::fromStdString(core.feed(command.toStdString())), reply);
}

void TestModemSim::identityNumbers() {
  ModemCore core = quietCore();
  const QStringList imei = lines(core.feed("AT+GSN\r"));
  QCOMPARE(imei.size(), 2);
  QVERIFY(QRegularExpression(QStringLiteral("^\\d{15}$")).match(imei[0]).hasMatch());
  QCOMPARE(imei[1], QStringLiteral("OK"));
  const QStringList imsi = lines(core.feed("AT+CIMI\r"));
  QCOMPARE(imsi.size(), 2);
  QVERIFY(QRegularExpression(QStringLiteral("^26207\\d{10}$")).match(imsi[0]).hasMatch());
}

void TestModemSim::echoControl() {
  Options o;
  o.seed = 1;
  ModemCore core(o);
  QVERIFY(core.echo());
  QCOMPARE(core.feed("AT\r"), std::string("AT\r\r\nOK\r\n"));
  QCOMPARE(core.feed("ATE0\r"), std::string("ATE0\r\r\nOK\r\n"));
  QVERIFY(!core.echo());
  QCOMPARE(core.feed("AT\r"), std::string("\r\nOK\r\n"));
  QCOMPARE(core.feed("ATE1\r"), std::string("\r\nOK\r\n"));
  QCOMPARE(core.feed("AT\r"), std::string("AT\r\r\nOK\r\n"));
  // Bytes trickling in one at a time give the same echo and reply.
  std::string out;
  for (char c : std::string("AT+GMI\r")) out += core.feed(std::string(1, c));
  QCOMPARE(out, std::string("AT+GMI\r\r\nVantrel Labs\r\n\r\nOK\r\n"));
}

void TestModemSim::escapeIgnored() {
  ModemCore core = quietCore();
  QCOMPARE(core.feed("+++"), std::string());
  QCOMPARE(core.pendingInput(), std::size_t(0));
  QCOMPARE(core.feed("AT\r"), std::string("\r\nOK\r\n"));
  QCOMPARE(core.feed("++"), std::string());
  QCOMPARE(core.feed("+"), std::string());
  QCOMPARE(core.feed("AT+GMM\r"), std::string("\r\nVX-900 Simulated\r\n\r\nOK\r\n"));
  QCOMPARE(core.commandCount(), 3);  // ATE0, AT, AT+GMM: escapes are no commands
}

void TestModemSim::lineBufferCapped() {
  ModemCore core = quietCore();
  core.feed(std::string(20000, 'A'));
  QVERIFY(core.pendingInput() <= ModemCore::MaxLine);
  core.feed("\r");
  QCOMPARE(core.feed("AT\r"), std::string("\r\nOK\r\n"));
}

void TestModemSim::moniExampleLine() {
  ServingCell c;
  c.channel = 1013;
  c.rs = 21;
  c.dbm = -71;
  c.mcc = 262;
  c.mnc = 7;
  c.lac = 0x4EED;
  c.cellId = 0x85A7;
  c.ncc = 4;
  c.bcc = 4;
  c.pwr = 33;
  c.rxLev = -105;
  c.c1 = 33;
  QCOMPARE(formatMoniDataLine(c),
           std::string("1013  21  -71 262  07 4EED  85A7   4  4  33  -105  33 I No connection"));
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
  Options o;
  o.seed = seed;
  ModemCore core = quietCore(o);
  std::string reply;
  for (int i = 0; i <= steps; ++i) reply = core.feed("AT^MONI\r");
  QVERIFY(reply.ends_with("\r\nOK\r\n"));
  const QStringList l = lines(reply);
  QCOMPARE(l.size(), 4);
  QVERIFY(l[1].contains(QStringLiteral("chann")));
  const ServingCell& s = core.model().serving();
  const QString d = l[2];
  QCOMPARE(cutInt(d, 1, 4), s.channel);
  QCOMPARE(cutInt(d, 9, 13), s.dbm);
  QCOMPARE(cutInt(d, 14, 17), s.mcc);
  QCOMPARE(cutInt(d, 18, 21), s.mnc);
  QCOMPARE(cutInt(d, 22, 26, 16), s.lac);
  QCOMPARE(cutInt(d, 40, 43), s.pwr);
  QCOMPARE(cutInt(d, 45, 49), s.rxLev);
  QCOMPARE(cutInt(d, 50, 53), s.c1);
}

void TestModemSim::monpColumns_data() {
  moniColumns_data();
}

void TestModemSim::monpColumns() {
  QFETCH(quint32, seed);
  QFETCH(int, steps);
  Options o;
  o.seed = seed;
  ModemCore core = quietCore(o);
  for (int i = 0; i < steps; ++i) core.feed("AT^MONI\r");
  const std::string reply = core.feed("AT^MONP\r");
  QVERIFY(reply.ends_with("\r\nOK\r\n"));
  const QStringList l = lines(reply);
  const auto present = core.model().presentNeighbours();
  QVERIFY(present.size() <= 6);
  QCOMPARE(l.size(), int(present.size()) + 2);
  QVERIFY(l[0].contains(QStringLiteral("chann")));
  for (std::size_t i = 0; i < present.size(); ++i) {
    const QString& n = l[int(i) + 1];
    QVERIFY(!n.contains(QStringLiteral("OK")));
    QCOMPARE(cutInt(n, 1, 4), present[i].channel);
    QCOMPARE(cutInt(n, 9, 13), present[i].dbm);
  }
}

void TestModemSim::smoncFields() {
  Options o;
  o.seed = 5;
  ModemCore core = quietCore(o);
  bool sawFull = false, sawShort = false;
  for (int step = 0; step < 400 && !(sawFull && sawShort); ++step) {
    const QStringList l = lines(core.feed("AT^SMONC\r"));
    QCOMPARE(l.size(), 2);
    QVERIFY(l[0].startsWith(QStringLiteral("^SMONC: ")));
    const QStringList f = l[0].mid(8).split(QLatin1Char(','));
    QCOMPARE(f.size(), 63);
    for (const QString& x : f) QVERIFY(!x.isEmpty());
    const ServingCell& s = core.model().serving();
    QCOMPARE(f[0].toInt(), s.mcc);
    QCOMPARE(f[3].toInt(nullptr, 16), s.cellId);
    QCOMPARE(f[5].toInt(), s.channel);
    const auto present = core.model().presentNeighbours();
    for (int g = 1; g <= 6; ++g) {
      const QStringList group = f.mid(g * 9, 9);
      if (g <= int(present.size())) {
        QCOMPARE(group[3].toInt(nullptr, 16), present[std::size_t(g - 1)].cellId);
        QCOMPARE(group[5].toInt(), present[std::size_t(g - 1)].channel);
      } else {
        QCOMPARE(group.join(QLatin1Char(',')), QStringLiteral("000,00,0000,0000,00,0,0,0,0"));
      }
    }
    (present.size() == 6 ? sawFull : sawShort) = true;
    core.feed("AT^MONI\r");  // the next cycle
  }
  QVERIFY(sawFull);
  QVERIFY(sawShort);
}

void TestModemSim::drift() {
  auto inBand = [](int ch) {
    return (ch >= 1 && ch <= 124) || (ch >= 512 && ch <= 885) || (ch >= 975 && ch <= 1023);
  };
  CellModel a(11), b(11), c(12);
  std::set<int> servingLevels;
  std::set<std::size_t> counts;
  bool differs = false;
  for (int i = 0; i < 3000; ++i) {
    a.step();
    b.step();
    c.step();
    const int lvl = a.serving().dbm;
    QVERIFY(lvl >= CellModel::MinDbm && lvl <= CellModel::MaxDbm);
    QCOMPARE(b.serving().dbm, lvl);
    differs = differs || c.serving().dbm != lvl;
    servingLevels.insert(lvl);
    QVERIFY(inBand(a.serving().channel));
    for (const auto& n : a.presentNeighbours()) {
      QVERIFY(n.dbm >= CellModel::MinDbm && n.dbm <= CellModel::MaxDbm);
      QVERIFY2(inBand(n.channel), qPrintable(QString::number(n.channel)));
    }
    counts.insert(a.presentNeighbours().size());
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
  Options o;
  QCOMPARE(parseOptions(a, o), std::string());
  o.seed = 3;
  ModemCore core = quietCore(o);  // ATE0 is the first command
  const QByteArray out = QByteArray::fromStdString(core.feed(input.toStdString()));
  if (o.hangupAfter) {
    QVERIFY(core.hangupDue());
    QCOMPARE(out, QByteArray("\r\nOK\r\n"));  // the second command is answered, the rest not read
    QCOMPARE(QByteArray::fromStdString(core.feed("AT\r")), QByteArray("\r\nOK\r\n"));
    return;
  }
  QVERIFY(!core.hangupDue());
  QCOMPARE(out, expected);
}

void TestModemSim::pacer() {
  Pacer split(5, 20, 0);
  split.push("0123456789AB");
  QCOMPARE(split.delayUs(1000), std::int64_t(0));
  QCOMPARE(split.take(1000), std::string("01234"));
  QCOMPARE(split.delayUs(1000), std::int64_t(20000));
  QCOMPARE(split.take(15000), std::string());  // too early
  QCOMPARE(split.take(21000), std::string("56789"));
  QCOMPARE(split.take(41000), std::string("AB"));
  QCOMPARE(split.delayUs(41000), std::int64_t(-1));

  Pacer paced(0, 0, 9600);
  paced.push(std::string(100, 'x'));
  QCOMPARE(paced.take(0).size(), std::size_t(64));
  QCOMPARE(paced.delayUs(0), std::int64_t(64 * 10 * 1000000 / 9600));

  Pacer plain(0, 0, 0);
  plain.push(std::string(5000, 'x'));
  QCOMPARE(plain.take(0).size(), std::size_t(5000));

  // Garbage: a NUL and extra bytes inside the reply, still ending in OK most of the time.
  Options o;
  o.garbage = true;
  o.seed = 9;
  ModemCore core = quietCore(o);
  const std::string clean = "\r\nVantrel Labs\r\n\r\nOK\r\n";
  for (int i = 0; i < 20; ++i) {
    const std::string r = core.feed("AT+GMI\r");
    QVERIFY(r.find('\0') != std::string::npos);
    QVERIFY(r.size() > clean.size());
  }
  QCOMPARE(core.noise(32).size(), std::size_t(32));
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
}

void TestModemSim::options() {
  QFETCH(QStringList, args);
  QFETCH(bool, ok);
  std::vector<std::string> a;
  for (const QString& s : args) a.push_back(s.toStdString());
  Options o;
  QCOMPARE(parseOptions(a, o).empty(), ok);
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
  Options o;
  o.garbage = true;
  o.split = 3;
  o.port = 4;
  o.seed = 5;
  QCOMPARE(QString::fromStdString(applyControl(line.toStdString(), o)), answer);
  QCOMPARE(describe(o), after);
}

void TestModemSim::faultsSwitchedWhileRunning() {
  ModemCore core = quietCore();
  Options faults;
  faults.echoStuck = true;
  faults.error.insert("AT+GMI");
  core.setFaults(faults);
  QVERIFY(core.echo());
  QCOMPARE(core.feed("AT+GMI\r"), std::string("AT+GMI\r\r\nERROR\r\n"));
  core.setFaults(Options{});
  // Echo goes back to what ATE0 asked for.
  QVERIFY(!core.echo());
  QCOMPARE(core.feed("AT+GMI\r"), std::string("\r\nVantrel Labs\r\n\r\nOK\r\n"));

  // A hang-up set while running counts from then on, not from the start.
  Options hangup;
  hangup.hangupAfter = 2;
  core.setFaults(hangup);
  QVERIFY(!core.hangupDue());
  QCOMPARE(core.feed("AT\r"), std::string("\r\nOK\r\n"));
  QVERIFY(!core.hangupDue());
  QCOMPARE(core.feed("AT\rAT\r"), std::string("\r\nOK\r\n"));
  QVERIFY(core.hangupDue());
  core.setFaults(Options{});
  QVERIFY(!core.hangupDue());
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

  // A flood switched off is over once the answer is in: nothing but the reply follows.
  QVERIFY(sim.control(QStringLiteral("faults --flood")));
  QTest::qWait(50);
  QVERIFY(sim.control(QStringLiteral("faults")));
  tcflush(fd, TCIFLUSH);
  QTest::qWait(50);
  QVERIFY(::write(fd, "AT+GMI\r", 7) == 7);
  QCOMPARE(readUntil(fd, "OK\r\n"), gmi);

  // The end of the control input ends the simulator, as its controller is gone.
  sim.process().closeWriteChannel();
  QVERIFY(sim.waitForExit());
  QCOMPARE(sim.exitCode(), 0);
  ::close(fd);
}

void TestModemSim::binaryTakesOverItsOwnStaleLink() {
  if (!ptyAvailable()) QSKIP("no pseudo-terminals here");
  QTemporaryDir xdg;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), xdg.path());
  const QString link = xdg.path() + QStringLiteral("/vantrel/ports/com1");
  vantrel::test::SimProcess crashed;
  QVERIFY(crashed.start({}, env));
  crashed.kill();
  QCOMPARE(QFileInfo(link).symLinkTarget(), crashed.slavePath());  // left behind
  // The next simulator usually gets the freed pseudo-terminal back, so the link that
  // is left points at its own device; either way it takes the name over.
  vantrel::test::SimProcess next;
  QVERIFY2(next.start({}, env), next.errorOutput().constData());
  QCOMPARE(QFileInfo(link).symLinkTarget(), next.slavePath());
  QVERIFY(next.stop());
}

QTEST_MAIN(TestModemSim)
#include "tst_modemsim.moc"
