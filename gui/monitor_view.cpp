// The monitor window's view-applying half: what a report's view puts on the grid, the level
// bars, the details and the history, and the captions and scales of the serving technology.

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "core/LevelHistory.h"
#include "gui/ColorRef.h"
#include "gui/LevelBar.h"
#include "gui/MonitorWindowLook.h"
#include "gui/monitor_window.h"

using window_look::FailColor;

namespace {

void SetTextColor(QWidget* W, const QColor& Color) {
  QPalette P = W->palette();
  P.setColor(QPalette::WindowText, Color);
  P.setColor(QPalette::Text, Color);
  W->setPalette(P);
}

// The captions of the grid's rows and of the five details, top to bottom.
struct TTechCaptions {
  std::array<const char*, 5> Rows, Details;
};

TTechCaptions CaptionsOf(TRadioTech Tech) {
  switch (Tech) {
    case TRadioTech::rtUmts:
      return {{"Band", "UARFCN", "RSCP", "PSC", "CellID"}, {"Ec/Io", "RSSI", "PWR", "PLMN", "LAC"}};
    case TRadioTech::rtLte:
      return {{"Band", "EARFCN", "RSRP", "PCI", "CellID"}, {"RSRQ", "SINR", "RSSI", "PLMN", "TAC"}};
    case TRadioTech::rtGsm:
    case TRadioTech::rtNone:
      break;
  }
  return {{"GSM Band", "Channel", "RxLevel", "BSIC", "CellID"},
          {"RxLev", "C1", "PWR", "PLMN", "LAC"}};
}

// The five details in the order of CaptionsOf(Tech).Details.
std::array<QString, 5> DetailsOf(TRadioTech Tech, const TServingCellView& View) {
  switch (Tech) {
    case TRadioTech::rtUmts:
      return {View.Quality, View.Rssi, View.Pwr, View.Plmn, View.Lac};
    case TRadioTech::rtLte:
      return {View.Quality, View.Sinr, View.Rssi, View.Plmn, View.Lac};
    case TRadioTech::rtGsm:
    case TRadioTech::rtNone:
      break;
  }
  return {View.RxLev, View.C1, View.Pwr, View.Plmn, View.Lac};
}

}  // namespace

void TForm3::ShowCellText(QLabel* Cell, const TCellText& Text) {
  SetTextColor(Cell, Text.Valid ? FontColor() : FailColor);
  Cell->setText(Text.Text);
}

void TForm3::ShowTechnology(TRadioTech Tech) {
  if (Tech == FShownTech || Tech == TRadioTech::rtNone) return;
  FShownTech = Tech;
  const TTechCaptions Captions = CaptionsOf(Tech);
  for (std::size_t I = 0; I < FRowCaptions.size(); ++I) {
    FRowCaptions[I]->setText(QString::fromLatin1(Captions.Rows[I]));
    FRowCaptions[I]->adjustSize();
  }
  for (std::size_t I = 0; I < FDetailCaptions.size(); ++I) {
    QLabel* Caption = FDetailCaptions[I];
    const QWidget* Field = Caption->buddy();
    Caption->setText(QString::fromLatin1(Captions.Details[I]));
    Caption->adjustSize();
    // Right-aligned against its field, as built.
    Caption->move(Field->x() - 3 - Caption->width(),
                  Field->y() + (Field->height() - Caption->height()) / 2);
  }
  // RxLev and RSRP in one history would be no statistic: it starts again on the new scale.
  const TLevelScale Scale = LevelScale(Tech);
  asrRxLevel->ClearHistory();
  asrRxLevel->ResetHistoryWindow();
  asrRxLevel->SetLevelScale(Scale.Low, Scale.High);
  memStat->clear();
}

void TForm3::ApplyView(const TCycleView& View) {
  if (const auto& Serving = View.Serving) {
    const TRadioTech Tech = Serving->Cell.Tech;
    ShowTechnology(Tech);
    ShowCellText(FChannelTexts[0], Serving->Channel);
    ShowCellText(FBandTexts[0], Serving->Band);
    SetTextColor(FLevelTexts[0], Serving->Level.Valid ? FontColor() : FailColor);
    FLevelBars[0]->SetPosition(Serving->Bar.Position);
    FLevelBars[0]->SetBarColor(FromColorRef(Serving->Bar.Color));
    FLevelTexts[0]->setText(Serving->Level.Text);
    // Searching or no service: the serving column and details empty, no history sample.
    if (Tech != TRadioTech::rtNone)
      asrRxLevel->AppendLevel(Serving->Cell.Level, Serving->Bar.Color);
    const std::array<QString, 5> Details = DetailsOf(FShownTech, *Serving);
    const std::array<QLineEdit*, 5> Fields{lbeRxLev, lbeC1, lbePWR, lbePLMN, lbeLAC};
    for (std::size_t I = 0; I < Fields.size(); ++I) Fields[I]->setText(Details[I]);
  }
  if (const auto& Columns = View.Neighbours) {
    for (std::size_t K = 0; K < Columns->size() && K < 6; ++K) {
      const TNeighbourColumnView& Column = (*Columns)[K];
      const std::size_t I = K + 1;
      // A cell of another technology than the serving one names it in front of its band.
      TCellText Band = Column.Band;
      if (Column.Cell.Tech != FShownTech && !Column.Channel.Text.isEmpty())
        Band.Text = TechName(Column.Cell.Tech) + QLatin1Char(' ') + Band.Text;
      ShowCellText(FChannelTexts[I], Column.Channel);
      ShowCellText(FBandTexts[I], Band);
      SetTextColor(FLevelTexts[I], Column.Level.Valid ? FontColor() : FailColor);
      FLevelBars[I]->SetBarColor(FromColorRef(Column.Bar.Color));
      FLevelBars[I]->SetPosition(Column.Bar.Position);
      FLevelTexts[I]->setText(Column.Level.Text);
    }
  }
  if (const auto& Columns = View.Identities) {
    for (std::size_t I = 0; I < 7; ++I) {
      ShowCellText(FBsicTexts[I], (*Columns)[I].Bsic);
      ShowCellText(FCellIdTexts[I], (*Columns)[I].CellId);
    }
  }
}

void TForm3::ShowReport(TReportFamily Family, const QList<QByteArray>& Lines) {
  const TReportReader Read = FamilyReportExchanges(Family).back().Read;
  if (!Read) return;
  ApplyView(
      FSession->ReadReply([&](const QList<QByteArray>&, const std::array<TCellInfo, 7>& Cells) {
        return Read(Lines, Cells);
      }));
}
