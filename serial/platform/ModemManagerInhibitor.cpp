#include "serial/platform/ModemManagerInhibitor.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QHash>
#include <QVariantMap>
#include <cerrno>
#include <optional>

#include "serial/platform/Ticks.h"

namespace {

const QString Service = QStringLiteral("org.freedesktop.ModemManager1");
const QString ManagerPath = QStringLiteral("/org/freedesktop/ModemManager1");
const QString ModemInterface = QStringLiteral("org.freedesktop.ModemManager1.Modem");

// Devices ModemManager refused to let go of, with its error. The settings dialog shows the
// advice for them until an inhibition of the device succeeds.
QHash<QString, QString>& Refusals() {
  static QHash<QString, QString> Map;
  return Map;
}

// False only when the address names unix sockets that are not there: then there is no bus to
// ask and nothing to wait for. Any other address is tried.
bool BusMayExist(const QString& Address) {
  if (Address.isEmpty()) return false;
  const QStringList Entries = Address.split(QLatin1Char(';'), Qt::SkipEmptyParts);
  for (const QString& Entry : Entries) {
    if (!Entry.startsWith(QLatin1String("unix:"))) return true;
    bool HasPath = false;
    const QStringList Keys = Entry.mid(5).split(QLatin1Char(','));
    for (const QString& Key : Keys) {
      if (!Key.startsWith(QLatin1String("path="))) continue;
      HasPath = true;
      if (QFileInfo::exists(Key.mid(5))) return true;
    }
    if (!HasPath) return true;  // abstract sockets and the like cannot be checked cheaply
  }
  return false;
}

// A private connection, so the inhibition lives exactly as long as we keep it and an
// address set by the environment is read at each connect, not once per process.
std::optional<QDBusConnection> ConnectSystemBus(QString& Name) {
  // Qt D-Bus runs its connections through the application's machinery; a program without
  // one (a command-line tool, a fuzz target) simply gets no ModemManager handling.
  if (!QCoreApplication::instance()) return std::nullopt;
  const QString Address = SystemBusAddress();
  if (!BusMayExist(Address)) return std::nullopt;
  static int Serial = 0;
  Name = QStringLiteral("vantrel-modemmanager-%1").arg(++Serial);
  QDBusConnection Bus = QDBusConnection::connectToBus(Address, Name);
  if (!Bus.isConnected()) {
    QDBusConnection::disconnectFromBus(Name);
    Name.clear();
    return std::nullopt;
  }
  return Bus;
}

int Remaining(const QDeadlineTimer& Deadline) {
  return static_cast<int>(qMax<qint64>(1, Deadline.remainingTime()));
}

// The Device property of the first modem that lists the device among its ports.
std::optional<QString> ManagingModem(const QDBusArgument& Objects, const QString& DevicePath) {
  std::optional<QString> Found;
  Objects.beginMap();
  while (!Objects.atEnd()) {
    Objects.beginMapEntry();
    QDBusObjectPath Path;
    Objects >> Path;
    Objects.beginMap();
    while (!Objects.atEnd()) {
      Objects.beginMapEntry();
      QString Interface;
      QVariantMap Properties;
      Objects >> Interface >> Properties;
      Objects.endMapEntry();
      if (Found || Interface != ModemInterface) continue;
      const QVariant Ports = Properties.value(QStringLiteral("Ports"));
      const QString Uid = Properties.value(QStringLiteral("Device")).toString();
      if (Uid.isEmpty() || Ports.userType() != qMetaTypeId<QDBusArgument>()) continue;
      const auto PortList = Ports.value<QDBusArgument>();
      if (PortList.currentSignature() != QLatin1String("a(su)")) continue;
      PortList.beginArray();
      while (!PortList.atEnd()) {
        QString Name;
        uint Type = 0;
        PortList.beginStructure();
        PortList >> Name >> Type;
        PortList.endStructure();
        if (!Found && ModemManagerPortMatches(Name, DevicePath)) Found = Uid;
      }
      PortList.endArray();
    }
    Objects.endMap();
    Objects.endMapEntry();
  }
  Objects.endMap();
  return Found;
}

TModemManagerLookup LookUpOn(QDBusConnection& Bus, const QString& DevicePath,
                             const QDeadlineTimer& Deadline) {
  TModemManagerLookup Result;
  QDBusMessage HasOwner = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
      QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
  HasOwner << Service;
  const QDBusMessage Owner = Bus.call(HasOwner, QDBus::Block, Remaining(Deadline));
  if (Owner.type() != QDBusMessage::ReplyMessage || Owner.arguments().size() != 1 ||
      !Owner.arguments().first().toBool())
    return Result;
  Result.Running = true;
  if (Deadline.hasExpired()) return Result;

  const QDBusMessage GetObjects = QDBusMessage::createMethodCall(
      Service, ManagerPath, QStringLiteral("org.freedesktop.DBus.ObjectManager"),
      QStringLiteral("GetManagedObjects"));
  const QDBusMessage Objects = Bus.call(GetObjects, QDBus::Block, Remaining(Deadline));
  if (Objects.type() != QDBusMessage::ReplyMessage ||
      Objects.signature() != QLatin1String("a{oa{sa{sv}}}"))
    return Result;
  if (const auto Uid =
          ManagingModem(Objects.arguments().first().value<QDBusArgument>(), DevicePath)) {
    Result.Manages = true;
    Result.Uid = *Uid;
  }
  return Result;
}

QDBusMessage InhibitCall(const QString& Uid, bool Inhibit) {
  QDBusMessage Call = QDBusMessage::createMethodCall(Service, ManagerPath, Service,
                                                     QStringLiteral("InhibitDevice"));
  Call << Uid << Inhibit;
  // No password prompt: it would wait on the UI thread, and a refusal already gets the user
  // plain advice in the settings dialog.
  Call.setInteractiveAuthorizationAllowed(false);
  return Call;
}

bool IsBusy(int Error) {
  return Error == EBUSY || Error == EWOULDBLOCK || Error == EAGAIN;
}

}  // namespace

