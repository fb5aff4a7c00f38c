#include "ExportCommand.h"

#include <unistd.h>

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "core/RecordExport.h"

namespace {

void Describe(QCommandLineParser& Parser) {
  Parser.setApplicationDescription(QStringLiteral(
      "Writes the records of a vantrel-log file (CSV or JSON Lines) that carry a position as\n"
      "geojson (QGIS, geojson.io), kml (Google Earth, Marble) or geosubmit (beaconDB and\n"
      "other open cell databases). Records without a position are left out."));
  Parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  Parser.addOptions({
      {QStringLiteral("format"),
       QStringLiteral("geojson, kml or geosubmit (default: from the output file's suffix)."),
       QStringLiteral("format")},
      {QStringLiteral("output"),
       QStringLiteral("File to write (default: standard output); replaced only when whole."),
       QStringLiteral("file")},
      {{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help.")},
  });
  Parser.addPositionalArgument(QStringLiteral("record"),
                               QStringLiteral("The record file; - for standard input."));
}

std::optional<TExportFormat> FormatOf(const QCommandLineParser& Parser) {
  if (Parser.isSet(QStringLiteral("format")))
    return ExportFormatNamed(Parser.value(QStringLiteral("format")));
  const QString Suffix = QFileInfo(Parser.value(QStringLiteral("output"))).suffix().toLower();
  if (Suffix == QLatin1String("geojson")) return TExportFormat::efGeoJson;
  if (Suffix == QLatin1String("kml")) return TExportFormat::efKml;
  return std::nullopt;
}

// A file is only replaced once the whole export is on disk beside it.
QString Write(const QString& Path, const QByteArray& Text) {
  if (Path.isEmpty()) {
    QFile Out;
    if (!Out.open(STDOUT_FILENO, QIODevice::WriteOnly) || Out.write(Text) != Text.size() ||
        !Out.flush())
      return QStringLiteral("cannot write to standard output");
    return {};
  }
  QSaveFile Out(Path);
  if (!Out.open(QIODevice::WriteOnly) || Out.write(Text) != Text.size() || !Out.commit())
    return QStringLiteral("cannot write %1: %2").arg(Path, Out.errorString());
  return {};
}

}  // namespace

int RunExport(const QStringList& Arguments, QByteArray& Errors) {
  const auto Tell = [&Errors](const QString& Message, int Status) {
    Errors += QStringLiteral("vantrel-log export: %1\n").arg(Message).toLocal8Bit();
    return Status;
  };
  QCommandLineParser Parser;
  Describe(Parser);
  QStringList Args = Arguments;
  if (Args.size() > 1) Args.removeAt(1);  // "export"
  if (!Parser.parse(Args)) return Tell(Parser.errorText(), 2);
  if (Parser.isSet(QStringLiteral("help"))) {
    const QByteArray Help =
        Parser.helpText()
            .replace(QLatin1String(" [options]"), QLatin1String(" export [options]"))
            .toLocal8Bit();
    return Write({}, Help).isEmpty() ? 0 : 1;
  }
  const std::optional<TExportFormat> Format = FormatOf(Parser);
  if (!Format) return Tell(QStringLiteral("--format is geojson, kml or geosubmit"), 2);
  if (Parser.positionalArguments().size() != 1)
    return Tell(QStringLiteral("name one record file to export"), 2);
  const QString Input = Parser.positionalArguments().first();
  const QString Output = Parser.value(QStringLiteral("output"));
  if (Parser.isSet(QStringLiteral("output")) && Output.isEmpty())
    return Tell(QStringLiteral("--output needs a file name"), 2);

  QFile In;
  const bool Opened = Input == QLatin1String("-")
                          ? In.open(STDIN_FILENO, QIODevice::ReadOnly)
                          : (In.setFileName(Input), In.open(QIODevice::ReadOnly));
  if (!Opened) return Tell(QStringLiteral("cannot read %1: %2").arg(Input, In.errorString()), 1);
  const QByteArray Text = In.readAll();
  QString Error;
  bool Cut = false;
  const std::optional<QList<TDriveRecord>> Records = ReadDriveRecordsStrictly(Text, Error, &Cut);
  if (!Records) return Tell(QStringLiteral("%1: %2").arg(Input, Error), 1);
  if (Cut && Records->isEmpty()) return Tell(QStringLiteral("%1 holds no record").arg(Input), 1);
  if (Cut) Tell(QStringLiteral("%1: the last line is cut off and left out").arg(Input), 0);

  const TExport Export = ExportRecords(*Records, *Format);
  if (Export.Skipped > 0)
    Tell(QStringLiteral("%1 of %2 records without a position left out")
             .arg(Export.Skipped)
             .arg(Records->size()),
         0);
  const QString Problem = Write(Output, Export.Text);
  return Problem.isEmpty() ? 0 : Tell(Problem, 1);
}
