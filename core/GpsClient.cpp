#include "core/GpsClient.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <cmath>

namespace {

// gpsd's longest objects (SKY with every satellite, DEVICES) stay well below this; anything
// longer is not gpsd talking and is not kept in memory.
constexpr qsizetype MaxLine = 64 * 1024;
constexpr int ConnectTimeoutMs = 5000;

std::optional<double> Number(const QJsonObject& Object, const char* Name) {
  const QJsonValue Value = Object.value(QLatin1String(Name));
  if (!Value.isDouble()) return std::nullopt;
  const double D = Value.toDouble();
  if (!std::isfinite(D)) return std::nullopt;
  return D;
}

std::optional<double> InRange(std::optional<double> Value, double Low, double High) {
  return Value && *Value >= Low && *Value <= High ? Value : std::nullopt;
}

// gpsd writes "2024-05-02T09:14:05.000Z"; a time without its zone is not trusted to be UTC.
QDateTime UtcTime(const QJsonObject& Object) {
  const QString Text = Object.value(QLatin1String("time")).toString();
  if (!Text.endsWith(QLatin1Char('Z'))) return {};
  const QDateTime Time = QDateTime::fromString(Text, Qt::ISODateWithMs);
  return Time.isValid() ? Time.toUTC() : QDateTime();
}

}  // namespace

TGpsdLine ReadGpsdLine(const QByteArray& Line) {
  TGpsdLine Result;
  QJsonParseError Error{};
  const QJsonDocument Document = QJsonDocument::fromJson(Line, &Error);
  if (Error.error != QJsonParseError::NoError || !Document.isObject()) {
    Result.Kind = TGpsdLine::TKind::Broken;
    return Result;
  }
  const QJsonObject Object = Document.object();
  const QString Class = Object.value(QLatin1String("class")).toString();
  if (Class == QLatin1String("VERSION")) {
    Result.Kind = TGpsdLine::TKind::Version;
    Result.ProtoMajor = int(InRange(Number(Object, "proto_major"), 0, 1000).value_or(0));
    return Result;
  }
  if (Class != QLatin1String("TPV")) return Result;
  Result.Kind = TGpsdLine::TKind::Tpv;
  const std::optional<double> Mode = InRange(Number(Object, "mode"), 0, 3);
  Result.Mode = Mode && *Mode == std::floor(*Mode) ? int(*Mode) : 0;
  const std::optional<double> Lat = InRange(Number(Object, "lat"), -90, 90);
  const std::optional<double> Lon = InRange(Number(Object, "lon"), -180, 180);
  if (Result.Mode < 2 || !Lat || !Lon) return Result;
  TGpsFix Fix;
  Fix.Mode = Result.Mode;
  Fix.Latitude = *Lat;
  Fix.Longitude = *Lon;
  Fix.Time = UtcTime(Object);
  // Altitude above the geoid where gpsd gives it; older gpsd only has "alt" (also MSL).
  const double Deep = -12000, High = 1e6;
  Fix.Altitude = InRange(Number(Object, "altMSL"), Deep, High);
  if (!Fix.Altitude) Fix.Altitude = InRange(Number(Object, "altHAE"), Deep, High);
  if (!Fix.Altitude) Fix.Altitude = InRange(Number(Object, "alt"), Deep, High);
  Fix.HorizontalError = InRange(Number(Object, "eph"), 0, 1e7);
  Fix.Speed = InRange(Number(Object, "speed"), 0, 1e5);
  Fix.Track = InRange(Number(Object, "track"), 0, 360);
  Result.Fix = Fix;
  return Result;
}

QString GpsStatusText(bool Reachable, const std::optional<TGpsFix>& Fresh) {
  if (!Fresh) return Reachable ? QStringLiteral("no fix") : QStringLiteral("gpsd not reachable");
  QString Text = QStringLiteral("%1D fix").arg(Fresh->Mode);
  if (Fresh->HorizontalError)
    Text += QStringLiteral(", %1 m").arg(qRound64(*Fresh->HorizontalError));
  return Text;
}

