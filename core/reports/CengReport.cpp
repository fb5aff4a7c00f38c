#include "core/reports/CengReport.h"

#include "core/MiscLib.h"
#include "core/ReplyText.h"
#include "core/reports/ReportFields.h"

namespace {

// rxl is the received level 0 to 63, dBm = rxl - 113.
constexpr std::int32_t RxlDbmAtZero = -113;
// Mode 1 prints eleven serving fields; mode 4 goes on with dBm, C1, C2 and more.
constexpr qsizetype Mode1ServingFields = 11;

TCellFields ServingFields(const QList<QByteArray>& Fields) {
  // arfcn, rxl, rxq, mcc, mnc, bsic, cellid, rla, txp, lac, TA [, dBm, C1, C2, ...]
  TCellFields Cell;
  Cell.Channel = FieldAt(Fields, 0).value_or(QByteArray());
  Cell.LevelText = FieldAt(Fields, 1).value_or(QByteArray());
  Cell.LevelDbm = DbmFromRxLev(Cell.LevelText, RxlDbmAtZero);
  Cell.Mcc = FieldAt(Fields, 3);
  Cell.Mnc = FieldAt(Fields, 4);
  Cell.Bsic = FieldAt(Fields, 5);
  Cell.CellId = FieldAt(Fields, 6);
  Cell.RxLev = FieldAt(Fields, 7);  // rla, the minimum level for access
  Cell.Pwr = FieldAt(Fields, 8);    // txp, the highest power allowed on the control channel
  Cell.Lac = FieldAt(Fields, 9);
  if (Fields.size() > Mode1ServingFields) {
    // Mode 4 measures the level in dBm itself; "x" marks a value it has not got.
    if (const auto Dbm = DbmFromText(Fields[11])) {
      Cell.LevelText = Fields[11];
      Cell.LevelDbm = Dbm;
    }
    Cell.C1 = FieldAt(Fields, 12);
  }
  return Cell;
}

TCellFields NeighbourFields(const QList<QByteArray>& Fields) {
  // arfcn, rxl, bsic, [cellid,] mcc, mnc, lac [, C1, C2]: the cell id is left out when the
  // neighbour ids are switched off, which makes the field count even.
  TCellFields Cell;
  const bool WithCellId = Fields.size() % 2 == 1;
  const qsizetype Mcc = WithCellId ? 4 : 3;
  Cell.Channel = FieldAt(Fields, 0).value_or(QByteArray());
  Cell.LevelText = FieldAt(Fields, 1).value_or(QByteArray());
  Cell.LevelDbm = DbmFromRxLev(Cell.LevelText, RxlDbmAtZero);
  Cell.Bsic = FieldAt(Fields, 2);
  if (WithCellId) Cell.CellId = FieldAt(Fields, 3);
  Cell.Mcc = FieldAt(Fields, Mcc);
  Cell.Mnc = FieldAt(Fields, Mcc + 1);
  Cell.Lac = FieldAt(Fields, Mcc + 2);
  return Cell;
}

}  // namespace

TFamilyView ReadCengReport(const QList<QByteArray>& Lines,
                           const std::array<TCellInfo, 7>& Previous) {
  const auto ReadLine = [](const QByteArray&, const QByteArray& Body, TReportCells& Cells) {
    // A cell line is <index>,"<fields>"; the "<mode>,<ncell>" line has no quotes.
    const qsizetype Comma = Body.indexOf(',');
    const qsizetype Open = Body.indexOf('"', Comma + 1);
    if (Comma < 0 || Open < 0) return;
    std::int32_t Index = 0;
    if (!TryParseInt(TrimBlanks(Body.left(Comma)), Index) || Index < 0 || Index > 6) return;
    qsizetype Close = Body.indexOf('"', Open + 1);
    if (Close < 0) Close = Body.size();
    const QList<QByteArray> Fields = SplitCommaFields(Body.mid(Open + 1, Close - Open - 1));
    if (Index == 0)
      Cells.Serving = ServingFields(Fields);
    else
      Cells.Neighbours[static_cast<std::size_t>(Index - 1)] = NeighbourFields(Fields);
  };
  return ReadReportLines(Lines, {"+CENG:"}, ReadLine, Previous);
}
