#include "serial/platform/ModemManagerInhibitor.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QHash>
#include <QPointer>
#include <QTimer>
#include <QVariantMap>
#include <atomic>
#include <memory>
#include <optional>
#include <thread>

#include "serial/platform/EventWait.h"

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

// One connection to the bus at an address. Connecting blocks until the bus daemon has greeted
// us, which a hung daemon never does, so it runs on a thread of its own; the UI thread only
// looks at the outcome.
struct TBusAttempt {
  QString Name;
  bool Connected = false;  // written before Finished
  std::atomic<bool> Finished{false};
};

// The attempt for the bus the environment names now (read at each call, so a test can move
// it); null when there is no bus to try. UI thread only.
std::shared_ptr<TBusAttempt> SystemBusAttempt() {
  // Qt D-Bus runs its connections through the application's machinery; a program without
  // one (a fuzz target) simply gets no ModemManager handling.
  if (!QCoreApplication::instance()) return nullptr;
  const QString Address = SystemBusAddress();
  if (!BusMayExist(Address)) return nullptr;
  static QHash<QString, std::shared_ptr<TBusAttempt>> Attempts;
  std::shared_ptr<TBusAttempt>& Attempt = Attempts[Address];
  if (Attempt && Attempt->Finished &&
      (!Attempt->Connected || !QDBusConnection(Attempt->Name).isConnected())) {
    // Failed, or the daemon went away since: start afresh.
    QDBusConnection::disconnectFromBus(Attempt->Name);
    Attempt.reset();
  }
  if (!Attempt) {
    static int Serial = 0;
    Attempt = std::make_shared<TBusAttempt>();
    Attempt->Name = QStringLiteral("vantrel-modemmanager-%1").arg(++Serial);
    std::thread([Attempt = Attempt, Address] {
      const QDBusConnection Bus = QDBusConnection::connectToBus(Address, Attempt->Name);
      Attempt->Connected = Bus.isConnected();
      Attempt->Finished = true;
    }).detach();
  }
  return Attempt;
}

struct TManagingModem {
  QString Uid;
  std::uint32_t PortType = 0;
};

// The Device property of the first modem that lists the device among its ports, and what it
// uses the port for.
std::optional<TManagingModem> ManagingModem(const QDBusArgument& Objects,
                                            const QString& DevicePath) {
  std::optional<TManagingModem> Found;
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
        if (!Found && ModemManagerPortMatches(Name, DevicePath)) Found = TManagingModem{Uid, Type};
      }
      PortList.endArray();
    }
    Objects.endMap();
    Objects.endMapEntry();
  }
  Objects.endMap();
  return Found;
}

// One look-up, step by step as the answers come: the bus, whether ModemManager runs, its
// modems. Deletes itself once it has answered; deleting it earlier drops the answer.
class TLookUpJob final : public QObject {
 public:
  TLookUpJob(const QString& DevicePath, std::function<void(const TModemManagerLookup&)> Done,
             QObject* Parent)
      : QObject(Parent), FDevicePath(DevicePath), FDone(std::move(Done)) {}

  void Start(int TimeoutMs) {
    QTimer::singleShot(TimeoutMs, this, [this] { Finish(); });
    FAttempt = SystemBusAttempt();
    if (!FAttempt) return Finish();
    WaitForBus();
  }

 private:
  void WaitForBus() {
    if (!FAttempt->Finished) {
      QTimer::singleShot(5, this, [this] { WaitForBus(); });
      return;
    }
    if (!FAttempt->Connected) return Finish();
    QDBusMessage HasOwner = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    HasOwner << Service;
    Ask(HasOwner, [this](const QDBusMessage& Owner) {
      if (Owner.type() != QDBusMessage::ReplyMessage || Owner.arguments().size() != 1 ||
          !Owner.arguments().first().toBool())
        return Finish();
      FResult.Running = true;
      // Asked only of a running service: the system bus would start an installed one.
      Ask(QDBusMessage::createMethodCall(Service, ManagerPath,
                                         QStringLiteral("org.freedesktop.DBus.ObjectManager"),
                                         QStringLiteral("GetManagedObjects")),
          [this](const QDBusMessage& Objects) {
            if (Objects.type() == QDBusMessage::ReplyMessage &&
                Objects.signature() == QLatin1String("a{oa{sa{sv}}}")) {
              if (const auto Modem = ManagingModem(
                      Objects.arguments().first().value<QDBusArgument>(), FDevicePath)) {
                FResult.Manages = true;
                FResult.Uid = Modem->Uid;
                FResult.PortType = Modem->PortType;
              }
            }
            Finish();
          });
    });
  }

  void Ask(const QDBusMessage& Call, std::function<void(const QDBusMessage&)> Then) {
    const QDBusConnection Bus(FAttempt->Name);
    auto* Watcher = new QDBusPendingCallWatcher(Bus.asyncCall(Call), this);
    connect(Watcher, &QDBusPendingCallWatcher::finished, this,
            [Then = std::move(Then)](QDBusPendingCallWatcher* W) {
              W->deleteLater();
              Then(W->reply());
            });
  }

