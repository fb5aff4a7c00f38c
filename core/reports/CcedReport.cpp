#include "core/reports/CcedReport.h"

#include "core/ReplyText.h"
#include "core/reports/ReportFields.h"

namespace {

// rxlev 0 is -110 dBm or less, 63 is -48 dBm or more.
constexpr std::int32_t RxLevDbmAtZero = -110;
constexpr qsizetype ServingFieldCount = 13;
constexpr qsizetype NeighbourFieldCount = 7;
// The cell fields every group starts with.
constexpr qsizetype FieldMcc = 0, FieldMnc = 1, FieldLac = 2, FieldCi = 3, FieldBsic = 4,
                    FieldBcch = 5, FieldRxLev = 6;

TCellFields GroupFields(const QList<QByteArray>& Fields, qsizetype Base) {
  TCellFields Cell;
  Cell.Mcc = FieldAt(Fields, Base + FieldMcc);
  Cell.Mnc = FieldAt(Fields, Base + FieldMnc);
  Cell.Lac = FieldAt(Fields, Base + FieldLac);
  Cell.CellId = FieldAt(Fields, Base + FieldCi);
  Cell.Bsic = FieldAt(Fields, Base + FieldBsic);
  Cell.Channel = FieldAt(Fields, Base + FieldBcch).value_or(QByteArray());
  Cell.LevelText = FieldAt(Fields, Base + FieldRxLev).value_or(QByteArray());
  Cell.LevelDbm = DbmFromRxLev(Cell.LevelText, RxLevDbmAtZero);
  return Cell;
}

}  // namespace

TFamilyView ReadCcedReport(const QList<QByteArray>& Lines,
                           const std::array<TCellInfo, 7>& Previous) {
  const auto ReadLine = [](const QByteArray&, const QByteArray& Body, TReportCells& Cells) {
    const QList<QByteArray> Fields = SplitCommaFields(Body);
    qsizetype Base = 0;
    if (!Cells.Serving) {
      if (Fields.size() < NeighbourFieldCount) return;  // not even the serving cell's level
      Cells.Serving = GroupFields(Fields, 0);
      TCellFields& Serving = *Cells.Serving;
      // In dedicated mode the idle rxlev may be empty while the full and sub ones are measured.
      for (qsizetype I = FieldRxLev + 1;
           I <= FieldRxLev + 2 && TrimBlanks(Serving.LevelText).isEmpty(); ++I) {
        Serving.LevelText = FieldAt(Fields, I).value_or(QByteArray());
        Serving.LevelDbm = DbmFromRxLev(Serving.LevelText, RxLevDbmAtZero);
      }
      Base = ServingFieldCount;
    }
    // Neighbours follow the serving cell's group, on the same line or on further lines.
    for (; Base + NeighbourFieldCount <= Fields.size(); Base += NeighbourFieldCount)
      Cells.AddNeighbour(GroupFields(Fields, Base));
  };
  return ReadReportLines(Lines, {"+CCED:"}, ReadLine, Previous);
}