bool ModemManagerPortMatches(const QString& PortName, const QString& DevicePath) {
  if (PortName.isEmpty() || DevicePath.isEmpty()) return false;
  // ModemManager names ports by their kernel name, which is the path below /dev.
  static const QString Dev = QStringLiteral("/dev/");
  const QString Below = DevicePath.startsWith(Dev) ? DevicePath.mid(Dev.size()) : QString();
  return PortName == Below || PortName == QFileInfo(DevicePath).fileName();
}

QString SystemBusAddress() {
  const QString FromEnvironment = qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS");
  return FromEnvironment.isEmpty() ? QStringLiteral("unix:path=/var/run/dbus/system_bus_socket")
                                   : FromEnvironment;
}

TModemManagerLookup LookUpModemManager(const QString& DevicePath, int TimeoutMs) {
  const QDeadlineTimer Deadline(TimeoutMs);
  QString Name;
  auto Bus = ConnectSystemBus(Name);
  if (!Bus) return {};
  const TModemManagerLookup Result = LookUpOn(*Bus, DevicePath, Deadline);
  QDBusConnection::disconnectFromBus(Name);
  return Result;
}

TModemManagerNote ModemManagerNoteFor(const QString& DevicePath) {
  TModemManagerNote Note;
  if (!LookUpModemManager(DevicePath, TModemManagerInhibitor::LookUpTimeoutMs).Manages) return Note;
  const auto Refusal = Refusals().constFind(DevicePath);
  if (Refusal == Refusals().cend()) {
    Note.State = TModemManagerState::SetAside;
  } else {
    Note.State = TModemManagerState::Refused;
    Note.Error = *Refusal;
  }
  return Note;
}

QString ModemManagerText(const TModemManagerNote& Note) {
  switch (Note.State) {
    case TModemManagerState::NotManaged:
      return {};
    case TModemManagerState::SetAside:
      return QStringLiteral("Managed by ModemManager (set aside while online).");
    case TModemManagerState::Refused:
      return QStringLiteral(
          "Managed by ModemManager, which may send its own commands: stop it with "
          "\"sudo systemctl stop ModemManager\", or allow this user to inhibit devices.");
  }
  return {};
}

int TModemManagerInhibitor::OpenAside(const QString& DevicePath, const std::function<int()>& Open) {
  const bool Aside = Inhibit(DevicePath);
  int Error = Open();
  // ModemManager answers once it has let go, but a port it locked may need a moment more.
  const QDeadlineTimer Deadline(OpenRetryMs);
  while (Aside && IsBusy(Error) && !Deadline.hasExpired()) {
    SleepMs(OpenRetryStepMs);
    Error = Open();
  }
  if (Error != 0) Release();
  return Error;
}

bool TModemManagerInhibitor::Inhibit(const QString& DevicePath) {
  Release();
  const QDeadlineTimer Deadline(LookUpTimeoutMs);
  QString Name;
  auto Bus = ConnectSystemBus(Name);
  if (!Bus) return false;
  const TModemManagerLookup Found = LookUpOn(*Bus, DevicePath, Deadline);
  if (!Found.Manages) {
    QDBusConnection::disconnectFromBus(Name);
    return false;
  }
  const QDBusMessage Reply =
      Bus->call(InhibitCall(Found.Uid, true), QDBus::Block, InhibitTimeoutMs);
  if (Reply.type() != QDBusMessage::ReplyMessage) {
    // Leaving the bus also withdraws a request that was only slow, not refused.
    QDBusConnection::disconnectFromBus(Name);
    Refusals().insert(DevicePath, Reply.errorName() + QStringLiteral(": ") + Reply.errorMessage());
    return false;
  }
  Refusals().remove(DevicePath);
  FConnection = Name;
  FUid = Found.Uid;
  return true;
}

void TModemManagerInhibitor::Release() {
  if (FConnection.isEmpty()) return;
  QDBusConnection Bus(FConnection);
  // The answer is not needed: a device that is gone cannot be handed back, and leaving the bus
  // below ends the inhibition in any case.
  Bus.call(InhibitCall(FUid, false), QDBus::Block, ReleaseTimeoutMs);
  QDBusConnection::disconnectFromBus(FConnection);
  FConnection.clear();
  FUid.clear();
}
