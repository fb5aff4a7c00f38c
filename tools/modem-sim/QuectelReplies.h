#pragma once

#include <string>

#include "FamilyReplies.h"
#include "SimOptions.h"

// Quectel's engineering reports, printed as the real modules print them: the LTE modules'
// AT+QENG="servingcell" and AT+QENG="neighbourcell", and the 2G modules' AT+QENG?.
namespace vantrel::sim {

// AT+QENG="servingcell" on GSM, UMTS or LTE: one line in the form of the technology. The state
// word follows the radio: NOCONN camping, CONNECT in a call, LIMSRV without registration.
std::string QengGsmServingReply(const TFamilyCell& C, TRadioState State);
std::string QengRadioServingReply(const TRadioCell& C, TRadioState State);
// While searching the line ends after the state.
std::string QengSearchingReply();

// AT+QENG="neighbourcell": one line per neighbour. On LTE a measured neighbour on the serving
// cell's frequency is "intra", one on another frequency "inter", and a neighbour that was not
// measured is a configured frequency with its levels "-"; a UMTS frequency for reselection
// follows. UMTS neighbours print RSCP and Ec/No in tenths, as the manual's example does.
std::string QengGsmNeighbourReply(const TFamilyCells& Cells);
std::string QengRadioNeighbourReply(const TRadioCells& Cells);

// AT+QENG? of a 2G module switched on with AT+QENG=1,1: the mode line, the serving cell
// (index 0) and one line (index 1) with up to six neighbours of ten fields each; "x" where
// there is no value.
std::string Qeng2gReply(const TFamilyCells& Cells, TRadioState State);

}  // namespace vantrel::sim
