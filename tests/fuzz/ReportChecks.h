#pragma once

// What the three report parsers must give for any list of reply lines, checked against the
// independent readings in Reference.h.

#include <QByteArray>
#include <QList>
#include <QString>
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "FuzzCheck.h"
#include "Reference.h"
#include "core/CellReports.h"

namespace checks {

// Records with values no report could leave by accident, so a field a parser must not touch
// shows when it was touched.
inline std::array<TCellInfo, 7> PreviousCells() {
  std::array<TCellInfo, 7> Cells;
  for (std::size_t I = 0; I < Cells.size(); ++I) {
    const auto K = static_cast<int>(I);
    TCellInfo& C = Cells[I];
    C.Band = TGsmBand::gbR;
    C.Channel = static_cast<std::int16_t>(-1000 - K);
    C.Level = static_cast<std::int16_t>(-2000 - K);
    C.RxLev = static_cast<std::int16_t>(-3000 - K);
    C.C1 = static_cast<std::int16_t>(-4000 - K);
    C.Pwr = static_cast<std::int16_t>(-5000 - K);
    C.Mcc = static_cast<std::uint16_t>(60000 + K);
    C.Mnc = static_cast<std::uint16_t>(61000 + K);
    C.Lac = static_cast<std::uint16_t>(62000 + K);
    C.Bsic = static_cast<std::uint16_t>(63000 + K);
    C.CellId = static_cast<std::uint16_t>(64000 + K);
  }
  return Cells;
}

inline std::int16_t Low16Signed(std::int32_t V) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(V));
}

inline void CheckColor(std::uint32_t Color, std::int16_t Level) {
  FUZZ_CHECK(Color == LevelColor(Level));
  const std::uint32_t Red = Color & 0xFFu;
  FUZZ_CHECK(((Color >> 8) & 0xFFu) == Red);
  FUZZ_CHECK((Color >> 16) == 0xFFu);  // blue full, nothing above it
}

struct TGridCut {
  TCellText Channel, Band, Level;
  TBarView Bar;
};

// Channel, band, level and bar of one grid column read from Line over the record Prev.
inline void CheckGrid(const QByteArray& Line, const TGridCut& View, const TCellInfo& Cell,
                      const TCellInfo& Prev) {
  const QByteArray ChannelCut = ref::Columns(Line, 1, 4);
  FUZZ_CHECK(View.Channel.Text == QString::fromLatin1(ChannelCut));
  const auto Channel = ref::ParseInt(ref::Trim(ChannelCut));
  FUZZ_CHECK(View.Channel.Valid == Channel.has_value());
  if (Channel) {
    FUZZ_CHECK(Cell.Channel == Low16Signed(*Channel));
    FUZZ_CHECK(Cell.Band == ChannelBand(*Channel));
  } else {
    FUZZ_CHECK(Cell.Channel == Prev.Channel);
    FUZZ_CHECK(Cell.Band == TGsmBand::gbNone);
  }
  FUZZ_CHECK(View.Band.Text == BandText(Cell.Band));
  FUZZ_CHECK(View.Band.Valid == (Cell.Band != TGsmBand::gbNone));

  const QByteArray LevelCut = ref::Columns(Line, 9, 13);
  FUZZ_CHECK(View.Level.Text == QString::fromLatin1(LevelCut));
  const auto Level = ref::ParseInt(ref::Trim(LevelCut));
  FUZZ_CHECK(View.Level.Valid == Level.has_value());
  FUZZ_CHECK(Cell.Level == (Level ? Low16Signed(*Level) : std::int16_t{-114}));
  FUZZ_CHECK(View.Bar.Position == Cell.Level);
  CheckColor(View.Bar.Color, Cell.Level);
}

// A detail field: "-" with the record untouched, or the untrimmed cut with the value stored.
inline void CheckDetail(const QByteArray& Line, qsizetype First, qsizetype Last,
                        const QString& Shown, std::int16_t Field, std::int16_t Prev) {
  const QByteArray Cut = ref::Columns(Line, First, Last);
  const auto Value = ref::ParseInt(ref::Trim(Cut));
  if (Value) {
    FUZZ_CHECK(Shown == QString::fromLatin1(Cut));
    FUZZ_CHECK(Field == Low16Signed(*Value));
  } else {
    FUZZ_CHECK(Shown == QStringLiteral("-"));
    FUZZ_CHECK(Field == Prev);
  }
}

