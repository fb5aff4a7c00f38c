#pragma once

// Runs vantrel-modem-sim for a test. The test target passes the built binary as
//   target_compile_definitions(<test> PRIVATE
//   VANTREL_MODEM_SIM_PATH="$<TARGET_FILE:vantrel-modem-sim>")
// and usually sets XDG_CONFIG_HOME to a temporary folder, so the comN link lands there.

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <cstdio>

namespace vantrel::test {

class SimProcess {
 public:
#ifdef VANTREL_MODEM_SIM_PATH
  SimProcess() : SimProcess(QStringLiteral(VANTREL_MODEM_SIM_PATH)) {}
#endif
  explicit SimProcess(QString program) : m_program(std::move(program)) {}
  ~SimProcess() {
    stop();
  }
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  /// Starts the simulator and waits for its "READY <path>" line. False when it did
  /// not start, exited first (a refused link, say) or stayed silent past the time-out.
  bool start(const QStringList& args = {},
             const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
             int timeoutMs = 10000) {
    stop();
    m_slave.clear();
    m_process.setProcessEnvironment(env);
    m_process.setProgram(m_program);
    m_process.setArguments(args);
    m_process.start();
    if (!m_process.waitForStarted(timeoutMs)) return false;
    QDeadlineTimer deadline(timeoutMs);
    while (!m_process.canReadLine()) {
      if (m_process.state() != QProcess::Running || deadline.hasExpired()) return false;
      m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
      if (m_process.state() != QProcess::Running && !m_process.canReadLine()) return false;
    }
    const QString line = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    if (!line.startsWith(QLatin1String("READY /"))) return false;
    m_slave = line.mid(6);
    return true;
  }

  /// The pseudo-terminal's slave device, e.g. "/dev/pts/3"; empty before a successful start.
  QString slavePath() const {
    return m_slave;
  }

  /// Sends SIGTERM and waits; true when the simulator ended by itself with exit code 0.
  bool stop(int timeoutMs = 5000) {
    if (m_process.state() == QProcess::NotRunning)
      return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    m_process.terminate();
    if (!m_process.waitForFinished(timeoutMs)) {
      m_process.kill();
      m_process.waitForFinished(timeoutMs);
      return false;
    }
    return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
  }

  /// Sends one control line to a simulator started with --control and waits for its
  /// answer; true when it answered "OK". The answer comes once everything the simulator
  /// queued before the line has been written, so the change holds for the next command.
  bool control(const QString& line, int timeoutMs = 10000) {
    m_answer.clear();
    if (m_process.state() != QProcess::Running) return false;
    m_process.write(line.toLocal8Bit() + '\n');
    if (!m_process.waitForBytesWritten(timeoutMs) && m_process.bytesToWrite() > 0) return false;
    QDeadlineTimer deadline(timeoutMs);
    while (!m_process.canReadLine()) {
      if (m_process.state() != QProcess::Running || deadline.hasExpired()) return false;
      m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
    m_answer = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    return m_answer == QLatin1String("OK");
  }
  /// The answer to the last control line ("OK", "ERROR ..."), empty if none came.
  QString lastAnswer() const {
    return m_answer;
  }

  /// Ends the simulator with SIGKILL, as a crash would: it leaves its link behind, dangling.
  /// The link is pointed at a name no device ever has, so that another program's new
  /// pseudo-terminal, which may get the killed one's number, never turns it into a port
  /// again: the test owns what it linked, also when tests run side by side.
  /// KeepLink leaves the link exactly as the crash left it.
  enum LinkAfterKill { DisownLink, KeepLink };
  void kill(int timeoutMs = 5000, LinkAfterKill after = DisownLink) {
    if (m_process.state() == QProcess::NotRunning) return;
    m_process.kill();
    m_process.waitForFinished(timeoutMs);
    if (after == KeepLink) return;
    // A modem pulled out takes its udev name with it; the port map link to it stays behind.
    const QString alias = argumentOf(QStringLiteral("--alias"));
    if (!alias.isEmpty()) {
      if (QFile::symLinkTarget(alias) == m_slave) QFile::remove(alias);
      return;
    }
    const QString link = linkPath();
    if (link.isEmpty() || m_slave.isEmpty() || QFile::symLinkTarget(link) != m_slave) return;
    const QString gone = link + QStringLiteral(".gone");
    QFile::remove(gone);
    if (QFile::link(link + QStringLiteral("-killed-simulator"), gone))
      ::rename(QFile::encodeName(gone).constData(), QFile::encodeName(link).constData());
  }

  /// The value given to a simulator option, empty when it was not given.
  QString argumentOf(const QString& option) const {
    const QStringList args = m_process.arguments();
    const qsizetype at = args.indexOf(option);
    return at >= 0 && at + 1 < args.size() ? args.at(at + 1) : QString();
  }

  /// The comN link the simulator makes: in the port map folder of its environment, for its
  /// --port (1 by default); empty with --no-link.
  QString linkPath() const {
    const QStringList args = m_process.arguments();
    if (args.contains(QStringLiteral("--no-link"))) return {};
    int port = 1;
    const qsizetype at = args.indexOf(QStringLiteral("--port"));
    if (at >= 0 && at + 1 < args.size()) port = args.at(at + 1).toInt();
    const QProcessEnvironment env = m_process.processEnvironment();
    QString base = env.value(QStringLiteral("XDG_CONFIG_HOME"));
    if (base.isEmpty()) base = env.value(QStringLiteral("HOME")) + QStringLiteral("/.config");
    return base + QStringLiteral("/vantrel/ports/com") + QString::number(port);
  }

  /// Waits for the simulator to end on its own (e.g. after --hangup-after).
  bool waitForExit(int timeoutMs = 5000) {
    return m_process.state() == QProcess::NotRunning || m_process.waitForFinished(timeoutMs);
  }

  QProcess& process() {
    return m_process;
  }
  int exitCode() const {
    return m_process.exitCode();
  }
  QByteArray errorOutput() {
    return m_process.readAllStandardError();
  }

 private:
  QString m_program;
  QProcess m_process;
  QString m_slave;
  QString m_answer;
};

}  // namespace vantrel::test
