#include "Replay.h"

#include <QFile>

#include "core/DriveRecord.h"

namespace vantrel::sim {

namespace {

int Number(const QString& Text, int Fallback) {
  bool Ok = false;
  const int Value = Text.trimmed().toInt(&Ok);
  return Ok ? Value : Fallback;
}

// AT^SMONC and AT#MONI print the BSIC as its two digits NCC and BCC; the others as one number
// 0-63, eight times the NCC plus the BCC.
void SetBsic(const QString& Text, TSimFamily Family, int& Ncc, int& Bcc) {
  const QString T = Text.trimmed();
  const bool DigitPair = Family == TSimFamily::Monitor || Family == TSimFamily::Moni;
  if (DigitPair && T.size() == 2 && T[0].isDigit() && T[1].isDigit()) {
    Ncc = T[0].digitValue();
    Bcc = T[1].digitValue();
  } else {
    const int Bsic = Number(T, 0);
    Ncc = (Bsic >> 3) & 7;
    Bcc = Bsic & 7;
  }
}

// "26207" is MCC 262 and MNC 07; "310260" MCC 310 and MNC 260.
void SetPlmn(const QString& Text, int& Mcc, int& Mnc) {
  const QString T = Text.trimmed();
  if (T.size() < 5) return;
  Mcc = Number(T.left(3), Mcc);
  Mnc = Number(T.mid(3), Mnc);
}

}  // namespace

TSimFamily ReplayFamily(const std::string& Reports) {
  if (Reports == "AT+CENG") return TSimFamily::Ceng;
  if (Reports == "AT#MONI") return TSimFamily::Moni;
  if (Reports == "AT+CCED") return TSimFamily::Cced;
  return TSimFamily::Monitor;
}

TReplayCycle ReplayCycle(const TDriveRecord& Record, TSimFamily Family) {
  TReplayCycle Cycle;
  TServingCell& S = Cycle.Serving;
  if (Record.Serving.Channel.trimmed().isEmpty()) Cycle.State = TRadioState::Searching;
  S.Channel = Number(Record.Serving.Channel, 0);
  S.Dbm = Number(Record.Serving.Level, TCellModel::MinDbm);
  SetPlmn(Record.Plmn, S.Mcc, S.Mnc);
  S.Lac = Number(Record.Lac, 0);
  S.CellId = Number(Record.Serving.CellId, 0);
  SetBsic(Record.Serving.Bsic, Family, S.Ncc, S.Bcc);
  // AT+CENG shows the minimum access level on its 0..63 scale, the others in dBm.
  const bool RxLevScale = Family == TSimFamily::Ceng;
  const int RxLev = Number(Record.RxLev, RxLevScale ? S.RxLev + 113 : S.RxLev);
  S.RxLev = RxLevScale ? RxLev - 113 : RxLev;
  S.C1 = Number(Record.C1, S.Dbm - S.RxLev);
  S.Pwr = Number(Record.Pwr, S.Pwr);
  S.Rs = (S.Dbm - TCellModel::MinDbm) / 2 + 5;
  S.Dedicated.Dbm = S.Dbm;
  for (const TRecordCell& Cell : Record.Neighbours) {
    TNeighbourCell N;
    N.Channel = Number(Cell.Channel, 0);
    N.Dbm = Number(Cell.Level, TCellModel::MinDbm);
    N.Rs = (N.Dbm - TCellModel::MinDbm) / 2 + 5;
    N.Mcc = S.Mcc;
    N.Mnc = S.Mnc;
    N.Lac = S.Lac;
    N.CellId = Number(Cell.CellId, 0);
    SetBsic(Cell.Bsic, Family, N.Ncc, N.Bcc);
    N.C1 = N.Dbm - S.RxLev;
    N.C2 = N.C1;
    // A neighbour recorded without its identity was heard but not decoded.
    N.Kind = Cell.Bsic.isEmpty() && Cell.CellId.isEmpty() ? TSlotKind::Unknown : TSlotKind::Cell;
    Cycle.Neighbours.push_back(N);
  }
  return Cycle;
}

std::optional<TReplayScript> LoadReplay(const std::string& Path, std::string& Error) {
  QFile File(QString::fromStdString(Path));
  if (!File.open(QIODevice::ReadOnly)) {
    Error = "cannot read " + Path + ": " + File.errorString().toStdString();
    return std::nullopt;
  }
  QString Why;
  const QList<TDriveRecord> Records = ReadDriveRecords(File.readAll(), &Why);
  if (Records.isEmpty()) {
    Error = Path + ": " + Why.toStdString();
    return std::nullopt;
  }
  TReplayScript Script;
  Script.Family = ReplayFamily(Records.first().Reports.toStdString());
  Script.Imsi = Records.first().Imsi.toStdString();
  for (const TDriveRecord& Record : Records)
    Script.Cycles.push_back(ReplayCycle(Record, Script.Family));
  return Script;
}

}  // namespace vantrel::sim
