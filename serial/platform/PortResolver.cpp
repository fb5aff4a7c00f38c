#include "serial/platform/PortResolver.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

namespace {

QString ReadSmallFile(const QString& Path) {
  QFile F(Path);
  if (!F.open(QIODevice::ReadOnly)) return {};
  return QString::fromLocal8Bit(F.read(256)).trimmed();
}

int TrailingNumber(const QString& Name) {
  static const QRegularExpression Digits(QStringLiteral("(\\d+)$"));
  const auto M = Digits.match(Name);
  return M.hasMatch() ? M.captured(1).toInt() : -1;
}

QString HomeShort(const QString& Path) {
  const QString Home = QDir::homePath();
  if (!Home.isEmpty() && Home != QLatin1String("/") && Path.startsWith(Home + QLatin1Char('/')))
    return QLatin1Char('~') + Path.mid(Home.size());
  return Path;
}

// Sorted by-id links whose targets exist, as (link, canonical target).
QList<QPair<QString, QString>> ById(const TPortSystemPaths& Paths) {
  QList<QPair<QString, QString>> Out;
  QDir Dir(Paths.SerialById);
  const QStringList Names =
      Dir.entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
  for (const QString& N : Names) {
    const QString Link = Dir.filePath(N);
    const QString Target = QFileInfo(Link).canonicalFilePath();
    if (!Target.isEmpty()) Out.append({Link, Target});
  }
  return Out;
}

QStringList TtyNames(const TPortSystemPaths& Paths, const QString& Pattern) {
  QStringList Names = QDir(Paths.SysClassTty)
                          .entryList({Pattern}, QDir::Dirs | QDir::System | QDir::NoDotAndDotDot);
  std::sort(Names.begin(), Names.end(), [](const QString& A, const QString& B) {
    const QString PA = A.left(A.size() - QString::number(TrailingNumber(A)).size());
    const QString PB = B.left(B.size() - QString::number(TrailingNumber(B)).size());
    if (PA != PB) return PA < PB;
    return TrailingNumber(A) < TrailingNumber(B);
  });
  return Names;
}

bool HasDevice(const TPortSystemPaths& Paths, const QString& Tty) {
  return QFileInfo::exists(Paths.SysClassTty + QLatin1Char('/') + Tty + QStringLiteral("/device"));
}

// Usb product string: walk up from the tty's device towards the USB device that has one.
QString UsbProductOf(const TPortSystemPaths& Paths, const QString& DevicePath) {
  const QString Tty = QFileInfo(DevicePath).fileName();
  QString Dir = QFileInfo(Paths.SysClassTty + QLatin1Char('/') + Tty + QStringLiteral("/device"))
                    .canonicalFilePath();
  for (int Up = 0; Up < 6 && Dir.size() > 1; ++Up) {
    const QString Product = ReadSmallFile(Dir + QStringLiteral("/product"));
    if (!Product.isEmpty()) return Product;
    Dir = QFileInfo(Dir).path();
  }
  return {};
}

void FillDeviceFacts(TPortResolution& R, const TPortSystemPaths& Paths) {
  for (const auto& [Link, Target] : ById(Paths)) {
    if (Target == R.DevicePath) {
      R.StableName = Link;
      break;
    }
  }
  R.UsbProduct = UsbProductOf(Paths, R.DevicePath);
  const QByteArray P = R.DevicePath.toLocal8Bit();
  R.Accessible = ::access(P.constData(), R_OK | W_OK) == 0;
  if (!R.Accessible) {
    struct stat St {};
    if (::stat(P.constData(), &St) == 0) {
      if (const group* G = ::getgrgid(St.st_gid))
        R.AccessGroup = QString::fromLocal8Bit(G->gr_name);
    }
  }
}

}  // namespace

QString PortMapFolder() {
  QString Base = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (Base.isEmpty() || !QDir::isAbsolutePath(Base))
    Base = QDir::homePath() + QStringLiteral("/.config");
  return Base + QStringLiteral("/vantrel/ports");
}

