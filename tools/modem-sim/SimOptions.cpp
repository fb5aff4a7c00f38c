#include "SimOptions.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <utility>

#include "SimText.h"

namespace vantrel::sim {

namespace {

bool ToInt(const std::string& Text, long long Min, long long Max, long long& Out) {
  const auto* End = Text.data() + Text.size();
  auto [Stop, Code] = std::from_chars(Text.data(), End, Out);
  return Code == std::errc() && Stop == End && Out >= Min && Out <= Max;
}

}  // namespace

std::string HelpText() {
  return "Usage: vantrel-modem-sim [options]\n"
         "A GSM modem on a pseudo-terminal, linked as comN in $XDG_CONFIG_HOME/vantrel/ports.\n"
         "Prints \"READY <slave path>\" when the port can be opened.\n\nOptions:\n"
         "  --port N          link name comN (default 1)\n"
         "  --no-link         do not create a link in the port map folder\n"
         "  --alias PATH      link PATH to the device and comN to PATH, as udev gives a USB\n"
         "                    modem a stable name that outlives its ttyUSB number\n"
         "  --seed N          repeatable drift of the cell levels\n"
         "  --baud N          pace the output at N baud, 10 bit times per byte (default 0: "
         "unpaced)\n"
         "  --layout a|b      serving cell report with MCC and MNC columns (a, default) or one\n"
         "                    PLMN column (b)\n"
         "  --family F        the modem's cell reports: monitor (AT^MONI, AT^MONP, AT^SMONC;\n"
         "                    default), ceng (a SIMCOM SIM800: AT+CENG), moni (a Telit:\n"
         "                    AT#MONI), cced (a Wavecom: AT+CCED), quectel (a Quectel EC25:\n"
         "                    AT+QENG=\"servingcell\" and \"neighbourcell\"), quectel-2g (a\n"
         "                    Quectel M95: AT+QENG=1,1 and AT+QENG?), sim7600 (AT+CPSI?) or\n"
         "                    sim7000 (AT+CPSI?, AT+CENG=1,1 and AT+CENG? on LTE); the identity\n"
         "                    follows\n"
         "  --ceng-no-blank   write \"+CENG:\" without the blank, as some SIMCOM firmware does\n"
         "  --replay FILE     play a vantrel-log record (CSV or JSON Lines) back, one recorded\n"
         "                    cycle per report cycle, looping; its family and IMSI too\n"
         "Conditions:\n"
         "  --state S         camping (default), limited, reselection, dedicated or searching\n"
         "  --neighbours N    always N neighbours, 0 to 6 (default: they come and go)\n"
         "  --rat R           what quectel, sim7600 and sim7000 camp on: gsm, umts or lte\n"
         "                    (default; a sim7000 has no umts)\n"
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
         "  --help            this text\n"
         "  --version         the version\n";
}

namespace {

// Fault options may also come over the control input of a running simulator; the rest
// only make sense at start.
std::string ParseArgs(const std::vector<std::string>& Args, TSimOptions& Out, bool FaultsOnly) {
  for (std::size_t I = 0; I < Args.size(); ++I) {
    const std::string& A = Args[I];
    auto Value = [&](std::string& V) {
      if (I + 1 >= Args.size()) return false;
      V = Args[++I];
      return true;
    };
    auto Number = [&](long long Min, long long Max, long long& N) {
      std::string V;
      return Value(V) && ToInt(V, Min, Max, N);
    };
    long long N = 0;
    std::string V;
    if (A == "--echo-stuck") {
      Out.EchoStuck = true;
    } else if (A == "--cut-final") {
      Out.CutFinal = true;
    } else if (A == "--garbage") {
      Out.Garbage = true;
    } else if (A == "--flood") {
      Out.Flood = true;
    } else if (A == "--split") {
      if (!Number(1, 1000000, N)) return "--split needs a positive number";
      Out.Split = int(N);
    } else if (A == "--gap") {
      if (!Number(0, 60000, N)) return "--gap needs milliseconds from 0 to 60000";
      Out.GapMs = int(N);
    } else if (A == "--hangup-after") {
      if (!Number(1, 1000000000, N)) return "--hangup-after needs a positive number";
      Out.HangupAfter = int(N);
    } else if (A == "--unanswered" || A == "--error") {
      if (!Value(V) || V.empty()) return A + " needs a command";
      (A == "--error" ? Out.Error : Out.Unanswered).insert(Upper(V));
    } else if (A == "--urc") {
      static const std::pair<const char*, TUrcTiming> Timings[] = {
          {"before", UrcBefore}, {"gap", UrcGap}, {"late", UrcLate}};
      if (!Value(V)) return "--urc needs before, gap or late";
      const auto* T = std::find_if(std::begin(Timings), std::end(Timings),
                                   [&](const auto& P) { return V == P.first; });
      if (T == std::end(Timings)) return "--urc needs before, gap or late";
      Out.Urc |= T->second;
    } else if (A == "--state") {
      static const std::pair<const char*, TRadioState> States[] = {
          {"camping", TRadioState::Camping},
          {"limited", TRadioState::LimitedService},
          {"reselection", TRadioState::Reselection},
          {"dedicated", TRadioState::Dedicated},
          {"searching", TRadioState::Searching}};
      if (!Value(V)) return "--state needs camping, limited, reselection, dedicated or searching";
      const auto* S = std::find_if(std::begin(States), std::end(States),
                                   [&](const auto& P) { return V == P.first; });
      if (S == std::end(States))
        return "--state needs camping, limited, reselection, dedicated or searching";
      Out.State = S->second;
    } else if (A == "--neighbours") {
      if (!Number(0, 6, N)) return "--neighbours needs a number from 0 to 6";
      Out.Neighbours = int(N);
    } else if (A == "--rat") {
      if (!Value(V) || (V != "gsm" && V != "umts" && V != "lte"))
        return "--rat needs gsm, umts or lte";
      Out.Rat = V == "gsm" ? TRat::Gsm : V == "umts" ? TRat::Umts : TRat::Lte;
    } else if (FaultsOnly) {
      return "not a fault option: " + A;
    } else if (A == "--help" || A == "-h") {
      Out.Help = true;
    } else if (A == "--version") {
      Out.Version = true;
    } else if (A == "--no-link") {
      Out.NoLink = true;
    } else if (A == "--alias") {
      if (!Value(V) || V.empty() || V[0] != '/') return "--alias needs an absolute path";
      Out.Alias = V;
    } else if (A == "--control") {
      Out.Control = true;
    } else if (A == "--port") {
      if (!Number(1, 255, N)) return "--port needs a number from 1 to 255";
      Out.Port = int(N);
    } else if (A == "--seed") {
      if (!Number(0, 0xFFFFFFFFLL, N)) return "--seed needs a non-negative number";
      Out.Seed = std::uint32_t(N);
    } else if (A == "--baud") {
      if (!Number(0, 100000000, N)) return "--baud needs a non-negative number";
      Out.Baud = int(N);
    } else if (A == "--layout") {
      if (!Value(V) || (V != "a" && V != "b")) return "--layout needs a or b";
      Out.Layout = V == "a" ? TMoniLayout::A : TMoniLayout::B;
    } else if (A == "--family") {
      const auto Family = Value(V) ? FamilyFromName(V) : std::nullopt;
      if (!Family)
        return "--family needs monitor, ceng, moni, cced, quectel, quectel-2g, sim7600 or sim7000";
      Out.Family = *Family;
    } else if (A == "--ceng-no-blank") {
      Out.CengNoBlank = true;
    } else if (A == "--replay") {
      if (!Value(V) || V.empty()) return "--replay needs a record file";
      Out.Replay = V;
    } else {
      return "unknown option " + A;
    }
  }
  if (Out.Family == TSimFamily::Sim7000 && Out.Rat == TRat::Umts)
    return "--rat umts: a SIM7000 has no UMTS";
  return {};
}

void ClearFaults(TSimOptions& O) {
  O.Unanswered.clear();
  O.Error.clear();
  O.EchoStuck = false;
  O.CutFinal = false;
  O.Split = 0;
  O.GapMs = 0;
  O.Garbage = false;
  O.Flood = false;
  O.HangupAfter = 0;
  O.Urc = 0;
  O.State = TRadioState::Camping;
  O.Neighbours = -1;
  O.Rat = TRat::Lte;
}

}  // namespace

std::string ParseOptions(const std::vector<std::string>& Args, TSimOptions& Out) {
  return ParseArgs(Args, Out, false);
}

std::string ParseFaults(const std::vector<std::string>& Args, TSimOptions& Out) {
  TSimOptions Parsed = Out;
  ClearFaults(Parsed);
  std::string Bad = ParseArgs(Args, Parsed, true);
  if (Bad.empty()) Out = std::move(Parsed);  // a bad line changes nothing
  return Bad;
}

std::string ApplyControl(std::string_view Text, TSimOptions& Options) {
  std::vector<std::string> Words;
  std::size_t At = 0;
  while (At < Text.size()) {
    const std::size_t Start = Text.find_first_not_of(" \t\r\n", At);
    if (Start == std::string_view::npos) break;
    const std::size_t End = std::min(Text.find_first_of(" \t\r\n", Start), Text.size());
    Words.emplace_back(Text.substr(Start, End - Start));
    At = End;
  }
  if (Words.empty()) return "ERROR empty control line";
  if (Words[0] != "faults") return "ERROR unknown control command " + Words[0];
  const std::string Bad =
      ParseFaults(std::vector<std::string>(Words.begin() + 1, Words.end()), Options);
  return Bad.empty() ? "OK" : "ERROR " + Bad;
}

}  // namespace vantrel::sim
