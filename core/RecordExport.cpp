#include "core/RecordExport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cmath>

using namespace record_export;

namespace {

QJsonValue IntegerValue(const QString& Text) {
  const std::optional<qint64> Value = Integer(Text);
  return Value ? QJsonValue(*Value) : QJsonValue(QJsonValue::Null);
}

QJsonValue RealValue(const QString& Text) {
  const std::optional<double> Value = Real(Text);
  return Value ? QJsonValue(*Value) : QJsonValue(QJsonValue::Null);
}

QJsonValue TextValue(const QString& Text) {
  return Text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(Text);
}

// The cell's own fields under the names its technology gives them.
QJsonObject CellProperties(const TDriveRecord& Record, const TRecordCell& Cell) {
  const QString Technology = CellTechnology(Record, Cell);
  return {{QStringLiteral("technology"), Technology},
          {QStringLiteral("band"), TextValue(Cell.Band)},
          {QStringLiteral("channel"), IntegerValue(Cell.Channel)},
          {QStringLiteral("level_dbm"), IntegerValue(Cell.Level)},
          {QStringLiteral("cell_id"), IntegerValue(Cell.CellId)},
          {ShortIdName(Technology), TextValue(Cell.Bsic)}};
}

QJsonObject Feature(const TDriveRecord& Record) {
  const TRecordPosition& P = *Record.Position;
  QJsonArray Coordinates{*Real(P.Longitude), *Real(P.Latitude)};
  if (Real(P.Altitude)) Coordinates.append(*Real(P.Altitude));
  QJsonObject Properties = CellProperties(Record, Record.Serving);
  Properties.insert(QStringLiteral("time"), RecordTimeText(Record.Time));
  Properties.insert(QStringLiteral("plmn"), TextValue(Record.Plmn));
  Properties.insert(AreaName(CellTechnology(Record, Record.Serving)), IntegerValue(Record.Lac));
  Properties.insert(QStringLiteral("horizontal_error_m"), RealValue(P.HorizontalError));
  Properties.insert(QStringLiteral("speed_mps"), RealValue(P.Speed));
  Properties.insert(QStringLiteral("track_deg"), RealValue(P.Track));
  QJsonArray Neighbours;
  for (const TRecordCell& Cell : Record.Neighbours) Neighbours.append(CellProperties(Record, Cell));
  Properties.insert(QStringLiteral("neighbours"), Neighbours);
  return {
      {QStringLiteral("type"), QStringLiteral("Feature")},
      {QStringLiteral("geometry"), QJsonObject{{QStringLiteral("type"), QStringLiteral("Point")},
                                               {QStringLiteral("coordinates"), Coordinates}}},
      {QStringLiteral("properties"), Properties}};
}

QByteArray GeoJson(const QList<TDriveRecord>& Placed) {
  QJsonArray Features;
  for (const TDriveRecord& Record : Placed) Features.append(Feature(Record));
  const QJsonObject Collection{{QStringLiteral("type"), QStringLiteral("FeatureCollection")},
                               {QStringLiteral("features"), Features}};
  return QJsonDocument(Collection).toJson(QJsonDocument::Compact) + '\n';
}

QString RadioType(const QString& Technology) {
  if (Technology == QLatin1String("UMTS")) return QStringLiteral("wcdma");
  if (Technology == QLatin1String("LTE")) return QStringLiteral("lte");
  return QStringLiteral("gsm");
}

// "26207" or "310410": the country code is always three digits, the network code two or three.
std::optional<std::pair<qint64, qint64>> CountryAndNetwork(const QString& Plmn) {
  const QString Digits = Plmn.trimmed();
  if (Digits.size() < 5 || Digits.size() > 6 ||
      !std::all_of(Digits.begin(), Digits.end(), [](QChar C) { return C.isDigit(); }))
    return std::nullopt;
  return std::make_pair(qint64(Digits.left(3).toInt()), qint64(Digits.mid(3).toInt()));
}

// A cell as a tower entry, or nothing when it carries no identity the databases can use: the
// cell id for GSM, the scrambling code or physical cell id for UMTS and LTE neighbours (which
// the databases file under the serving cell's network). A neighbour's area code is not in the
// record, and is left out rather than guessed from the serving cell's.
std::optional<QJsonObject> Tower(const TDriveRecord& Record, const TRecordCell& Cell,
                                 bool Serving) {
  const QString Technology = CellTechnology(Record, Cell);
  const std::optional<qint64> CellId = Integer(Cell.CellId);
  const std::optional<qint64> ShortId = Integer(Cell.Bsic);
  const bool Gsm = Technology == QLatin1String("GSM");
  if (!CellId && (Gsm || !ShortId)) return std::nullopt;
  QJsonObject Tower{{QStringLiteral("radioType"), RadioType(Technology)},
                    {QStringLiteral("serving"), Serving ? 1 : 0}};
  if (const auto Plmn = CountryAndNetwork(Record.Plmn)) {
    Tower.insert(QStringLiteral("mobileCountryCode"), Plmn->first);
    Tower.insert(QStringLiteral("mobileNetworkCode"), Plmn->second);
  }
  if (Serving && Integer(Record.Lac))
    Tower.insert(QStringLiteral("locationAreaCode"), *Integer(Record.Lac));
  if (CellId) Tower.insert(QStringLiteral("cellId"), *CellId);
  if (ShortId && Technology == QLatin1String("UMTS"))
    Tower.insert(QStringLiteral("primaryScramblingCode"), *ShortId);
  if (ShortId && Technology == QLatin1String("LTE"))
    Tower.insert(QStringLiteral("physicalCellId"), *ShortId);
  if (Integer(Cell.Level)) Tower.insert(QStringLiteral("signalStrength"), *Integer(Cell.Level));
  return Tower;
}

QJsonObject Item(const TDriveRecord& Record) {
  const TRecordPosition& P = *Record.Position;
  QJsonObject Position{{QStringLiteral("latitude"), *Real(P.Latitude)},
                       {QStringLiteral("longitude"), *Real(P.Longitude)},
                       {QStringLiteral("source"), QStringLiteral("gps")}};
  const std::pair<const char*, const QString*> Optional[] = {{"accuracy", &P.HorizontalError},
                                                             {"altitude", &P.Altitude},
                                                             {"heading", &P.Track},
                                                             {"speed", &P.Speed}};
  for (const auto& [Name, Text] : Optional)
    if (Real(*Text)) Position.insert(QLatin1String(Name), *Real(*Text));
  QJsonArray Towers;
  if (auto T = Tower(Record, Record.Serving, true)) Towers.append(*T);
  for (const TRecordCell& Cell : Record.Neighbours)
    if (auto T = Tower(Record, Cell, false)) Towers.append(*T);
  return {{QStringLiteral("timestamp"), Record.Time.toMSecsSinceEpoch()},
          {QStringLiteral("position"), Position},
          {QStringLiteral("cellTowers"), Towers}};
}

QByteArray GeoSubmit(const QList<TDriveRecord>& Placed) {
  QJsonArray Items;
  for (const TDriveRecord& Record : Placed) Items.append(Item(Record));
  return QJsonDocument(QJsonObject{{QStringLiteral("items"), Items}})
             .toJson(QJsonDocument::Compact) +
         '\n';
}

}  // namespace

