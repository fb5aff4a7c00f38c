#include "ModemCore.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>

namespace vantrel::sim {

namespace {

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool toInt(const std::string& s, long long min, long long max, long long& out) {
  const auto* end = s.data() + s.size();
  auto [p, ec] = std::from_chars(s.data(), end, out);
  return ec == std::errc() && p == end && out >= min && out <= max;
}

template <typename... A>
std::string fmt(const char* f, A... a) {
  char buf[256];
  const int n = std::snprintf(buf, sizeof buf, f, a...);
  return std::string(buf, static_cast<std::size_t>(std::clamp(n, 0, int(sizeof buf) - 1)));
}

std::string line(const std::string& text) {
  return "\r\n" + text + "\r\n";
}

const std::string Ok = "\r\nOK\r\n";

}  // namespace

std::string helpText() {
  return "Usage: vantrel-modem-sim [options]\n"
         "A GSM modem on a pseudo-terminal, linked as comN in $XDG_CONFIG_HOME/vantrel/ports.\n"
         "Prints \"READY <slave path>\" when the port can be opened.\n\nOptions:\n"
         "  --port N          link name comN (default 1)\n"
         "  --no-link         do not create a link in the port map folder\n"
         "  --seed N          repeatable drift of the cell levels\n"
         "  --baud N          pace the output at N baud, 10 bit times per byte (default 0: "
         "unpaced)\n"
         "  --layout a|b      serving cell report with MCC and MNC columns (a, default) or one\n"
         "                    PLMN column (b)\n"
         "  --family F        the modem's cell reports: monitor (AT^MONI, AT^MONP, AT^SMONC;\n"
         "                    default), ceng (a SIMCOM SIM800: AT+CENG), moni (a Telit:\n"
         "                    AT#MONI) or cced (a Wavecom: AT+CCED); the identity follows\n"
         "  --ceng-no-blank   write \"+CENG:\" without the blank, as some SIMCOM firmware does\n"
         "  --replay FILE     play a vantrel-log record (CSV or JSON Lines) back, one recorded\n"
         "                    cycle per report cycle, looping; its family and IMSI too\n"
         "Conditions:\n"
         "  --state S         camping (default), limited, reselection, dedicated or searching\n"
         "  --neighbours N    always N neighbours, 0 to 6 (default: they come and go)\n"
         "Faults:\n"
         "  --unanswered CMD  never answer CMD, e.g. AT^MONP (repeatable)\n"
         "  --error CMD       answer CMD with ERROR (repeatable)\n"
         "  --echo-stuck      ATE0 does not switch the echo off\n"
         "  --cut-final       leave out the final \"\\r\\n\" of each reply\n"
         "  --split N         deliver output in pieces of N bytes\n"
         "  --gap MS          pause between the pieces of --split (default 0)\n"
         "  --garbage         mix random bytes and NULs into the replies\n"
         "  --flood           send a continuous stream of garbage while idle\n"
         "  --hangup-after N  after N commands close the port, remove the link and exit 0\n"
         "  --urc WHEN        send unsolicited result codes (RING, +CREG: ...): before each\n"
         "                    reply, in the gap after it (20 ms later) or late (600 ms after\n"
         "                    the command, past a waiting program's time-out); repeatable\n"
         "Control:\n"
         "  --control         read control lines from standard input, answer each on standard\n"
         "                    output once the output queued before it is written; end of input\n"
         "                    ends the simulator. \"faults [fault and condition options]\"\n"
         "                    replaces the active faults and conditions (none: all off, a\n"
         "                    healthy modem camping); a hang-up counts from that line on\n"
         "  --help            this text\n  --version         the version\n";
}

namespace {

// Fault options may also come over the control input of a running simulator; the rest
// only make sense at start.
std::string parseArgs(const std::vector<std::string>& args, Options& out, bool faultsOnly) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& v) {
      if (i + 1 >= args.size()) return false;
      v = args[++i];
      return true;
    };
    auto number = [&](long long min, long long max, long long& n) {
      std::string v;
      return value(v) && toInt(v, min, max, n);
    };
    long long n = 0;
    std::string v;
    if (a == "--echo-stuck") {
      out.echoStuck = true;
    } else if (a == "--cut-final") {
      out.cutFinal = true;
    } else if (a == "--garbage") {
      out.garbage = true;
    } else if (a == "--flood") {
      out.flood = true;
    } else if (a == "--split") {
      if (!number(1, 1000000, n)) return "--split needs a positive number";
      out.split = int(n);
    } else if (a == "--gap") {
      if (!number(0, 60000, n)) return "--gap needs milliseconds from 0 to 60000";
      out.gapMs = int(n);
    } else if (a == "--hangup-after") {
      if (!number(1, 1000000000, n)) return "--hangup-after needs a positive number";
      out.hangupAfter = int(n);
    } else if (a == "--unanswered" || a == "--error") {
      if (!value(v) || v.empty()) return a + " needs a command";
      (a == "--error" ? out.error : out.unanswered).insert(upper(v));
    } else if (a == "--urc") {
      static const std::pair<const char*, UrcTiming> timings[] = {
          {"before", UrcBefore}, {"gap", UrcGap}, {"late", UrcLate}};
      if (!value(v)) return "--urc needs before, gap or late";
      const auto* t = std::find_if(std::begin(timings), std::end(timings),
                                   [&](const auto& p) { return v == p.first; });
      if (t == std::end(timings)) return "--urc needs before, gap or late";
      out.urc |= t->second;
    } else if (a == "--state") {
      static const std::pair<const char*, RadioState> states[] = {
          {"camping", RadioState::Camping},
          {"limited", RadioState::LimitedService},
          {"reselection", RadioState::Reselection},
          {"dedicated", RadioState::Dedicated},
          {"searching", RadioState::Searching}};
      if (!value(v)) return "--state needs camping, limited, reselection, dedicated or searching";
      const auto* st = std::find_if(std::begin(states), std::end(states),
                                    [&](const auto& p) { return v == p.first; });
      if (st == std::end(states))
        return "--state needs camping, limited, reselection, dedicated or searching";
      out.state = st->second;
    } else if (a == "--neighbours") {
      if (!number(0, 6, n)) return "--neighbours needs a number from 0 to 6";
      out.neighbours = int(n);
    } else if (faultsOnly) {
      return "not a fault option: " + a;
    } else if (a == "--help" || a == "-h" || a == "--version") {
      (a == "--version" ? out.version : out.help) = true;
    } else if (a == "--no-link") {
      out.noLink = true;
    } else if (a == "--control") {
      out.control = true;
    } else if (a == "--port") {
      if (!number(1, 255, n)) return "--port needs a number from 1 to 255";
      out.port = int(n);
    } else if (a == "--seed") {
      if (!number(0, 0xFFFFFFFFLL, n)) return "--seed needs a non-negative number";
      out.seed = std::uint32_t(n);
    } else if (a == "--baud") {
      if (!number(0, 100000000, n)) return "--baud needs a non-negative number";
      out.baud = int(n);
    } else if (a == "--layout") {
      if (!value(v) || (v != "a" && v != "b")) return "--layout needs a or b";
      out.layout = v == "a" ? Layout::A : Layout::B;
    } else if (a == "--family") {
      const auto family = value(v) ? familyFromName(v) : std::nullopt;
      if (!family) return "--family needs monitor, ceng, moni or cced";
      out.family = *family;
    } else if (a == "--ceng-no-blank") {
      out.cengNoBlank = true;
    } else if (a == "--replay") {
      if (!value(v) || v.empty()) return "--replay needs a record file";
      out.replay = v;
    } else {
      return "unknown option " + a;
    }
  }
  return {};
}

