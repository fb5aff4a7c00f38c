#include "ModemCore.h"

#include <iterator>

#include "MonitorReplies.h"
#include "SimText.h"

namespace vantrel::sim {

std::string UnsolicitedCode(std::size_t Index) {
  static const char* const Codes[] = {"RING",
                                      "+CREG: 1",
                                      "+CMTI: \"SM\",3",
                                      "+CGREG: 1,\"1001\",\"0103\"",
                                      "+CRING: VOICE",
                                      "+CLIP: \"+493012345678\",145,,,,0",
                                      "+CUSD: 0,\"Balance 5.00, valid until 31.12.\",15",
                                      "+CREG: 5"};
  return Codes[Index % std::size(Codes)];
}

TModemCore::TModemCore(TSimOptions Options)
    : FOptions(std::move(Options)),
      FModel(FOptions.Seed.value_or(std::random_device{}())),
      FRng(FOptions.Seed.value_or(0) ^ 0x5eed5eedu),
      FHangupAt(FOptions.HangupAfter),
      FIdentity(FamilyIdentity(FOptions.Family)),
      FFamily(FOptions.Family, TCengStyle{.BlankAfterColon = !FOptions.CengNoBlank}) {
  FModel.SetState(FOptions.State);
  FModel.SetNeighbourCount(FOptions.Neighbours);
}

void TModemCore::SetFaults(const TSimOptions& Faults) {
  FOptions.Unanswered = Faults.Unanswered;
  FOptions.Error = Faults.Error;
  FOptions.EchoStuck = Faults.EchoStuck;
  FOptions.CutFinal = Faults.CutFinal;
  FOptions.Split = Faults.Split;
  FOptions.GapMs = Faults.GapMs;
  FOptions.Garbage = Faults.Garbage;
  FOptions.Flood = Faults.Flood;
  FOptions.HangupAfter = Faults.HangupAfter;
  FOptions.Urc = Faults.Urc;
  FOptions.State = Faults.State;
  FOptions.Neighbours = Faults.Neighbours;
  FOptions.Rat = Faults.Rat;
  FModel.SetState(Faults.State);
  FModel.SetNeighbourCount(Faults.Neighbours);
  FHangupAt = Faults.HangupAfter > 0 ? FCommands + Faults.HangupAfter : 0;
}

std::string TModemCore::Feed(std::string_view Bytes) {
  std::string Out;
  for (char C : Bytes) {
    if (C != '\r' && C != '\n') {
      FLine += C;
      // The escape sequence arrives without a line end; a modem swallows it.
      if (FLine.size() >= 3 && FLine.compare(FLine.size() - 3, 3, "+++") == 0)
        FLine.resize(FLine.size() - 3);
      // A line that never ends must not grow without bound.
      if (FLine.size() > MaxLine) FLine.clear();
      continue;
    }
    std::string Command;
    Command.swap(FLine);
    // Surrounding blanks and the "\n" of a "\r\n" line end are not commands.
    const auto First = Command.find_first_not_of(" \t");
    if (First == std::string::npos) continue;
    Command = Command.substr(First, Command.find_last_not_of(" \t") - First + 1);
    if (Echo()) Out += Command + C;
    Out += Execute(Command);
    if (HangupDue()) break;
  }
  return Out;
}

std::string TModemCore::NextUrcLine() {
  return Line(UnsolicitedCode(FUrcs++));
}

std::vector<TModemCore::TScheduled> TModemCore::TakeScheduled() {
  std::vector<TScheduled> Out;
  Out.swap(FScheduled);
  return Out;
}

std::string TModemCore::Execute(const std::string& Raw) {
  ++FCommands;
  const std::string Command = Upper(Raw);
  // The modem holds its unsolicited codes while a command runs and sends them when the line is
  // free: after the reply, or, for a command the program gave up on, after its time-out.
  if (FOptions.Urc & UrcGap) FScheduled.push_back({GapUrcDelayMs, NextUrcLine()});
  if (FOptions.Urc & UrcLate) FScheduled.push_back({LateUrcDelayMs, NextUrcLine()});
  if (FOptions.Unanswered.count(Command)) return {};
  if (FOptions.Error.count(Command)) return Finish(ErrorReply);
  std::string Reply;
  if (Command == "AT" || Command == "ATV1") {
    Reply = OkReply;
  } else if (Command == "ATE0" || Command == "ATE1") {
    FEcho = Command == "ATE1";
    Reply = OkReply;
  } else if (Command == "AT+GMI") {
    Reply = Line(FIdentity.Manufacturer) + OkReply;
  } else if (Command == "AT+GMM") {
    Reply = Line(FIdentity.Model) + OkReply;
  } else if (Command == "AT+GMR") {
    Reply = Line(FIdentity.Revision) + OkReply;
  } else if (Command == "AT+GSN") {
    Reply = Line("357246031234567") + OkReply;
  } else if (Command == "AT+CIMI") {
    Reply = Line(FOptions.Imsi) + OkReply;
  } else if (auto Own = FFamily.Execute(Command, FModel, FOptions.Rat)) {
    Reply = std::move(*Own);
  } else if (FFamily.Family() != TSimFamily::Monitor) {
    // A modem of another family knows none of the AT^ reports.
    Reply = ErrorReply;
  } else if (Command == "AT^MONI") {
    FModel.Step();
    Reply = MoniReply(FModel, FOptions.Layout);
  } else if (Command == "AT^MONP") {
    Reply = MonpReply(FModel);
  } else if (Command == "AT^SMONC") {
    Reply = SmoncReply(FModel);
  } else {
    Reply = ErrorReply;
  }
  // One that came in while the command ran goes out just before the reply.
  if (FOptions.Urc & UrcBefore) Reply = NextUrcLine() + Reply;
  return Finish(std::move(Reply));
}

std::string TModemCore::Finish(std::string Reply) {
  if (FOptions.CutFinal && Reply.size() >= 2 && Reply.compare(Reply.size() - 2, 2, "\r\n") == 0)
    Reply.resize(Reply.size() - 2);
  if (FOptions.Garbage && !Reply.empty()) {
    // A NUL always, plus a few random bytes at random places.
    const int Extra = std::uniform_int_distribution<int>(1, 4)(FRng);
    for (int I = 0; I <= Extra; ++I) {
      const auto At = std::uniform_int_distribution<std::size_t>(0, Reply.size())(FRng);
      const char B = I == 0 ? '\0' : char(std::uniform_int_distribution<int>(0, 255)(FRng));
      Reply.insert(Reply.begin() + std::ptrdiff_t(At), B);
    }
  }
  return Reply;
}

std::string TModemCore::Noise(std::size_t Count) {
  std::string Out(Count, '\0');
  for (char& C : Out) C = char(std::uniform_int_distribution<int>(0, 255)(FRng));
  return Out;
}

}  // namespace vantrel::sim