inline void CheckServing(const QList<QByteArray>& Lines, const std::array<TCellInfo, 7>& Prev) {
  const auto View = ParseServingCellReport(Lines, Prev[0]);
  // A data line that is itself a column header means the report is shifted: refused.
  FUZZ_CHECK(View.has_value() ==
             (Lines.size() > 3 && Lines.at(1).contains("chann") && !Lines.at(2).contains("chann")));
  if (!View) return;
  const QByteArray& Line = Lines.at(2);
  const TCellInfo& Cell = View->Cell;
  // The second layout names one PLMN column and no MCC; from LAC on it sits two to the left.
  const bool Joined = Lines.at(1).contains("PLMN") && !Lines.at(1).contains("MCC");
  const qsizetype Shift = Joined ? 2 : 0;
  CheckGrid(Line, {View->Channel, View->Band, View->Level, View->Bar}, Cell, Prev[0]);
  CheckDetail(Line, 45 - Shift, 49 - Shift, View->RxLev, Cell.RxLev, Prev[0].RxLev);
  CheckDetail(Line, 50 - Shift, 53 - Shift, View->C1, Cell.C1, Prev[0].C1);
  CheckDetail(Line, 40 - Shift, 43 - Shift, View->Pwr, Cell.Pwr, Prev[0].Pwr);

  std::optional<std::int32_t> Mcc, Mnc;
  if (Joined) {
    // Three country digits and the rest of the network code, all digits, five or six.
    const QByteArray Plmn = ref::Trim(ref::Columns(Line, 14, 19));
    const bool Digits = Plmn.size() >= 5 && std::all_of(Plmn.begin(), Plmn.end(), [](char C) {
                          return C >= '0' && C <= '9';
                        });
    if (Digits) {
      Mcc = ref::ParseInt(Plmn.first(3));
      Mnc = ref::ParseInt(Plmn.sliced(3));
    }
  } else {
    Mcc = ref::ParseInt(ref::Trim(ref::Columns(Line, 14, 17)));
    Mnc = ref::ParseInt(ref::Trim(ref::Columns(Line, 18, 21)));
  }
  FUZZ_CHECK(Cell.Mcc == (Mcc ? static_cast<std::uint16_t>(*Mcc) : Prev[0].Mcc));
  FUZZ_CHECK(Cell.Mnc == (Mcc && Mnc ? static_cast<std::uint16_t>(*Mnc) : Prev[0].Mnc));
  if (Mcc && Mnc) {
    // A real network code (up to three digits) keeps its own places: 262 and 7 read 26207,
    // 310 and 260 read 310260. Beyond that the text is still one decimal number.
    bool Decimal = false;
    View->Plmn.toLongLong(&Decimal);
    FUZZ_CHECK(Decimal && !View->Plmn.startsWith(u'-') && !View->Plmn.startsWith(u'+'));
    const QString Code = QString::number(Cell.Mnc);
    const QString Places = Cell.Mnc >= 100 ? Code : Code.rightJustified(2, u'0');
    if (Cell.Mnc < 1000)
      FUZZ_CHECK(View->Plmn == QString::number(Cell.Mcc) + Places ||
                 (Cell.Mcc == 0 && View->Plmn == QString::number(Cell.Mnc)));
  } else {
    FUZZ_CHECK(View->Plmn == QStringLiteral("-"));
  }

  const auto Lac = ref::ParseHex(ref::Trim(ref::Columns(Line, 22 - Shift, 26 - Shift)));
  FUZZ_CHECK(Cell.Lac == (Lac ? static_cast<std::uint16_t>(*Lac) : Prev[0].Lac));
  FUZZ_CHECK(View->Lac == (Lac ? QString::number(Cell.Lac) : QStringLiteral("-")));

  FUZZ_CHECK(Cell.Bsic == Prev[0].Bsic);
  FUZZ_CHECK(Cell.CellId == Prev[0].CellId);
}

