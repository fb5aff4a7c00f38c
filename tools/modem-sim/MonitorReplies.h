#pragma once

#include <string>

#include "CellModel.h"

// The AT^MONI / AT^MONP / AT^SMONC report family, printed as the real modems print it.
namespace vantrel::sim {

// The two header lines of the serving cell report.
std::string FormatMoniTitle(TMoniLayout Layout);
std::string FormatMoniColumnHeader(TMoniLayout Layout);
// The data line; "Searching" replaces it when there is no cell.
std::string FormatMoniDataLine(const TServingCell& C, TMoniLayout Layout = TMoniLayout::A,
                               TRadioState State = TRadioState::Camping);
std::string FormatMonpHeader();
// In dedicated mode the modem does not measure C1 and C2 and prints "-".
std::string FormatMonpLine(const TNeighbourCell& N, bool Dedicated = false);
// One cell's nine identity fields, and the group of an empty slot.
std::string FormatSmoncGroup(const TServingCell& C);
std::string FormatSmoncGroup(const TNeighbourCell& N);
std::string EmptySmoncGroup();
// The complete reply bodies (without the command echo).
std::string MoniReply(const TCellModel& M, TMoniLayout Layout = TMoniLayout::A);
std::string MonpReply(const TCellModel& M);
std::string SmoncReply(const TCellModel& M);

}  // namespace vantrel::sim