int ComPortNumber(const QString& Name) {
  static const QRegularExpression Com(QStringLiteral("^(?:\\\\\\\\\\.\\\\)?COM([1-9]\\d{0,2})$"),
                                      QRegularExpression::CaseInsensitiveOption);
  const auto M = Com.match(Name);
  return M.hasMatch() ? M.captured(1).toInt() : 0;
}

QStringList ListSystemPorts(const TPortSystemPaths& Paths) {
  QStringList Ports;
  QStringList Seen;  // canonical device paths already listed
  for (const auto& [Link, Target] : ById(Paths)) {
    if (Seen.contains(Target)) continue;
    Seen.append(Target);
    Ports.append(Link);
  }
  // USB adapters on a system without udev's by-id links.
  for (const QString& Pattern : {QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*")}) {
    for (const QString& Tty : TtyNames(Paths, Pattern)) {
      const QString Dev = Paths.Dev + QLatin1Char('/') + Tty;
      if (!HasDevice(Paths, Tty) || Seen.contains(Dev)) continue;
      Seen.append(Dev);
      Ports.append(Dev);
    }
  }
  // On-board UARTs: the kernel makes ttyS0..ttyS31 whether or not a chip is there; a port
  // type of 0 means no hardware answered.
  for (const QString& Tty : TtyNames(Paths, QStringLiteral("ttyS*"))) {
    if (!HasDevice(Paths, Tty)) continue;
    const QString Type =
        ReadSmallFile(Paths.SysClassTty + QLatin1Char('/') + Tty + QStringLiteral("/type"));
    bool Ok = false;
    if (Type.toInt(&Ok) == 0 || !Ok) continue;
    const QString Dev = Paths.Dev + QLatin1Char('/') + Tty;
    if (Seen.contains(Dev)) continue;
    Seen.append(Dev);
    Ports.append(Dev);
  }
  return Ports;
}

TPortResolution ResolvePortName(const QString& Name, const TPortSystemPaths& Paths) {
  TPortResolution R;
  R.Name = Name;
  if (Name.startsWith(QLatin1Char('/'))) {
    R.Via = QStringLiteral("device path");
    const QString Canonical = QFileInfo(Name).canonicalFilePath();
    if (Canonical.isEmpty()) return R;
    // A by-id name is opened as given; the device facts are those of its target.
    R.DevicePath = Canonical;
    R.Resolved = true;
    FillDeviceFacts(R, Paths);
    R.DevicePath = Canonical;
    return R;
  }
  const int N = ComPortNumber(Name);
  if (N == 0) return R;

  const QString Link = PortMapFolder() + QStringLiteral("/com") + QString::number(N);
  const QFileInfo LinkInfo(Link);
  if (LinkInfo.isSymLink() || LinkInfo.exists()) {
    // An explicit mapping is never overridden by the system list, even when its target is gone.
    R.Via = QStringLiteral("port map link ") + HomeShort(Link);
    const QString Canonical = LinkInfo.canonicalFilePath();
    if (Canonical.isEmpty()) return R;
    R.DevicePath = Canonical;
    R.Resolved = true;
    FillDeviceFacts(R, Paths);
    // A link to a udev name names the device itself, whatever tty number it has today.
    const QString Hop = LinkInfo.symLinkTarget();
    if (Hop != Canonical && QFileInfo(Hop).isSymLink()) R.Alias = Hop;
    return R;
  }

  const QStringList Ports = ListSystemPorts(Paths);
  if (N > Ports.size()) return R;
  const QString Port = Ports.at(N - 1);
  const QString Canonical = QFileInfo(Port).canonicalFilePath();
  int UsbCount = 0;
  for (const QString& P : Ports)
    if (P.startsWith(Paths.SerialById) || P.contains(QLatin1String("ttyUSB")) ||
        P.contains(QLatin1String("ttyACM")))
      ++UsbCount;
  R.Via = N <= UsbCount ? QStringLiteral("USB serial port %1").arg(N)
                        : QStringLiteral("on-board serial port %1").arg(N - UsbCount);
  if (Canonical.isEmpty()) return R;
  R.DevicePath = Canonical;
  R.Resolved = true;
  FillDeviceFacts(R, Paths);
  return R;
}
