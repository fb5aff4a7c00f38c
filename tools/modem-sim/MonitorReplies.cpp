#include "MonitorReplies.h"

#include <algorithm>

#include "SimText.h"

namespace vantrel::sim {

// Headers and columns as the modems' manuals print them (columns counted from 1):
// layout A: 1-4 chann, 5-8 rs, 9-13 dBm, 14-17 MCC, 18-21 MNC, 22-26 LAC, 27-31 cell,
// 32-35 NCC, 36-39 BCC, 40-43 PWR, 44-49 RXLev, 50-53 C1, then " I" and the dedicated part.
// Layout B: one PLMN column 14-19, every column after it two places to the left.

std::string FormatMoniTitle(TMoniLayout Layout) {
  return Layout == TMoniLayout::A
             ? "Serving Cell                                          I Dedicated channel"
             : "Serving Cell                                        I Dedicated channel";
}

std::string FormatMoniColumnHeader(TMoniLayout Layout) {
  return Layout == TMoniLayout::A
             ? "chann rs  dBm MCC MNC  LAC cell NCC BCC PWR RXLev  C1 I chann "
               "TS timAdv PWR  dBm Q ChMod"
             : "chann rs  dBm  PLMN  LAC cell NCC BCC PWR RXLev  C1 I chann TS "
               "timAdv PWR  dBm Q ChMod";
}

namespace {

// What follows the " I" separator: the call's traffic channel, or the idle state in words.
std::string MoniTail(const TServingCell& C, TRadioState State) {
  switch (State) {
    case TRadioState::Dedicated: {
      const TDedicatedChannel& D = C.Dedicated;
      return Fmt("%5d%4d%7d%4d%5d %d %s", D.Channel, D.Timeslot, D.TimingAdvance, D.Pwr, D.Dbm,
                 D.Quality, D.Mode.c_str());
    }
    case TRadioState::LimitedService:
      return "    Limited Service";
    case TRadioState::Reselection:
      return "    Cell Reselection";
    case TRadioState::Camping:
    case TRadioState::Searching:
      break;
  }
  return "    No connection";
}

int SmoncRxLev(int Dbm) {
  return std::clamp(Dbm - TCellModel::MinDbm, 0, 63);
}

}  // namespace

std::string FormatMoniDataLine(const TServingCell& C, TMoniLayout Layout, TRadioState State) {
  if (State == TRadioState::Searching) return "Searching";
  // Layout A: MCC and MNC each right-aligned in four places. Layout B: the five PLMN digits
  // (six with a three-digit MNC) right-aligned in six.
  const std::string Plmn = Layout == TMoniLayout::A
                               ? Fmt(" %03d%4s", C.Mcc, Fmt("%02d", C.Mnc).c_str())
                           : C.Mnc >= 100 ? Fmt("%03d%03d", C.Mcc, C.Mnc)
                                          : Fmt(" %03d%02d", C.Mcc, C.Mnc);
  return Fmt("%4d%4d%5d", C.Channel, C.Rs, C.Dbm) + Plmn +
         Fmt(" %04X %04X%4d%4d%4d%6d%4d I", C.Lac & 0xFFFF, C.CellId & 0xFFFF, C.Ncc, C.Bcc, C.Pwr,
             C.RxLev, C.C1) +
         MoniTail(C, State);
}

std::string FormatMonpHeader() {
  return "chann rs  dBm MCC MNC BCC  C1  C2";
}

std::string FormatMonpLine(const TNeighbourCell& N, bool Dedicated) {
  const std::string C1C2 = Dedicated ? "   -   -" : Fmt("%4d%4d", N.C1, N.C2);
  return Fmt("%4d%4d%5d%4d  %02d%4d", N.Channel, N.Rs, N.Dbm, N.Mcc, N.Mnc, N.Bcc) + C1C2;
}

std::string FormatSmoncGroup(const TServingCell& C) {
  return Fmt("%03d,%02d,%04X,%04X,%d%d,%d,%d,%d,%d", C.Mcc, C.Mnc, C.Lac & 0xFFFF,
             C.CellId & 0xFFFF, C.Ncc, C.Bcc, C.Channel, SmoncRxLev(C.Dbm), C.C1, C.C1);
}

std::string FormatSmoncGroup(const TNeighbourCell& N) {
  if (N.Kind && *N.Kind != TSlotKind::Cell) return EmptySmoncGroup();
  return Fmt("%03d,%02d,%04X,%04X,%d%d,%d,%d,%d,%d", N.Mcc, N.Mnc, N.Lac & 0xFFFF,
             N.CellId & 0xFFFF, N.Ncc, N.Bcc, N.Channel, SmoncRxLev(N.Dbm), N.C1, N.C2);
}

std::string EmptySmoncGroup() {
  return "000,00,0000,0000,00,0,0,0,0";
}

std::string MoniReply(const TCellModel& M, TMoniLayout Layout) {
  return Line(FormatMoniTitle(Layout)) + Line(FormatMoniColumnHeader(Layout)) +
         Line(FormatMoniDataLine(M.Serving(), Layout, M.State())) + OkReply;
}

std::string MonpReply(const TCellModel& M) {
  std::string Out = Line(FormatMonpHeader());
  const bool Dedicated = M.State() == TRadioState::Dedicated;
  for (const auto& N : M.PresentNeighbours()) Out += Line(FormatMonpLine(N, Dedicated));
  return Out + OkReply;
}

std::string SmoncReply(const TCellModel& M) {
  std::string Out =
      "^SMONC: " + (M.HasServing() ? FormatSmoncGroup(M.Serving()) : EmptySmoncGroup());
  const auto Present = M.PresentNeighbours();
  // Appended in two steps: "," + a temporary makes g++ 12 at -O3 warn of an overlap that
  // cannot happen (-Wrestrict), which breaks a Release build with warnings as errors.
  for (std::size_t I = 0; I < 6; ++I) {
    Out += ',';
    Out += I < Present.size() ? FormatSmoncGroup(Present[I]) : EmptySmoncGroup();
  }
  return Line(Out) + OkReply;
}

}  // namespace vantrel::sim
