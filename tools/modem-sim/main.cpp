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
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>
#include <map>
#include <string>
#include <vector>

#include "ModemCore.h"
#include "Replay.h"

namespace fs = std::filesystem;
using namespace vantrel::sim;

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int) {
  const char b = 1;
  const auto saved = errno;
  [[maybe_unused]] auto n = write(g_signalPipe[1], &b, 1);
  errno = saved;
}

std::int64_t nowUs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return std::int64_t(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

fs::path portMapFolder() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg) return fs::path(xdg) / "vantrel" / "ports";
  const char* home = std::getenv("HOME");
  return fs::path(home && *home ? home : ".") / ".config" / "vantrel" / "ports";
}

// Creates comN -> slave. A link to an existing character device belongs to a port
// somebody may be using (another simulator, a real modem), so it is left alone;
// a dangling link is a leftover of a simulator that died and is replaced.
bool createLink(const fs::path& link, const std::string& slave, std::string& why) {
  std::error_code ec;
  fs::create_directories(link.parent_path(), ec);
  if (ec) {
    why = "cannot create " + link.parent_path().string() + ": " + ec.message();
    return false;
  }
  struct stat ls {};
  if (lstat(link.c_str(), &ls) == 0) {
    if (!S_ISLNK(ls.st_mode)) {
      why = link.string() + " exists and is not a symbolic link";
      return false;
    }
    // A simulator killed before it could remove its link leaves it behind; when this
    // simulator got the same pseudo-terminal back, the link is already ours.
    struct stat ts {};
    if (stat(link.c_str(), &ts) == 0 && S_ISCHR(ts.st_mode) &&
        fs::read_symlink(link, ec).string() != slave) {
      why = link.string() + " already points to the device " + fs::read_symlink(link, ec).string();
      return false;
    }
  }
  // Link under a temporary name and rename over: no moment without a link.
  const fs::path tmp = link.string() + ".tmp" + std::to_string(getpid());
  fs::remove(tmp, ec);
  if (symlink(slave.c_str(), tmp.c_str()) != 0 || rename(tmp.c_str(), link.c_str()) != 0) {
    why = "cannot link " + link.string() + ": " + std::strerror(errno);
    fs::remove(tmp, ec);
    return false;
  }
  return true;
}

