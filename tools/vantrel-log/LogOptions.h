#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

#include "core/DriveRecord.h"

// Where gpsd listens.
struct TGpsServer {
  QString Host = QStringLiteral("localhost");
  quint16 Port = 2947;
};

// What the recorder was asked to do on its command line.
struct TLogOptions {
  QString Port = QStringLiteral("\\\\.\\COM1");
  std::uint32_t Rate = 19200;
  int IntervalMs = 1100;  // from the end of one cycle to the start of the next
  TRecordFormat Format = TRecordFormat::rfCsv;
  QString Output;  // empty: standard output
  std::optional<qint64> Cycles;
  std::optional<qint64> DurationMs;
  std::optional<TGpsServer> Gps;  // record positions from this gpsd
  bool Help = false;
  bool Version = false;
};

// "90", "90s", "500ms", "10m", "2h", "1h30m": a length of time in milliseconds; nullopt when the
// text is not one, or is zero.
std::optional<qint64> ParseDuration(const QString& Text);

// "host", "host:port", "[::1]:2947", ":2947"; nullopt when it is not one.
std::optional<TGpsServer> ParseGpsServer(const QString& Text);

// Reads the arguments (Arguments[0] is the program). Returns an empty string on success, else
// the message for the user.
QString ParseLogOptions(const QStringList& Arguments, TLogOptions& Options);
QString LogHelpText();

// Appending to a CSV record file whose header (its first line) names other columns than this
// recording writes would mix rows of two shapes; the message why, or empty when it fits.
QString CsvAppendProblem(const QByteArray& FirstLine, const TLogOptions& Options);