void clearFaults(Options& o) {
  o.unanswered.clear();
  o.error.clear();
  o.echoStuck = false;
  o.cutFinal = false;
  o.split = 0;
  o.gapMs = 0;
  o.garbage = false;
  o.flood = false;
  o.hangupAfter = 0;
  o.urc = 0;
  o.state = RadioState::Camping;
  o.neighbours = -1;
}

}  // namespace

std::string parseOptions(const std::vector<std::string>& args, Options& out) {
  return parseArgs(args, out, false);
}

std::string parseFaults(const std::vector<std::string>& args, Options& out) {
  Options parsed = out;
  clearFaults(parsed);
  std::string bad = parseArgs(args, parsed, true);
  if (bad.empty()) out = std::move(parsed);  // a bad line changes nothing
  return bad;
}

std::string applyControl(std::string_view line, Options& options) {
  std::vector<std::string> words;
  std::size_t at = 0;
  while (at < line.size()) {
    const std::size_t start = line.find_first_not_of(" \t\r\n", at);
    if (start == std::string_view::npos) break;
    const std::size_t end = std::min(line.find_first_of(" \t\r\n", start), line.size());
    words.emplace_back(line.substr(start, end - start));
    at = end;
  }
  if (words.empty()) return "ERROR empty control line";
  if (words[0] != "faults") return "ERROR unknown control command " + words[0];
  const std::string bad =
      parseFaults(std::vector<std::string>(words.begin() + 1, words.end()), options);
  return bad.empty() ? "OK" : "ERROR " + bad;
}

