#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "FamilyModem.h"

namespace vantrel::sim {

/// The serving cell report's two column layouts, as two firmware generations print them:
/// separate MCC and MNC columns, or one five-digit PLMN column.
enum class Layout : std::uint8_t { A, B };

/// What the radio is doing; it shows in the reports' tails and in which cells they list.
enum class RadioState : std::uint8_t { Camping, LimitedService, Reselection, Dedicated, Searching };

/// When unsolicited result codes come, as bits: in front of each reply, in the gap after it,
/// or late, after a waiting program's time-out has passed.
enum UrcTiming : unsigned { UrcBefore = 1u, UrcGap = 2u, UrcLate = 4u };

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
  unsigned urc = 0;                   ///< UrcTiming bits
  RadioState state = RadioState::Camping;
  int neighbours = -1;        ///< a fixed number of neighbours 0-6; -1 = they come and go
  Layout layout = Layout::A;  ///< fixed by the firmware: start only
  bool control = false;       ///< read control lines from standard input
  bool help = false;
  bool version = false;

  // The report commands the modem speaks, and how its firmware writes them: start only.
  Family family = Family::monitor;
  bool cengNoBlank = false;  ///< "+CENG:" without the blank after the colon

  std::string imsi = "262073987654321";  ///< what AT+CIMI answers
  std::string replay;                    ///< a drive-test record to play back instead of drifting
};

/// Parses argv[1..]; returns an error text, or an empty string on success.
std::string parseOptions(const std::vector<std::string>& args, Options& out);
/// Parses fault and condition options only, the ones a running simulator can switch. Every
/// fault in `out` is switched off and every condition set back to its default first, so an
/// empty list means "a healthy modem camping"; the rest is kept.
std::string parseFaults(const std::vector<std::string>& args, Options& out);
/// One line of the control input. "faults [fault options]" replaces the active faults
/// in `options`. Returns the answer line: "OK" on success, else "ERROR <why>".
std::string applyControl(std::string_view line, Options& options);
std::string helpText();

/// The traffic channel of a call (dedicated mode).
struct DedicatedChannel {
  int channel = 0;
  int timeslot = 1;
  int timingAdvance = 0;
  int pwr = 5;
  int dbm = 0;
  int quality = 0;
  std::string mode = "S_HR";
};

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
  DedicatedChannel dedicated;
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
  /// How reports list it; unset: as the drifting model decides from its cell id.
  std::optional<SlotKind> kind;
};

/// One recorded cycle, played back as the model's cells.
struct ReplayCycle {
  RadioState state = RadioState::Camping;
  ServingCell serving;
  std::vector<NeighbourCell> neighbours;  ///< at most six, in the order they were listed
};

/// The radio environment: a serving cell and six neighbour slots whose levels
/// random-walk within -110..-50 dBm; neighbours vanish and reappear, unless their number
/// is fixed. Nothing here knows how a report prints it.
class CellModel {
 public:
  explicit CellModel(std::uint32_t seed);
  void step();
  const ServingCell& serving() const { return m_serving; }
  const std::array<NeighbourCell, 6>& neighbours() const { return m_neighbours; }
  /// The present neighbours, in slot order; none while searching.
  std::vector<NeighbourCell> presentNeighbours() const;
  /// Whether there is a serving cell at all (not while searching).
  bool hasServing() const { return m_state != RadioState::Searching; }
  RadioState state() const { return m_state; }
  void setState(RadioState state) { m_state = state; }
  /// 0-6 neighbours from now on, in the first slots; -1 lets them come and go again.
  void setNeighbourCount(int count);
  /// From now on each step plays the next recorded cycle, from the first again after the last,
  /// instead of drifting. An empty script drifts.
  void setScript(std::vector<ReplayCycle> script);

  static constexpr int MinDbm = -110;
  static constexpr int MaxDbm = -50;

 private:
  int randomChannel();
  void refreshDerived();
  void renewNeighbour(NeighbourCell& n);

  void applyNeighbourCount();

  std::mt19937 m_rng;
  ServingCell m_serving;
  std::array<NeighbourCell, 6> m_neighbours;
  RadioState m_state = RadioState::Camping;
  int m_neighbourCount = -1;
  std::vector<ReplayCycle> m_script;
  std::size_t m_scriptNext = 0;
};

// The AT^MONI / AT^MONP / AT^SMONC report family, printed as the real modems print it.
/// The two header lines of the serving cell report.
std::string formatMoniTitle(Layout layout);
std::string formatMoniColumnHeader(Layout layout);
/// The data line; "Searching" replaces it when there is no cell.
std::string formatMoniDataLine(const ServingCell& c, Layout layout = Layout::A,
                               RadioState state = RadioState::Camping);
std::string formatMonpHeader();
/// In dedicated mode the modem does not measure C1 and C2 and prints "-".
std::string formatMonpLine(const NeighbourCell& n, bool dedicated = false);
/// One cell's nine identity fields, and the group of an empty slot.
std::string formatSmoncGroup(const ServingCell& c);
std::string formatSmoncGroup(const NeighbourCell& n);
std::string emptySmoncGroup();
/// The complete reply bodies (without the command echo).
std::string moniReply(const CellModel& m, Layout layout = Layout::A);
std::string monpReply(const CellModel& m);
std::string smoncReply(const CellModel& m);

/// The unsolicited result codes the simulator sends, in turn.
std::string unsolicitedCode(std::size_t index);

/// The modem's command interpreter: bytes in, bytes out; no I/O of its own.
class ModemCore {
 public:
  explicit ModemCore(Options options);

  /// Takes received bytes and returns what the modem sends back (echo and replies).
  std::string feed(std::string_view bytes);
  /// Random bytes for the flood fault.
  std::string noise(std::size_t count);

  /// Output due some time after the feed that produced it (unsolicited codes of the gap and
  /// late faults); it does not hold up the replies that follow.
  struct Scheduled {
    int delayMs = 0;
    std::string bytes;
  };
  /// Takes what the feeds since the last call scheduled, in order.
  std::vector<Scheduled> takeScheduled();
  static constexpr int GapUrcDelayMs = 20;
  static constexpr int LateUrcDelayMs = 600;

  /// Switches to the faults of `faults` (its other settings are ignored). A hang-up
  /// counts its commands from now on.
  void setFaults(const Options& faults);

  /// Whether commands are echoed: as ATE0/ATE1 left it, or always while echo is stuck.
  bool echo() const { return m_echo || m_options.echoStuck; }
  int commandCount() const { return m_commands; }
  bool hangupDue() const { return m_hangupAt > 0 && m_commands >= m_hangupAt; }
  const CellModel& model() const { return m_model; }
  /// Plays the recorded cycles back, one per report cycle, looping at the end.
  void replay(std::vector<ReplayCycle> script) { m_model.setScript(std::move(script)); }
  std::size_t pendingInput() const { return m_line.size(); }

  static constexpr std::size_t MaxLine = 4096;

 private:
  std::string execute(const std::string& command);
  std::string finish(std::string reply);
  std::string nextUrcLine();

  Options m_options;
  CellModel m_model;
  std::mt19937 m_rng;
  std::string m_line;
  bool m_echo = true;
  int m_commands = 0;
  int m_hangupAt = 0;  ///< command count at which to hang up; 0 = never
  std::size_t m_urcs = 0;
  std::vector<Scheduled> m_scheduled;
  ModemIdentity m_identity;
  FamilyModem m_family;
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
