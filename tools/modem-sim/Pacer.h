#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vantrel::sim {

// Output scheduling: split pieces with gaps and line-rate pacing. Times in microseconds.
class TPacer {
 public:
  TPacer(int Split, int GapMs, int Baud)
      : FSplit(Split), FGapUs(std::int64_t(GapMs) * 1000), FBaud(Baud) {}
  void Push(std::string_view Bytes) { FQueue.append(Bytes); }
  // Takes effect from the next piece on.
  void SetSplit(int Split, int GapMs) {
    FSplit = Split;
    FGapUs = std::int64_t(GapMs) * 1000;
  }
  // Puts back the unwritten tail of the last piece.
  void Unshift(std::string_view Bytes) { FQueue.insert(0, Bytes); }
  bool Empty() const { return FQueue.empty(); }
  // Microseconds until the next piece may go; 0 = now; -1 = nothing queued.
  std::int64_t DelayUs(std::int64_t NowUs) const;
  // The piece that may be written now (empty if none).
  std::string Take(std::int64_t NowUs);

 private:
  int FSplit;
  std::int64_t FGapUs;
  int FBaud;
  std::string FQueue;
  std::int64_t FNextUs = 0;
};

}  // namespace vantrel::sim