CellModel::CellModel(std::uint32_t seed) : m_rng(seed) {
  std::uniform_int_distribution<int> level(-95, -60);
  std::uniform_int_distribution<int> id(1, 0xFFFF);
  std::uniform_int_distribution<int> digit(0, 7);
  m_serving.channel = randomChannel();
  m_serving.dbm = level(m_rng);
  m_serving.lac = id(m_rng);
  m_serving.cellId = id(m_rng);
  m_serving.ncc = digit(m_rng);
  m_serving.bcc = digit(m_rng);
  // A call's traffic channel lies near the cell's own.
  m_serving.dedicated.channel = m_serving.channel + (m_serving.channel + 2 <= 1023 ? 2 : -2);
  for (auto& n : m_neighbours) {
    n.lac = m_serving.lac;
    renewNeighbour(n);
  }
  refreshDerived();
}

int CellModel::randomChannel() {
  // Weighted like a real neighbourhood: mostly 900 and 1800, a few extended-band cells.
  std::uniform_int_distribution<int> band(0, 9);
  const int b = band(m_rng);
  if (b < 4) return std::uniform_int_distribution<int>(1, 124)(m_rng);
  if (b < 8) return std::uniform_int_distribution<int>(512, 885)(m_rng);
  return std::uniform_int_distribution<int>(975, 1023)(m_rng);
}

void CellModel::renewNeighbour(NeighbourCell& n) {
  std::uniform_int_distribution<int> id(1, 0xFFFF);
  std::uniform_int_distribution<int> digit(0, 7);
  n.present = true;
  n.channel = randomChannel();
  n.dbm = std::uniform_int_distribution<int>(-105, -65)(m_rng);
  n.cellId = id(m_rng);
  if (std::uniform_int_distribution<int>(0, 3)(m_rng) == 0) n.lac = id(m_rng);
  n.ncc = digit(m_rng);
  n.bcc = digit(m_rng);
}

void CellModel::refreshDerived() {
  auto rs = [](int dbm) { return (dbm - MinDbm) / 2 + 5; };
  m_serving.rs = rs(m_serving.dbm);
  m_serving.c1 = m_serving.dbm - m_serving.rxLev;
  m_serving.dedicated.dbm = m_serving.dbm;
  for (auto& n : m_neighbours) {
    n.rs = rs(n.dbm);
    n.c1 = n.dbm - m_serving.rxLev;
    n.c2 = n.c1 + (n.channel % 3) * 2;
  }
}

void CellModel::setScript(std::vector<ReplayCycle> script) {
  m_script = std::move(script);
  m_scriptNext = 0;
}

void CellModel::step() {
  if (!m_script.empty()) {
    // Recorded values are played as they were, derived ones included.
    const ReplayCycle& cycle = m_script[m_scriptNext++ % m_script.size()];
    m_state = cycle.state;
    m_serving = cycle.serving;
    for (std::size_t i = 0; i < m_neighbours.size(); ++i) {
      m_neighbours[i] = i < cycle.neighbours.size() ? cycle.neighbours[i] : NeighbourCell{};
      m_neighbours[i].present = i < cycle.neighbours.size();
    }
    return;
  }
  std::uniform_int_distribution<int> walk(-3, 3);
  std::uniform_int_distribution<int> chance(0, 99);
  m_serving.dbm = std::clamp(m_serving.dbm + walk(m_rng), MinDbm, MaxDbm);
  for (auto& n : m_neighbours) {
    if (n.present) {
      n.dbm = std::clamp(n.dbm + walk(m_rng), MinDbm, MaxDbm);
      if (chance(m_rng) < 4) n.present = false;
    } else if (chance(m_rng) < 40) {
      renewNeighbour(n);
    }
  }
  applyNeighbourCount();
  refreshDerived();
}

void CellModel::setNeighbourCount(int count) {
  m_neighbourCount = std::clamp(count, -1, 6);
  applyNeighbourCount();
  refreshDerived();
}

