#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// One grid column as a record keeps it: the values the window would show, as plain text,
// empty where the cycle read nothing.
struct TRecordCell {
  QString Band, Channel, Level, Bsic, CellId;
  bool operator==(const TRecordCell&) const = default;
};

// One monitoring cycle of a drive test.
struct TDriveRecord {
  QDateTime Time;  // local time with its offset from UTC
  QString Imsi;
  QString Reports;  // the report family's name, e.g. "AT^MONI" or "AT+CENG"
  TRecordCell Serving;
  QString RxLev, C1, Pwr, Plmn, Lac;
  QList<TRecordCell> Neighbours;  // the cells the modem reported, at most six
  bool operator==(const TDriveRecord&) const = default;
};

inline constexpr int RecordNeighbourCount = 6;

// "2026-12-09T17:06:22.123+01:00": milliseconds and an explicit offset, also at UTC.
QString RecordTimeText(const QDateTime& Time);

// CSV: a header row, then one row per record; fields that need it are quoted.
QByteArray CsvHeader();
QByteArray CsvRow(const TDriveRecord& Record);
// JSON Lines: one object per record, neighbours as an array of the reported cells.
QByteArray JsonLine(const TDriveRecord& Record);

enum class TRecordFormat : std::uint8_t { rfCsv, rfJsonl };

// Reads a whole record file of either format back (the format is told from its first line).
// Lines that are not whole records (a header, a blank line, a line cut off by a kill) are
// skipped; Error says why nothing could be read.
QList<TDriveRecord> ReadDriveRecords(const QByteArray& Text, QString* Error = nullptr);
std::optional<TDriveRecord> ParseCsvRow(const QByteArray& Line);
std::optional<TDriveRecord> ParseJsonLine(const QByteArray& Line);
// Splits one CSV line into its fields; nullopt when a quote is left open.
std::optional<QStringList> SplitCsvLine(const QByteArray& Line);
