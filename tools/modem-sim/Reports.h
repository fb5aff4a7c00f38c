#pragma once

#include <string>
#include <vector>

#include "modem-sim/RadioState.h"

namespace vantrel::sim {

// The engineering reports as lines without line endings and without the final
// "OK". Readers cut the values out of fixed columns, so every field is written
// with a fixed width (columns counted from 1):
//   AT^MONI data line: 1-4 channel, 5-8 rs, 9-13 dBm, 14-17 MCC, 18-21 MNC,
//     22-26 LAC (hex), 27-32 cell (hex), 33-36 NCC, 37-39 BCC, 40-43 PWR,
//     45-49 RxLev (access minimum, dBm), 50-53 C1, then the dedicated-channel part.
//   AT^MONP neighbour line: 1-4 channel, 5-8 rs, 9-13 dBm, 14-17 MCC, 18-21 MNC,
//     22-25 BCC, 26-30 C1, 31-34 C2.

/// Header, column header and data line of the serving cell report.
std::vector<std::string> MoniLines(const RadioState& radio);

/// Column header and one line per neighbour (0 to 6).
std::vector<std::string> MonpLines(const RadioState& radio);

/// "^SMONC: " and 7 groups of 9 fields (MCC, MNC, LAC, cell, BSIC, channel,
/// RXLEV, C1, C2): the serving cell, then the neighbours; absent neighbours
/// are filled with placeholder fields, so there are always 63 non-empty fields.
std::string SmoncLine(const RadioState& radio);

}  // namespace vantrel::sim
