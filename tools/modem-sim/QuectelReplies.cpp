#include "QuectelReplies.h"

#include <algorithm>

#include "SimText.h"

namespace vantrel::sim {

namespace {

constexpr std::size_t MaxNeighbours = 6;

std::string StateWord(TRadioState State) {
  switch (State) {
    case TRadioState::Dedicated:
      return "CONNECT";
    case TRadioState::LimitedService:
      return "LIMSRV";
    case TRadioState::Searching:
      return "SEARCH";
    case TRadioState::Camping:
    case TRadioState::Reselection:
      break;
  }
  return "NOCONN";
}

std::string Mnc(int Mnc, int Digits) {
  return Fmt("%0*d", Digits == 3 ? 3 : 2, Mnc);
}

std::string QengLine(const std::string& Text) {
  return "+QENG: " + Text + "\r\n";
}

// The received level on the 0..63 scale whose 0 is -113 dBm.
int RxLev(int Dbm) {
  return std::clamp(Dbm + 113, 0, 63);
}

}  // namespace

std::string QengGsmServingReply(const TFamilyCell& C, TRadioState State) {
  // The band indicator is 1 only for PCS 1900, which the simulated network does not use.
  std::string Out = Fmt("\"servingcell\",\"%s\",\"GSM\",%03d,%s,%X,%X,%d,%d,0,%d,",
                        StateWord(State).c_str(), C.Mcc, Mnc(C.Mnc, C.MncDigits).c_str(),
                        C.Lac & 0xFFFF, C.CellId & 0xFFFF, C.Bsic, C.Arfcn, C.Dbm);
  switch (State) {
    case TRadioState::Dedicated:
      // In a call: hopping traffic channel, C1 and C2 not measured, the call's levels.
      Out += Fmt("%d,%d,4,0,0,0,h,1,%d,0,%d,%d,%d,%d,%d,\"EFR\"", C.Txp, C.Rla, C.Ta, C.CellId % 64,
                 RxLev(C.Dbm), RxLev(C.Dbm), C.RxQual, C.RxQual);
      break;
    case TRadioState::LimitedService:
      Out += Fmt("%d,%d,64,%d,%d,0,-,-,-,-,-,-,-,-,-,\"-\"", C.Txp, C.Rla, C.C1, C.C2);
      break;
    default:
      // Camping, the modules print 255 for the power and access levels they have not read.
      Out += Fmt("255,255,0,%d,%d,1,-,-,-,-,-,-,-,-,-,\"-\"", C.C1, C.C2);
      break;
  }
  return "\r\n" + QengLine(Out) + OkReply;
}

std::string QengRadioServingReply(const TRadioCell& C, TRadioState State) {
  const std::string Head = Fmt("\"servingcell\",\"%s\",", StateWord(State).c_str());
  if (C.Rat == TRat::Umts)
    return "\r\n" +
           QengLine(Head + Fmt("\"WCDMA\",%03d,%02d,%X,%X,%d,%d,1,%d,%d,-,-,-,-,-", C.Mcc, C.Mnc,
                               C.Area, C.CellId, C.Channel, C.Id, C.Level, C.Quality)) +
           OkReply;
  // Bands 33 and above are the TDD bands. The last field, srxlev, is RSRP over the minimum.
  const char* Duplex = C.Band >= 33 ? "TDD" : "FDD";
  return "\r\n" +
         QengLine(Head + Fmt("\"LTE\",\"%s\",%03d,%02d,%X,%d,%d,%d,3,3,%X,%d,%d,%d,%d,%d", Duplex,
                             C.Mcc, C.Mnc, C.CellId, C.Id, C.Channel, C.Band, C.Area, C.Level,
                             C.Quality, C.Rssi, C.Sinr, C.Level + 127)) +
         OkReply;
}

std::string QengSearchingReply() {
  return "\r\n" + QengLine("\"servingcell\",\"SEARCH\"") + OkReply;
}

std::string QengGsmNeighbourReply(const TFamilyCells& Cells) {
  std::string Out = "\r\n";
  const std::size_t Count = std::min(Cells.Neighbours.size(), MaxNeighbours);
  for (std::size_t I = 0; I < Count; ++I) {
    const TFamilyCell& N = Cells.Neighbours[I];
    Out += QengLine(Fmt("\"neighbourcell\",\"GSM\",%03d,%s,%X,%X,%d,%d,%d,%d,%d,0,0", N.Mcc,
                        Mnc(N.Mnc, N.MncDigits).c_str(), N.Lac & 0xFFFF, N.CellId & 0xFFFF, N.Bsic,
                        N.Arfcn, N.Dbm, N.C1, N.C2));
  }
  return Out + OkReply;
}

std::string QengRadioNeighbourReply(const TRadioCells& Cells) {
  const TRadioCell& S = Cells.Serving;
  std::string Out = "\r\n";
  const std::size_t Count = std::min(Cells.Neighbours.size(), MaxNeighbours);
  for (std::size_t I = 0; I < Count; ++I) {
    const TRadioCell& N = Cells.Neighbours[I];
    if (S.Rat == TRat::Umts) {
      // No capture shows a UMTS frequency without levels while on UMTS: only cells are listed.
      if (!N.Measured) continue;
      Out += QengLine(Fmt("\"neighbourcell\",\"WCDMA\",%d,%d,%d,%d,%d,2,-32768,-", N.Channel,
                          N.Quality * 48, N.Id, N.Level * 10 - N.Fraction,
                          N.Quality * 10 - N.Fraction));
    } else if (!N.Measured) {
      Out += QengLine(Fmt("\"neighbourcell inter\",\"LTE\",%d,-,-,-,-,-,-,0,10,7", N.Channel));
    } else if (N.Channel == S.Channel) {
      Out += QengLine(Fmt("\"neighbourcell intra\",\"LTE\",%d,%d,%d,%d,%d,%d,%d,4,12,10,62",
                          N.Channel, N.Id, N.Quality, N.Level, N.Rssi, N.Sinr, N.Level + 127));
    } else {
      Out += QengLine(Fmt("\"neighbourcell inter\",\"LTE\",%d,%d,%d,%d,%d,%d,-,-,-,-", N.Channel,
                          N.Id, N.Quality, N.Level, N.Rssi, N.Sinr));
    }
  }
  // LTE modules list the UMTS frequencies they may reselect to, never with levels.
  if (S.Rat == TRat::Lte) Out += QengLine("\"neighbourcell\",\"WCDMA\",10588,3,16,2,-,-,-,-");
  return Out + OkReply;
}

std::string Qeng2gReply(const TFamilyCells& Cells, TRadioState State) {
  std::string Out = "\r\n" + QengLine("1,1");
  if (State == TRadioState::Searching) return Out + OkReply;
  const TFamilyCell& S = Cells.Serving;
  // In a call the traffic channel, time slot, timing advance and quality take the "x" places.
  const std::string Call = State == TRadioState::Dedicated
                               ? Fmt("%d,1,x,x,%d,%d,%d", S.Arfcn, S.Ta, S.RxQual, S.RxQual)
                               : "x,x,x,x,x,x,x";
  Out += QengLine(Fmt("0,%03d,%s,%x,%x,%d,%d,%d,%d,%d,%d,%d,", S.Mcc,
                      Mnc(S.Mnc, S.MncDigits).c_str(), S.Lac & 0xFFFF, S.CellId & 0xFFFF, S.Arfcn,
                      S.Bsic, S.Dbm, S.C1, S.C2, S.Txp, S.Rla) +
                  Call);
  const std::size_t Count = std::min(Cells.Neighbours.size(), MaxNeighbours);
  if (Count == 0) return Out + OkReply;
  std::string NeighbourLine = "1";
  for (std::size_t I = 0; I < Count; ++I) {
    const TFamilyCell& N = Cells.Neighbours[I];
    NeighbourLine +=
        Fmt(",%d,%d,%d,%d,%d,%d,%03d,%s,%x,%x", int(I + 1), N.Arfcn, N.Dbm, N.Bsic, N.C1, N.C2,
            N.Mcc, Mnc(N.Mnc, N.MncDigits).c_str(), N.Lac & 0xFFFF, N.CellId & 0xFFFF);
  }
  return Out + QengLine(NeighbourLine) + OkReply;
}

}  // namespace vantrel::sim
