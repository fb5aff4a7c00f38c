// The cell identity line: its comma split, and the report built from "^SMONC: " and the text.

#include <QByteArray>
#include <QList>
#include <cstddef>
#include <cstdint>

#include "ReportChecks.h"
#include "core/ReplyText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  const QByteArray Text(reinterpret_cast<const char*>(Data), static_cast<qsizetype>(Size));
  ref::CheckIdentityFields(Text, SplitIdentityFields(Text));

  // The same text as a report line, with and without the final line the report needs.
  static const std::array<TCellInfo, 7> Prev = checks::PreviousCells();
  const QByteArray Line = "^SMONC: " + Text;
  checks::CheckIdentityReport({Line, QByteArrayLiteral("OK")}, Prev);
  checks::CheckIdentityReport({Line}, Prev);
  return 0;
}
