#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "CellModel.h"
#include "FamilyModem.h"
#include "SimOptions.h"

namespace vantrel::sim {

// The unsolicited result codes the simulator sends, in turn.
std::string UnsolicitedCode(std::size_t Index);

// The modem's command interpreter: bytes in, bytes out; no I/O of its own.
class TModemCore {
 public:
  explicit TModemCore(TSimOptions Options);

  // Takes received bytes and returns what the modem sends back (echo and replies).
  std::string Feed(std::string_view Bytes);
  // Random bytes for the flood fault.
  std::string Noise(std::size_t Count);

  // Output due some time after the feed that produced it (unsolicited codes of the gap and
  // late faults); it does not hold up the replies that follow.
  struct TScheduled {
    int DelayMs = 0;
    std::string Bytes;
  };
  // Takes what the feeds since the last call scheduled, in order.
  std::vector<TScheduled> TakeScheduled();
  static constexpr int GapUrcDelayMs = 20;
  static constexpr int LateUrcDelayMs = 600;

  // Switches to the faults of `Faults` (its other settings are ignored). A hang-up
  // counts its commands from now on.
  void SetFaults(const TSimOptions& Faults);

  // Whether commands are echoed: as ATE0/ATE1 left it, or always while echo is stuck.
  bool Echo() const { return FEcho || FOptions.EchoStuck; }
  int CommandCount() const { return FCommands; }
  bool HangupDue() const { return FHangupAt > 0 && FCommands >= FHangupAt; }
  const TCellModel& Model() const { return FModel; }
  // Plays the recorded cycles back, one per report cycle, looping at the end.
  void Replay(std::vector<TReplayCycle> Script) { FModel.SetScript(std::move(Script)); }
  std::size_t PendingInput() const { return FLine.size(); }

  static constexpr std::size_t MaxLine = 4096;

 private:
  std::string Execute(const std::string& Command);
  std::string Finish(std::string Reply);
  std::string NextUrcLine();

  TSimOptions FOptions;
  TCellModel FModel;
  std::mt19937 FRng;
  std::string FLine;
  bool FEcho = true;
  int FCommands = 0;
  int FHangupAt = 0;  // command count at which to hang up; 0 = never
  std::size_t FUrcs = 0;
  std::vector<TScheduled> FScheduled;
  TModemIdentity FIdentity;
  TFamilyModem FFamily;
};

}  // namespace vantrel::sim