  void Finish() {
    if (!FDone) return;
    const auto Done = std::move(FDone);
    FDone = nullptr;
    const TModemManagerLookup Result = FResult;
    deleteLater();
    Done(Result);  // nothing of this object after it: the callee may delete its parent
  }

  QString FDevicePath;
  std::function<void(const TModemManagerLookup&)> FDone;
  std::shared_ptr<TBusAttempt> FAttempt;
  TModemManagerLookup FResult;
};

QDBusMessage InhibitCall(const QString& Uid, bool Inhibit) {
  QDBusMessage Call = QDBusMessage::createMethodCall(Service, ManagerPath, Service,
                                                     QStringLiteral("InhibitDevice"));
  Call << Uid << Inhibit;
  // No password prompt: nobody would see it in time, and a refusal already gets the user
  // plain advice in the settings dialog.
  Call.setInteractiveAuthorizationAllowed(false);
  return Call;
}

// An inhibition asked for and then given up on (too slow, or the open was abandoned) must not
// stay behind when it is granted after all: it is handed back the moment it is.
void HandBackWhenGranted(const QDBusPendingCall& Call, const QString& BusName, const QString& Uid) {
  const auto HandBack = [BusName, Uid](const QDBusPendingCall& Done) {
    if (!Done.isError()) QDBusConnection(BusName).send(InhibitCall(Uid, false));
  };
  if (Call.isFinished()) return HandBack(Call);
  auto* Watcher = new QDBusPendingCallWatcher(Call, QCoreApplication::instance());
  QObject::connect(Watcher, &QDBusPendingCallWatcher::finished, Watcher,
                   [HandBack](QDBusPendingCallWatcher* W) {
                     HandBack(*W);
                     W->deleteLater();
                   });
}

}  // namespace

QString ModemManagerPortKind(std::uint32_t PortType) {
  switch (PortType) {
    case mmport::At:
      return QStringLiteral("AT commands");
    case mmport::Qcdm:
      return QStringLiteral("diagnostics");
    case mmport::Gps:
      return QStringLiteral("GPS");
    case mmport::Net:
      return QStringLiteral("network");
    case mmport::Qmi:
      return QStringLiteral("QMI control");
    case mmport::Mbim:
      return QStringLiteral("MBIM control");
    case mmport::Audio:
      return QStringLiteral("audio");
    default:
      return {};
  }
}

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

void LookUpModemManager(const QString& DevicePath, QObject* Context,
                        std::function<void(const TModemManagerLookup&)> Done, int TimeoutMs) {
  (new TLookUpJob(DevicePath, std::move(Done), Context))->Start(TimeoutMs);
}

TModemManagerNote ModemManagerNoteFor(const QString& DevicePath, const TModemManagerLookup& Found) {
  TModemManagerNote Note;
  if (!Found.Manages) return Note;
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

bool TModemManagerInhibitor::SetAside(const QString& DevicePath,
                                      const std::function<bool()>& Stop) {
  Release();
  // Only locals from here until the waits are over: Stop may tell that this object is gone.
  auto Answer = std::make_shared<std::optional<TModemManagerLookup>>();
  {
    auto* Job = new TLookUpJob(
        DevicePath, [Answer](const TModemManagerLookup& R) { *Answer = R; }, nullptr);
    const QPointer<TLookUpJob> Pending(Job);
    Job->Start(LookUpTimeoutMs);
    WaitWithEvents([&] { return Answer->has_value(); }, LookUpTimeoutMs + 100, Stop);
    delete Pending.data();  // an answer too late for us is dropped with it
  }
  if ((Stop && Stop()) || !Answer->has_value() || !(*Answer)->Manages) return false;
  const QString Uid = (*Answer)->Uid;
  // The look-up's job answered, so its bus is the one connected now.
  const std::shared_ptr<TBusAttempt> Attempt = SystemBusAttempt();
  if (!Attempt || !Attempt->Finished || !Attempt->Connected) return false;
  const QString BusName = Attempt->Name;
  // The call itself keeps D-Bus's own time-out: a grant that comes after we stopped waiting
  // must still be seen, to be handed back.
  const QDBusPendingCall Call = QDBusConnection(BusName).asyncCall(InhibitCall(Uid, true));
  const bool Answered = WaitWithEvents([&] { return Call.isFinished(); }, InhibitTimeoutMs, Stop);
  if (!Answered) {
    HandBackWhenGranted(Call, BusName, Uid);
    if (Stop && Stop()) return false;
    Refusals().insert(DevicePath,
                      QStringLiteral("org.freedesktop.DBus.Error.NoReply: no answer within %1 ms")
                          .arg(InhibitTimeoutMs));
    return false;
  }
  if (Call.isError()) {
    const QDBusError Error = Call.error();
    Refusals().insert(DevicePath, Error.name() + QStringLiteral(": ") + Error.message());
    return false;
  }
  Refusals().remove(DevicePath);
  FConnection = BusName;
  FUid = Uid;
  return true;
}

void TModemManagerInhibitor::Release() {
  if (FConnection.isEmpty()) return;
  // The answer is not needed: a device that is gone cannot be handed back, and leaving the bus
  // (at the latest when the program ends) ends the inhibition in any case.
  QDBusConnection(FConnection).send(InhibitCall(FUid, false));
  FConnection.clear();
  FUid.clear();
}
