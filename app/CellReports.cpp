#include "app/CellReports.h"

#include "app/MiscLib.h"
#include "app/ReplyText.h"

namespace {

constexpr std::int16_t NoLevel = -114;  // just below the weakest level a bar can show
constexpr int FieldsPerColumn = 9;
constexpr int IdentityFieldsNeeded = 7 * FieldsPerColumn;

// Records keep only the low 16 bits of a parsed value.
std::int16_t Low16Signed(std::int32_t Value) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(Value));
}
std::uint16_t Low16(std::int32_t Value) {
  return static_cast<std::uint16_t>(Value);
}

QString Latin1(const QByteArray& Bytes) {
  return QString::fromLatin1(Bytes);
}

bool ParseCut(const QByteArray& Cut, std::int32_t& Value) {
  return TryParseInt(TrimBlanks(Cut), Value);
}

struct TChannelAndLevel {
  TCellText Channel, Band, Level;
  TBarView Bar;
};

// Channel, band, level and bar read from columns 1-4 and 9-13; shared by both grid reports.
TChannelAndLevel ReadChannelAndLevel(const QByteArray& Line, TCellInfo& Cell) {
  TChannelAndLevel View;
  Cell.Band = TGsmBand::gbNone;

  const QByteArray ChannelCut = CutColumns(Line, 1, 4);
  std::int32_t Value = 0;
  View.Channel.Valid = ParseCut(ChannelCut, Value);
  if (View.Channel.Valid) {
    Cell.Channel = Low16Signed(Value);
    Cell.Band = ChannelBand(Value);
  }
  View.Channel.Text = Latin1(ChannelCut);
  View.Band.Text = BandText(Cell.Band);
  View.Band.Valid = Cell.Band != TGsmBand::gbNone;

  Cell.Level = NoLevel;
  const QByteArray LevelCut = CutColumns(Line, 9, 13);
  View.Level.Valid = ParseCut(LevelCut, Value);
  if (View.Level.Valid) Cell.Level = Low16Signed(Value);
  View.Level.Text = Latin1(LevelCut);
  View.Bar = TBarView{Cell.Level, LevelColor(Cell.Level)};
  return View;
}

// A detail field shows its untrimmed cut when it parses and "-" otherwise.
QString ReadDetail(const QByteArray& Line, int First, int Last, std::int16_t& Field) {
  const QByteArray Cut = CutColumns(Line, First, Last);
  std::int32_t Value = 0;
  if (!ParseCut(Cut, Value)) return QStringLiteral("-");
  Field = Low16Signed(Value);
  return Latin1(Cut);
}

QString ReadPlmn(const QByteArray& Line, TCellInfo& Cell) {
  std::int32_t Value = 0;
  if (!ParseCut(CutColumns(Line, 14, 17), Value)) return QStringLiteral("-");
  Cell.Mcc = Low16(Value);
  if (!ParseCut(CutColumns(Line, 18, 21), Value)) return QStringLiteral("-");
  Cell.Mnc = Low16(Value);
  // A three-digit network code needs three places, or 310 and 260 would read as 31260.
  const std::int64_t Scale = Cell.Mnc >= 100 ? 1000 : 100;
  return QString::number(static_cast<std::int64_t>(Cell.Mcc) * Scale + Cell.Mnc);
}

QString ReadLac(const QByteArray& Line, TCellInfo& Cell) {
  std::int32_t Value = 0;
  if (!TryParseHex(TrimBlanks(CutColumns(Line, 22, 26)), Value)) return QStringLiteral("-");
  Cell.Lac = Low16(Value);
  return QString::number(Cell.Lac);
}

}  // namespace

TGsmBand ChannelBand(std::int32_t Channel) {
  if (Channel >= 1 && Channel <= 124) return TGsmBand::gb900;
  if (Channel >= 512 && Channel <= 885) return TGsmBand::gb1800;
  if (Channel >= 955 && Channel <= 974) return TGsmBand::gbR;
  if (Channel >= 975 && Channel <= 1023) return TGsmBand::gbE;
  return TGsmBand::gbNone;
}