namespace record_export {

std::optional<qint64> Integer(const QString& Text) {
  bool Ok = false;
  const qint64 Value = Text.trimmed().toLongLong(&Ok);
  return Ok ? std::optional<qint64>(Value) : std::nullopt;
}

std::optional<double> Real(const QString& Text) {
  bool Ok = false;
  const double Value = Text.trimmed().toDouble(&Ok);
  return Ok && std::isfinite(Value) ? std::optional<double>(Value) : std::nullopt;
}

QString ShortIdName(const QString& Technology) {
  if (Technology == QLatin1String("UMTS")) return QStringLiteral("psc");
  if (Technology == QLatin1String("LTE")) return QStringLiteral("pci");
  return QStringLiteral("bsic");
}

QString AreaName(const QString& Technology) {
  return Technology == QLatin1String("LTE") ? QStringLiteral("tac") : QStringLiteral("lac");
}

}  // namespace record_export

// A record written before cells had a technology holds GSM cells; a neighbour without one is
// taken to be of the serving cell's.
QString CellTechnology(const TDriveRecord& Record, const TRecordCell& Cell) {
  for (const QString& Technology : {Cell.Technology, Record.Serving.Technology})
    if (Technology == QLatin1String("GSM") || Technology == QLatin1String("UMTS") ||
        Technology == QLatin1String("LTE"))
      return Technology;
  return QStringLiteral("GSM");
}

int LevelBucket(const QString& LevelDbm) {
  const std::optional<qint64> Level = Integer(LevelDbm);
  if (!Level) return 5;
  if (*Level >= -70) return 0;
  if (*Level >= -85) return 1;
  if (*Level >= -95) return 2;
  if (*Level >= -105) return 3;
  return 4;
}

std::optional<TExportFormat> ExportFormatNamed(const QString& Name) {
  const QString N = Name.toLower();
  if (N == QLatin1String("geojson")) return TExportFormat::efGeoJson;
  if (N == QLatin1String("kml")) return TExportFormat::efKml;
  if (N == QLatin1String("geosubmit")) return TExportFormat::efGeoSubmit;
  return std::nullopt;
}

TExport ExportRecords(const QList<TDriveRecord>& Records, TExportFormat Format) {
  TExport Result;
  QList<TDriveRecord> Placed;
  for (const TDriveRecord& Record : Records) {
    // The record reader only lets a position through with a latitude and longitude in range.
    if (Record.Position && Real(Record.Position->Latitude) && Real(Record.Position->Longitude))
      Placed << Record;
    else
      ++Result.Skipped;
  }
  Result.Placed = int(Placed.size());
  switch (Format) {
    case TExportFormat::efGeoJson:
      Result.Text = GeoJson(Placed);
      break;
    case TExportFormat::efKml:
      Result.Text = Kml(Placed);
      break;
    case TExportFormat::efGeoSubmit:
      Result.Text = GeoSubmit(Placed);
      break;
  }
  return Result;
}
