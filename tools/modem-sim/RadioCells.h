#pragma once

#include "FamilyReplies.h"

namespace vantrel::sim {

class TCellModel;

// The model's cells as the reports of a family list them. The model drifts GSM cells; the LTE
// and UMTS cells of the newer modules are drawn from them, so every family drifts alike: a
// level walks, a neighbour comes and goes, and one whose identity a GSM report leaves out is a
// configured frequency without levels in an LTE report.

// The serving cell and the present neighbours in slot order. Now and then a neighbour is heard
// but not decoded (no network, no cell id) or its identity not read yet (cell id FFFF), as
// field captures show.
TFamilyCells FamilyCells(const TCellModel& Model);

// The same cells on UMTS or LTE (`Rat` other than GSM): channels, bands, identities and levels
// of that technology. A replayed cycle that recorded such cells gives them as they were.
TRadioCells RadioCells(const TCellModel& Model, TRat Rat);

}  // namespace vantrel::sim
