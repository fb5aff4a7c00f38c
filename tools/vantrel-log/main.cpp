// vantrel-log: records a modem's cells, one record per monitoring cycle, for drive tests.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>

#include "CycleRecord.h"
#include "ExportCommand.h"
#include "LogOptions.h"
#include "RecordingRun.h"
#include "SignalPipe.h"

namespace {

void Print(std::FILE* Stream, const QString& Text) {
  std::fputs(Text.toLocal8Bit().constData(), Stream);
  std::fflush(Stream);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication App(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("vantrel-log"));
  QCoreApplication::setApplicationVersion(QStringLiteral(VANTREL_VERSION));
  if (argc > 1 && qstrcmp(argv[1], "export") == 0) {
    QByteArray Errors;
    const int Status = RunExport(QCoreApplication::arguments(), Errors);
    std::fputs(Errors.constData(), stderr);
    return Status;
  }

  TLogOptions Options;
  const QString Error = ParseLogOptions(QCoreApplication::arguments(), Options);
  if (!Error.isEmpty()) {
    Print(stderr, QStringLiteral("vantrel-log: %1\nTry 'vantrel-log --help'.\n").arg(Error));
    return 2;
  }
  if (Options.Help) {
    Print(stdout, LogHelpText());
    return 0;
  }
  if (Options.Version) {
    Print(stdout, QStringLiteral("vantrel-log %1\n").arg(QCoreApplication::applicationVersion()));
    return 0;
  }

  // Each record goes out in one write, so a kill can cut the file only between records.
  QFile Output;
  const bool ToFile = !Options.Output.isEmpty();
  const bool Opened =
      ToFile ? (Output.setFileName(Options.Output),
                Output.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
             : Output.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered);
  if (!Opened) {
    Print(stderr, QStringLiteral("vantrel-log: cannot write %1: %2\n")
                      .arg(Options.Output, Output.errorString()));
    return 1;
  }
  if (ToFile && Output.size() > 0) {
    QFile Existing(Options.Output);
    const QString Problem = CsvAppendProblem(
        Existing.open(QIODevice::ReadOnly) ? Existing.readLine() : QByteArray(), Options);
    if (!Problem.isEmpty()) {
      Print(stderr, QStringLiteral("vantrel-log: %1\n").arg(Problem));
      return 1;
    }
  }

  // Ctrl-C and SIGTERM ask the run to stop after the record it is on; the handler only wakes
  // the event loop, which every wait of the run pumps.
  const int SignalFd = OpenSignalPipe({SIGINT, SIGTERM});
  if (SignalFd < 0) return 1;

  TRecordingRun Run(Options, Output, ToFile ? Output.size() == 0 : true);
  QSocketNotifier Notifier(SignalFd, QSocketNotifier::Read);
  QObject::connect(&Notifier, &QSocketNotifier::activated, &Run, [&Run, SignalFd] {
    DrainSignalPipe(SignalFd);
    Run.RequestStop();
  });
  return Run.Exec();
}
