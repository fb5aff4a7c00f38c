#include "CycleRecord.h"

namespace {

// A detail field as the window shows it: "-" and blanks mean nothing was read.
QString Detail(const QString& Shown) {
  const QString Text = Shown.trimmed();
  return Text == QLatin1String("-") ? QString() : Text;
}

QString Parsed(const TCellText& Shown, std::int16_t Value) {
  return Shown.Valid && !Shown.Text.trimmed().isEmpty() ? QString::number(Value) : QString();
}

QString Text(const TCellText& Shown) {
  return Shown.Valid ? Shown.Text.trimmed() : QString();
}

void SetRadio(TRecordCell& Cell, const TCellText& Band, const TCellText& Channel,
              const TCellText& Level, const TCellInfo& Info) {
  Cell.Band = Text(Band) == QLatin1String("-") ? QString() : Text(Band);
  Cell.Channel = Parsed(Channel, Info.Channel);
  Cell.Level = Parsed(Level, Info.Level);
  // Searching or without service there is no cell, and so no technology.
  Cell.Technology =
      Cell.Channel.isEmpty() && Cell.Level.isEmpty() ? QString() : TechName(Info.Tech);
}

}  // namespace

void TCycleRecorder::Begin(const QDateTime& Time, const QString& Imsi, const QString& Reports) {
  FRecord = TDriveRecord{};
  FRecord.Time = Time;
  FRecord.Imsi = Imsi;
  FRecord.Reports = Reports;
  FNeighbourColumns.clear();
}

void TCycleRecorder::Add(const TCycleView& View) {
  if (View.Serving) {
    const TServingCellView& S = *View.Serving;
    SetRadio(FRecord.Serving, S.Band, S.Channel, S.Level, S.Cell);
    FRecord.RxLev = Detail(S.RxLev);
    FRecord.C1 = Detail(S.C1);
    FRecord.Pwr = Detail(S.Pwr);
    FRecord.Plmn = Detail(S.Plmn);
    FRecord.Lac = Detail(S.Lac);
    FRecord.Quality = Detail(S.Quality);
    FRecord.Sinr = Detail(S.Sinr);
    FRecord.Rssi = Detail(S.Rssi);
  }
  if (View.Neighbours) {
    FRecord.Neighbours.clear();
    FNeighbourColumns.clear();
    for (std::size_t K = 0; K < View.Neighbours->size() && K < RecordNeighbourCount; ++K) {
      const TNeighbourColumnView& N = (*View.Neighbours)[K];
      // An emptied column is a slot the modem did not report this cycle.
      if (N.Channel.Text.trimmed().isEmpty() && N.Level.Text.trimmed().isEmpty()) continue;
      TRecordCell Cell;
      SetRadio(Cell, N.Band, N.Channel, N.Level, N.Cell);
      FRecord.Neighbours << Cell;
      FNeighbourColumns.push_back(K + 1);
    }
  }
  if (View.Identities) {
    const auto& Ids = *View.Identities;
    FRecord.Serving.Bsic = Text(Ids[0].Bsic);
    FRecord.Serving.CellId = Text(Ids[0].CellId);
    for (qsizetype K = 0; K < FRecord.Neighbours.size(); ++K) {
      const TIdentityColumnView& Id = Ids[FNeighbourColumns[std::size_t(K)]];
      FRecord.Neighbours[K].Bsic = Text(Id.Bsic);
      FRecord.Neighbours[K].CellId = Text(Id.CellId);
    }
  }
}
