#pragma once

#include <string>
#include <string_view>

#include "FamilyReplies.h"

// SIMCom's LTE modules, printed as the real modules print them: AT+CPSI? (SIM7600, SIM7000) and
// the SIM7000's LTE form of AT+CENG?.
namespace vantrel::sim {

// How a module writes its AT+CPSI? line on LTE.
struct TCpsiStyle {
  std::string_view LteName = "LTE";  // the system mode: "LTE", "LTE CAT-M1", "LTE NB-IOT"
  bool Tenths = true;                // SIM7600/SIM7500 print RSRQ, RSRP and RSSI in tenths
};

// The serving cell on GSM (channel and band name in one field, C1-C2 in one), on UMTS (Ec/Io
// and RSCP as positive dB below zero, as the sample module prints them) or on LTE.
std::string CpsiGsmReply(const TFamilyCell& C);
std::string CpsiRadioReply(const TRadioCell& C, const TCpsiStyle& Style);
std::string CpsiNoServiceReply();

// AT+CENG? of a SIM7000 after AT+CENG=1,1: the mode line with the number of cells and the
// system mode, a blank line, the serving cell (TAC and cell id decimal) and each measured
// neighbour. `On` false (not switched on yet) or no `Cells` (not on LTE): the mode line alone.
std::string CengLteReply(const TRadioCells* Cells, bool On, std::string_view SystemMode);

}  // namespace vantrel::sim
