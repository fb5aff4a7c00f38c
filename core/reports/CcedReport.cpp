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
  if (HasErrorLine(Lines)) return {};

  std::optional<TCellFields> Serving;
  std::array<std::optional<TCellFields>, 6> Neighbours;
  std::size_t NextNeighbour = 0;
  auto AddNeighbours = [&](const QList<QByteArray>& Fields, qsizetype From) {
    for (qsizetype Base = From; Base + NeighbourFieldCount <= Fields.size();
         Base += NeighbourFieldCount) {
      if (NextNeighbour >= Neighbours.size()) return;
      Neighbours[NextNeighbour++] = GroupFields(Fields, Base);
    }
  };

  for (const QByteArray& Line : Lines) {
    const std::optional<QByteArray> Body = ReportLineBody(Line, "+CCED:");
    if (!Body) continue;
    const QList<QByteArray> Fields = SplitCommaFields(*Body);
    if (!Serving) {
      if (Fields.size() < NeighbourFieldCount) continue;  // not even the serving cell's level
      Serving = GroupFields(Fields, 0);
      // In dedicated mode the idle rxlev may be empty while the full and sub ones are measured.
      for (qsizetype I = FieldRxLev + 1;
           I <= FieldRxLev + 2 && TrimBlanks(Serving->LevelText).isEmpty(); ++I) {
        Serving->LevelText = FieldAt(Fields, I).value_or(QByteArray());
        Serving->LevelDbm = DbmFromRxLev(Serving->LevelText, RxLevDbmAtZero);
      }
      AddNeighbours(Fields, ServingFieldCount);
    } else {
      AddNeighbours(Fields, 0);
    }
  }
  if (!Serving) return {};
  return BuildFamilyView(*Serving, Neighbours, Previous);
}
