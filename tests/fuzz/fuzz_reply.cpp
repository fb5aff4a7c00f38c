// Reply bytes from the modem: the line cutting and the three report parsers on its lines.

#include <QByteArray>
#include <QList>
#include <cstddef>
#include <cstdint>

#include "ReportChecks.h"
#include "core/ReplyText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  const QByteArray Reply(reinterpret_cast<const char*>(Data), static_cast<qsizetype>(Size));
  const QList<QByteArray> Lines = SplitReplyLines(Reply);
  ref::CheckReplyLines(Reply, Lines);

  static const std::array<TCellInfo, 7> Prev = checks::PreviousCells();
  checks::CheckServing(Lines, Prev);
  checks::CheckNeighbours(Lines, Prev);
  checks::CheckIdentityReport(Lines, Prev);
  return 0;
}
