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
      {QStringLiteral("gps"),
       QStringLiteral("Add each cycle's position from gpsd at host:port (default localhost:2947)."),
       QStringLiteral("host:port")},
      {{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help.")},
      {QStringLiteral("version"), QStringLiteral("Show the version.")},
  };
}

void Describe(QCommandLineParser& Parser) {
  Parser.setApplicationDescription(QStringLiteral(
      "Records a GSM modem's serving and neighbour cells, one record per monitoring cycle.\n"
      "Ctrl-C or SIGTERM stops after the current record.\n"
      "vantrel-log export --help: maps and cell database uploads from a record."));
  Parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  Parser.addOptions(Options());
}

std::optional<qint64> PositiveNumber(const QString& Text, qint64 Max) {
  bool Ok = false;
  const qint64 Value = Text.toLongLong(&Ok);
  if (!Ok || Value <= 0 || Value > Max) return std::nullopt;
  return Value;
}

// --gps takes its server only optionally: "--gps" alone, or followed by another option, means
// the default; the parser wants every option's value, so the default is put in for it.
QStringList WithGpsValue(const QStringList& Arguments) {
  QStringList Result;
  for (qsizetype I = 0; I < Arguments.size(); ++I) {
    const QString& A = Arguments[I];
    if (I > 0 && (A == QLatin1String("--gps") || A == QLatin1String("-gps"))) {
      const bool HasValue = I + 1 < Arguments.size() && !Arguments[I + 1].startsWith('-');
      Result << QStringLiteral("--gps=") + (HasValue ? Arguments[++I] : "localhost:2947");
    } else {
      Result << A;
    }
  }
  return Result;
}

}  // namespace

std::optional<TGpsServer> ParseGpsServer(const QString& Text) {
  TGpsServer Server;
  QString Port;
  if (Text.startsWith(QLatin1Char('['))) {
    const qsizetype Close = Text.indexOf(QLatin1Char(']'));
    if (Close < 0) return std::nullopt;
    Server.Host = Text.mid(1, Close - 1);
    const QString Rest = Text.mid(Close + 1);
    if (!Rest.isEmpty() && !Rest.startsWith(QLatin1Char(':'))) return std::nullopt;
    Port = Rest.mid(1);
  } else if (Text.count(QLatin1Char(':')) > 1) {
    Server.Host = Text;  // an IPv6 address without a port
  } else {
    const qsizetype Colon = Text.indexOf(QLatin1Char(':'));
    Server.Host = Colon < 0 ? Text : Text.left(Colon);
    if (Colon >= 0) Port = Text.mid(Colon + 1);
    if (Colon >= 0 && Port.isEmpty()) return std::nullopt;
  }
  if (Server.Host.isEmpty()) Server.Host = QStringLiteral("localhost");
  if (!Port.isEmpty()) {
    const std::optional<qint64> Number = PositiveNumber(Port, 65535);
    if (!Number || QString::number(*Number) != Port) return std::nullopt;
    Server.Port = quint16(*Number);
  }
  return Server;
}

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
  if (!Parser.parse(WithGpsValue(Arguments))) return Parser.errorText();
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
  if (Parser.isSet(QStringLiteral("gps"))) {
    Result.Gps = ParseGpsServer(Parser.value(QStringLiteral("gps")));
    if (!Result.Gps) return QStringLiteral("--gps needs host:port, such as localhost:2947");
  }
  return {};
}

QString CsvAppendProblem(const QByteArray& FirstLine, const TLogOptions& Options) {
  const QByteArray Header = CsvHeader({Options.Gps.has_value()});
  if (Options.Format != TRecordFormat::rfCsv || FirstLine.isEmpty() ||
      FirstLine.trimmed() == Header.trimmed())
    return {};
  return Options.Gps ? QStringLiteral(
                           "%1 was recorded without --gps or by another version; "
                           "record positions to a new file")
                           .arg(Options.Output)
                     : QStringLiteral(
                           "%1 was recorded with --gps or by another version; "
                           "record to a new file")
                           .arg(Options.Output);
}

QString LogHelpText() {
  QCommandLineParser Parser;
  Describe(Parser);
  return Parser.helpText();
}