TGpsClient::TGpsClient(QObject* Parent) : QObject(Parent), FSocket(new QTcpSocket(this)) {
  FRetry.setSingleShot(true);
  FConnectTimeout.setSingleShot(true);
  connect(&FRetry, &QTimer::timeout, this, &TGpsClient::Connect);
  // A host that drops packets would leave the socket connecting for minutes.
  connect(&FConnectTimeout, &QTimer::timeout, this, [this] {
    FSocket->abort();
    OnGone();
  });
  connect(FSocket, &QTcpSocket::connected, this, &TGpsClient::OnConnected);
  connect(FSocket, &QTcpSocket::readyRead, this, &TGpsClient::OnReadyRead);
  connect(FSocket, &QTcpSocket::disconnected, this, &TGpsClient::OnGone);
  // Only an error that leaves the socket unconnected ends the attempt: "localhost" refused on
  // ::1 is still tried on 127.0.0.1, and a time-out of some wait loses nothing.
  connect(FSocket, &QTcpSocket::errorOccurred, this, [this] {
    if (FSocket->state() == QAbstractSocket::UnconnectedState) OnGone();
  });
}

TGpsClient::~TGpsClient() {
  FSocket->disconnect(this);
}

void TGpsClient::Start(const QString& Host, quint16 Port) {
  FHost = Host;
  FPort = Port;
  Connect();
}

void TGpsClient::Connect() {
  FRetry.stop();
  FSocket->abort();
  FPending.clear();
  FSkipping = false;
  FSocket->connectToHost(FHost, FPort);
  FConnectTimeout.start(ConnectTimeoutMs);
}

void TGpsClient::OnConnected() {
  // gpsd greets with VERSION and is asked for reports once it has; see Take().
  FConnectTimeout.stop();
}

void TGpsClient::OnGone() {
  FConnectTimeout.stop();
  SetReachable(false);
  if (!FRetry.isActive()) FRetry.start(FRetryMs);
}

void TGpsClient::SetReachable(bool Reachable) {
  if (FReachable == Reachable && FToldReachable) return;
  FReachable = Reachable;
  FToldReachable = true;
  emit ReachableChanged(Reachable);
}

void TGpsClient::OnReadyRead() {
  FPending += FSocket->readAll();
  qsizetype Start = 0;
  for (qsizetype End = FPending.indexOf('\n'); End >= 0; End = FPending.indexOf('\n', Start)) {
    QByteArray Line = FPending.mid(Start, End - Start);
    Start = End + 1;
    if (FSkipping) {
      FSkipping = false;
      continue;
    }
    if (Line.endsWith('\r')) Line.chop(1);
    if (!Line.isEmpty()) Take(Line);
    if (FSocket->state() != QAbstractSocket::ConnectedState) return;
  }
  FPending.remove(0, Start);
  if (FPending.size() > MaxLine) {
    FPending.clear();
    FSkipping = true;
  }
}

void TGpsClient::Take(const QByteArray& Line) {
  const TGpsdLine Read = ReadGpsdLine(Line);
  if (Read.Kind == TGpsdLine::TKind::Version) {
    FSocket->write(QByteArrayLiteral("?WATCH={\"enable\":true,\"json\":true}\n"));
    SetReachable(true);
  } else if (Read.Fix) {
    FFix = Read.Fix;
    FFixClock.start();
    emit FixReceived();
  }
}

qint64 TGpsClient::FixAgeMs() const {
  return FFix ? FFixClock.elapsed() : -1;
}

std::optional<TGpsFix> TGpsClient::FreshFix(qint64 MaxAgeMs) const {
  if (!FFix || FFixClock.elapsed() > MaxAgeMs) return std::nullopt;
  return FFix;
}
