#pragma once

#include <QByteArray>
#include <QList>
#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>

#include "core/CellReports.h"
#include "core/reports/FamilyView.h"

// Cutting and field rules the CENG, #MONI and CCED readers share.

// The text after Prefix, trimmed, when the line starts with Prefix (leading blanks and the
// case of the line ignored); nullopt for any other line, such as an echoed command or an
// unsolicited result code between the report's lines.
std::optional<QByteArray> ReportLineBody(const QByteArray& Line, const QByteArray& Prefix);

// Whether a line of the reply says the command failed: "ERROR", "+CME ERROR: ...",
// "+CMS ERROR: ...".
bool HasErrorLine(const QList<QByteArray>& Lines);

// Comma-separated fields with the empty ones kept, since a field's place is its meaning.
QList<QByteArray> SplitCommaFields(const QByteArray& Text);

// Words separated by blanks (codes up to and including the blank).
QList<QByteArray> SplitWords(const QByteArray& Text);

// Field Index of Fields, or nullopt when the list is shorter.
std::optional<QByteArray> FieldAt(const QList<QByteArray>& Fields, qsizetype Index);

// A received level written as rxlev (0 to 63) in dBm, DbmAtZero being the level rxlev 0 stands
// for; nullopt when the text is not such a value.
std::optional<std::int32_t> DbmFromRxLev(const QByteArray& Text, std::int32_t DbmAtZero);
// A level written in dBm, with or without a "dbm" unit after it ("-83dbm", "-80").
std::optional<std::int32_t> DbmFromText(const QByteArray& Text);

// What a reply gives for one cell, as the texts it prints them with. A field the family does
// not report is nullopt; one it reports but left empty is an empty text.
struct TCellFields {
  TRadioTech Tech = TRadioTech::rtGsm;
  QByteArray Channel;                    // decimal
  QByteArray LevelText;                  // shown in red when LevelDbm is unset
  std::optional<std::int32_t> LevelDbm;  // the level in dBm, when LevelText reads as one
  std::optional<QByteArray> Bsic;        // shown as printed
  std::optional<QByteArray> CellId;      // hexadecimal; zero or FFFF means not read
  std::optional<QByteArray> Mcc, Mnc;    // decimal; an empty or zero MCC means not read
  std::optional<QByteArray> Lac;         // hexadecimal
  bool DecimalIds = false;               // CellId and Lac are written in decimal instead
  int BandNumber = 0;                    // the band the modem names (LTE), 0 when it names none
  // Serving cell details, only where the family has a field of that meaning.
  std::optional<QByteArray> RxLev, C1, Pwr;
  std::optional<QByteArray> Quality, Sinr, Rssi;  // Ec/Io or RSRQ, SINR, RSSI
};

// Field Index with the quotes around it taken off, or nullopt when the list is shorter or the
// field is one of the ways of writing "no value" (IsNoValue).
std::optional<QByteArray> ValueAt(const QList<QByteArray>& Fields, qsizetype Index);

// A level in whole dBm (tenths and rounding as ReadMeasure and RoundHalfAway).
std::optional<std::int32_t> WholeLevel(const std::optional<QByteArray>& Field);

// The view of a report from its cells: Serving for grid column 0, Neighbours[k] for grid column
// k + 1 (nullopt where the reply lists no cell). Previous holds the records by grid column;
// a field that does not parse leaves the previous value in the record.
TFamilyView BuildFamilyView(const TCellFields& Serving,
                            const std::array<std::optional<TCellFields>, 6>& Neighbours,
                            const std::array<TCellInfo, 7>& Previous);

// The cells a reply lists, gathered as its lines are read: the serving cell, and the neighbours
// by grid column (element k is column k + 1).
struct TReportCells {
  std::optional<TCellFields> Serving;
  std::array<std::optional<TCellFields>, 6> Neighbours;
  // Puts Cell in the first column no neighbour was added to; past the sixth it is dropped.
  void AddNeighbour(const TCellFields& Cell);

 private:
  std::size_t Added = 0;
};

// Reads one report line: Prefix is the one it starts with, Body the trimmed rest.
using TReportLineReader =
    std::function<void(const QByteArray& Prefix, const QByteArray& Body, TReportCells& Cells)>;

// The skeleton every family reader shares: a reply with an error line is no report; each line
// that starts with one of Prefixes is read by ReadLine; the view is built from the cells when a
// serving cell was read, and is empty otherwise.
TFamilyView ReadReportLines(const QList<QByteArray>& Lines,
                            std::initializer_list<const char*> Prefixes,
                            const TReportLineReader& ReadLine,
                            const std::array<TCellInfo, 7>& Previous);
