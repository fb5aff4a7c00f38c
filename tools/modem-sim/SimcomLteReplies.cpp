#include "SimcomLteReplies.h"

#include <algorithm>

#include "SimText.h"

namespace vantrel::sim {

namespace {

constexpr std::size_t MaxNeighbours = 6;

// The GSM band by channel, as the module names it.
const char* GsmBandName(int Arfcn) {
  if (Arfcn >= 512 && Arfcn <= 885) return "DCS 1800";
  return "EGSM 900";
}

const char* UmtsBandName(int Band) {
  switch (Band) {
    case 5:
      return "850";
    case 8:
      return "900";
    default:
      return "2100";
  }
}

std::string CpsiLine(const std::string& Text) {
  return "\r\n+CPSI: " + Text + "\r\n" + OkReply;
}

}  // namespace

std::string CpsiGsmReply(const TFamilyCell& C) {
  return CpsiLine(Fmt("GSM,Online,%03d-%0*d,0x%04x,%d,%d %s,%d,0,%d-%d", C.Mcc,
                      C.MncDigits == 3 ? 3 : 2, C.Mnc, C.Lac & 0xFFFF, C.CellId & 0xFFFF, C.Arfcn,
                      GsmBandName(C.Arfcn), C.Dbm, C.C1, C.C2));
}

std::string CpsiRadioReply(const TRadioCell& C, const TCpsiStyle& Style) {
  if (C.Rat == TRat::Umts) {
    const int Qual = std::clamp(C.Level + 106, 0, 63);
    const int RxLev = std::clamp(C.Level + 119, 0, 63);
    return CpsiLine(Fmt("WCDMA,Online,%03d-%02d,0x%04X,%d,WCDMA %s,%d,%d,0,%d.%d,%d,%d,%d,500",
                        C.Mcc, C.Mnc, C.Area, C.CellId, UmtsBandName(C.Band), C.Id, C.Channel,
                        -C.Quality, C.Fraction, -C.Level, Qual, RxLev));
  }
  // Tenths: -17.8 dB is printed -178.
  auto Value = [&](int Db, int Shift) {
    return Style.Tenths ? Db * 10 - (C.Whole ? 0 : (C.Fraction + Shift) % 10) : Db;
  };
  return CpsiLine(Fmt("%.*s,Online,%03d-%02d,0x%04X,%d,%d,EUTRAN-BAND%d,%d,3,3,%d,%d,%d,%d",
                      int(Style.LteName.size()), Style.LteName.data(), C.Mcc, C.Mnc, C.Area,
                      C.CellId, C.Id, C.Band, C.Channel, Value(C.Quality, 0), Value(C.Level, 3),
                      Value(C.Rssi, 7), C.Sinr));
}

std::string CpsiNoServiceReply() {
  return CpsiLine("NO SERVICE,Online");
}

std::string CengLteReply(const TRadioCells* Cells, bool On, std::string_view SystemMode) {
  std::string Body;
  int Listed = 0;
  if (On && Cells) {
    const TRadioCell& S = Cells->Serving;
    Body += Fmt("+CENG: 0,\"%d,%d,%d,%d,%d,%d,%d,%d,%03d,%02d,255\"\r\n", S.Channel, S.Id, S.Level,
                S.Rssi, S.Quality, S.Sinr, S.Area, S.CellId, S.Mcc, S.Mnc);
    ++Listed;
    const std::size_t Count = std::min(Cells->Neighbours.size(), MaxNeighbours);
    for (std::size_t I = 0; I < Count; ++I) {
      const TRadioCell& N = Cells->Neighbours[I];
      if (!N.Measured) continue;
      Body += Fmt("+CENG: %d,\"%d,%d,%d,%d,%d,%d\"\r\n", Listed++, N.Channel, N.Id, N.Level, N.Rssi,
                  N.Quality, N.Sinr);
    }
  }
  const std::string Head =
      Fmt("+CENG: %d,1,%d,%.*s", On ? 1 : 0, Listed, int(SystemMode.size()), SystemMode.data());
  return "\r\n" + Head + "\r\n" + (Body.empty() ? "" : "\r\n" + Body) + OkReply;
}

}  // namespace vantrel::sim
