#include "core/reports/ReportFields.h"

#include "core/MiscLib.h"
#include "core/ReplyText.h"

namespace {

bool ParseDecimal(const QByteArray& Text, std::int32_t& Value) {
  return TryParseInt(TrimBlanks(Text), Value);
}

// Modems write a cell id they have not read as zeros or as FFFF.
bool IsUnreadCellId(const QByteArray& Text) {
  if (Text.isEmpty()) return true;
  if (Text.compare("ffff", Qt::CaseInsensitive) == 0) return true;
  for (const char C : Text)
    if (C != '0') return false;
  return true;
}

// A cell heard but not identified: its BSIC and cell id mean nothing yet.
bool IdentityUnread(const TCellFields& Fields) {
  if (Fields.CellId && IsUnreadCellId(TrimBlanks(*Fields.CellId))) return true;
  if (Fields.Mcc) {
    std::int32_t Mcc = 0;
    if (!ParseDecimal(*Fields.Mcc, Mcc) || Mcc == 0) return true;
  }
  return false;
}

bool IsEmptySlot(const TCellFields& Fields) {
  const QByteArray Channel = TrimBlanks(Fields.Channel);
  std::int32_t Value = 0;
  return Channel.isEmpty() || (TryParseInt(Channel, Value) && Value == 0);
}

// One grid column: what the grid rows show, then its BSIC and cell id.
struct TColumn {
  TNeighbourColumnView Grid;
  TCellText Bsic, CellId;
};

// GSM "900", "1800", ...; UMTS and LTE "B" and the band number; "-" for a channel in no band.
TCellText BandOf(const TCellFields& Fields, TCellInfo& Cell, std::optional<std::int32_t> Channel) {
  int Band = 0;
  switch (Fields.Tech) {
    case TRadioTech::rtGsm:
      if (Channel) Cell.Band = ChannelBand(*Channel);
      return TCellText{BandText(Cell.Band), Cell.Band != TGsmBand::gbNone};
    case TRadioTech::rtUmts:
      if (Channel) Band = UmtsBandOfUarfcn(*Channel);
      break;
    case TRadioTech::rtLte:
      Band = Fields.BandNumber;
      if (Band == 0 && Channel) Band = LteBandOfEarfcn(*Channel);
      break;
    case TRadioTech::rtNone:
      break;
  }
  if (Band == 0) return TCellText{QStringLiteral("-"), false};
  return TCellText{QStringLiteral("B%1").arg(Band), true};
}

bool ReadId(const QByteArray& Text, bool Decimal, std::int32_t& Value) {
  return Decimal ? TryParseInt(Text, Value) : TryParseHex(Text, Value);
}

TColumn ReadColumn(const TCellFields& Fields, const TCellInfo& Previous) {
  TColumn Own;
  TNeighbourColumnView& Column = Own.Grid;
  TCellInfo& Cell = Column.Cell;
  Cell = Previous;
  Cell.Tech = Fields.Tech;

  Cell.Band = TGsmBand::gbNone;
  const QByteArray Channel = TrimBlanks(Fields.Channel);
  std::int32_t Value = 0;
  Column.Channel.Valid = TryParseInt(Channel, Value);
  if (Column.Channel.Valid) {
    Cell.Channel = Low16Signed(Value);
    Column.Channel.Text = QString::number(Value);  // "0081" shows as "81"
  } else {
    Column.Channel.Text = Latin1(Channel);
  }
  Column.Band = BandOf(Fields, Cell,
                       Column.Channel.Valid ? std::optional<std::int32_t>(Value) : std::nullopt);

  Cell.Level = NoLevelOf(Cell.Tech);
  Column.Level.Valid = Fields.LevelDbm.has_value();
  if (Fields.LevelDbm) {
    Cell.Level = Low16Signed(*Fields.LevelDbm);
    Column.Level.Text = QString::number(*Fields.LevelDbm);
  } else {
    Column.Level.Text = Latin1(TrimBlanks(Fields.LevelText));
  }
  const std::int16_t Bar = GsmScaleLevel(Cell.Tech, Cell.Level);
  Column.Bar = TBarView{Bar, LevelColor(Bar)};

  Cell.Bsic = 0;
  Cell.CellId = 0;
  if (!IdentityUnread(Fields)) {
    if (Fields.Bsic) {
      const QByteArray Bsic = TrimBlanks(*Fields.Bsic);
      Own.Bsic.Text = Latin1(Bsic);
      if (!Bsic.isEmpty()) {
        Own.Bsic.Valid = TryParseInt(Bsic, Value);
        if (Own.Bsic.Valid) Cell.Bsic = Low16(Value);
      }
    }
    if (Fields.CellId) {
      const QByteArray CellId = TrimBlanks(*Fields.CellId);
      Own.CellId.Valid = ReadId(CellId, Fields.DecimalIds, Value);
      if (Own.CellId.Valid) {
        Cell.CellId = Low16(Value);
        Own.CellId.Text = QString::number(Value);
      } else {
        Own.CellId.Text = Latin1(CellId);
      }
    }
  }
  return Own;
}

// A detail field shows the decimal it reads as, "-" when it does not read or is not reported.
QString ReadDetail(const std::optional<QByteArray>& Field, std::int16_t& Stored) {
  return Field ? ::ReadDetail(*Field, Stored, false) : QStringLiteral("-");
}

QString ReadPlmn(const TCellFields& Fields, TCellInfo& Cell) {
  std::int32_t Value = 0;
  if (!Fields.Mcc || !ParseDecimal(*Fields.Mcc, Value) || Value == 0) return QStringLiteral("-");
  Cell.Mcc = Low16(Value);
  if (!Fields.Mnc || !ParseDecimal(*Fields.Mnc, Value)) return QStringLiteral("-");
  Cell.Mnc = Low16(Value);
  return PlmnText(Cell.Mcc, Cell.Mnc, TrimBlanks(*Fields.Mnc).size() == 3);
}

QString ReadLac(const TCellFields& Fields, TCellInfo& Cell) {
  if (!Fields.Lac) return QStringLiteral("-");
  if (!Fields.DecimalIds) return ::ReadLac(*Fields.Lac, Cell);
  std::int32_t Value = 0;
  if (!ParseDecimal(*Fields.Lac, Value)) return QStringLiteral("-");
  Cell.Lac = Low16(Value);
  return QString::number(Cell.Lac);
}

// A quality or a level shown in whole dB, "-" when not reported.
QString MeasureText(const std::optional<QByteArray>& Field, bool Quality) {
  const std::optional<double> Value = Field ? ReadMeasure(*Field, Quality) : std::nullopt;
  return Value ? QString::number(RoundHalfAway(*Value)) : QStringLiteral("-");
}

// The serving view of a modem that has no cell: empty texts, an emptied record, an empty bar.
TServingCellView NoServingCell() {
  TServingCellView View;
  View.Cell.Tech = TRadioTech::rtNone;
  View.Cell.Level = NoLevel;
  View.Bar = TBarView{NoLevel, LevelColor(NoLevel)};
  return View;
}

}  // namespace