void CellModel::applyNeighbourCount() {
  if (m_neighbourCount < 0) return;
  for (std::size_t i = 0; i < m_neighbours.size(); ++i) {
    NeighbourCell& n = m_neighbours[i];
    if (int(i) >= m_neighbourCount)
      n.present = false;
    else if (!n.present)
      renewNeighbour(n);
  }
}

std::vector<NeighbourCell> CellModel::presentNeighbours() const {
  std::vector<NeighbourCell> out;
  if (!hasServing()) return out;
  for (const auto& n : m_neighbours)
    if (n.present) out.push_back(n);
  return out;
}

// ---- The AT^MONI / AT^MONP / AT^SMONC family ------------------------------------------
// Headers and columns as the modems' manuals print them (columns counted from 1):
// layout A: 1-4 chann, 5-8 rs, 9-13 dBm, 14-17 MCC, 18-21 MNC, 22-26 LAC, 27-31 cell,
// 32-35 NCC, 36-39 BCC, 40-43 PWR, 44-49 RXLev, 50-53 C1, then " I" and the dedicated part.
// Layout B: one PLMN column 14-19, every column after it two places to the left.

std::string formatMoniTitle(Layout layout) {
  return layout == Layout::A
             ? "Serving Cell                                          I Dedicated channel"
             : "Serving Cell                                        I Dedicated channel";
}

std::string formatMoniColumnHeader(Layout layout) {
  return layout == Layout::A ? "chann rs  dBm MCC MNC  LAC cell NCC BCC PWR RXLev  C1 I chann "
                               "TS timAdv PWR  dBm Q ChMod"
                             : "chann rs  dBm  PLMN  LAC cell NCC BCC PWR RXLev  C1 I chann TS "
                               "timAdv PWR  dBm Q ChMod";
}

namespace {

// What follows the " I" separator: the call's traffic channel, or the idle state in words.
std::string moniTail(const ServingCell& c, RadioState state) {
  switch (state) {
    case RadioState::Dedicated: {
      const DedicatedChannel& d = c.dedicated;
      return fmt("%5d%4d%7d%4d%5d %d %s", d.channel, d.timeslot, d.timingAdvance, d.pwr, d.dbm,
                 d.quality, d.mode.c_str());
    }
    case RadioState::LimitedService:
      return "    Limited Service";
    case RadioState::Reselection:
      return "    Cell Reselection";
    case RadioState::Camping:
    case RadioState::Searching:
      break;
  }
  return "    No connection";
}

}  // namespace

std::string formatMoniDataLine(const ServingCell& c, Layout layout, RadioState state) {
  if (state == RadioState::Searching) return "Searching";
  // Layout A: MCC and MNC each right-aligned in four places. Layout B: the five PLMN digits
  // (six with a three-digit MNC) right-aligned in six.
  const std::string plmn = layout == Layout::A ? fmt(" %03d%4s", c.mcc, fmt("%02d", c.mnc).c_str())
                           : c.mnc >= 100      ? fmt("%03d%03d", c.mcc, c.mnc)
                                               : fmt(" %03d%02d", c.mcc, c.mnc);
  return fmt("%4d%4d%5d", c.channel, c.rs, c.dbm) + plmn +
         fmt(" %04X %04X%4d%4d%4d%6d%4d I", c.lac & 0xFFFF, c.cellId & 0xFFFF, c.ncc, c.bcc, c.pwr,
             c.rxLev, c.c1) +
         moniTail(c, state);
}

std::string formatMonpHeader() {
  return "chann rs  dBm MCC MNC BCC  C1  C2";
}

std::string formatMonpLine(const NeighbourCell& n, bool dedicated) {
  const std::string c1c2 = dedicated ? "   -   -" : fmt("%4d%4d", n.c1, n.c2);
  return fmt("%4d%4d%5d%4d  %02d%4d", n.channel, n.rs, n.dbm, n.mcc, n.mnc, n.bcc) + c1c2;
}

namespace {

int smoncRxLev(int dbm) {
  return std::clamp(dbm - CellModel::MinDbm, 0, 63);
}

}  // namespace

std::string formatSmoncGroup(const ServingCell& c) {
  return fmt("%03d,%02d,%04X,%04X,%d%d,%d,%d,%d,%d", c.mcc, c.mnc, c.lac & 0xFFFF,
             c.cellId & 0xFFFF, c.ncc, c.bcc, c.channel, smoncRxLev(c.dbm), c.c1, c.c1);
}

