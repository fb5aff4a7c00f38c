// vantrel-modem-sim: a GSM modem on a pseudo-terminal, for the demo and the end-to-end tests.
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ModemCore.h"
#include "Pacer.h"
#include "Replay.h"
#include "SignalPipe.h"
#include "serial/platform/PortResolver.h"

namespace fs = std::filesystem;
using namespace vantrel::sim;

namespace {

std::int64_t NowUs() {
  timespec Now{};
  clock_gettime(CLOCK_MONOTONIC, &Now);
  return std::int64_t(Now.tv_sec) * 1000000 + Now.tv_nsec / 1000;
}

// Creates comN -> slave. A link to an existing character device belongs to a port
// somebody may be using (another simulator, a real modem), so it is left alone;
// a dangling link is a leftover of a simulator that died and is replaced.
bool CreateLink(const fs::path& Link, const std::string& Slave, std::string& Why) {
  std::error_code Code;
  fs::create_directories(Link.parent_path(), Code);
  if (Code) {
    Why = "cannot create " + Link.parent_path().string() + ": " + Code.message();
    return false;
  }
  struct stat LinkStat {};
  if (lstat(Link.c_str(), &LinkStat) == 0) {
    if (!S_ISLNK(LinkStat.st_mode)) {
      Why = Link.string() + " exists and is not a symbolic link";
      return false;
    }
    // A simulator killed before it could remove its link leaves it behind; when this
    // simulator got the same pseudo-terminal back, the link is already ours.
    struct stat TargetStat {};
    if (stat(Link.c_str(), &TargetStat) == 0 && S_ISCHR(TargetStat.st_mode) &&
        fs::read_symlink(Link, Code).string() != Slave) {
      Why =
          Link.string() + " already points to the device " + fs::read_symlink(Link, Code).string();
      return false;
    }
  }
  // Link under a temporary name and rename over: no moment without a link.
  const fs::path Temporary = Link.string() + ".tmp" + std::to_string(getpid());
  fs::remove(Temporary, Code);
  if (symlink(Slave.c_str(), Temporary.c_str()) != 0 ||
      rename(Temporary.c_str(), Link.c_str()) != 0) {
    Why = "cannot link " + Link.string() + ": " + std::strerror(errno);
    fs::remove(Temporary, Code);
    return false;
  }
  return true;
}

void RemoveLink(const fs::path& Link, const std::string& Slave) {
  // Only our own link: another simulator may have taken the name meanwhile.
  std::error_code Code;
  if (fs::is_symlink(Link, Code) && fs::read_symlink(Link, Code).string() == Slave)
    fs::remove(Link, Code);
}

}  // namespace

