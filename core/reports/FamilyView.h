#pragma once

#include <array>
#include <optional>
#include <vector>

#include "core/CellReports.h"

// What one report of the CENG, #MONI or CCED family gives the window, in the views the window
// already applies for the AT^MONI family. The three parts are set together, when the reply is a
// report, or all left empty, when it is not (ERROR, no cell lines): then nothing changes.
struct TFamilyView {
  // The serving column and details; its Cell.Level is the cycle's one level history sample.
  std::optional<TServingCellView> Serving;
  // Grid columns 1 to 6, always six: a column the reply does not fill comes emptied (empty
  // texts in the font colour, record TCellInfo{}, bar at -114 in LevelColor(-114)).
  std::optional<std::vector<TNeighbourColumnView>> Neighbours;
  // BSIC and cell id of grid columns 0 to 6; empty texts where the reply gives none.
  std::optional<std::array<TIdentityColumnView, 7>> Identities;

  bool HasReport() const { return Serving.has_value(); }
};
