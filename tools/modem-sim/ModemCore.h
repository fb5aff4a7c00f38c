#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::sim {

/// Command-line settings of the simulator; faults are off by default.
struct Options {
  int port = 1;                       ///< link name comN
  bool noLink = false;                ///< do not touch the port map folder
  std::optional<std::uint32_t> seed;  ///< drift seed; unset = random
  int baud = 0;                       ///< output pacing, 10 bit times per byte; 0 = unpaced
  std::set<std::string> unanswered;   ///< commands (upper case, without CR) that get no reply
  std::set<std::string> error;        ///< commands answered with ERROR
  bool echoStuck = false;             ///< ATE0 accepted but echo stays on
  bool cutFinal = false;              ///< final "\r\n" of each reply not sent
  int split = 0;                      ///< deliver output in pieces of this many bytes
  int gapMs = 0;                      ///< pause between split pieces
  bool garbage = false;               ///< random bytes and NULs mixed into replies
  bool flood = false;                 ///< garbage streamed while idle
  int hangupAfter = 0;                ///< exit after this many commands; 0 = never
  bool control = false;               ///< read control lines from standard input
  bool help = false;
};

/// Parses argv[1..]; returns an error text, or an empty string on success.
std::string parseOptions(const std::vector<std::string>& args, Options& out);
/// Parses fault options only, the ones a running simulator can switch. Every fault in
/// `out` is switched off first, so an empty list means "no faults"; the rest is kept.
std::string parseFaults(const std::vector<std::string>& args, Options& out);
/// One line of the control input. "faults [fault options]" replaces the active faults
/// in `options`. Returns the answer line: "OK" on success, else "ERROR <why>".
std::string applyControl(std::string_view line, Options& options);
std::string helpText();

struct ServingCell {
  int channel = 0;
  int rs = 0;
  int dbm = 0;
  int mcc = 262;
  int mnc = 7;
  int lac = 0;
  int cellId = 0;
  int ncc = 0;
  int bcc = 0;
  int pwr = 33;
  int rxLev = -105;  ///< minimum access level the C1 is measured against
  int c1 = 0;
};

struct NeighbourCell {
  bool present = true;
  int channel = 0;
  int rs = 0;
  int dbm = 0;
  int mcc = 262;
  int mnc = 7;
  int lac = 0;
  int cellId = 0;
  int ncc = 0;
  int bcc = 0;
  int c1 = 0;
  int c2 = 0;
};

/// The radio environment: a serving cell and six neighbour slots whose levels
/// random-walk within -110..-50 dBm; neighbours vanish and reappear.
class CellModel {
 public:
  explicit CellModel(std::uint32_t seed);
  void step();
  const ServingCell& serving() const { return m_serving; }
  const std::array<NeighbourCell, 6>& neighbours() const { return m_neighbours; }
  /// The present neighbours, in slot order.
  std::vector<NeighbourCell> presentNeighbours() const;

  static constexpr int MinDbm = -110;
  static constexpr int MaxDbm = -50;

 private:
  int randomChannel();
  void refreshDerived();
  void renewNeighbour(NeighbourCell& n);

  std::mt19937 m_rng;
  ServingCell m_serving;
  std::array<NeighbourCell, 6> m_neighbours;
};

std::string formatMoniDataLine(const ServingCell& c);
std::string formatMonpLine(const NeighbourCell& n);
/// The complete reply bodies (without the command echo).
std::string moniReply(const CellModel& m);
std::string monpReply(const CellModel& m);
std::string smoncReply(const CellModel& m);

/// The modem's command interpreter: bytes in, bytes out; no I/O of its own.
class ModemCore {
 public:
  explicit ModemCore(Options options);

  /// Takes received bytes and returns what the modem sends back (echo and replies).
  std::string feed(std::string_view bytes);
  /// Random bytes for the flood fault.
  std::string noise(std::size_t count);

  /// Switches to the faults of `faults` (its other settings are ignored). A hang-up
  /// counts its commands from now on.
  void setFaults(const Options& faults);

  /// Whether commands are echoed: as ATE0/ATE1 left it, or always while echo is stuck.
  bool echo() const { return m_echo || m_options.echoStuck; }
  int commandCount() const { return m_commands; }
  bool hangupDue() const { return m_hangupAt > 0 && m_commands >= m_hangupAt; }
  const CellModel& model() const { return m_model; }
  std::size_t pendingInput() const { return m_line.size(); }

  static constexpr std::size_t MaxLine = 4096;

 private:
  std::string execute(const std::string& command);
  std::string finish(std::string reply);

  Options m_options;
  CellModel m_model;
  std::mt19937 m_rng;
  std::string m_line;
  bool m_echo = true;
  int m_commands = 0;
  int m_hangupAt = 0;  ///< command count at which to hang up; 0 = never
};

/// Output scheduling: split pieces with gaps and line-rate pacing. Times in microseconds.
class Pacer {
 public:
  Pacer(int split, int gapMs, int baud)
      : m_split(split), m_gapUs(std::int64_t(gapMs) * 1000), m_baud(baud) {}
  void push(std::string_view bytes) { m_queue.append(bytes); }
  /// Takes effect from the next piece on.
  void setSplit(int split, int gapMs) {
    m_split = split;
    m_gapUs = std::int64_t(gapMs) * 1000;
  }
  /// Puts back the unwritten tail of the last piece.
  void unshift(std::string_view bytes) { m_queue.insert(0, bytes); }
  bool empty() const { return m_queue.empty(); }
  /// Microseconds until the next piece may go; 0 = now; -1 = nothing queued.
  std::int64_t delayUs(std::int64_t nowUs) const;
  /// The piece that may be written now (empty if none).
  std::string take(std::int64_t nowUs);

 private:
  int m_split;
  std::int64_t m_gapUs;
  int m_baud;
  std::string m_queue;
  std::int64_t m_nextUs = 0;
};

}  // namespace vantrel::sim
