#pragma once

#include <QString>
#include <QStringList>

// What a port name stands for on this machine, for opening and for showing to the user.
struct TPortResolution {
  QString Name;             // as asked
  bool Resolved = false;    // a device path was found
  QString DevicePath;       // e.g. /dev/ttyUSB0 (link target made canonical)
  QString StableName;       // /dev/serial/by-id/... when one points at the device, else empty
  QString Alias;            // the link a comN link leads to when that is a link too (a udev
                            // name such as /dev/modem), else empty
  QString UsbProduct;       // from sysfs when known, else empty
  QString Via;              // short human text on how the name was resolved
  bool Accessible = false;  // this user may read and write the device
  QString AccessGroup;      // group owning the device when not accessible (e.g. "dialout")
};

// Where the system's serial ports are listed; replaceable so tests can build a fake tree.
struct TPortSystemPaths {
  QString SysClassTty = QStringLiteral("/sys/class/tty");
  QString SerialById = QStringLiteral("/dev/serial/by-id");
  QString Dev = QStringLiteral("/dev");
};

// The folder of comN links: $XDG_CONFIG_HOME/vantrel/ports, default ~/.config/vantrel/ports.
QString PortMapFolder();

// The n of "\\.\COMn" (or "COMn"), 0 when the name has another form.
int ComPortNumber(const QString& Name);

// The serial ports the system has, in COM order: USB ports first (their stable
// /dev/serial/by-id names, sorted), then on-board ports with real hardware behind them.
QStringList ListSystemPorts(const TPortSystemPaths& Paths = {});

// A name starting with "/" is a device path; "\\.\COMn" follows the link comN in the port map
// folder, and without one stands for the n-th port of ListSystemPorts.
TPortResolution ResolvePortName(const QString& Name, const TPortSystemPaths& Paths = {});
