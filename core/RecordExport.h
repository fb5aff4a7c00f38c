#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>
#include <optional>

#include "core/DriveRecord.h"

// The maps and open cell databases a drive-test record is exported to:
// - GeoJSON: a FeatureCollection with one Point feature per placed record (QGIS, geojson.io);
// - KML: one placemark per placed record coloured by the serving level, and the track
//   (Google Earth, Marble);
// - geosubmit: the version 2 upload body of the former Mozilla Location Service, which
//   beaconDB and other open cell databases take.
// Records without a position have no place on a map and are left out. No export carries the
// IMSI (or anything else that names the subscriber or the device).
enum class TExportFormat : std::uint8_t { efGeoJson, efKml, efGeoSubmit };

std::optional<TExportFormat> ExportFormatNamed(const QString& Name);

struct TExport {
  QByteArray Text;
  int Placed = 0;   // records written
  int Skipped = 0;  // records without a position
};
TExport ExportRecords(const QList<TDriveRecord>& Records, TExportFormat Format);

// The radio technology of a record's cell: "GSM", "UMTS" or "LTE".
QString CellTechnology(const TDriveRecord& Record, const TRecordCell& Cell);

// The five serving-level buckets of the KML export, strongest first (index 5: no level).
int LevelBucket(const QString& LevelDbm);

// Pieces the exporters share.
namespace record_export {
std::optional<qint64> Integer(const QString& Text);
std::optional<double> Real(const QString& Text);
// "bsic", "psc" or "pci": the name of the short identity the technology's cells carry.
QString ShortIdName(const QString& Technology);
// "lac" or "tac".
QString AreaName(const QString& Technology);
QByteArray Kml(const QList<TDriveRecord>& Placed);
}  // namespace record_export