QString BandText(TGsmBand Band) {
  switch (Band) {
    case TGsmBand::gb900:
      return QStringLiteral("900");
    case TGsmBand::gb1800:
      return QStringLiteral("1800");
    case TGsmBand::gbE:
      return QStringLiteral("E");
    case TGsmBand::gbR:
      return QStringLiteral("R");
    case TGsmBand::gbNone:
      break;
  }
  return QStringLiteral("-");
}

std::uint32_t LevelColor(std::int16_t Level) {
  const std::uint32_t LowByte = static_cast<std::uint16_t>(Level) & 0xFFu;
  const std::uint32_t V = (2 * LowByte + 255) & 0xFFu;  // (2b - 1) mod 256
  return V | (V << 8) | (0xFFu << 16);
}

std::optional<TServingCellView> ParseServingCellReport(const QList<QByteArray>& Lines,
                                                       const TCellInfo& Previous) {
  if (Lines.size() <= 3 || !Lines[1].contains("chann")) return std::nullopt;
  const QByteArray& Line = Lines[2];

  TServingCellView View;
  View.Cell = Previous;
  const TChannelAndLevel Grid = ReadChannelAndLevel(Line, View.Cell);
  View.Channel = Grid.Channel;
  View.Band = Grid.Band;
  View.Level = Grid.Level;
  View.Bar = Grid.Bar;
  View.RxLev = ReadDetail(Line, 45, 49, View.Cell.RxLev);
  View.C1 = ReadDetail(Line, 50, 53, View.Cell.C1);
  View.Pwr = ReadDetail(Line, 40, 43, View.Cell.Pwr);
  View.Plmn = ReadPlmn(Line, View.Cell);
  View.Lac = ReadLac(Line, View.Cell);
  return View;
}

std::optional<std::vector<TNeighbourColumnView>> ParseNeighbourCellReport(
    const QList<QByteArray>& Lines, const std::array<TCellInfo, 7>& Previous) {
  if (Lines.size() <= 3 || !Lines[0].contains("chann")) return std::nullopt;

  std::vector<TNeighbourColumnView> Columns;
  // The last line (normally "OK") is never a neighbour.
  for (qsizetype I = 1; I <= 6 && I < Lines.size() - 1; ++I) {
    const QByteArray& Line = Lines[I];
    if (Line.contains("OK")) break;
    TNeighbourColumnView Column;
    Column.Cell = Previous[static_cast<std::size_t>(I)];
    const TChannelAndLevel Grid = ReadChannelAndLevel(Line, Column.Cell);
    Column.Channel = Grid.Channel;
    Column.Band = Grid.Band;
    Column.Level = Grid.Level;
    Column.Bar = Grid.Bar;
    Columns.push_back(Column);
  }
  return Columns;
}

TCellIdentityReport ParseCellIdentityReport(const QList<QByteArray>& Lines,
                                            const std::array<TCellInfo, 7>& Previous) {
  TCellIdentityReport Report;
  static const QByteArray Prefix("^SMONC: ");
  if (Lines.size() < 2 || !Lines[0].contains(Prefix)) return Report;

  Report.PrefixFound = true;
  // The first eight characters go, wherever the prefix stood in the line.
  Report.Fields = SplitIdentityFields(Lines[0].mid(Prefix.size()));
  if (Report.Fields.size() < IdentityFieldsNeeded) return Report;

  std::array<TIdentityColumnView, 7> Columns;
  for (std::size_t I = 0; I < Columns.size(); ++I) {
    TIdentityColumnView& Column = Columns[I];
    Column.Cell = Previous[I];
    const qsizetype Base = static_cast<qsizetype>(I) * FieldsPerColumn;

    const QByteArray& BsicField = Report.Fields[Base + 4];
    Column.Cell.Bsic = 0;
    Column.Bsic.Text = Latin1(BsicField);
    std::int32_t Value = 0;
    Column.Bsic.Valid = TryParseInt(BsicField, Value);
    if (Column.Bsic.Valid) Column.Cell.Bsic = Low16(Value);

    Column.Cell.CellId = 0;
    Column.CellId.Valid = TryParseHex(Report.Fields[Base + 3], Value);
    if (Column.CellId.Valid) {
      Column.Cell.CellId = Low16(Value);
      Column.CellId.Text = QString::number(Value);  // the whole value, not just the stored bits
    } else {
      Column.CellId.Text = QStringLiteral("-");
    }
  }
  Report.Columns = Columns;
  return Report;
}