int main(int argc, char** argv) {
  TSimOptions Options;
  const std::string Bad = ParseOptions(std::vector<std::string>(argv + 1, argv + argc), Options);
  if (!Bad.empty()) {
    std::fprintf(stderr, "vantrel-modem-sim: %s\n%s", Bad.c_str(), HelpText().c_str());
    return 1;
  }
  if (Options.Help) {
    std::fputs(HelpText().c_str(), stdout);
    return 0;
  }
  if (Options.Version) {
    std::printf("vantrel-modem-sim %s\n", VANTREL_VERSION);
    return 0;
  }
  std::optional<TReplayScript> Script;
  if (!Options.Replay.empty()) {
    std::string Why;
    Script = LoadReplay(Options.Replay, Why);
    if (!Script) {
      std::fprintf(stderr, "vantrel-modem-sim: %s\n", Why.c_str());
      return 1;
    }
    // The recorded modem, as it identified itself and with the reports it spoke.
    Options.Family = Script->Family;
    if (!Script->Imsi.empty()) Options.Imsi = Script->Imsi;
  }

  const int Master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (Master < 0 || grantpt(Master) != 0 || unlockpt(Master) != 0) {
    std::fprintf(stderr, "vantrel-modem-sim: cannot open a pseudo-terminal: %s\n",
                 std::strerror(errno));
    return 1;
  }
  const char* Name = ptsname(Master);
  const std::string Slave = Name ? Name : "";
  // Holding the slave open ourselves keeps the master alive while the program
  // closes and reopens the port; otherwise every close would be a hang-up.
  const int SlaveFd = Slave.empty() ? -1 : open(Slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (SlaveFd < 0) {
    std::fprintf(stderr, "vantrel-modem-sim: cannot open %s: %s\n", Slave.c_str(),
                 std::strerror(errno));
    return 1;
  }
  termios Tio{};
  if (tcgetattr(SlaveFd, &Tio) == 0) {
    cfmakeraw(&Tio);
    tcsetattr(SlaveFd, TCSANOW, &Tio);
  }

  const int SignalFd = OpenSignalPipe({SIGINT, SIGTERM, SIGHUP});
  if (SignalFd < 0) {
    std::perror("vantrel-modem-sim: pipe");
    return 1;
  }
  signal(SIGPIPE, SIG_IGN);

  // The same folder the port resolver follows comN links in.
  const fs::path Link =
      fs::path(PortMapFolder().toStdString()) / ("com" + std::to_string(Options.Port));
  // With an alias the port map link leads to it, as a user links comN to a by-id name.
  const std::string LinkTarget = Options.Alias.empty() ? Slave : Options.Alias;
  std::string Why;
  if ((!Options.Alias.empty() && !CreateLink(Options.Alias, Slave, Why)) ||
      (!Options.NoLink && !CreateLink(Link, LinkTarget, Why))) {
    std::fprintf(stderr, "vantrel-modem-sim: %s\n", Why.c_str());
    if (!Options.Alias.empty()) RemoveLink(Options.Alias, Slave);
    return 2;
  }

  TModemCore Core(Options);
  if (Script) Core.Replay(std::move(Script->Cycles));
  TPacer Pacer(Options.Split, Options.GapMs, Options.Baud);
  std::printf("READY %s\n", Slave.c_str());
  std::fflush(stdout);

  int Rc = 0;
  char Buffer[4096];
  // Control lines come in on standard input; each answer waits until the output queued
  // before its line has been written, so the answer means "in force from here on".
  bool ControlOpen = Options.Control;
  std::string ControlLine;
  std::vector<std::string> Answers;
  // Output due later (unsolicited codes), by due time; it joins the queue when due, so it
  // never holds up the replies queued meanwhile.
  std::multimap<std::int64_t, std::string> Later;
  for (;;) {
    if (Pacer.Empty() && Core.HangupDue()) break;
    if (Options.Flood && Pacer.Empty()) Pacer.Push(Core.Noise(32));
    for (auto Due = Later.begin(); Due != Later.end() && Due->first <= NowUs();) {
      Pacer.Push(Due->second);
      Due = Later.erase(Due);
    }
    std::int64_t Delay = Pacer.DelayUs(NowUs());
    if (!Later.empty()) {
      const std::int64_t UntilLater = std::max<std::int64_t>(1, Later.begin()->first - NowUs());
      Delay = Delay < 0 ? UntilLater : std::min(Delay, UntilLater);
    }
    pollfd Fds[3] = {
        {Master, POLLIN, 0}, {SignalFd, POLLIN, 0}, {ControlOpen ? STDIN_FILENO : -1, POLLIN, 0}};
    int TimeoutMs = -1;
    if (Delay == 0 && !Pacer.Empty())
      Fds[0].events |= POLLOUT;
    else if (Delay > 0)
      TimeoutMs = int((Delay + 999) / 1000);
    if (Options.Flood) TimeoutMs = TimeoutMs < 0 ? 10 : std::min(TimeoutMs, 10);
    if (poll(Fds, 3, TimeoutMs) < 0) {
      if (errno == EINTR) continue;
      std::perror("vantrel-modem-sim: poll");
      Rc = 1;
      break;
    }
    if (Fds[1].revents & POLLIN) break;
    if (Fds[2].revents & (POLLIN | POLLHUP | POLLERR)) {
      const ssize_t N = read(STDIN_FILENO, Buffer, sizeof Buffer);
      if (N == 0 || (N < 0 && errno != EAGAIN && errno != EINTR)) break;  // the controller left
      if (N > 0) ControlLine.append(Buffer, std::size_t(N));
      for (std::size_t End; (End = ControlLine.find('\n')) != std::string::npos;) {
        Answers.push_back(ApplyControl(std::string_view(ControlLine).substr(0, End), Options));
        ControlLine.erase(0, End + 1);
        Core.SetFaults(Options);
        Pacer.SetSplit(Options.Split, Options.GapMs);
      }
      if (ControlLine.size() > TModemCore::MaxLine) ControlLine.clear();
    }
    if (Fds[0].revents & POLLIN) {
      const ssize_t N = read(Master, Buffer, sizeof Buffer);
      if (N > 0 && !Core.HangupDue()) {
        const std::int64_t FedAt = NowUs();
        Pacer.Push(Core.Feed(std::string_view(Buffer, std::size_t(N))));
        for (auto& Item : Core.TakeScheduled())
          Later.emplace(FedAt + std::int64_t(Item.DelayMs) * 1000, std::move(Item.Bytes));
      } else if (N < 0 && errno != EAGAIN && errno != EINTR && errno != EIO) {
        std::perror("vantrel-modem-sim: read");
        Rc = 1;
        break;
      }
    }
    const std::int64_t Now = NowUs();
    if (Pacer.DelayUs(Now) == 0) {
      const std::string Piece = Pacer.Take(Now);
      const ssize_t Written = write(Master, Piece.data(), Piece.size());
      if (Written < 0) {
        Pacer.Unshift(Piece);
        if (errno != EAGAIN && errno != EINTR) {
          std::perror("vantrel-modem-sim: write");
          Rc = 1;
          break;
        }
      } else if (std::size_t(Written) < Piece.size()) {
        Pacer.Unshift(std::string_view(Piece).substr(std::size_t(Written)));
      }
    }
    if (!Answers.empty() && Pacer.Empty()) {
      for (const std::string& Answer : Answers) std::printf("%s\n", Answer.c_str());
      std::fflush(stdout);
      Answers.clear();
    }
  }

  if (Rc == 0 && Core.HangupDue()) {
    // Closing the master discards what the program has not read yet; give it a
    // moment to take the last reply, so the hang-up comes after the answer. The
    // kernel moves written bytes to the slave side a little later, so an empty
    // queue counts only once it has stayed empty for a while.
    int EmptyChecks = 0;
    for (int Waited = 0; Waited < 2000 && EmptyChecks < 10; Waited += 10) {
      int Queued = 0;
      if (ioctl(SlaveFd, FIONREAD, &Queued) != 0) break;
      EmptyChecks = Queued == 0 ? EmptyChecks + 1 : 0;
      usleep(10000);
    }
  }
  if (!Options.NoLink) RemoveLink(Link, LinkTarget);
  if (!Options.Alias.empty()) RemoveLink(Options.Alias, Slave);
  close(SlaveFd);
  close(Master);
  return Rc;
}
