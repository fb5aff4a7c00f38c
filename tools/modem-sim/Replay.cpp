#include "Replay.h"

#include <QFile>

#include "core/DriveRecord.h"

namespace vantrel::sim {

namespace {

int number(const QString& text, int fallback) {
  bool ok = false;
  const int value = text.trimmed().toInt(&ok);
  return ok ? value : fallback;
}

// AT^SMONC and AT#MONI print the BSIC as its two digits NCC and BCC; the others as one number
// 0-63, eight times the NCC plus the BCC.
void setBsic(const QString& text, Family family, int& ncc, int& bcc) {
  const QString t = text.trimmed();
  const bool digitPair = family == Family::monitor || family == Family::moni;
  if (digitPair && t.size() == 2 && t[0].isDigit() && t[1].isDigit()) {
    ncc = t[0].digitValue();
    bcc = t[1].digitValue();
  } else {
    const int bsic = number(t, 0);
    ncc = (bsic >> 3) & 7;
    bcc = bsic & 7;
  }
}

// "26207" is MCC 262 and MNC 07; "310260" MCC 310 and MNC 260.
void setPlmn(const QString& text, int& mcc, int& mnc) {
  const QString t = text.trimmed();
  if (t.size() < 5) return;
  mcc = number(t.left(3), mcc);
  mnc = number(t.mid(3), mnc);
}

}  // namespace

Family replayFamily(const std::string& reports) {
  if (reports == "AT+CENG") return Family::ceng;
  if (reports == "AT#MONI") return Family::moni;
  if (reports == "AT+CCED") return Family::cced;
  return Family::monitor;
}

ReplayCycle replayCycle(const TDriveRecord& record, Family family) {
  ReplayCycle cycle;
  ServingCell& s = cycle.serving;
  if (record.Serving.Channel.trimmed().isEmpty()) cycle.state = RadioState::Searching;
  s.channel = number(record.Serving.Channel, 0);
  s.dbm = number(record.Serving.Level, CellModel::MinDbm);
  setPlmn(record.Plmn, s.mcc, s.mnc);
  s.lac = number(record.Lac, 0);
  s.cellId = number(record.Serving.CellId, 0);
  setBsic(record.Serving.Bsic, family, s.ncc, s.bcc);
  // AT+CENG shows the minimum access level on its 0..63 scale, the others in dBm.
  const int rxLev = number(record.RxLev, family == Family::ceng ? s.rxLev + 113 : s.rxLev);
  s.rxLev = family == Family::ceng ? rxLev - 113 : rxLev;
  s.c1 = number(record.C1, s.dbm - s.rxLev);
  s.pwr = number(record.Pwr, s.pwr);
  s.rs = (s.dbm - CellModel::MinDbm) / 2 + 5;
  s.dedicated.dbm = s.dbm;
  for (const TRecordCell& cell : record.Neighbours) {
    NeighbourCell n;
    n.channel = number(cell.Channel, 0);
    n.dbm = number(cell.Level, CellModel::MinDbm);
    n.rs = (n.dbm - CellModel::MinDbm) / 2 + 5;
    n.mcc = s.mcc;
    n.mnc = s.mnc;
    n.lac = s.lac;
    n.cellId = number(cell.CellId, 0);
    setBsic(cell.Bsic, family, n.ncc, n.bcc);
    n.c1 = n.dbm - s.rxLev;
    n.c2 = n.c1;
    // A neighbour recorded without its identity was heard but not decoded.
    n.kind = cell.Bsic.isEmpty() && cell.CellId.isEmpty() ? SlotKind::unknown : SlotKind::cell;
    cycle.neighbours.push_back(n);
  }
  return cycle;
}

std::optional<ReplayScript> loadReplay(const std::string& path, std::string& error) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) {
    error = "cannot read " + path + ": " + file.errorString().toStdString();
    return std::nullopt;
  }
  QString why;
  const QList<TDriveRecord> records = ReadDriveRecords(file.readAll(), &why);
  if (records.isEmpty()) {
    error = path + ": " + why.toStdString();
    return std::nullopt;
  }
  ReplayScript script;
  script.family = replayFamily(records.first().Reports.toStdString());
  script.imsi = records.first().Imsi.toStdString();
  for (const TDriveRecord& record : records)
    script.cycles.push_back(replayCycle(record, script.family));
  return script;
}

}  // namespace vantrel::sim
