#include "Replay.h"

#include <QFile>
#include <QRegularExpression>
#include <algorithm>

#include "core/DriveRecord.h"
#include "core/RadioTech.h"
#include "core/RecordExport.h"

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

TRat RatNamed(const QString& Technology) {
  if (Technology == QLatin1String("LTE")) return TRat::Lte;
  if (Technology == QLatin1String("UMTS")) return TRat::Umts;
  return TRat::Gsm;
}

// The band number a record shows ("B20", or "LTE B20" for a cell of another technology than
// the serving one), else the band of the channel.
int BandNumber(const TRecordCell& Cell, TRat Rat, int Channel) {
  static const QRegularExpression Band(QStringLiteral("\\bB(\\d+)$"));
  const QRegularExpressionMatch Match = Band.match(Cell.Band.trimmed());
  if (Match.hasMatch()) return Match.captured(1).toInt();
  return Rat == TRat::Lte ? LteBandOfEarfcn(Channel) : UmtsBandOfUarfcn(Channel);
}

// A recorded UMTS or LTE cell. Its values are played as they were, in tenths too; what a record
// does not keep of a neighbour (its quality, RSSI, SINR) the modules print but the window does
// not show.
TRadioCell RecordedRadioCell(const TRecordCell& Cell, TRat Rat, const TServingCell& Serving) {
  TRadioCell R;
  R.Rat = Rat;
  R.Whole = true;
  R.Channel = Number(Cell.Channel, 0);
  R.Band = BandNumber(Cell, Rat, R.Channel);
  R.Id = Number(Cell.Bsic, 0);
  R.CellId = Number(Cell.CellId, 0);
  R.Area = Serving.Lac;
  R.Mcc = Serving.Mcc;
  R.Mnc = Serving.Mnc;
  R.Level =
      Number(Cell.Level, LevelScale(Rat == TRat::Lte ? TRadioTech::rtLte : TRadioTech::rtUmts).Low);
  return R;
}

bool HeardRadio(const TDriveRecord& Record) {
  const auto Radio = [&](const TRecordCell& Cell) {
    return CellTechnology(Record, Cell) != QLatin1String("GSM");
  };
  return Radio(Record.Serving) ||
         std::any_of(Record.Neighbours.begin(), Record.Neighbours.end(), Radio);
}

}  // namespace

TSimFamily ReplayFamily(const QList<TDriveRecord>& Records) {
  const QString Reports = Records.isEmpty() ? QString() : Records.first().Reports;
  const auto Any = [&](auto Test) { return std::any_of(Records.begin(), Records.end(), Test); };
  if (Reports == QLatin1String("AT+CENG")) return TSimFamily::Ceng;
  if (Reports == QLatin1String("AT#MONI")) return TSimFamily::Moni;
  if (Reports == QLatin1String("AT+CCED")) return TSimFamily::Cced;
  // An LTE module on GSM prints no access level and power while it camps; a 2G module does.
  if (Reports == QLatin1String("AT+QENG"))
    return Any(HeardRadio) || !Any([](const TDriveRecord& R) {
             return !R.RxLev.isEmpty() || !R.Pwr.isEmpty();
           })
               ? TSimFamily::Quectel
               : TSimFamily::Quectel2g;
  if (Reports == QLatin1String("AT+CPSI?")) {
    const bool Umts = Any([](const TDriveRecord& R) { return R.Serving.Technology == "UMTS"; });
    const bool Listed = Any([](const TDriveRecord& R) { return !R.Neighbours.isEmpty(); });
    return Listed && !Umts ? TSimFamily::Sim7000 : TSimFamily::Sim7600;
  }
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
  // AT+CENG and AT+QENG show the minimum access level on its 0..63 scale, the others in dBm.
  const bool RxLevScale = Family == TSimFamily::Ceng || Family == TSimFamily::Quectel ||
                          Family == TSimFamily::Quectel2g;
  const int RxLev = Number(Record.RxLev, RxLevScale ? S.RxLev + 113 : S.RxLev);
  S.RxLev = RxLevScale ? RxLev - 113 : RxLev;
  S.C1 = Number(Record.C1, S.Dbm - S.RxLev);
  S.Pwr = Number(Record.Pwr, S.Pwr);
  S.Rs = (S.Dbm - TCellModel::MinDbm) / 2 + 5;
  S.Dedicated.Dbm = S.Dbm;
  // A report lists the cells of one technology: a neighbour of another one is left out.
  const QString Technology = CellTechnology(Record, Record.Serving);
  const TRat Rat = RatNamed(Technology);
  if (Rat != TRat::Gsm && Cycle.State != TRadioState::Searching) {
    TRadioCells Radio;
    Radio.Serving = RecordedRadioCell(Record.Serving, Rat, S);
    Radio.Serving.Quality = Number(Record.Quality, Radio.Serving.Quality);
    Radio.Serving.Rssi = Number(Record.Rssi, Radio.Serving.Rssi);
    Radio.Serving.Sinr = Number(Record.Sinr, Radio.Serving.Sinr);
    for (const TRecordCell& Cell : Record.Neighbours)
      if (CellTechnology(Record, Cell) == Technology)
        Radio.Neighbours.push_back(RecordedRadioCell(Cell, Rat, S));
    Cycle.Radio = Radio;
  }
  for (const TRecordCell& Cell : Record.Neighbours) {
    if (CellTechnology(Record, Cell) != Technology) continue;
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
  Script.Family = ReplayFamily(Records);
  Script.Imsi = Records.first().Imsi.toStdString();
  for (const TDriveRecord& Record : Records)
    Script.Cycles.push_back(ReplayCycle(Record, Script.Family));
  return Script;
}

}  // namespace vantrel::sim
