#include "Pacer.h"

#include <algorithm>

namespace vantrel::sim {

std::int64_t TPacer::DelayUs(std::int64_t NowUs) const {
  if (FQueue.empty()) return -1;
  return std::max<std::int64_t>(0, FNextUs - NowUs);
}

std::string TPacer::Take(std::int64_t NowUs) {
  if (FQueue.empty() || NowUs < FNextUs) return {};
  std::size_t N = FQueue.size();
  if (FSplit > 0)
    N = std::min<std::size_t>(N, std::size_t(FSplit));
  else if (FBaud > 0)
    N = std::min<std::size_t>(N, 64);  // small pieces keep the pacing smooth
  std::string Piece = FQueue.substr(0, N);
  FQueue.erase(0, N);
  std::int64_t Wait = 0;
  if (FBaud > 0) Wait = std::int64_t(N) * 10 * 1000000 / FBaud;
  if (FSplit > 0) Wait = std::max(Wait, FGapUs);
  FNextUs = NowUs + Wait;
  return Piece;
}

}  // namespace vantrel::sim
