#include "core/ConnectionKeeper.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include "core/ModemSession.h"
#include "core/ReplyText.h"
#include "serial/SerialPortDriver.h"
#include "serial/platform/PortResolver.h"

namespace {

// Counts the keeper in while it turns the front end's switches, also when a handler leaves
// early.
class TDeciding {
 public:
  explicit TDeciding(int& Depth) : FDepth(Depth) { ++FDepth; }
  ~TDeciding() { --FDepth; }
  TDeciding(const TDeciding&) = delete;
  TDeciding& operator=(const TDeciding&) = delete;

 private:
  int& FDepth;
};

QString ErrorText(int Error) {
  QString Text = QString::fromLocal8Bit(std::strerror(Error));
  if (!Text.isEmpty()) Text[0] = Text[0].toLower();
  return Text;
}

}  // namespace

TConnectionKeeper::TConnectionKeeper(TModemSession* Session, QObject* Owner)
    : QObject(Owner), FSession(Session) {
  FSession->OnDeviceLost = [this] { DeviceLost(); };
  FSession->OnDeviceBack = [this] { DeviceBack(); };
}

TOnlineResult TConnectionKeeper::GoOnline() {
  FSession->StopWatching();
  FOnline = false;
  const bool Opened = FSession->OpenPort();
  if (OnConnecting) OnConnecting();
  if (!Opened) return Fail(OpenFailure());
  // Going online belongs to the connection just opened: when it was closed, lost or abandoned
  // inside a wait, whoever did that has decided already, and this run changes nothing more.
  const std::uint64_t Generation = FSession->Generation();
  if (FSession->InitModem() && FSession->ReadDeviceInfo()) {
    FOnline = true;
    FFailureReason.clear();
    if (OnIdentified) OnIdentified();
    if (!FSession->ImsiRefusal().isEmpty() && OnNote)
      OnNote(QStringLiteral("AT+CIMI answered %1: no IMSI (no SIM, or a locked one)")
                 .arg(PlainModemText(FSession->ImsiRefusal())));
    return TOnlineResult::Online;
  }
  if (FSession->Abandoned(Generation)) return TOnlineResult::Abandoned;
  const QString Reason = IdentifyFailure();
  FSession->ClosePort();
  return Fail(Reason);
}

void TConnectionKeeper::GoOffline() {
  FOnline = false;
  FSession->ClosePort();
}

void TConnectionKeeper::EndWatch() {
  if (!FLost) return;
  FLost = false;
  FResume = false;
  FSession->StopWatching();
}

TOnlineResult TConnectionKeeper::Fail(const QString& Reason) {
  FFailureReason = Reason;
  if (OnFailed) OnFailed(Reason);
  return TOnlineResult::Failed;
}

void TConnectionKeeper::DeviceLost() {
  // A loss inside a reconnect keeps the monitoring the first loss interrupted.
  const bool Resume = FMonitoring || (FLost && FResume);
  FOnline = false;
  {
    const TDeciding Deciding(FDeciding);
    if (OnLost) OnLost();
  }
  FLost = true;
  FResume = Resume;
  FSession->WatchForDevice();
}

void TConnectionKeeper::DeviceBack() {
  if (!FLost) return;
  {
    const TDeciding Deciding(FDeciding);
    if (OnReconnect)
      OnReconnect();
    else
      GoOnline();
    if (!FLost) return;  // the user took over inside going online
    if (FOnline) {
      FLost = false;
      const bool Resume = std::exchange(FResume, false);
      if (OnBack) OnBack(Resume);
      return;
    }
  }
  // There, but not answering yet (still starting, say): keep watching.
  FSession->WatchForDevice();
}

QString TConnectionKeeper::OpenFailure() const {
  const TPortResolution Where = ResolvePortName(FSession->Driver()->PortName());
  if (!Where.Resolved)
    return QStringLiteral("cannot open %1: it stands for no device on this machine").arg(Where.Name);
  const QString& Device = Where.DevicePath;
  const int Error = FSession->Driver()->LastError();
  switch (Error) {
    case EACCES:
    case EPERM:
      if (Where.AccessGroup.isEmpty())
        return QStringLiteral("cannot open %1: permission denied").arg(Device);
      return QStringLiteral("cannot open %1: permission denied (the %2 group)")
          .arg(Device, Where.AccessGroup);
    case EBUSY:
    case EWOULDBLOCK:  // the lock another open of the device holds
      return QStringLiteral("%1 is held by another program").arg(Device);
    case ENOTTY:
      return QStringLiteral("cannot open %1: not a serial port").arg(Device);
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return QStringLiteral("cannot open %1: no such device").arg(Device);
    case 0:
      return QStringLiteral("cannot open %1").arg(Device);
    default:
      return QStringLiteral("cannot open %1: %2").arg(Device, ErrorText(Error));
  }
}

QString TConnectionKeeper::IdentifyFailure() const {
  const TFailedStep& Step = FSession->FailedStep();
  const QString Device = FSession->DevicePath().isEmpty() ? FSession->Driver()->PortName()
                                                          : FSession->DevicePath();
  const QString Command = PlainModemText(Step.Command);
  if (Step.SendFailed) {
    const int Error = FSession->Driver()->LastError();
    return Error == 0 ? QStringLiteral("cannot send %1 to %2").arg(Command, Device)
                      : QStringLiteral("cannot send %1 to %2: %3")
                            .arg(Command, Device, ErrorText(Error));
  }
  if (!Step.ErrorLine.isEmpty())
    return QStringLiteral("%1 answered %2").arg(Command, PlainModemText(Step.ErrorLine));
  if (Step.NoValue) return QStringLiteral("%1 answered without a value on %2").arg(Command, Device);
  return QStringLiteral("no answer to %1 on %2").arg(Command, Device);
}
