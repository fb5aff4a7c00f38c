// The KML export: a placemark per placed record, coloured by the serving level, and the track.
#include <QXmlStreamWriter>
#include <array>

#include "core/RecordExport.h"

using namespace record_export;

namespace {

struct TBucket {
  const char* Id;
  const char* Rgb;  // for the legend
  const char* Kml;  // KML writes colours as alpha, blue, green, red
  const char* Range;
};
// Strong to weak, then the records whose cycle read no serving level.
const std::array<TBucket, 6> Buckets{{
    {"level-1", "#1a9641", "ff41961a", "-70 dBm and stronger"},
    {"level-2", "#a6d96a", "ff6ad9a6", "-71 to -85 dBm"},
    {"level-3", "#e6d200", "ff00d2e6", "-86 to -95 dBm"},
    {"level-4", "#fd8d3c", "ff3c8dfd", "-96 to -105 dBm"},
    {"level-5", "#d7191c", "ff1c19d7", "-106 dBm and weaker"},
    {"no-level", "#9e9e9e", "ff9e9e9e", "no serving level read"},
}};

QString Legend() {
  QString Html = QStringLiteral("<b>Serving cell level</b><br/>");
  for (const TBucket& B : Buckets)
    Html += QStringLiteral("<span style=\"color:%1\">&#9679;</span> %2<br/>")
                .arg(QLatin1String(B.Rgb), QLatin1String(B.Range));
  return Html + QStringLiteral("The line is the track driven.");
}

QString Coordinates(const TRecordPosition& P) {
  QString Text = P.Longitude + QLatin1Char(',') + P.Latitude;
  if (Real(P.Altitude)) Text += QLatin1Char(',') + P.Altitude;
  return Text;
}

QString Describe(const TDriveRecord& R) {
  const QString Technology = CellTechnology(R, R.Serving);
  QStringList Parts{RecordTimeText(R.Time), Technology};
  const auto Add = [&Parts](const QString& Name, const QString& Value) {
    if (!Value.isEmpty()) Parts << Name + QLatin1Char(' ') + Value;
  };
  Add(QStringLiteral("band"), R.Serving.Band);
  Add(QStringLiteral("channel"), R.Serving.Channel);
  Add(QStringLiteral("PLMN"), R.Plmn);
  Add(AreaName(Technology).toUpper(), R.Lac);
  Add(QStringLiteral("cell"), R.Serving.CellId);
  Add(ShortIdName(Technology).toUpper(), R.Serving.Bsic);
  Add(QStringLiteral("neighbours"),
      R.Neighbours.isEmpty() ? QString() : QString::number(R.Neighbours.size()));
  return Parts.join(QStringLiteral(", "));
}

void WriteStyles(QXmlStreamWriter& W) {
  for (const TBucket& B : Buckets) {
    W.writeStartElement(QStringLiteral("Style"));
    W.writeAttribute(QStringLiteral("id"), QLatin1String(B.Id));
    W.writeStartElement(QStringLiteral("IconStyle"));
    W.writeTextElement(QStringLiteral("color"), QLatin1String(B.Kml));
    W.writeTextElement(QStringLiteral("scale"), QStringLiteral("0.7"));
    W.writeStartElement(QStringLiteral("Icon"));
    W.writeTextElement(QStringLiteral("href"),
                       QStringLiteral("http://maps.google.com/mapfiles/kml/shapes/shaded_dot.png"));
    W.writeEndElement();  // Icon
    W.writeEndElement();  // IconStyle
    W.writeEndElement();  // Style
  }
  W.writeStartElement(QStringLiteral("Style"));
  W.writeAttribute(QStringLiteral("id"), QStringLiteral("track"));
  W.writeStartElement(QStringLiteral("LineStyle"));
  W.writeTextElement(QStringLiteral("color"), QStringLiteral("ffb4693c"));
  W.writeTextElement(QStringLiteral("width"), QStringLiteral("2"));
  W.writeEndElement();  // LineStyle
  W.writeEndElement();  // Style
}

void WritePlacemark(QXmlStreamWriter& W, const TDriveRecord& R) {
  W.writeStartElement(QStringLiteral("Placemark"));
  W.writeTextElement(QStringLiteral("name"), R.Serving.Level.isEmpty()
                                                 ? QStringLiteral("no level")
                                                 : R.Serving.Level + QStringLiteral(" dBm"));
  W.writeTextElement(QStringLiteral("description"), Describe(R));
  W.writeStartElement(QStringLiteral("TimeStamp"));
  W.writeTextElement(QStringLiteral("when"), RecordTimeText(R.Time));
  W.writeEndElement();
  W.writeTextElement(QStringLiteral("styleUrl"),
                     QLatin1Char('#') + QLatin1String(Buckets[LevelBucket(R.Serving.Level)].Id));
  W.writeStartElement(QStringLiteral("Point"));
  W.writeTextElement(QStringLiteral("coordinates"), Coordinates(*R.Position));
  W.writeEndElement();  // Point
  W.writeEndElement();  // Placemark
}

}  // namespace

namespace record_export {

QByteArray Kml(const QList<TDriveRecord>& Placed) {
  QByteArray Out;
  QXmlStreamWriter W(&Out);
  W.setAutoFormatting(true);
  W.setAutoFormattingIndent(1);
  W.writeStartDocument();
  W.writeStartElement(QStringLiteral("kml"));
  W.writeDefaultNamespace(QStringLiteral("http://www.opengis.net/kml/2.2"));
  W.writeStartElement(QStringLiteral("Document"));
  W.writeTextElement(QStringLiteral("name"), QStringLiteral("Drive test"));
  W.writeStartElement(QStringLiteral("description"));
  W.writeCDATA(Legend());
  W.writeEndElement();
  WriteStyles(W);
  W.writeStartElement(QStringLiteral("Folder"));
  W.writeTextElement(QStringLiteral("name"), QStringLiteral("Cycles"));
  for (const TDriveRecord& R : Placed) WritePlacemark(W, R);
  W.writeEndElement();  // Folder
  // A line needs two points; a single placed record is only its placemark.
  if (Placed.size() >= 2) {
    QStringList Points;
    for (const TDriveRecord& R : Placed) Points << Coordinates(*R.Position);
    W.writeStartElement(QStringLiteral("Placemark"));
    W.writeTextElement(QStringLiteral("name"), QStringLiteral("Track"));
    W.writeTextElement(QStringLiteral("styleUrl"), QStringLiteral("#track"));
    W.writeStartElement(QStringLiteral("LineString"));
    W.writeTextElement(QStringLiteral("tessellate"), QStringLiteral("1"));
    W.writeTextElement(QStringLiteral("coordinates"), Points.join(QLatin1Char(' ')));
    W.writeEndElement();  // LineString
    W.writeEndElement();  // Placemark
  }
  W.writeEndElement();  // Document
  W.writeEndElement();  // kml
  W.writeEndDocument();
  return Out;
}

}  // namespace record_export