std::string formatSmoncGroup(const NeighbourCell& n) {
  if (n.kind && *n.kind != SlotKind::cell) return emptySmoncGroup();
  return fmt("%03d,%02d,%04X,%04X,%d%d,%d,%d,%d,%d", n.mcc, n.mnc, n.lac & 0xFFFF,
             n.cellId & 0xFFFF, n.ncc, n.bcc, n.channel, smoncRxLev(n.dbm), n.c1, n.c2);
}

std::string emptySmoncGroup() {
  return "000,00,0000,0000,00,0,0,0,0";
}

std::string moniReply(const CellModel& m, Layout layout) {
  return line(formatMoniTitle(layout)) + line(formatMoniColumnHeader(layout)) +
         line(formatMoniDataLine(m.serving(), layout, m.state())) + Ok;
}

std::string monpReply(const CellModel& m) {
  std::string out = line(formatMonpHeader());
  const bool dedicated = m.state() == RadioState::Dedicated;
  for (const auto& n : m.presentNeighbours()) out += line(formatMonpLine(n, dedicated));
  return out + Ok;
}

std::string smoncReply(const CellModel& m) {
  std::string out =
      "^SMONC: " + (m.hasServing() ? formatSmoncGroup(m.serving()) : emptySmoncGroup());
  const auto present = m.presentNeighbours();
  for (std::size_t i = 0; i < 6; ++i)
    out += "," + (i < present.size() ? formatSmoncGroup(present[i]) : emptySmoncGroup());
  return line(out) + Ok;
}

std::string unsolicitedCode(std::size_t index) {
  static const char* const codes[] = {"RING",
                                      "+CREG: 1",
                                      "+CMTI: \"SM\",3",
                                      "+CGREG: 1,\"1001\",\"0103\"",
                                      "+CRING: VOICE",
                                      "+CLIP: \"+493012345678\",145,,,,0",
                                      "+CUSD: 0,\"Balance 5.00, valid until 31.12.\",15",
                                      "+CREG: 5"};
  return codes[index % std::size(codes)];
}

ModemCore::ModemCore(Options options)
    : m_options(std::move(options)),
      m_model(m_options.seed.value_or(std::random_device{}())),
      m_rng(m_options.seed.value_or(0) ^ 0x5eed5eedu),
      m_hangupAt(m_options.hangupAfter),
      m_identity(familyIdentity(m_options.family)),
      m_family(m_options.family, CengStyle{.blankAfterColon = !m_options.cengNoBlank}) {
  m_model.setState(m_options.state);
  m_model.setNeighbourCount(m_options.neighbours);
}

void ModemCore::setFaults(const Options& faults) {
  m_options.unanswered = faults.unanswered;
  m_options.error = faults.error;
  m_options.echoStuck = faults.echoStuck;
  m_options.cutFinal = faults.cutFinal;
  m_options.split = faults.split;
  m_options.gapMs = faults.gapMs;
  m_options.garbage = faults.garbage;
  m_options.flood = faults.flood;
  m_options.hangupAfter = faults.hangupAfter;
  m_options.urc = faults.urc;
  m_options.state = faults.state;
  m_options.neighbours = faults.neighbours;
  m_model.setState(faults.state);
  m_model.setNeighbourCount(faults.neighbours);
  m_hangupAt = faults.hangupAfter > 0 ? m_commands + faults.hangupAfter : 0;
}

std::string ModemCore::feed(std::string_view bytes) {
  std::string out;
  for (char c : bytes) {
    if (c != '\r' && c != '\n') {
      m_line += c;
      // The escape sequence arrives without a line end; a modem swallows it.
      if (m_line.size() >= 3 && m_line.compare(m_line.size() - 3, 3, "+++") == 0)
        m_line.resize(m_line.size() - 3);
      // A line that never ends must not grow without bound.
      if (m_line.size() > MaxLine) m_line.clear();
      continue;
    }
    std::string command;
    command.swap(m_line);
    // Surrounding blanks and the "\n" of a "\r\n" line end are not commands.
    const auto first = command.find_first_not_of(" \t");
    if (first == std::string::npos) continue;
    command = command.substr(first, command.find_last_not_of(" \t") - first + 1);
    if (echo()) out += command + c;
    out += execute(command);
    if (hangupDue()) break;
  }
  return out;
}

