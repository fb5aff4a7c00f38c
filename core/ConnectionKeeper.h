#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>

class TModemSession;

// How going online ended.
enum class TOnlineResult : std::uint8_t {
  Online,     // opened, prepared and identified
  Failed,     // the port did not open or the modem did not identify; closed again
  Abandoned,  // something inside a wait (a switch, a loss, a stop) decided otherwise
};

// The connection's lifecycle, once for every front end: going online (open, prepare, identify,
// the report family), going offline, and a device that goes away: offline at once, watched
// for, and online again when that device is back, with monitoring resumed if it was on.
//
// The front end drives it and reacts to its events: the window turns its switches and hints,
// the recorder writes its records and status lines. Everything runs on the owner's thread and
// events may come nested inside a wait of the session, as the session's own do.
class TConnectionKeeper : public QObject {
  Q_OBJECT

 public:
  // Takes over the session's OnDeviceLost and OnDeviceBack.
  explicit TConnectionKeeper(TModemSession* Session, QObject* Owner = nullptr);

  TModemSession* Session() const { return FSession; }

  // Opens the port, prepares the modem and reads its identity. Failed: the port is closed
  // again and OnFailed has said why (FailureReason() keeps it).
  TOnlineResult GoOnline();
  // Closes the port. A watch for a lost device goes on (the loss itself goes offline).
  void GoOffline();
  // Whether the front end monitors now: what a device coming back resumes.
  void SetMonitoring(bool Value) { FMonitoring = Value; }
  bool Monitoring() const { return FMonitoring; }
  // The user decided (a click on a switch): a lost device is no longer waited for.
  void EndWatch();

  bool Online() const { return FOnline; }
  // Offline because the device went away; its coming back is watched for.
  bool Lost() const { return FLost; }
  // The keeper is turning the front end's switches itself (inside OnLost or a reconnect):
  // changes seen now are not the user's.
  bool Deciding() const { return FDeciding > 0; }
  // Why the last going online failed, in plain words for a hint or a terminal.
  const QString& FailureReason() const { return FFailureReason; }

  // The port was tried: nothing is known yet of the modem on this connection.
  std::function<void()> OnConnecting;
  // Online: the identity and the report family are read.
  std::function<void()> OnIdentified;
  // Going online failed (the port is closed again).
  std::function<void(const QString& Reason)> OnFailed;
  // Online, but something is missing that the front end may want to mention once (e.g. no IMSI:
  // no SIM, or a locked one, with the session's SetImsiOptional).
  std::function<void(const QString& Note)> OnNote;
  // The device went away: the port is closed and every wait abandoned. The front end goes
  // offline; the watch starts when this returns.
  std::function<void()> OnLost;
  // The lost device is there again: the front end goes online its own way (the window through
  // its Online switch). Without a handler the keeper calls GoOnline itself.
  std::function<void()> OnReconnect;
  // Online again after a loss; Resume: monitoring was on when the device went away.
  std::function<void(bool Resume)> OnBack;

 private:
  void DeviceLost();
  void DeviceBack();
  TOnlineResult Fail(const QString& Reason);
  QString OpenFailure() const;
  QString IdentifyFailure() const;

  TModemSession* FSession;
  bool FOnline = false;
  bool FMonitoring = false;
  bool FLost = false;
  bool FResume = false;  // monitoring was on when the device went away
  int FDeciding = 0;
  QString FFailureReason;
};

