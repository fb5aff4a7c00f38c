#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "FamilyReplies.h"

namespace vantrel::sim {

// The serving cell report's two column layouts, as two firmware generations print them:
// separate MCC and MNC columns, or one five-digit PLMN column.
enum class TMoniLayout : std::uint8_t { A, B };

// What the radio is doing; it shows in the reports' tails and in which cells they list.
enum class TRadioState : std::uint8_t {
  Camping,
  LimitedService,
  Reselection,
  Dedicated,
  Searching
};

// When unsolicited result codes come, as bits: in front of each reply, in the gap after it,
// or late, after a waiting program's time-out has passed.
enum TUrcTiming : unsigned { UrcBefore = 1u, UrcGap = 2u, UrcLate = 4u };

// Command-line settings of the simulator; faults are off by default.
struct TSimOptions {
  int Port = 1;                       // link name comN
  bool NoLink = false;                // do not touch the port map folder
  std::string Alias;                  // a stable name for the device, as udev gives one
  std::optional<std::uint32_t> Seed;  // drift seed; unset = random
  int Baud = 0;                       // output pacing, 10 bit times per byte; 0 = unpaced
  std::set<std::string> Unanswered;   // commands (upper case, without CR) that get no reply
  std::set<std::string> Error;        // commands answered with ERROR
  bool EchoStuck = false;             // ATE0 accepted but echo stays on
  bool CutFinal = false;              // final "\r\n" of each reply not sent
  int Split = 0;                      // deliver output in pieces of this many bytes
  int GapMs = 0;                      // pause between split pieces
  bool Garbage = false;               // random bytes and NULs mixed into replies
  bool Flood = false;                 // garbage streamed while idle
  int HangupAfter = 0;                // exit after this many commands; 0 = never
  unsigned Urc = 0;                   // TUrcTiming bits
  TRadioState State = TRadioState::Camping;
  int Neighbours = -1;                  // a fixed number of neighbours 0-6; -1 = they come and go
  TRat Rat = TRat::Lte;                 // what the LTE modules camp on
  TMoniLayout Layout = TMoniLayout::A;  // fixed by the firmware: start only
  bool Control = false;                 // read control lines from standard input
  bool Help = false;
  bool Version = false;

  // The report commands the modem speaks, and how its firmware writes them: start only.
  TSimFamily Family = TSimFamily::Monitor;
  bool CengNoBlank = false;  // "+CENG:" without the blank after the colon

  std::string Imsi = "262073987654321";  // what AT+CIMI answers
  std::string Replay;                    // a drive-test record to play back instead of drifting
};

// Parses argv[1..]; returns an error text, or an empty string on success.
std::string ParseOptions(const std::vector<std::string>& Args, TSimOptions& Out);
// Parses fault and condition options only, the ones a running simulator can switch. Every
// fault in `Out` is switched off and every condition set back to its default first, so an
// empty list means "a healthy modem camping"; the rest is kept.
std::string ParseFaults(const std::vector<std::string>& Args, TSimOptions& Out);
// One line of the control input. "faults [fault options]" replaces the active faults
// in `Options`. Returns the answer line: "OK" on success, else "ERROR <why>".
std::string ApplyControl(std::string_view Text, TSimOptions& Options);
std::string HelpText();

}  // namespace vantrel::sim
