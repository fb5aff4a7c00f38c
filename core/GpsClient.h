#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <optional>

class QTcpSocket;

// A position fix as gpsd reports it in a TPV object. Only fixes with a position are kept, so
// Mode is 2 or 3; every other field may be missing from a TPV and is then left out.
struct TGpsFix {
  int Mode = 0;
  double Latitude = 0;
  double Longitude = 0;
  QDateTime Time;                         // UTC; invalid when the TPV carried no time
  std::optional<double> Altitude;         // metres: above mean sea level where gpsd knows it
  std::optional<double> HorizontalError;  // eph, metres
  std::optional<double> Speed;            // m/s over ground
  std::optional<double> Track;            // degrees from true north
  bool operator==(const TGpsFix&) const = default;
};

// What one line of gpsd's JSON says, as far as a position client cares.
struct TGpsdLine {
  enum class TKind : std::uint8_t { Other, Version, Tpv, Broken } Kind = TKind::Other;
  int ProtoMajor = 0;          // VERSION
  int Mode = 0;                // TPV: 0 unknown, 1 no fix, 2 2D, 3 3D
  std::optional<TGpsFix> Fix;  // TPV with a usable position
};
// Reads one line (without its line end). A TPV whose mode says 2D or 3D but whose latitude or
// longitude is missing, not a number or out of range has no Fix; a bad optional field is
// dropped on its own.
TGpsdLine ReadGpsdLine(const QByteArray& Line);

// "3D fix, 4 m", "2D fix", "no fix", "gpsd not reachable": the recorder's status line.
QString GpsStatusText(bool Reachable, const std::optional<TGpsFix>& Fresh);

// A client of gpsd's JSON protocol (version 3) over TCP. It asks for TPV reports and keeps the
// latest fix with a position. All of it runs on the event loop: nothing here waits, and a gpsd
// that is not there or goes away is tried again every RetryMs.
class TGpsClient : public QObject {
  Q_OBJECT
 public:
  explicit TGpsClient(QObject* Parent = nullptr);
  ~TGpsClient() override;

  void Start(const QString& Host, quint16 Port);
  void SetRetryMs(int Ms) { FRetryMs = Ms; }

  // gpsd is connected and has introduced itself.
  bool Reachable() const { return FReachable; }
  // The latest fix with a position, however old.
  const std::optional<TGpsFix>& LastFix() const { return FFix; }
  // Milliseconds since that fix arrived; -1 without one. Counted on this machine's monotonic
  // clock: the fix's own time is the receiver's, which this machine's clock need not match.
  qint64 FixAgeMs() const;
  // The latest fix if it is at most MaxAgeMs old.
  std::optional<TGpsFix> FreshFix(qint64 MaxAgeMs) const;

 signals:
  void FixReceived();
  // After the first attempt, and then whenever it changes.
  void ReachableChanged(bool Reachable);

 private:
  void Connect();
  void OnConnected();
  void OnGone();
  void OnReadyRead();
  void Take(const QByteArray& Line);
  void SetReachable(bool Reachable);

  QTcpSocket* FSocket;
  QTimer FRetry;
  QTimer FConnectTimeout;
  QString FHost;
  quint16 FPort = 2947;
  int FRetryMs = 2000;
  bool FReachable = false;
  bool FToldReachable = false;  // the first attempt's outcome is told either way
  bool FSkipping = false;       // inside a line too long to be gpsd's: dropped up to its end
  QByteArray FPending;
  std::optional<TGpsFix> FFix;
  QElapsedTimer FFixClock;
};
