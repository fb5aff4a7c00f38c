#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// One grid column as a record keeps it: the values the window would show, as plain text,
// empty where the cycle read nothing. A UMTS or LTE cell keeps its UARFCN or EARFCN as the
// channel, its RSCP or RSRP as the level and its PSC or PCI as the BSIC; Technology is "GSM",
// "UMTS" or "LTE", empty in records written before cells had one (they are GSM cells).
struct TRecordCell {
  QString Band, Channel, Level, Bsic, CellId;
  QString Technology;
  bool operator==(const TRecordCell&) const = default;
};

// Where a record was taken, from the position fix that was fresh at the end of its cycle, as
// text the way the record file carries it.
struct TRecordPosition {
  QString FixTime;  // UTC, "2026-12-09T16:06:21.000Z"; empty when the fix carried no time
  QString Latitude, Longitude;                      // degrees, 7 decimals
  QString Altitude, HorizontalError, Speed, Track;  // m, m, m/s, degrees; empty if unknown
  QString Mode;                                     // "2" or "3"
  QString AgeMs;                                    // how old the fix was when the cycle ended
  bool operator==(const TRecordPosition&) const = default;
};

// One monitoring cycle of a drive test.
struct TDriveRecord {
  QDateTime Time;  // local time with its offset from UTC
  QString Imsi;
  QString Reports;  // the report family's name, e.g. "AT^MONI" or "AT+CENG"
  TRecordCell Serving;
  QString RxLev, C1, Pwr, Plmn, Lac;        // Lac: the TAC of an LTE cell
  QString Quality, Sinr, Rssi;              // UMTS Ec/Io or LTE RSRQ (dB), SINR (dB), RSSI (dBm)
  QList<TRecordCell> Neighbours;            // the cells the modem reported, at most six
  std::optional<TRecordPosition> Position;  // none: no fresh fix, or recorded without one
  bool operator==(const TDriveRecord&) const = default;
};

inline constexpr int RecordNeighbourCount = 6;

struct TGpsFix;
// A fix as a record carries it, AgeMs old at the end of the cycle.
TRecordPosition RecordPosition(const TGpsFix& Fix, qint64 AgeMs);

// "2026-12-09T17:06:22.123+01:00": milliseconds and an explicit offset, also at UTC.
QString RecordTimeText(const QDateTime& Time);

// Which columns a CSV record file has: the technology columns follow the reports column, and
// the position columns come last and only in files recorded with positions. Files written
// before the technology columns existed still read.
struct TCsvColumns {
  bool Position = false;
};

// CSV: a header row, then one row per record; fields that need it are quoted.
QByteArray CsvHeader(TCsvColumns Columns = {});
QByteArray CsvRow(const TDriveRecord& Record, TCsvColumns Columns = {});
// JSON Lines: one object per record, neighbours as an array of the reported cells, the
// position as an object when there is one.
QByteArray JsonLine(const TDriveRecord& Record);

enum class TRecordFormat : std::uint8_t { rfCsv, rfJsonl };

// Reads a whole record file of either format back (the format is told from its first line).
// Lines that are not whole records (a header, a blank line, a line cut off by a kill) are
// skipped; Error says why nothing could be read.
QList<TDriveRecord> ReadDriveRecords(const QByteArray& Text, QString* Error = nullptr);
// Reads every line; a line that is neither a record, a header nor blank stops it, with Error
// naming its number (from 1). Text after the last line end is left out as cut off, and Cut
// says so.
std::optional<QList<TDriveRecord>> ReadDriveRecordsStrictly(const QByteArray& Text, QString& Error,
                                                            bool* Cut = nullptr);
std::optional<TDriveRecord> ParseCsvRow(const QByteArray& Line);
std::optional<TDriveRecord> ParseJsonLine(const QByteArray& Line);
// Splits one CSV line into its fields; nullopt when a quote is left open.
std::optional<QStringList> SplitCsvLine(const QByteArray& Line);