inline void CheckNeighbours(const QList<QByteArray>& Lines, const std::array<TCellInfo, 7>& Prev) {
  const auto Columns = ParseNeighbourCellReport(Lines, Prev);
  // Only a line that starts with the header is a neighbour report; a header and a final line
  // with no neighbour between them is one too.
  FUZZ_CHECK(Columns.has_value() == (Lines.size() >= 2 && Lines.at(0).startsWith("chann")));
  if (!Columns) return;
  FUZZ_CHECK(Columns->size() == 6);
  // Neighbours are read up to six, never from the last line, and stop at a line with "OK".
  qsizetype Count = 0;
  while (Count < 6 && Count + 1 < Lines.size() - 1 && !Lines.at(Count + 1).contains("OK")) ++Count;
  for (qsizetype K = 0; K < 6; ++K) {
    const TNeighbourColumnView& Column = (*Columns)[static_cast<std::size_t>(K)];
    const TCellInfo& Cell = Column.Cell;
    if (K >= Count) {
      // Emptied: nothing shown, nothing red, an empty bar, an empty record.
      for (const TCellText* Text : {&Column.Channel, &Column.Band, &Column.Level})
        FUZZ_CHECK(Text->Text.isEmpty() && Text->Valid);
      FUZZ_CHECK(Column.Bar.Position < -113);
      CheckColor(Column.Bar.Color, Column.Bar.Position);
      const TCellInfo Empty{};
      FUZZ_CHECK(Cell.Band == Empty.Band && Cell.Channel == Empty.Channel &&
                 Cell.Level == Empty.Level && Cell.RxLev == Empty.RxLev && Cell.C1 == Empty.C1 &&
                 Cell.Pwr == Empty.Pwr && Cell.Mcc == Empty.Mcc && Cell.Mnc == Empty.Mnc &&
                 Cell.Lac == Empty.Lac && Cell.Bsic == Empty.Bsic && Cell.CellId == Empty.CellId);
      continue;
    }
    const QByteArray& Line = Lines.at(K + 1);
    const TCellInfo& Was = Prev[static_cast<std::size_t>(K + 1)];
    CheckGrid(Line, {Column.Channel, Column.Band, Column.Level, Column.Bar}, Cell, Was);
    FUZZ_CHECK(Cell.RxLev == Was.RxLev && Cell.C1 == Was.C1 && Cell.Pwr == Was.Pwr);
    FUZZ_CHECK(Cell.Mcc == Was.Mcc && Cell.Mnc == Was.Mnc && Cell.Lac == Was.Lac);
    FUZZ_CHECK(Cell.Bsic == Was.Bsic && Cell.CellId == Was.CellId);
  }
}

inline void CheckIdentityReport(const QList<QByteArray>& Lines,
                                const std::array<TCellInfo, 7>& Prev) {
  const TCellIdentityReport Report = ParseCellIdentityReport(Lines, Prev);
  FUZZ_CHECK(Report.PrefixFound == (Lines.size() >= 2 && Lines.at(0).contains("^SMONC: ")));
  if (!Report.PrefixFound) {
    FUZZ_CHECK(Report.Fields.isEmpty() && !Report.Columns);
    return;
  }
  // The first eight characters go, wherever the prefix stood.
  ref::CheckIdentityFields(Lines.at(0).sliced(8), Report.Fields);
  FUZZ_CHECK(Report.Columns.has_value() == (Report.Fields.size() >= 63));
  if (!Report.Columns) return;
  for (std::size_t I = 0; I < 7; ++I) {
    const TIdentityColumnView& Column = (*Report.Columns)[I];
    const auto Base = static_cast<qsizetype>(I) * 9;
    const TCellInfo& Cell = Column.Cell;
    const TCellInfo& Was = Prev[I];
    FUZZ_CHECK(Cell.Band == Was.Band && Cell.Channel == Was.Channel && Cell.Level == Was.Level);
    FUZZ_CHECK(Cell.RxLev == Was.RxLev && Cell.C1 == Was.C1 && Cell.Pwr == Was.Pwr);
    FUZZ_CHECK(Cell.Mcc == Was.Mcc && Cell.Mnc == Was.Mnc && Cell.Lac == Was.Lac);

    // A slot the modem marks empty (country 0 and channel 0) shows nothing.
    const auto SlotMcc = ref::ParseInt(Report.Fields.at(Base));
    const auto SlotChannel = ref::ParseInt(Report.Fields.at(Base + 5));
    if (SlotMcc == 0 && SlotChannel == 0) {
      FUZZ_CHECK(Column.Bsic.Text.isEmpty() && Column.Bsic.Valid);
      FUZZ_CHECK(Column.CellId.Text.isEmpty() && Column.CellId.Valid);
      FUZZ_CHECK(Cell.Bsic == 0 && Cell.CellId == 0);
      continue;
    }
    const QByteArray& BsicField = Report.Fields.at(Base + 4);
    FUZZ_CHECK(Column.Bsic.Text == QString::fromLatin1(BsicField));
    const auto Bsic = ref::ParseInt(BsicField);
    FUZZ_CHECK(Column.Bsic.Valid == Bsic.has_value());
    FUZZ_CHECK(Column.Cell.Bsic == (Bsic ? static_cast<std::uint16_t>(*Bsic) : 0));

    const auto CellId = ref::ParseHex(Report.Fields.at(Base + 3));
    FUZZ_CHECK(Column.CellId.Valid == CellId.has_value());
    FUZZ_CHECK(Column.Cell.CellId == (CellId ? static_cast<std::uint16_t>(*CellId) : 0));
    FUZZ_CHECK(Column.CellId.Text == (CellId ? QString::number(*CellId) : QStringLiteral("-")));
  }
}

}  // namespace checks
