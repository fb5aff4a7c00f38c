#include "core/CellReports.h"

#include "core/MiscLib.h"
#include "core/ReplyText.h"

namespace {

constexpr int FieldsPerColumn = 9;
constexpr int IdentityFieldsNeeded = 7 * FieldsPerColumn;

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
  Cell.Tech = TRadioTech::rtGsm;  // these reports know GSM cells only
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

// Where the serving report's data line keeps its details. Two firmware generations print two
// layouts: separate MCC and MNC columns, or one five-digit PLMN column, after which every
// column sits two places further left.
struct TServingColumns {
  bool JoinedPlmn;
  int LacFirst, PwrFirst, RxLevFirst, C1First;
};
constexpr TServingColumns SeparateCodes{false, 22, 40, 45, 50};
constexpr TServingColumns JoinedCodes{true, 20, 38, 43, 48};

// The column header (line 1) tells the layouts apart.
const TServingColumns& ServingColumns(const QByteArray& Header) {
  return Header.contains("PLMN") && !Header.contains("MCC") ? JoinedCodes : SeparateCodes;
}

QString ReadSeparatePlmn(const QByteArray& Line, TCellInfo& Cell) {
  std::int32_t Value = 0;
  if (!ParseCut(CutColumns(Line, 14, 17), Value)) return QStringLiteral("-");
  Cell.Mcc = Low16(Value);
  if (!ParseCut(CutColumns(Line, 18, 21), Value)) return QStringLiteral("-");
  Cell.Mnc = Low16(Value);
  return PlmnText(Cell.Mcc, Cell.Mnc);
}

// Three country digits, then the two (or three) network digits.
QString ReadJoinedPlmn(const QByteArray& Line, TCellInfo& Cell) {
  const QByteArray Digits = TrimBlanks(CutColumns(Line, 14, 19));
  if (Digits.size() < 5) return QStringLiteral("-");
  for (const char C : Digits)
    if (C < '0' || C > '9') return QStringLiteral("-");
  Cell.Mcc = static_cast<std::uint16_t>(Digits.left(3).toUInt());
  Cell.Mnc = static_cast<std::uint16_t>(Digits.mid(3).toUInt());
  return PlmnText(Cell.Mcc, Cell.Mnc);
}

// The modem fills an identity slot without a cell with zeros: country 0 and channel 0.
bool IsEmptyIdentitySlot(const QList<QByteArray>& Fields, qsizetype Base) {
  std::int32_t Mcc = -1;
  std::int32_t Channel = -1;
  return TryParseInt(Fields[Base], Mcc) && Mcc == 0 && TryParseInt(Fields[Base + 5], Channel) &&
         Channel == 0;
}

}  // namespace

QString Latin1(const QByteArray& Bytes) {
  return QString::fromLatin1(Bytes);
}

QString ReadDetail(const QByteArray& Text, std::int16_t& Stored, bool AsPrinted) {
  std::int32_t Value = 0;
  if (!ParseCut(Text, Value)) return QStringLiteral("-");
  Stored = Low16Signed(Value);
  return AsPrinted ? Latin1(Text) : QString::number(Value);
}

QString ReadLac(const QByteArray& Text, TCellInfo& Cell) {
  std::int32_t Value = 0;
  if (!TryParseHex(TrimBlanks(Text), Value)) return QStringLiteral("-");
  Cell.Lac = Low16(Value);
  return QString::number(Cell.Lac);
}

TNeighbourColumnView EmptiedNeighbourColumn() {
  TNeighbourColumnView Column;
  Column.Bar = TBarView{NoLevel, LevelColor(NoLevel)};
  return Column;
}

TGsmBand ChannelBand(std::int32_t Channel) {
  if (Channel >= 1 && Channel <= 124) return TGsmBand::gb900;
  if (Channel >= 512 && Channel <= 885) return TGsmBand::gb1800;
  if (Channel >= 955 && Channel <= 974) return TGsmBand::gbR;
  if (Channel >= 975 && Channel <= 1023) return TGsmBand::gbE;
  return TGsmBand::gbNone;
}

QString PlmnText(std::uint16_t Mcc, std::uint16_t Mnc, bool WrittenWithThreeDigits) {
  const std::int64_t Scale = WrittenWithThreeDigits || Mnc >= 100 ? 1000 : 100;
  return QString::number(static_cast<std::int64_t>(Mcc) * Scale + Mnc);
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
  // A second column header where the data belongs means the report is shifted (an echoed
  // command in front of it): reading it would show the header's words and a level of -114.
  if (Line.contains("chann")) return std::nullopt;
  const TServingColumns& Columns = ServingColumns(Lines[1]);

  TServingCellView View;
  View.Cell = Previous;
  const TChannelAndLevel Grid = ReadChannelAndLevel(Line, View.Cell);
  View.Channel = Grid.Channel;
  View.Band = Grid.Band;
  View.Level = Grid.Level;
  View.Bar = Grid.Bar;
  // The details show their untrimmed cuts.
  const auto Cut = [&Line](int First, int Width) { return CutColumns(Line, First, First + Width); };
  View.RxLev = ReadDetail(Cut(Columns.RxLevFirst, 4), View.Cell.RxLev, true);
  View.C1 = ReadDetail(Cut(Columns.C1First, 3), View.Cell.C1, true);
  View.Pwr = ReadDetail(Cut(Columns.PwrFirst, 3), View.Cell.Pwr, true);
  View.Plmn =
      Columns.JoinedPlmn ? ReadJoinedPlmn(Line, View.Cell) : ReadSeparatePlmn(Line, View.Cell);
  View.Lac = ReadLac(Cut(Columns.LacFirst, 4), View.Cell);
  return View;
}

std::optional<std::vector<TNeighbourColumnView>> ParseNeighbourCellReport(
    const QList<QByteArray>& Lines, const std::array<TCellInfo, 7>& Previous) {
  // Only the neighbour header starts with "chann"; the serving report's first line merely
  // contains it, so a serving reply that comes late is never read as neighbours.
  if (Lines.size() < 2 || !Lines[0].startsWith("chann")) return std::nullopt;

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
  // The display shows exactly the neighbours of this report, not those of earlier ones.
  Columns.resize(6, EmptiedNeighbourColumn());
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
    if (IsEmptyIdentitySlot(Report.Fields, Base)) {
      // Not a cell called 0: the slot shows nothing.
      Column.Cell.Bsic = 0;
      Column.Cell.CellId = 0;
      continue;
    }

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
