#pragma once

#include <QString>
#include <cstdint>
#include <functional>

// ModemManager, the system service most Linux desktops run, opens every serial device that
// looks like a modem and keeps talking to it. Two programs on one AT port interleave their
// replies, so while we are online we ask it to leave the device alone (InhibitDevice), and
// hand the device back when the port closes. It releases an inhibition by itself when the
// caller leaves the bus, so a crash never leaves the modem orphaned.

// What ModemManager says about one serial device.
struct TModemManagerLookup {
  bool Running = false;  // its name has an owner on the system bus
  bool Manages = false;  // one of its modems lists the device among its ports
  QString Uid;           // that modem's Device property: the key InhibitDevice takes
};

// What the program knows about ModemManager and one device, for telling the user.
enum class TModemManagerState : std::uint8_t {
  NotManaged,  // no ModemManager, or it does not manage the device
  SetAside,    // managed; going online asks it to let go
  Refused,     // managed, and it refused to let go the last time we asked
};

struct TModemManagerNote {
  TModemManagerState State = TModemManagerState::NotManaged;
  QString Error;  // the refusal's D-Bus error, when refused
};

// True when ModemManager's port name ("ttyUSB2", "ttyACM0") names the device at DevicePath,
// a canonical path such as /dev/ttyUSB2.
bool ModemManagerPortMatches(const QString& PortName, const QString& DevicePath);

// The system bus's address: $DBUS_SYSTEM_BUS_ADDRESS, else the well-known socket.
QString SystemBusAddress();

// Asks the system bus whether ModemManager manages the device at DevicePath (canonical, links
// resolved). All D-Bus waits together stay within TimeoutMs; no bus or no ModemManager is
// found out without waiting at all.
TModemManagerLookup LookUpModemManager(const QString& DevicePath, int TimeoutMs = 200);

// What to tell the user about the device: looks ModemManager up now and adds what the last
// attempt to set it aside taught us. One line of plain advice, empty when not managed.
TModemManagerNote ModemManagerNoteFor(const QString& DevicePath);
QString ModemManagerText(const TModemManagerNote& Note);

// Holds one inhibition for as long as a port is open. Used on the UI thread only.
class TModemManagerInhibitor {
 public:
  static constexpr int LookUpTimeoutMs = 200;
  // ModemManager answers once it has closed its ports; this only bounds a hung service.
  static constexpr int InhibitTimeoutMs = 3000;
  static constexpr int ReleaseTimeoutMs = 1000;
  // How long an open that finds the device still busy is retried after setting it aside.
  static constexpr int OpenRetryMs = 1000;
  static constexpr int OpenRetryStepMs = 25;

  TModemManagerInhibitor() = default;
  ~TModemManagerInhibitor() { Release(); }
  TModemManagerInhibitor(const TModemManagerInhibitor&) = delete;
  TModemManagerInhibitor& operator=(const TModemManagerInhibitor&) = delete;

  // Sets ModemManager aside when it manages DevicePath, then runs Open (0 on success, else an
  // errno), retrying it briefly while the device is still busy. A failed open hands the device
  // back. Returns Open's last result. A refusal does not stop the open: it is remembered for
  // ModemManagerNoteFor.
  int OpenAside(const QString& DevicePath, const std::function<int()>& Open);
  // Hands the device back; nothing when none is held.
  void Release();
  bool IsInhibiting() const { return !FConnection.isEmpty(); }

 private:
  bool Inhibit(const QString& DevicePath);

  QString FConnection;  // the private bus connection that holds the inhibition
  QString FUid;
};
