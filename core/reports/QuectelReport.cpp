#include "core/reports/QuectelReport.h"

#include "core/ReplyText.h"
#include "core/reports/ReportFields.h"

namespace {

// The field positions of one line form, counted from the first field after the technology;
// -1 where the form has no such field.
struct TLineForm {
  TRadioTech Tech;
  int Mcc, Mnc, Lac, CellId, Bsic, Channel, Band, Level, Quality, Rssi, Sinr, RxLev, Pwr, C1;
};

// Serving cell forms ("servingcell",<state>,<tech>,...): GSM, WCDMA, and LTE after FDD/TDD.
constexpr TLineForm ServingGsm{TRadioTech::rtGsm, 0, 1, 2, 3, 4, 5, -1, 7, -1, -1, -1, 9, 8, 11};
constexpr TLineForm ServingWcdma{
    TRadioTech::rtUmts, 0, 1, 2, 3, 5, 4, -1, 7, 8, -1, -1, -1, -1, -1};
constexpr TLineForm ServingLte{TRadioTech::rtLte, 1, 2, 9, 3, 4, 5, 6, 10, 11, 12, 13, -1, -1, -1};

// Neighbour forms by serving technology and the neighbour's own.
constexpr TLineForm GsmBesideGsm{TRadioTech::rtGsm, 0, 1, 2, 3, 4, 5, -1, 6, -1, -1, -1, -1, -1, 7};
constexpr TLineForm WcdmaBesideGsm{
    TRadioTech::rtUmts, -1, -1, -1, -1, 1, 0, -1, 2, 3, -1, -1, -1, -1, -1};
constexpr TLineForm LteBesideGsm{
    TRadioTech::rtLte, -1, -1, -1, -1, 1, 0, -1, 2, 3, -1, -1, -1, -1, -1};
constexpr TLineForm WcdmaBesideWcdma{
    TRadioTech::rtUmts, -1, -1, -1, -1, 2, 0, -1, 3, 4, -1, -1, -1, -1, -1};
constexpr TLineForm LteBesideLte{
    TRadioTech::rtLte, -1, -1, -1, -1, 1, 0, -1, 3, 2, 4, 5, -1, -1, -1};
// Beside an LTE serving cell the GSM and WCDMA lines are mostly reselection settings.
constexpr TLineForm GsmBesideLte{
    TRadioTech::rtGsm, -1, -1, -1, -1, 6, 0, -1, 7, -1, -1, -1, -1, -1, -1};
constexpr TLineForm WcdmaBesideLte{
    TRadioTech::rtUmts, -1, -1, -1, -1, 4, 0, -1, 5, 6, -1, -1, -1, -1, -1};

std::optional<TRadioTech> TechOf(const QByteArray& Name) {
  if (Name == "GSM") return TRadioTech::rtGsm;
  if (Name == "WCDMA") return TRadioTech::rtUmts;
  // BG96 and BG95 name the LTE flavour they camp on.
  if (Name == "LTE" || Name == "CAT-M" || Name == "CAT-NB" || Name == "eMTC" || Name == "NBIoT")
    return TRadioTech::rtLte;
  return std::nullopt;
}

// A GSM transmit power or access level of 255 is no value.
std::optional<QByteArray> GsmSetting(const QList<QByteArray>& Fields, qsizetype Index) {
  std::optional<QByteArray> Field = ValueAt(Fields, Index);
  if (Field && *Field == "255") return std::nullopt;
  return Field;
}

// The cell of one line: Fields are the line's fields from the first after the technology.
TCellFields ReadForm(const QList<QByteArray>& Fields, const TLineForm& Form) {
  const auto At = [&Fields](int Index) {
    return Index < 0 ? std::nullopt : ValueAt(Fields, Index);
  };
  TCellFields Cell;
  Cell.Tech = Form.Tech;
  Cell.Mcc = At(Form.Mcc);
  Cell.Mnc = At(Form.Mnc);
  Cell.Lac = At(Form.Lac);
  Cell.CellId = At(Form.CellId);
  Cell.Bsic = At(Form.Bsic);
  Cell.Channel = At(Form.Channel).value_or(QByteArray());
  if (const auto Band = At(Form.Band); Band && Form.Tech == TRadioTech::rtLte)
    Cell.BandNumber = Band->toInt();
  const std::optional<QByteArray> Level = At(Form.Level);
  Cell.LevelText = Level.value_or(QByteArray("-"));
  Cell.LevelDbm = WholeLevel(Level);
  Cell.Quality = At(Form.Quality);
  Cell.Rssi = At(Form.Rssi);
  Cell.Sinr = At(Form.Sinr);
  if (Form.Tech == TRadioTech::rtGsm) {
    Cell.RxLev = Form.RxLev < 0 ? std::nullopt : GsmSetting(Fields, Form.RxLev);
    Cell.Pwr = Form.Pwr < 0 ? std::nullopt : GsmSetting(Fields, Form.Pwr);
  }
  Cell.C1 = At(Form.C1);
  return Cell;
}

TCellFields ServingCell(const QList<QByteArray>& Fields) {
  // "servingcell",<state>,<tech>,...; SEARCH ends after the state.
  TCellFields Cell;
  Cell.Tech = TRadioTech::rtNone;
  const std::optional<TRadioTech> Tech = TechOf(ValueAt(Fields, 2).value_or(QByteArray()));
  if (!Tech) return Cell;
  const QList<QByteArray> Rest = Fields.mid(3);
  switch (*Tech) {
    case TRadioTech::rtGsm:
      return ReadForm(Rest, ServingGsm);
    case TRadioTech::rtUmts:
      return ReadForm(Rest, ServingWcdma);
    case TRadioTech::rtLte:
      return ReadForm(Rest, ServingLte);
    case TRadioTech::rtNone:
      break;
  }
  return Cell;
}

const TLineForm& NeighbourForm(TRadioTech Serving, TRadioTech Own) {
  switch (Serving) {
    case TRadioTech::rtLte:
      return Own == TRadioTech::rtLte    ? LteBesideLte
             : Own == TRadioTech::rtUmts ? WcdmaBesideLte
                                         : GsmBesideLte;
    case TRadioTech::rtUmts:
      if (Own == TRadioTech::rtUmts) return WcdmaBesideWcdma;
      break;
    case TRadioTech::rtGsm:
    case TRadioTech::rtNone:
      break;
  }
  return Own == TRadioTech::rtLte    ? LteBesideGsm
         : Own == TRadioTech::rtUmts ? WcdmaBesideGsm
                                     : GsmBesideGsm;
}

void ReadQuectelLine(const QByteArray&, const QByteArray& Body, TReportCells& Cells) {
  const QList<QByteArray> Fields = SplitCommaFields(Body);
  const QByteArray Kind = ValueAt(Fields, 0).value_or(QByteArray());
  if (Kind == "servingcell") {
    Cells.Serving = ServingCell(Fields);
    return;
  }
  if (!Kind.startsWith("neighbourcell")) return;
  const std::optional<TRadioTech> Own = TechOf(ValueAt(Fields, 1).value_or(QByteArray()));
  if (!Own) return;
  const TRadioTech Serving = Cells.Serving ? Cells.Serving->Tech : TRadioTech::rtGsm;
  const TCellFields Cell = ReadForm(Fields.mid(2), NeighbourForm(Serving, *Own));
  if (Cell.LevelDbm) Cells.AddNeighbour(Cell);
}

// The 2G serving line after its index: mcc, mnc, lac, cellid, bcch, bsic, dBm, c1, c2, txp, rla.
constexpr TLineForm Serving2g{TRadioTech::rtGsm, 0, 1, 2, 3, 5, 4, -1, 6, -1, -1, -1, 10, 9, 7};
// Each 2G neighbour: ncell, bcch, dBm, bsic, c1, c2, mcc, mnc, lac, cellid.
constexpr TLineForm Neighbour2g{TRadioTech::rtGsm, 6, 7, 8, 9, 3, 1, -1, 2, -1, -1, -1, -1, -1, 4};
constexpr qsizetype Neighbour2gFields = 10;

void ReadQuectel2gLine(const QByteArray&, const QByteArray& Body, TReportCells& Cells) {
  const QList<QByteArray> Fields = SplitCommaFields(Body);
  const QByteArray Index = TrimBlanks(Fields.value(0));
  // "+QENG: <mode>,<dump>" comes first and is as short as no cell line is.
  if (Index == "0" && Fields.size() > Serving2g.Level + 1) {
    Cells.Serving = ReadForm(Fields.mid(1), Serving2g);
  } else if (Index == "1" && Fields.size() > Neighbour2gFields) {
    for (qsizetype Base = 1; Base + Neighbour2g.Level < Fields.size(); Base += Neighbour2gFields) {
      const TCellFields Cell = ReadForm(Fields.mid(Base, Neighbour2gFields), Neighbour2g);
      if (Cell.LevelDbm) Cells.AddNeighbour(Cell);
    }
  }
}

}  // namespace

TFamilyView ReadQuectelReport(const QList<QByteArray>& Lines,
                              const std::array<TCellInfo, 7>& Previous) {
  return ReadReportLines(Lines, {"+QENG:"}, &ReadQuectelLine, Previous);
}

TFamilyView ReadQuectel2gReport(const QList<QByteArray>& Lines,
                                const std::array<TCellInfo, 7>& Previous) {
  return ReadReportLines(Lines, {"+QENG:"}, &ReadQuectel2gLine, Previous);
}
