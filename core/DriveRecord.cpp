#include "core/DriveRecord.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QRegularExpression>
#include <array>

#include "core/GpsClient.h"

namespace {

// The serving cell's columns, in file order, with their record fields.
struct TServingColumn {
  const char* Name;
  QString TDriveRecord::*Field;
  QString TRecordCell::*CellField;
};
const std::array<TServingColumn, 10> ServingColumns{{
    {"serving_band", nullptr, &TRecordCell::Band},
    {"serving_channel", nullptr, &TRecordCell::Channel},
    {"serving_level_dbm", nullptr, &TRecordCell::Level},
    {"rxlev", &TDriveRecord::RxLev, nullptr},
    {"c1", &TDriveRecord::C1, nullptr},
    {"pwr", &TDriveRecord::Pwr, nullptr},
    {"plmn", &TDriveRecord::Plmn, nullptr},
    {"lac", &TDriveRecord::Lac, nullptr},
    {"serving_bsic", nullptr, &TRecordCell::Bsic},
    {"serving_cell_id", nullptr, &TRecordCell::CellId},
}};

// The serving cell's columns that came with the UMTS and LTE modules, after the reports column;
// each neighbour's technology follows them.
const std::array<TServingColumn, 4> RadioColumns{{
    {"serving_technology", nullptr, &TRecordCell::Technology},
    {"quality_db", &TDriveRecord::Quality, nullptr},
    {"sinr_db", &TDriveRecord::Sinr, nullptr},
    {"rssi_dbm", &TDriveRecord::Rssi, nullptr},
}};

// JSON Lines keeps all of them in its serving object.
template <typename TDo>
void ForEachServingColumn(TDo Do) {
  for (const TServingColumn& C : ServingColumns) Do(C);
  for (const TServingColumn& C : RadioColumns) Do(C);
}

struct TCellColumn {
  const char* Name;
  QString TRecordCell::*Field;
  bool Numeric;  // written to JSON as a number when it is a plain integer
};
const std::array<TCellColumn, 5> NeighbourColumns{{
    {"band", &TRecordCell::Band, false},
    {"channel", &TRecordCell::Channel, true},
    {"level_dbm", &TRecordCell::Level, true},
    {"bsic", &TRecordCell::Bsic, false},
    {"cell_id", &TRecordCell::CellId, true},
}};

// The position's columns, appended after all others; JSON names them without the unit.
struct TPositionColumn {
  const char* Name;
  const char* JsonName;
  QString TRecordPosition::*Field;
  int Decimals;  // -1: text, not a number
};
const std::array<TPositionColumn, 9> PositionColumns{{
    {"fix_time", "time", &TRecordPosition::FixTime, -1},
    {"latitude", "latitude", &TRecordPosition::Latitude, 7},
    {"longitude", "longitude", &TRecordPosition::Longitude, 7},
    {"altitude_m", "altitude", &TRecordPosition::Altitude, 1},
    {"horizontal_error_m", "horizontal_error", &TRecordPosition::HorizontalError, 1},
    {"speed_mps", "speed", &TRecordPosition::Speed, 2},
    {"track_deg", "track", &TRecordPosition::Track, 1},
    {"fix_mode", "mode", &TRecordPosition::Mode, 0},
    {"fix_age_ms", "age_ms", &TRecordPosition::AgeMs, 0},
}};

QString Decimal(double Value, int Decimals) {
  return QString::number(Value, 'f', Decimals);
}

constexpr int LeadColumns = 2;  // time, imsi
// The columns of a record written before cells had a technology, up to its reports column.
constexpr int GsmCsvColumnCount = LeadColumns + int(ServingColumns.size()) +
                                  RecordNeighbourCount * int(NeighbourColumns.size()) + 1;
constexpr int CsvColumnCount = GsmCsvColumnCount + int(RadioColumns.size()) + RecordNeighbourCount;
constexpr int PositionColumnCount = int(PositionColumns.size());

QString& ServingField(TDriveRecord& R, const TServingColumn& C) {
  return C.Field ? R.*C.Field : R.Serving.*C.CellField;
}
const QString& ServingField(const TDriveRecord& R, const TServingColumn& C) {
  return C.Field ? R.*C.Field : R.Serving.*C.CellField;
}

// A plain decimal integer as the window shows one: no leading zeros, no blanks.
bool IsPlainInteger(const QString& Text, qint64& Value) {
  bool Ok = false;
  Value = Text.toLongLong(&Ok);
  return Ok && QString::number(Value) == Text;
}

// -71, -33.8688000, -0.1200000: a number as this program writes one.
bool IsPlainNumber(const QString& Text) {
  static const QRegularExpression Number(QStringLiteral("^-?(0|[1-9][0-9]*)(\\.[0-9]+)?$"));
  return Number.match(Text).hasMatch();
}

// A spreadsheet runs a cell that starts with one of these as a formula; a modem's text must
// never become one, so it is written behind an apostrophe (plain numbers such as -71 stay).
bool LooksLikeFormula(const QString& Text) {
  return !Text.isEmpty() && QStringLiteral("=+-@\t\r").contains(Text.front()) &&
         !IsPlainNumber(Text);
}

QByteArray CsvField(const QString& Text) {
  QByteArray Bytes = (LooksLikeFormula(Text) ? QStringLiteral("'") + Text : Text).toUtf8();
  if (!Bytes.contains(',') && !Bytes.contains('"') && !Bytes.contains('\n') &&
      !Bytes.contains('\r'))
    return Bytes;
  Bytes.replace("\"", "\"\"");
  return '"' + Bytes + '"';
}

QJsonValue JsonValue(const QString& Text, bool Numeric) {
  if (Text.isEmpty()) return QJsonValue(QJsonValue::Null);
  qint64 Value = 0;
  if (Numeric && IsPlainInteger(Text, Value)) return QJsonValue(Value);
  return QJsonValue(Text);
}

QString JsonText(const QJsonValue& Value) {
  if (Value.isDouble()) return QString::number(Value.toInteger());
  return Value.toString();
}

bool IsNumericServing(const char* Name) {
  const QByteArray N(Name);
  return N != "serving_band" && N != "plmn" && N != "serving_bsic" && N != "serving_technology";
}

QString JsonName(const char* CsvName) {
  QString Name = QString::fromLatin1(CsvName);
  if (Name.startsWith(QLatin1String("serving_"))) Name = Name.mid(8);
  return Name;
}

// The position columns go last: any column added to the record later goes before this call.
void AddPositionNames(QByteArrayList& Names) {
  for (const TPositionColumn& C : PositionColumns) Names << C.Name;
}

void AddPositionFields(QByteArrayList& Fields, const std::optional<TRecordPosition>& Position) {
  for (const TPositionColumn& C : PositionColumns)
    Fields << (Position ? CsvField((*Position).*C.Field) : QByteArray());
}

// A position read back must be one: a latitude and longitude in range, numbers where numbers
// belong. Ok is false when it is not; an all-empty position is none, and fine.
std::optional<TRecordPosition> CheckedPosition(const TRecordPosition& Position, bool& Ok) {
  Ok = true;
  if (Position == TRecordPosition{}) return std::nullopt;
  for (const TPositionColumn& C : PositionColumns) {
    const QString& Text = Position.*C.Field;
    if (C.Decimals >= 0 && !Text.isEmpty() && !IsPlainNumber(Text)) Ok = false;
  }
  const double Lat = Position.Latitude.toDouble(), Lon = Position.Longitude.toDouble();
  if (Position.Latitude.isEmpty() || Position.Longitude.isEmpty() || Lat < -90 || Lat > 90 ||
      Lon < -180 || Lon > 180)
    Ok = false;
  if (!Ok) return std::nullopt;
  return Position;
}

std::optional<TRecordPosition> ReadPositionFields(const QStringList& Fields, int Index, bool& Ok) {
  TRecordPosition Position;
  for (const TPositionColumn& C : PositionColumns) Position.*C.Field = Fields.at(Index++);
  return CheckedPosition(Position, Ok);
}

QJsonObject PositionObject(const TRecordPosition& Position) {
  QJsonObject Object;
  for (const TPositionColumn& C : PositionColumns) {
    const QString& Text = Position.*C.Field;
    bool Ok = false;
    const double Value = Text.toDouble(&Ok);
    Object.insert(QLatin1String(C.JsonName), Text.isEmpty()          ? QJsonValue(QJsonValue::Null)
                                             : Ok && C.Decimals >= 0 ? QJsonValue(Value)
                                                                     : QJsonValue(Text));
  }
  return Object;
}

std::optional<TRecordPosition> ReadPositionObject(const QJsonValue& Value, bool& Ok) {
  Ok = Value.isUndefined() || Value.isNull() || Value.isObject();
  if (!Value.isObject()) return std::nullopt;
  const QJsonObject Object = Value.toObject();
  TRecordPosition Position;
  for (const TPositionColumn& C : PositionColumns) {
    const QJsonValue V = Object.value(QLatin1String(C.JsonName));
    Position.*C.Field =
        V.isDouble() && C.Decimals >= 0 ? Decimal(V.toDouble(), C.Decimals) : V.toString();
  }
  return CheckedPosition(Position, Ok);
}

}  // namespace

