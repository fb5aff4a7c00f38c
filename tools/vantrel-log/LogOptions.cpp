#include "LogOptions.h"

#include <QCommandLineParser>
#include <QRegularExpression>

namespace {

QList<QCommandLineOption> Options() {
  return {
      {QStringLiteral("port"),
       QStringLiteral("The modem's port: \\\\.\\COMn or a device path (default \\\\.\\COM1)."),
       QStringLiteral("name")},
      {QStringLiteral("rate"), QStringLiteral("Bit rate (default 19200)."), QStringLiteral("bps")},
      {QStringLiteral("interval"),
       QStringLiteral("Milliseconds from the end of one cycle to the next (default 1100)."),
       QStringLiteral("ms")},
      {QStringLiteral("format"),
       QStringLiteral("csv or jsonl (default: csv, or jsonl for an output file ending in .jsonl)."),
       QStringLiteral("format")},
      {QStringLiteral("output"),
       QStringLiteral("File the records are appended to (default: standard output)."),
       QStringLiteral("file")},
      {QStringLiteral("cycles"), QStringLiteral("Stop after this many records."),
       QStringLiteral("n")},
      {QStringLiteral("duration"),
       QStringLiteral("Stop after this long: 90s, 10m, 2h, 1h30m (plain numbers are seconds)."),
       QStringLiteral("time")},
      {{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help.")},
      {QStringLiteral("version"), QStringLiteral("Show the version.")},
  };
}

void Describe(QCommandLineParser& Parser) {
  Parser.setApplicationDescription(QStringLiteral(
      "Records a GSM modem's serving and neighbour cells, one record per monitoring cycle.\n"
      "Ctrl-C or SIGTERM stops after the current record."));
  Parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  Parser.addOptions(Options());
}

std::optional<qint64> PositiveNumber(const QString& Text, qint64 Max) {
  bool Ok = false;
  const qint64 Value = Text.toLongLong(&Ok);
  if (!Ok || Value <= 0 || Value > Max) return std::nullopt;
  return Value;
}

}  // namespace

std::optional<qint64> ParseDuration(const QString& Text) {
  static const QRegularExpression Part(QStringLiteral("(\\d+)(ms|h|m|s)?"));
  constexpr qint64 Longest = 100LL * 365 * 24 * 3600 * 1000;  // a hundred years
  const QString T = Text.trimmed();
  if (T.isEmpty()) return std::nullopt;
  qint64 Total = 0;
  qsizetype At = 0;
  while (At < T.size()) {
    const QRegularExpressionMatch M = Part.match(T, At, QRegularExpression::NormalMatch,
                                                 QRegularExpression::AnchorAtOffsetMatchOption);
    if (!M.hasMatch() || M.capturedLength() == 0) return std::nullopt;
    const QString Unit = M.captured(2);
    const qint64 Scale = Unit == QLatin1String("ms")  ? 1
                         : Unit == QLatin1String("m") ? 60000
                         : Unit == QLatin1String("h") ? 3600000
                                                      : 1000;
    // Checked before the multiplication, which would overflow for a long enough number.
    bool Ok = false;
    const qint64 Value = M.captured(1).toLongLong(&Ok);
    if (!Ok || Value > Longest / Scale) return std::nullopt;
    // A bare number is seconds, but only on its own: "1h30" is more likely a typo than 1h 30 s.
    if (Unit.isEmpty() && (At > 0 || M.capturedEnd() < T.size())) return std::nullopt;
    Total += Value * Scale;
    if (Total > Longest) return std::nullopt;
    At = M.capturedEnd();
  }
  if (Total == 0) return std::nullopt;
  return Total;
}

QString ParseLogOptions(const QStringList& Arguments, TLogOptions& Result) {
  QCommandLineParser Parser;
  Describe(Parser);
  if (!Parser.parse(Arguments)) return Parser.errorText();
  if (!Parser.positionalArguments().isEmpty())
    return QStringLiteral("unexpected argument: %1").arg(Parser.positionalArguments().first());
  Result.Help = Parser.isSet(QStringLiteral("help"));
  Result.Version = Parser.isSet(QStringLiteral("version"));
  if (Parser.isSet(QStringLiteral("port"))) {
    Result.Port = Parser.value(QStringLiteral("port"));
    if (Result.Port.isEmpty()) return QStringLiteral("--port needs a port name");
  }
  if (Parser.isSet(QStringLiteral("rate"))) {
    const auto Rate = PositiveNumber(Parser.value(QStringLiteral("rate")), 4000000);
    if (!Rate) return QStringLiteral("--rate needs a bit rate from 1 to 4000000");
    Result.Rate = std::uint32_t(*Rate);
  }
  if (Parser.isSet(QStringLiteral("interval"))) {
    const auto Interval = PositiveNumber(Parser.value(QStringLiteral("interval")), 86400000);
    if (!Interval) return QStringLiteral("--interval needs milliseconds from 1 to 86400000");
    Result.IntervalMs = int(*Interval);
  }
  Result.Output = Parser.value(QStringLiteral("output"));
  if (Parser.isSet(QStringLiteral("output")) && Result.Output.isEmpty())
    return QStringLiteral("--output needs a file name");
  if (Parser.isSet(QStringLiteral("format"))) {
    const QString Format = Parser.value(QStringLiteral("format")).toLower();
    if (Format == QLatin1String("csv"))
      Result.Format = TRecordFormat::rfCsv;
    else if (Format == QLatin1String("jsonl"))
      Result.Format = TRecordFormat::rfJsonl;
    else
      return QStringLiteral("--format is csv or jsonl, not %1").arg(Format);
  } else {
    Result.Format = Result.Output.endsWith(QLatin1String(".jsonl"), Qt::CaseInsensitive)
                        ? TRecordFormat::rfJsonl
                        : TRecordFormat::rfCsv;
  }
  if (Parser.isSet(QStringLiteral("cycles"))) {
    Result.Cycles = PositiveNumber(Parser.value(QStringLiteral("cycles")), 1LL << 40);
    if (!Result.Cycles) return QStringLiteral("--cycles needs a whole number above 0");
  }
  if (Parser.isSet(QStringLiteral("duration"))) {
    Result.DurationMs = ParseDuration(Parser.value(QStringLiteral("duration")));
    if (!Result.DurationMs)
      return QStringLiteral("--duration needs a length of time such as 90s, 10m or 1h30m");
  }
  return {};
}

QString LogHelpText() {
  QCommandLineParser Parser;
  Describe(Parser);
  return Parser.helpText();
}
