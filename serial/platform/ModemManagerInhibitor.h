#pragma once

#include <QString>
#include <cstdint>
#include <functional>

class QObject;

// ModemManager, the system service most Linux desktops run, opens every serial device that
// looks like a modem and keeps talking to it. Two programs on one AT port interleave their
// replies, so while we are online we ask it to leave the device alone (InhibitDevice), and
// hand the device back when the port closes. It releases an inhibition by itself when the
// caller leaves the bus, so a crash never leaves the modem orphaned.
//
// Every call is asynchronous: the window keeps repainting and taking clicks while the service
// thinks, a slow or hung service is given up after a bounded time, and the one bus connection
// of the process is made once, off the UI thread, and reused.

// What ModemManager says about one serial device.
struct TModemManagerLookup {
  bool Running = false;        // its name has an owner on the system bus
  bool Manages = false;        // one of its modems lists the device among its ports
  QString Uid;                 // that modem's Device property: the key InhibitDevice takes
  std::uint32_t PortType = 0;  // what the modem uses the device for (MMModemPortType), 0 unknown
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

// ModemManager's port types (MMModemPortType) that tell a user which port of a module to pick.
namespace mmport {
inline constexpr std::uint32_t Net = 2;
inline constexpr std::uint32_t At = 3;
inline constexpr std::uint32_t Qcdm = 4;
inline constexpr std::uint32_t Gps = 5;
inline constexpr std::uint32_t Qmi = 6;
inline constexpr std::uint32_t Mbim = 7;
inline constexpr std::uint32_t Audio = 8;
}  // namespace mmport

// The kind of port a type names, as the settings dialog says it ("AT commands", "GPS",
// "diagnostics"); empty for a type that tells the user nothing.
QString ModemManagerPortKind(std::uint32_t PortType);

// True when ModemManager's port name ("ttyUSB2", "ttyACM0") names the device at DevicePath,
// a canonical path such as /dev/ttyUSB2.
bool ModemManagerPortMatches(const QString& PortName, const QString& DevicePath);

// The system bus's address: $DBUS_SYSTEM_BUS_ADDRESS, else the well-known socket.
QString SystemBusAddress();

// Asks the system bus whether ModemManager manages the device at DevicePath (canonical, links
// resolved), without waiting: Done runs once on the caller's thread with the answer, within
// about TimeoutMs (an empty answer then), and never once Context is gone. No bus, no
// application object or no ModemManager answers at once.
void LookUpModemManager(const QString& DevicePath, QObject* Context,
                        std::function<void(const TModemManagerLookup&)> Done, int TimeoutMs);

// What to tell the user about the device after a look-up: the answer and what the last attempt
// to set it aside taught us. ModemManagerText gives one line of plain advice, empty when not
// managed.
TModemManagerNote ModemManagerNoteFor(const QString& DevicePath, const TModemManagerLookup& Found);
QString ModemManagerText(const TModemManagerNote& Note);

// Holds one inhibition for as long as a port is open. Used on the UI thread only.
class TModemManagerInhibitor {
 public:
  // The look-up before an open; the events keep flowing meanwhile.
  static constexpr int LookUpTimeoutMs = 500;
  // ModemManager answers once it has closed its ports; this only bounds a hung service.
  static constexpr int InhibitTimeoutMs = 3000;

  TModemManagerInhibitor() = default;
  ~TModemManagerInhibitor() { Release(); }
  TModemManagerInhibitor(const TModemManagerInhibitor&) = delete;
  TModemManagerInhibitor& operator=(const TModemManagerInhibitor&) = delete;

  // Sets ModemManager aside when it manages DevicePath, waiting for its answer with the events
  // flowing (see WaitWithEvents); Stop() returning true ends the wait, and then nothing of this
  // object is touched any more (Stop also tells when it was destroyed meanwhile). True when the
  // device was set aside. A refusal is remembered for ModemManagerNoteFor; a grant that comes
  // after the wait was given up is handed back at once.
  bool SetAside(const QString& DevicePath, const std::function<bool()>& Stop);
  // Hands the device back without waiting for the answer; nothing when none is held.
  void Release();
  bool IsInhibiting() const { return !FConnection.isEmpty(); }

 private:
  QString FConnection;  // the bus connection that holds the inhibition
  QString FUid;
};