TRecordPosition RecordPosition(const TGpsFix& Fix, qint64 AgeMs) {
  TRecordPosition P;
  if (Fix.Time.isValid())
    P.FixTime = Fix.Time.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) + 'Z';
  const auto Optional = [](const std::optional<double>& Value, int Decimals) {
    return Value ? Decimal(*Value, Decimals) : QString();
  };
  P.Latitude = Decimal(Fix.Latitude, PositionColumns[1].Decimals);
  P.Longitude = Decimal(Fix.Longitude, PositionColumns[2].Decimals);
  P.Altitude = Optional(Fix.Altitude, PositionColumns[3].Decimals);
  P.HorizontalError = Optional(Fix.HorizontalError, PositionColumns[4].Decimals);
  P.Speed = Optional(Fix.Speed, PositionColumns[5].Decimals);
  P.Track = Optional(Fix.Track, PositionColumns[6].Decimals);
  P.Mode = QString::number(Fix.Mode);
  P.AgeMs = QString::number(AgeMs);
  return P;
}

QString RecordTimeText(const QDateTime& Time) {
  const int Offset = Time.offsetFromUtc();
  const QDateTime Local = Time.toOffsetFromUtc(Offset);
  const int Minutes = (Offset < 0 ? -Offset : Offset) / 60;
  return Local.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) +
         QLatin1Char(Offset < 0 ? '-' : '+') +
         QStringLiteral("%1:%2")
             .arg(Minutes / 60, 2, 10, QLatin1Char('0'))
             .arg(Minutes % 60, 2, 10, QLatin1Char('0'));
}

