#include "core/reports/CpsiReport.h"

#include "core/MiscLib.h"
#include "core/ReplyText.h"
#include "core/reports/ReportFields.h"

namespace {

// "262-01" into MCC and MNC.
void ReadPlmnPair(const std::optional<QByteArray>& Field, TCellFields& Cell) {
  if (!Field) return;
  const qsizetype Dash = Field->indexOf('-');
  if (Dash < 0) return;
  Cell.Mcc = Field->left(Dash);
  Cell.Mnc = Field->mid(Dash + 1);
}

// "0x972d" as the hexadecimal digits the other fields are written with.
std::optional<QByteArray> HexDigits(std::optional<QByteArray> Field) {
  if (Field && Field->size() > 2 && Field->left(2).compare("0x", Qt::CaseInsensitive) == 0)
    Field = Field->mid(2);
  return Field;
}

// The old WCDMA modules print RSCP and Ec/Io as a positive number of dB below zero.
std::optional<QByteArray> BelowZero(std::optional<QByteArray> Field) {
  if (Field && !Field->startsWith('-') && ReadMeasure(*Field, false)) Field->prepend('-');
  return Field;
}

// <mode>,<op>,<mcc>-<mnc>,<lac/tac 0x hex>,<cellid decimal>, then the technology's own fields.
TCellFields CpsiCell(const QList<QByteArray>& Fields) {
  TCellFields Cell;
  Cell.Tech = TRadioTech::rtNone;
  const QByteArray Mode = TrimBlanks(Fields.value(0)).toUpper();
  if (Mode == "GSM")
    Cell.Tech = TRadioTech::rtGsm;
  else if (Mode == "WCDMA")
    Cell.Tech = TRadioTech::rtUmts;
  else if (Mode.startsWith("LTE"))
    Cell.Tech = TRadioTech::rtLte;
  else
    return Cell;  // "NO SERVICE", or a mode the program does not read
  ReadPlmnPair(ValueAt(Fields, 2), Cell);
  Cell.Lac = HexDigits(ValueAt(Fields, 3));
  Cell.CellId = ValueAt(Fields, 4);
  if (const auto CellId = TrimBlanks(Cell.CellId.value_or(QByteArray())); !CellId.isEmpty()) {
    // Written in decimal: kept as the hexadecimal the field reading expects.
    std::int32_t Value = 0;
    if (TryParseInt(CellId, Value)) Cell.CellId = QByteArray::number(Value, 16);
  }
  std::optional<QByteArray> Level;
  switch (Cell.Tech) {
    case TRadioTech::rtGsm: {
      // "<arfcn> <band name>", <rxlev dBm>, <track lo>, <c1>-<c2>.
      Cell.Channel = SplitWords(ValueAt(Fields, 5).value_or(QByteArray())).value(0);
      Level = ValueAt(Fields, 6);
      const QByteArray C1C2 = ValueAt(Fields, 8).value_or(QByteArray());
      const qsizetype Dash = C1C2.indexOf('-', 1);
      if (!C1C2.isEmpty()) Cell.C1 = Dash < 0 ? C1C2 : C1C2.left(Dash);
      break;
    }
    case TRadioTech::rtUmts:
      // <band name>,<psc>,<uarfcn>,<ssc>,<ec/io>,<rscp>,<qual>,<rxlev>,<txpwr>.
      Cell.Bsic = ValueAt(Fields, 6);
      Cell.Channel = ValueAt(Fields, 7).value_or(QByteArray());
      Cell.Quality = BelowZero(ValueAt(Fields, 9));
      Level = BelowZero(ValueAt(Fields, 10));
      Cell.Pwr = ValueAt(Fields, 13);
      break;
    case TRadioTech::rtLte: {
      // <pci>,EUTRAN-BAND<n>,<earfcn>,<dlbw>,<ulbw>,<rsrq>,<rsrp>,<rssi>,<rssnr>.
      Cell.Bsic = ValueAt(Fields, 5);
      const QByteArray Band = ValueAt(Fields, 6).value_or(QByteArray()).toUpper();
      const qsizetype Digits = Band.indexOf("BAND");
      if (Digits >= 0) Cell.BandNumber = Band.mid(Digits + 4).toInt();
      Cell.Channel = ValueAt(Fields, 7).value_or(QByteArray());
      Cell.Quality = ValueAt(Fields, 10);
      Level = ValueAt(Fields, 11);
      Cell.Rssi = ValueAt(Fields, 12);
      Cell.Sinr = ValueAt(Fields, 13);
      break;
    }
    case TRadioTech::rtNone:
      break;
  }
  Cell.LevelText = Level.value_or(QByteArray("-"));
  Cell.LevelDbm = WholeLevel(Level);
  return Cell;
}

// AT+CENG? in LTE form: <earfcn>,<pci>,<rsrp>,<rssi>,<rsrq>,<sinr>[,<tac>,<cellid>,<mcc>,<mnc>].
TCellFields CengLteCell(const QList<QByteArray>& Fields, bool Serving) {
  TCellFields Cell;
  Cell.Tech = TRadioTech::rtLte;
  Cell.DecimalIds = true;
  Cell.Channel = ValueAt(Fields, 0).value_or(QByteArray());
  Cell.Bsic = ValueAt(Fields, 1);
  const std::optional<QByteArray> Level = ValueAt(Fields, 2);
  Cell.LevelText = Level.value_or(QByteArray("-"));
  Cell.LevelDbm = WholeLevel(Level);
  if (Serving) {
    Cell.Rssi = ValueAt(Fields, 3);
    Cell.Quality = ValueAt(Fields, 4);
    Cell.Sinr = ValueAt(Fields, 5);
    Cell.Lac = ValueAt(Fields, 6);
    Cell.CellId = ValueAt(Fields, 7);
    Cell.Mcc = ValueAt(Fields, 8);
    Cell.Mnc = ValueAt(Fields, 9);
  }
  return Cell;
}

// Reads the reply's lines; remembers whether AT+CENG? reports LTE cells (its header line
// "<mode>,<ncell>,<num>,<system mode>" says so), since only that form is read here.
class TCpsiLines {
 public:
  void Read(const QByteArray& Prefix, const QByteArray& Body, TReportCells& Cells) {
    if (Prefix == "+CPSI:") {
      Cells.Serving = CpsiCell(SplitCommaFields(Body));
      FFromCpsi = true;
      return;
    }
    const qsizetype Open = Body.indexOf('"');
    if (Open < 0) {
      const QByteArray Mode = TrimBlanks(SplitCommaFields(Body).value(3)).toUpper();
      FCengLte = Mode.contains("LTE") || Mode.contains("CAT") || Mode.contains("NB");
      return;
    }
    std::int32_t Index = -1;
    if (!FCengLte || !TryParseInt(TrimBlanks(Body.left(Body.indexOf(','))), Index)) return;
    qsizetype Close = Body.indexOf('"', Open + 1);
    if (Close < 0) Close = Body.size();
    const QList<QByteArray> Fields = SplitCommaFields(Body.mid(Open + 1, Close - Open - 1));
    if (Index == 0) {
      if (!FFromCpsi) Cells.Serving = CengLteCell(Fields, true);
    } else if (Index >= 1 && Index <= 6) {
      const TCellFields Cell = CengLteCell(Fields, false);
      if (Cell.LevelDbm) Cells.AddNeighbour(Cell);
    }
  }

 private:
  bool FCengLte = false;
  bool FFromCpsi = false;
};

}  // namespace

TFamilyView ReadCpsiReport(const QList<QByteArray>& Lines,
                           const std::array<TCellInfo, 7>& Previous) {
  TCpsiLines Reader;
  return ReadReportLines(
      Lines, {"+CPSI:", "+CENG:"},
      [&Reader](const QByteArray& Prefix, const QByteArray& Body, TReportCells& Cells) {
        Reader.Read(Prefix, Body, Cells);
      },
      Previous);
}