std::optional<QByteArray> ReportLineBody(const QByteArray& Line, const QByteArray& Prefix) {
  const QByteArray Text = TrimBlanks(Line);
  if (Text.left(Prefix.size()).compare(Prefix, Qt::CaseInsensitive) != 0) return std::nullopt;
  return TrimBlanks(Text.mid(Prefix.size()));
}

bool HasErrorLine(const QList<QByteArray>& Lines) {
  for (const QByteArray& Line : Lines) {
    const QByteArray Text = TrimBlanks(Line);
    if (Text == "ERROR" || Text.startsWith("+CME ERROR") || Text.startsWith("+CMS ERROR"))
      return true;
  }
  return false;
}

QList<QByteArray> SplitCommaFields(const QByteArray& Text) {
  return Text.split(',');
}

QList<QByteArray> SplitWords(const QByteArray& Text) {
  QList<QByteArray> Words;
  qsizetype Pos = 0;
  const qsizetype Size = Text.size();
  while (Pos < Size) {
    while (Pos < Size && static_cast<unsigned char>(Text[Pos]) <= 32) ++Pos;
    const qsizetype Start = Pos;
    while (Pos<Size&& static_cast<unsigned char>(Text[Pos])> 32) ++Pos;
    if (Pos > Start) Words.append(Text.mid(Start, Pos - Start));
  }
  return Words;
}

std::optional<QByteArray> FieldAt(const QList<QByteArray>& Fields, qsizetype Index) {
  if (Index < 0 || Index >= Fields.size()) return std::nullopt;
  return Fields[Index];
}

std::optional<QByteArray> ValueAt(const QList<QByteArray>& Fields, qsizetype Index) {
  std::optional<QByteArray> Field = FieldAt(Fields, Index);
  if (!Field || IsNoValue(*Field)) return std::nullopt;
  QByteArray Text = TrimBlanks(*Field);
  if (Text.size() >= 2 && Text.startsWith('"') && Text.endsWith('"'))
    Text = Text.mid(1, Text.size() - 2);
  return Text;
}

std::optional<std::int32_t> WholeLevel(const std::optional<QByteArray>& Field) {
  const std::optional<double> Value = Field ? ReadMeasure(*Field, false) : std::nullopt;
  if (!Value) return std::nullopt;
  return RoundHalfAway(*Value);
}

