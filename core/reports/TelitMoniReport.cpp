#include "core/reports/TelitMoniReport.h"

#include "core/MiscLib.h"
#include "core/reports/ReportFields.h"

namespace {

// One table row from its words after the cell name: bsic, lac, cellid, arfcn, level, c1, ...
TCellFields TableFields(const QList<QByteArray>& Words) {
  TCellFields Cell;
  Cell.Bsic = FieldAt(Words, 1);
  Cell.Lac = FieldAt(Words, 2);
  Cell.CellId = FieldAt(Words, 3);
  Cell.Channel = FieldAt(Words, 4).value_or(QByteArray());
  Cell.LevelText = FieldAt(Words, 5).value_or(QByteArray());
  Cell.LevelDbm = DbmFromText(Cell.LevelText);
  Cell.C1 = FieldAt(Words, 6);
  return Cell;
}

// The word after "Key:" (the value may follow the colon directly or after blanks).
std::optional<QByteArray> KeyValue(const QList<QByteArray>& Words, const QByteArray& Key) {
  const QByteArray Label = Key + ':';
  for (qsizetype I = 0; I < Words.size(); ++I) {
    if (!Words[I].startsWith(Label)) continue;
    const QByteArray Rest = Words[I].mid(Label.size());
    if (!Rest.isEmpty()) return Rest;
    return FieldAt(Words, I + 1);
  }
  return std::nullopt;
}

TCellFields SingleCellFields(const QList<QByteArray>& Words) {
  TCellFields Cell;
  Cell.Bsic = KeyValue(Words, "BSIC");
  Cell.Lac = KeyValue(Words, "LAC");
  Cell.CellId = KeyValue(Words, "Id");
  Cell.Channel = KeyValue(Words, "ARFCN").value_or(QByteArray());
  // "PWR: -80 dBm" is the received level, not the transmit power of the details.
  Cell.LevelText = KeyValue(Words, "PWR").value_or(QByteArray());
  Cell.LevelDbm = DbmFromText(Cell.LevelText);
  return Cell;
}

}  // namespace

TFamilyView ReadTelitMoniReport(const QList<QByteArray>& Lines,
                                const std::array<TCellInfo, 7>& Previous) {
  const auto ReadLine = [](const QByteArray&, const QByteArray& Body, TReportCells& Cells) {
    const QList<QByteArray> Words = SplitWords(Body);
    if (Words.isEmpty()) return;
    const QByteArray& Name = Words[0];
    if (Body.contains("ARFCN:")) {
      Cells.Serving = SingleCellFields(Words);
    } else if (Name == "S") {
      Cells.Serving = TableFields(Words);
    } else if (Name.size() == 2 && Name[0] == 'N' && Name[1] >= '1' && Name[1] <= '6') {
      Cells.Neighbours[static_cast<std::size_t>(Name[1] - '1')] = TableFields(Words);
    }
    // Anything else is the header line ("Cell BSIC LAC ...").
  };
  return ReadReportLines(Lines, {"#MONI:"}, ReadLine, Previous);
}