QByteArray CsvHeader(TCsvColumns Columns) {
  QByteArrayList Names{"time", "imsi"};
  for (const TServingColumn& C : ServingColumns) Names << C.Name;
  for (int I = 1; I <= RecordNeighbourCount; ++I)
    for (const TCellColumn& C : NeighbourColumns)
      Names << "n" + QByteArray::number(I) + "_" + C.Name;
  Names << "reports";
  for (const TServingColumn& C : RadioColumns) Names << C.Name;
  for (int I = 1; I <= RecordNeighbourCount; ++I)
    Names << "n" + QByteArray::number(I) + "_technology";
  if (Columns.Position) AddPositionNames(Names);
  return Names.join(',') + '\n';
}

QByteArray CsvRow(const TDriveRecord& Record, TCsvColumns Columns) {
  QByteArrayList Fields{CsvField(RecordTimeText(Record.Time)), CsvField(Record.Imsi)};
  for (const TServingColumn& C : ServingColumns) Fields << CsvField(ServingField(Record, C));
  for (int I = 0; I < RecordNeighbourCount; ++I) {
    const TRecordCell Cell = I < Record.Neighbours.size() ? Record.Neighbours[I] : TRecordCell{};
    for (const TCellColumn& C : NeighbourColumns) Fields << CsvField(Cell.*C.Field);
  }
  Fields << CsvField(Record.Reports);
  for (const TServingColumn& C : RadioColumns) Fields << CsvField(ServingField(Record, C));
  for (int I = 0; I < RecordNeighbourCount; ++I)
    Fields << (I < Record.Neighbours.size() ? CsvField(Record.Neighbours[I].Technology)
                                            : QByteArray());
  if (Columns.Position) AddPositionFields(Fields, Record.Position);
  return Fields.join(',') + '\n';
}