std::string ModemCore::nextUrcLine() {
  return line(unsolicitedCode(m_urcs++));
}

std::vector<ModemCore::Scheduled> ModemCore::takeScheduled() {
  std::vector<Scheduled> out;
  out.swap(m_scheduled);
  return out;
}

std::string ModemCore::execute(const std::string& raw) {
  ++m_commands;
  const std::string command = upper(raw);
  // The modem holds its unsolicited codes while a command runs and sends them when the line is
  // free: after the reply, or, for a command the program gave up on, after its time-out.
  if (m_options.urc & UrcGap) m_scheduled.push_back({GapUrcDelayMs, nextUrcLine()});
  if (m_options.urc & UrcLate) m_scheduled.push_back({LateUrcDelayMs, nextUrcLine()});
  if (m_options.unanswered.count(command)) return {};
  if (m_options.error.count(command)) return finish("\r\nERROR\r\n");
  std::string reply;
  if (command == "AT" || command == "ATV1") {
    reply = Ok;
  } else if (command == "ATE0" || command == "ATE1") {
    m_echo = command == "ATE1";
    reply = Ok;
  } else if (command == "AT+GMI") {
    reply = line(m_identity.manufacturer) + Ok;
  } else if (command == "AT+GMM") {
    reply = line(m_identity.model) + Ok;
  } else if (command == "AT+GMR") {
    reply = line(m_identity.revision) + Ok;
  } else if (command == "AT+GSN") {
    reply = line("357246031234567") + Ok;
  } else if (command == "AT+CIMI") {
    reply = line(m_options.imsi) + Ok;
  } else if (auto own = m_family.execute(command, m_model)) {
    reply = std::move(*own);
  } else if (m_family.family() != Family::monitor) {
    // A modem of another family knows none of the AT^ reports.
    reply = "\r\nERROR\r\n";
  } else if (command == "AT^MONI") {
    m_model.step();
    reply = moniReply(m_model, m_options.layout);
  } else if (command == "AT^MONP") {
    reply = monpReply(m_model);
  } else if (command == "AT^SMONC") {
    reply = smoncReply(m_model);
  } else {
    reply = "\r\nERROR\r\n";
  }
  // One that came in while the command ran goes out just before the reply.
  if (m_options.urc & UrcBefore) reply = nextUrcLine() + reply;
  return finish(std::move(reply));
}

std::string ModemCore::finish(std::string reply) {
  if (m_options.cutFinal && reply.size() >= 2 && reply.compare(reply.size() - 2, 2, "\r\n") == 0)
    reply.resize(reply.size() - 2);
  if (m_options.garbage && !reply.empty()) {
    // A NUL always, plus a few random bytes at random places.
    const int extra = std::uniform_int_distribution<int>(1, 4)(m_rng);
    for (int i = 0; i <= extra; ++i) {
      const auto at = std::uniform_int_distribution<std::size_t>(0, reply.size())(m_rng);
      const char b = i == 0 ? '\0' : char(std::uniform_int_distribution<int>(0, 255)(m_rng));
      reply.insert(reply.begin() + std::ptrdiff_t(at), b);
    }
  }
  return reply;
}

std::string ModemCore::noise(std::size_t count) {
  std::string out(count, '\0');
  for (char& c : out) c = char(std::uniform_int_distribution<int>(0, 255)(m_rng));
  return out;
}

std::int64_t Pacer::delayUs(std::int64_t nowUs) const {
  if (m_queue.empty()) return -1;
  return std::max<std::int64_t>(0, m_nextUs - nowUs);
}

std::string Pacer::take(std::int64_t nowUs) {
  if (m_queue.empty() || nowUs < m_nextUs) return {};
  std::size_t n = m_queue.size();
  if (m_split > 0)
    n = std::min<std::size_t>(n, std::size_t(m_split));
  else if (m_baud > 0)
    n = std::min<std::size_t>(n, 64);  // small pieces keep the pacing smooth
  std::string piece = m_queue.substr(0, n);
  m_queue.erase(0, n);
  std::int64_t wait = 0;
  if (m_baud > 0) wait = std::int64_t(n) * 10 * 1000000 / m_baud;
  if (m_split > 0) wait = std::max(wait, m_gapUs);
  m_nextUs = nowUs + wait;
  return piece;
}

}  // namespace vantrel::sim
