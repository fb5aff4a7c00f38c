// The number formats on arbitrary doubles and patterns: the text has the pattern's shape and
// reads back as the value to within half a unit of its last place.

#include <fuzzer/FuzzedDataProvider.h>

#include <QString>
#include <clocale>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "FormatChecks.h"
#include "FuzzCheck.h"
#include "Separators.h"
#include "core/NumberFormat.h"

namespace {

void Check(const QString& Pattern, double Value, QChar Decimal, QChar Thousand) {
  const QString Text = FormatFloat(Pattern, Value, Decimal, Thousand);
  if (std::isnan(Value)) {
    FUZZ_CHECK(Text == QStringLiteral("NAN"));
    return;
  }
  if (std::isinf(Value)) {
    FUZZ_CHECK(Text == (Value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF")));
    return;
  }
  const fmt::TShape Shape = fmt::ShapeOf(Pattern);
  const double Read = fmt::ReadBack(Text, Shape, Decimal, Thousand);
  FUZZ_CHECK(fmt::Near(Read, Value, Shape));
  if (Read != 0.0) FUZZ_CHECK(std::signbit(Read) == std::signbit(Value));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The program's application object sets the C library to the user's locale; so do we, so
  // that a run under a decimal-comma locale shows whether the formats depend on it.
  std::setlocale(LC_ALL, "");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  FuzzedDataProvider In(Data, Size);
  const auto [Decimal, Thousand] = SeparatorsFrom(In.ConsumeIntegral<std::uint8_t>());
  // Levels and statistics as the program formats them, then any bit pattern at all.
  const double Level =
      In.ConsumeIntegral<std::int16_t>() / std::pow(2.0, In.ConsumeIntegralInRange(0, 20));
  const double Any = In.ConsumeFloatingPoint<double>();
  double Bits = 0;
  const std::uint64_t Raw = In.ConsumeIntegral<std::uint64_t>();
  static_assert(sizeof Bits == sizeof Raw);
  std::memcpy(&Bits, &Raw, sizeof Bits);

  static const QString Statistics = QStringLiteral("#,##0.###");
  static const QString Average = QStringLiteral("##0.0");
  // Any pattern of the four pattern characters, up to 40 of them.
  QString Pattern;
  for (int I = In.ConsumeIntegralInRange(0, 40); I > 0; --I)
    Pattern += QChar(u"0#,.x"[In.ConsumeIntegralInRange(0, 4)]);

  for (const double Value : {Level, Any, Bits}) {
    Check(Statistics, Value, Decimal, Thousand);
    Check(Average, Value, Decimal, Thousand);
    Check(Pattern, Value, Decimal, Thousand);
  }
  return 0;
}