QByteArray JsonLine(const TDriveRecord& Record) {
  QJsonObject Serving;
  ForEachServingColumn([&](const TServingColumn& C) {
    Serving.insert(JsonName(C.Name), JsonValue(ServingField(Record, C), IsNumericServing(C.Name)));
  });
  QJsonArray Neighbours;
  for (const TRecordCell& Cell : Record.Neighbours.mid(0, RecordNeighbourCount)) {
    QJsonObject N;
    for (const TCellColumn& C : NeighbourColumns)
      N.insert(QString::fromLatin1(C.Name), JsonValue(Cell.*C.Field, C.Numeric));
    N.insert(QStringLiteral("technology"), JsonValue(Cell.Technology, false));
    Neighbours.append(N);
  }
  QJsonObject Object{{QStringLiteral("time"), RecordTimeText(Record.Time)},
                     {QStringLiteral("imsi"), JsonValue(Record.Imsi, false)},
                     {QStringLiteral("reports"), JsonValue(Record.Reports, false)},
                     {QStringLiteral("serving"), Serving},
                     {QStringLiteral("neighbours"), Neighbours}};
  if (Record.Position) Object.insert(QStringLiteral("position"), PositionObject(*Record.Position));
  return QJsonDocument(Object).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<QStringList> SplitCsvLine(const QByteArray& Line) {
  QStringList Fields;
  QByteArray Field;
  bool Quoted = false;
  for (qsizetype I = 0; I < Line.size(); ++I) {
    const char C = Line[I];
    if (Quoted) {
      if (C != '"') {
        Field += C;
      } else if (I + 1 < Line.size() && Line[I + 1] == '"') {
        Field += '"';
        ++I;
      } else {
        Quoted = false;
      }
    } else if (C == '"') {
      Quoted = true;
    } else if (C == ',') {
      Fields << QString::fromUtf8(Field);
      Field.clear();
    } else if (C != '\r' && C != '\n') {
      Field += C;
    }
  }
  if (Quoted) return std::nullopt;
  Fields << QString::fromUtf8(Field);
  return Fields;
}

std::optional<TDriveRecord> ParseCsvRow(const QByteArray& Line) {
  std::optional<QStringList> Fields = SplitCsvLine(Line);
  if (!Fields) return std::nullopt;
  // With or without the technology columns (files written before them), with or without the
  // position columns.
  const qsizetype Count = Fields->size();
  const bool WithRadio = Count == CsvColumnCount || Count == CsvColumnCount + PositionColumnCount;
  const bool WithPosition = Count == CsvColumnCount + PositionColumnCount ||
                            Count == GsmCsvColumnCount + PositionColumnCount;
  if (!WithRadio && !WithPosition && Count != GsmCsvColumnCount) return std::nullopt;
  for (QString& Field : *Fields)
    if (Field.startsWith(QLatin1Char('\'')) && LooksLikeFormula(Field.mid(1))) Field.remove(0, 1);
  TDriveRecord Record;
  Record.Time = QDateTime::fromString(Fields->at(0), Qt::ISODateWithMs);
  if (!Record.Time.isValid()) return std::nullopt;
  int Index = 1;
  Record.Imsi = Fields->at(Index++);
  for (const TServingColumn& C : ServingColumns) ServingField(Record, C) = Fields->at(Index++);
  std::array<TRecordCell, RecordNeighbourCount> Cells;
  for (TRecordCell& Cell : Cells)
    for (const TCellColumn& C : NeighbourColumns) Cell.*C.Field = Fields->at(Index++);
  Record.Reports = Fields->at(Index++);
  if (WithRadio) {
    for (const TServingColumn& C : RadioColumns) ServingField(Record, C) = Fields->at(Index++);
    for (TRecordCell& Cell : Cells) Cell.Technology = Fields->at(Index++);
  }
  // A slot without a cell is no neighbour, whatever technology it names.
  for (const TRecordCell& Cell : Cells)
    if (Cell.Band + Cell.Channel + Cell.Level + Cell.Bsic + Cell.CellId != QString())
      Record.Neighbours << Cell;
  bool Ok = true;
  if (WithPosition) Record.Position = ReadPositionFields(*Fields, Index, Ok);
  if (!Ok) return std::nullopt;
  return Record;
}

std::optional<TDriveRecord> ParseJsonLine(const QByteArray& Line) {
  QJsonParseError Error{};
  const QJsonDocument Document = QJsonDocument::fromJson(Line, &Error);
  if (Error.error != QJsonParseError::NoError || !Document.isObject()) return std::nullopt;
  const QJsonObject Object = Document.object();
  TDriveRecord Record;
  Record.Time =
      QDateTime::fromString(Object.value(QLatin1String("time")).toString(), Qt::ISODateWithMs);
  if (!Record.Time.isValid()) return std::nullopt;
  Record.Imsi = JsonText(Object.value(QLatin1String("imsi")));
  Record.Reports = JsonText(Object.value(QLatin1String("reports")));
  const QJsonObject Serving = Object.value(QLatin1String("serving")).toObject();
  ForEachServingColumn([&](const TServingColumn& C) {
    ServingField(Record, C) = JsonText(Serving.value(JsonName(C.Name)));
  });
  const QJsonArray Neighbours = Object.value(QLatin1String("neighbours")).toArray();
  for (const QJsonValue& Value : Neighbours) {
    if (Record.Neighbours.size() == RecordNeighbourCount) break;
    const QJsonObject N = Value.toObject();
    TRecordCell Cell;
    for (const TCellColumn& C : NeighbourColumns)
      Cell.*C.Field = JsonText(N.value(QString::fromLatin1(C.Name)));
    Cell.Technology = JsonText(N.value(QLatin1String("technology")));
    Record.Neighbours << Cell;
  }
  bool Ok = true;
  Record.Position = ReadPositionObject(Object.value(QLatin1String("position")), Ok);
  if (!Ok) return std::nullopt;
  return Record;
}

QList<TDriveRecord> ReadDriveRecords(const QByteArray& Text, QString* Error) {
  QList<TDriveRecord> Records;
  const bool Json = Text.trimmed().startsWith('{');
  qsizetype Start = 0;
  // Only lines that end in a line feed are whole: a program killed while writing leaves at most
  // one unterminated line at the end, and that one is not read.
  for (qsizetype End = Text.indexOf('\n'); End >= 0; End = Text.indexOf('\n', Start)) {
    const QByteArray Line = Text.mid(Start, End - Start);
    Start = End + 1;
    if (Line.trimmed().isEmpty()) continue;
    const std::optional<TDriveRecord> Record = Json ? ParseJsonLine(Line) : ParseCsvRow(Line);
    if (Record) Records << *Record;
  }
  if (Records.isEmpty() && Error)
    *Error = Text.trimmed().isEmpty() ? QStringLiteral("the record is empty")
                                      : QStringLiteral("no whole record in CSV or JSON Lines form");
  return Records;
}

std::optional<QList<TDriveRecord>> ReadDriveRecordsStrictly(const QByteArray& Text, QString& Error,
                                                            bool* Cut) {
  QList<TDriveRecord> Records;
  const bool Json = Text.trimmed().startsWith('{');
  const QList<QByteArray> Lines = Text.split('\n');
  if (Cut) *Cut = false;
  for (qsizetype I = 0; I < Lines.size(); ++I) {
    const QByteArray& Line = Lines[I];
    if (Line.trimmed().isEmpty() || (!Json && Line.startsWith("time,imsi,"))) continue;
    // Text after the last line end is a record cut off while it was written (a CSV row cut
    // between fields can still look whole), never to be trusted.
    if (I + 1 == Lines.size()) {
      if (Cut) *Cut = true;
      break;
    }
    const std::optional<TDriveRecord> Record = Json ? ParseJsonLine(Line) : ParseCsvRow(Line);
    if (Record) {
      Records << *Record;
    } else {
      Error = QStringLiteral("line %1 is not a %2 record").arg(I + 1).arg(Json ? "JSON" : "CSV");
      return std::nullopt;
    }
  }
  return Records;
}