std::optional<std::int32_t> DbmFromRxLev(const QByteArray& Text, std::int32_t DbmAtZero) {
  std::int32_t RxLev = 0;
  if (!ParseDecimal(Text, RxLev) || RxLev < 0 || RxLev > 63) return std::nullopt;
  return DbmAtZero + RxLev;
}

std::optional<std::int32_t> DbmFromText(const QByteArray& Text) {
  QByteArray Number = TrimBlanks(Text);
  if (Number.toLower().endsWith("dbm")) Number = TrimBlanks(Number.chopped(3));
  std::int32_t Dbm = 0;
  if (!TryParseInt(Number, Dbm)) return std::nullopt;
  return Dbm;
}

void TReportCells::AddNeighbour(const TCellFields& Cell) {
  if (Added < Neighbours.size()) Neighbours[Added++] = Cell;
}

TFamilyView ReadReportLines(const QList<QByteArray>& Lines,
                            std::initializer_list<const char*> Prefixes,
                            const TReportLineReader& ReadLine,
                            const std::array<TCellInfo, 7>& Previous) {
  if (HasErrorLine(Lines)) return {};
  TReportCells Cells;
  for (const QByteArray& Line : Lines)
    for (const char* Prefix : Prefixes)
      if (const std::optional<QByteArray> Body = ReportLineBody(Line, Prefix)) {
        ReadLine(QByteArray(Prefix), *Body, Cells);
        break;
      }
  if (!Cells.Serving) return {};
  return BuildFamilyView(*Cells.Serving, Cells.Neighbours, Previous);
}

TFamilyView BuildFamilyView(const TCellFields& Serving,
                            const std::array<std::optional<TCellFields>, 6>& Neighbours,
                            const std::array<TCellInfo, 7>& Previous) {
  std::array<TColumn, 7> Columns;
  TServingCellView View;
  if (Serving.Tech == TRadioTech::rtNone) {
    View = NoServingCell();
    Columns[0].Grid.Cell = View.Cell;
  } else {
    Columns[0] = ReadColumn(Serving, Previous[0]);
    TCellInfo& Own = Columns[0].Grid.Cell;
    View.RxLev = ReadDetail(Serving.RxLev, Own.RxLev);
    View.C1 = ReadDetail(Serving.C1, Own.C1);
    View.Pwr = ReadDetail(Serving.Pwr, Own.Pwr);
    View.Plmn = ReadPlmn(Serving, Own);
    View.Lac = ReadLac(Serving, Own);
    if (Serving.Tech != TRadioTech::rtGsm) {
      View.Quality = MeasureText(Serving.Quality, true);
      View.Rssi = MeasureText(Serving.Rssi, false);
      View.Sinr = Serving.Sinr ? Latin1(TrimBlanks(*Serving.Sinr)) : QStringLiteral("-");
    }
  }

  for (std::size_t K = 0; K < Neighbours.size(); ++K) {
    const std::optional<TCellFields>& Fields = Neighbours[K];
    if (!Fields || IsEmptySlot(*Fields)) {
      Columns[K + 1] = TColumn{EmptiedNeighbourColumn(), {}, {}};
      continue;
    }
    Columns[K + 1] = ReadColumn(*Fields, Previous[K + 1]);
    TCellInfo& Cell = Columns[K + 1].Grid.Cell;
    std::int32_t Value = 0;
    if (Fields->Mcc && ParseDecimal(*Fields->Mcc, Value)) Cell.Mcc = Low16(Value);
    if (Fields->Mnc && ParseDecimal(*Fields->Mnc, Value)) Cell.Mnc = Low16(Value);
    if (Fields->Lac && ReadId(TrimBlanks(*Fields->Lac), Fields->DecimalIds, Value))
      Cell.Lac = Low16(Value);
  }

  if (Serving.Tech != TRadioTech::rtNone) {
    const TNeighbourColumnView& Grid = Columns[0].Grid;
    View.Cell = Grid.Cell;
    View.Channel = Grid.Channel;
    View.Band = Grid.Band;
    View.Level = Grid.Level;
    View.Bar = Grid.Bar;
  }

  TFamilyView Family;
  Family.Serving = View;
  std::vector<TNeighbourColumnView> NeighbourViews;
  std::array<TIdentityColumnView, 7> Identities;
  for (std::size_t I = 0; I < Columns.size(); ++I) {
    const TColumn& Column = Columns[I];
    Identities[I] = TIdentityColumnView{Column.Grid.Cell, Column.Bsic, Column.CellId};
    if (I > 0) NeighbourViews.push_back(Column.Grid);
  }
  Family.Neighbours = NeighbourViews;
  Family.Identities = Identities;
  return Family;
}
