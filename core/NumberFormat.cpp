#include "core/NumberFormat.h"

#include <charconv>
#include <cmath>
#include <string>

namespace {

struct TPattern {
  bool Grouping = false;
  int MinIntDigits = 0;
  int MinDecimals = 0;
  int MaxDecimals = 0;
};

TPattern ParsePattern(const QString& Pattern) {
  TPattern P;
  bool InFraction = false;
  for (QChar C : Pattern) {
    if (C == u'.') {
      InFraction = true;
    } else if (InFraction) {
      if (C == u'0') {
        ++P.MinDecimals;
        ++P.MaxDecimals;
      } else if (C == u'#') {
        ++P.MaxDecimals;
      }
    } else if (C == u',') {
      P.Grouping = true;
    } else if (C == u'0') {
      ++P.MinIntDigits;
    }
  }
  // A double holds no more than 17 significant digits; more decimals would only print noise.
  if (P.MaxDecimals > 17) P.MaxDecimals = 17;
  if (P.MinDecimals > P.MaxDecimals) P.MinDecimals = P.MaxDecimals;
  if (P.MinIntDigits > 32) P.MinIntDigits = 32;
  return P;
}

}  // namespace

QString FormatFloat(const QString& Pattern, double Value, QChar DecimalSeparator,
                    QChar ThousandSeparator) {
  if (std::isnan(Value)) return QStringLiteral("NAN");
  if (std::isinf(Value)) return Value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");

  const TPattern P = ParsePattern(Pattern);
  const bool Negative = std::signbit(Value);
  // Print far more decimals than needed: to_chars gives the exact binary value's digits, so
  // the extra ones show whether a value lies exactly halfway, which plain "%.3f" would settle
  // by round-half-even instead of away from zero. Unlike printf it always writes ".": the Qt
  // application sets the C library to the user's locale, whose decimal point may be ",".
  const int Extra = 25;
  char Buffer[400];  // DBL_MAX has 309 integer digits
  const auto [End, Error] = std::to_chars(Buffer, Buffer + sizeof Buffer, std::fabs(Value),
                                          std::chars_format::fixed, P.MaxDecimals + Extra);
  if (Error != std::errc()) return QStringLiteral("NAN");
  std::string Text(Buffer, End);
  const std::size_t Dot = Text.find('.');
  std::string IntDigits = Text.substr(0, Dot);
  std::string Fraction = Text.substr(Dot + 1);
  const bool RoundUp = Fraction[static_cast<std::size_t>(P.MaxDecimals)] >= '5';
  Fraction.resize(static_cast<std::size_t>(P.MaxDecimals));
  if (RoundUp) {
    std::string All = IntDigits + Fraction;
    int I = static_cast<int>(All.size()) - 1;
    while (I >= 0 && All[static_cast<std::size_t>(I)] == '9')
      All[static_cast<std::size_t>(I--)] = '0';
    if (I < 0)
      All.insert(All.begin(), '1');
    else
      ++All[static_cast<std::size_t>(I)];
    IntDigits = All.substr(0, All.size() - Fraction.size());
    Fraction = All.substr(All.size() - Fraction.size());
  }
  while (static_cast<int>(Fraction.size()) > P.MinDecimals && !Fraction.empty() &&
         Fraction.back() == '0')
    Fraction.pop_back();

  // Leading zeros are kept only as far as the pattern's "0" digits ask for.
  std::size_t FirstNonZero = IntDigits.find_first_not_of('0');
  if (FirstNonZero == std::string::npos) FirstNonZero = IntDigits.size();
  IntDigits.erase(0, FirstNonZero);
  while (static_cast<int>(IntDigits.size()) < P.MinIntDigits)
    IntDigits.insert(IntDigits.begin(), '0');

  // A value that rounds to zero prints without a sign, whatever its own sign was.
  const bool AllZero = IntDigits.find_first_not_of('0') == std::string::npos &&
                       Fraction.find_first_not_of('0') == std::string::npos;

  QString Result;
  if (Negative && !AllZero) Result += u'-';
  for (std::size_t I = 0; I < IntDigits.size(); ++I) {
    if (P.Grouping && I > 0 && (IntDigits.size() - I) % 3 == 0) Result += ThousandSeparator;
    Result += QChar(IntDigits[I]);
  }
  if (!Fraction.empty()) {
    Result += DecimalSeparator;
    Result += QString::fromLatin1(Fraction.data(), static_cast<qsizetype>(Fraction.size()));
  }
  if (Result.isEmpty() || Result == u'-') Result = QStringLiteral("0");
  return Result;
}