void removeLink(const fs::path& link, const std::string& slave) {
  // Only our own link: another simulator may have taken the name meanwhile.
  std::error_code ec;
  if (fs::is_symlink(link, ec) && fs::read_symlink(link, ec).string() == slave)
    fs::remove(link, ec);
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  const std::string bad = parseOptions(std::vector<std::string>(argv + 1, argv + argc), options);
  if (!bad.empty()) {
    std::fprintf(stderr, "vantrel-modem-sim: %s\n%s", bad.c_str(), helpText().c_str());
    return 1;
  }
  if (options.help) {
    std::fputs(helpText().c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("vantrel-modem-sim %s\n", VANTREL_VERSION);
    return 0;
  }
  std::optional<ReplayScript> replay;
  if (!options.replay.empty()) {
    std::string why;
    replay = loadReplay(options.replay, why);
    if (!replay) {
      std::fprintf(stderr, "vantrel-modem-sim: %s\n", why.c_str());
      return 1;
    }
    // The recorded modem, as it identified itself and with the reports it spoke.
    options.family = replay->family;
    if (!replay->imsi.empty()) options.imsi = replay->imsi;
  }

  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
    std::fprintf(stderr, "vantrel-modem-sim: cannot open a pseudo-terminal: %s\n",
                 std::strerror(errno));
    return 1;
  }
  const char* name = ptsname(master);
  const std::string slave = name ? name : "";
  // Holding the slave open ourselves keeps the master alive while the program
  // closes and reopens the port; otherwise every close would be a hang-up.
  const int slaveFd = slave.empty() ? -1 : open(slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slaveFd < 0) {
    std::fprintf(stderr, "vantrel-modem-sim: cannot open %s: %s\n", slave.c_str(),
                 std::strerror(errno));
    return 1;
  }
  termios tio{};
  if (tcgetattr(slaveFd, &tio) == 0) {
    cfmakeraw(&tio);
    tcsetattr(slaveFd, TCSANOW, &tio);
  }

  if (pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    std::perror("vantrel-modem-sim: pipe");
    return 1;
  }
  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGHUP, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);

  const fs::path link = portMapFolder() / ("com" + std::to_string(options.port));
  if (!options.noLink) {
    std::string why;
    if (!createLink(link, slave, why)) {
      std::fprintf(stderr, "vantrel-modem-sim: %s\n", why.c_str());
      return 2;
    }
  }

  ModemCore core(options);
  if (replay) core.replay(std::move(replay->cycles));
  Pacer pacer(options.split, options.gapMs, options.baud);
  std::printf("READY %s\n", slave.c_str());
  std::fflush(stdout);

  int rc = 0;
  char buf[4096];
  // Control lines come in on standard input; each answer waits until the output queued
  // before its line has been written, so the answer means "in force from here on".
  bool controlOpen = options.control;
  std::string controlLine;
  std::vector<std::string> answers;
  // Output due later (unsolicited codes), by due time; it joins the queue when due, so it
  // never holds up the replies queued meanwhile.
  std::multimap<std::int64_t, std::string> later;
  for (;;) {
    if (pacer.empty() && core.hangupDue()) break;
    if (options.flood && pacer.empty()) pacer.push(core.noise(32));
    for (auto due = later.begin(); due != later.end() && due->first <= nowUs();) {
      pacer.push(due->second);
      due = later.erase(due);
    }
    std::int64_t delay = pacer.delayUs(nowUs());
    if (!later.empty()) {
      const std::int64_t untilLater = std::max<std::int64_t>(1, later.begin()->first - nowUs());
      delay = delay < 0 ? untilLater : std::min(delay, untilLater);
    }
    pollfd fds[3] = {{master, POLLIN, 0},
                     {g_signalPipe[0], POLLIN, 0},
                     {controlOpen ? STDIN_FILENO : -1, POLLIN, 0}};
    int timeoutMs = -1;
    if (delay == 0 && !pacer.empty())
      fds[0].events |= POLLOUT;
    else if (delay > 0)
      timeoutMs = int((delay + 999) / 1000);
    if (options.flood) timeoutMs = timeoutMs < 0 ? 10 : std::min(timeoutMs, 10);
    if (poll(fds, 3, timeoutMs) < 0) {
      if (errno == EINTR) continue;
      std::perror("vantrel-modem-sim: poll");
      rc = 1;
      break;
    }
    if (fds[1].revents & POLLIN) break;
    if (fds[2].revents & (POLLIN | POLLHUP | POLLERR)) {
      const ssize_t n = read(STDIN_FILENO, buf, sizeof buf);
      if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) break;  // the controller left
      if (n > 0) controlLine.append(buf, std::size_t(n));
      for (std::size_t end; (end = controlLine.find('\n')) != std::string::npos;) {
        answers.push_back(applyControl(std::string_view(controlLine).substr(0, end), options));
        controlLine.erase(0, end + 1);
        core.setFaults(options);
        pacer.setSplit(options.split, options.gapMs);
      }
      if (controlLine.size() > ModemCore::MaxLine) controlLine.clear();
    }
    if (fds[0].revents & POLLIN) {
      const ssize_t n = read(master, buf, sizeof buf);
      if (n > 0 && !core.hangupDue()) {
        const std::int64_t fedAt = nowUs();
        pacer.push(core.feed(std::string_view(buf, std::size_t(n))));
        for (auto& item : core.takeScheduled())
          later.emplace(fedAt + std::int64_t(item.delayMs) * 1000, std::move(item.bytes));
      } else if (n < 0 && errno != EAGAIN && errno != EINTR && errno != EIO) {
        std::perror("vantrel-modem-sim: read");
        rc = 1;
        break;
      }
    }
    const std::int64_t now = nowUs();
    if (pacer.delayUs(now) == 0) {
      const std::string piece = pacer.take(now);
      const ssize_t w = write(master, piece.data(), piece.size());
      if (w < 0) {
        pacer.unshift(piece);
        if (errno != EAGAIN && errno != EINTR) {
          std::perror("vantrel-modem-sim: write");
          rc = 1;
          break;
        }
      } else if (std::size_t(w) < piece.size()) {
        pacer.unshift(std::string_view(piece).substr(std::size_t(w)));
      }
    }
    if (!answers.empty() && pacer.empty()) {
      for (const std::string& a : answers) std::printf("%s\n", a.c_str());
      std::fflush(stdout);
      answers.clear();
    }
  }

  if (rc == 0 && core.hangupDue()) {
    // Closing the master discards what the program has not read yet; give it a
    // moment to take the last reply, so the hang-up comes after the answer. The
    // kernel moves written bytes to the slave side a little later, so an empty
    // queue counts only once it has stayed empty for a while.
    int emptyChecks = 0;
    for (int waited = 0; waited < 2000 && emptyChecks < 10; waited += 10) {
      int queued = 0;
      if (ioctl(slaveFd, FIONREAD, &queued) != 0) break;
      emptyChecks = queued == 0 ? emptyChecks + 1 : 0;
      usleep(10000);
    }
  }
  if (!options.noLink) removeLink(link, slave);
  close(slaveFd);
  close(master);
  return rc;
}
