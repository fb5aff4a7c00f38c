#include "modem-sim/Reports.h"

#include <algorithm>
#include <cstdio>

namespace vantrel::sim {

namespace {

template <typename... Args>
std::string Format(const char* pattern, Args... args) {
  char buffer[160];
  const int n = std::snprintf(buffer, sizeof buffer, pattern, args...);
  return std::string(buffer, static_cast<std::size_t>(std::clamp(n, 0, int(sizeof buffer) - 1)));
}

// Clamping keeps every value inside its column width, whatever the model holds.
int Fit(int value, int lo, int hi) { return std::clamp(value, lo, hi); }

}  // namespace

std::vector<std::string> MoniLines(const RadioState& radio) {
  const SimCell& s = radio.Serving();
  std::vector<std::string> lines;
  lines.emplace_back("Serving Cell                                    I Dedicated channel");
  lines.emplace_back(
      "chann rs  dBm  MCC MNC  LAC cell    NCC BCC PWR RxLev  C1 I chann TS timAdv PWR dBm Q "
      "ChMod");
  lines.push_back(Format("%4d%4d%5d%4d%4.2d %04X  %04X%4d%3d%4d %5d%4d I No connection",
                         Fit(s.Channel, 0, 9999), Fit(s.RxLev(), 0, 99), Fit(s.Dbm, -999, 9999),
                         Fit(s.Mcc, 0, 999), Fit(s.Mnc, 0, 999), Fit(s.Lac, 0, 0xFFFF),
                         Fit(s.CellId, 0, 0xFFFF), Fit(s.Ncc, 0, 7), Fit(s.Bcc, 0, 7),
                         Fit(s.Pwr, 0, 99), Fit(s.RxLevAccessMin, -999, 9999),
                         Fit(s.C1(), -99, 999)));
  return lines;
}

std::vector<std::string> MonpLines(const RadioState& radio) {
  std::vector<std::string> lines;
  lines.emplace_back("chann rs  dBm  MCC MNC BCC   C1  C2");
  for (const SimCell& n : radio.Neighbours()) {
    lines.push_back(Format("%4d%4d%5d%4d%4.2d%4d%5d%4d", Fit(n.Channel, 0, 9999),
                           Fit(n.RxLev(), 0, 99), Fit(n.Dbm, -999, 9999), Fit(n.Mcc, 0, 999),
                           Fit(n.Mnc, 0, 999), Fit(n.Bcc, 0, 7), Fit(n.C1(), -999, 9999),
                           Fit(n.C2(), -99, 999)));
  }
  return lines;
}

std::string SmoncLine(const RadioState& radio) {
  auto group = [](const SimCell& c) {
    return Format("%03d,%02d,%04X,%04X,%02d,%d,%d,%d,%d", c.Mcc, c.Mnc, c.Lac & 0xFFFF,
                  c.CellId & 0xFFFF, c.Bsic(), c.Channel, c.RxLev(), c.C1(), c.C2());
  };
  std::string line = "^SMONC: " + group(radio.Serving());
  const auto& neighbours = radio.Neighbours();
  for (int i = 0; i < RadioState::MaxNeighbours; ++i) {
    line += ',';
    line += i < int(neighbours.size()) ? group(neighbours[std::size_t(i)])
                                       : std::string("000,000,0000,0000,00,0,0,-,-");
  }
  return line;
}

}  // namespace vantrel::sim
