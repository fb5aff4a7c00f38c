#pragma once

// Reading back what the number formats wrote: the text must have the shape the pattern asks
// for, and its value must be the formatted value to within half a unit of the last place.

#include <QChar>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cmath>

#include "FuzzCheck.h"

namespace fmt {

struct TShape {
  bool Grouping = false;
  int MinIntDigits = 0;
  int MinDecimals = 0;
  int MaxDecimals = 0;
};

// How a pattern of "0", "#", "," and "." reads; any other character is ignored.
inline TShape ShapeOf(const QString& Pattern) {
  TShape S;
  const qsizetype Dot = Pattern.indexOf(u'.');
  const QString Int = Dot < 0 ? Pattern : Pattern.left(Dot);
  const QString Frac = Dot < 0 ? QString() : Pattern.mid(Dot + 1);
  S.Grouping = Int.contains(u',');
  S.MinIntDigits = std::min<int>(static_cast<int>(Int.count(u'0')), 32);
  S.MaxDecimals = std::min<int>(static_cast<int>(Frac.count(u'0') + Frac.count(u'#')), 17);
  S.MinDecimals = std::min<int>(static_cast<int>(Frac.count(u'0')), S.MaxDecimals);
  return S;
}

inline bool AllDigits(const QString& Text) {
  for (QChar C : Text)
    if (C < u'0' || C > u'9') return false;
  return true;
}

// Checks the text's shape and gives its value.
inline double ReadBack(const QString& Text, const TShape& S, QChar Decimal, QChar Thousand) {
  QString Rest = Text;
  const bool Negative = Rest.startsWith(u'-');
  if (Negative) Rest.remove(0, 1);
  const qsizetype Dot = Rest.indexOf(Decimal);
  const QString Int = Dot < 0 ? Rest : Rest.left(Dot);
  const QString Fraction = Dot < 0 ? QString() : Rest.mid(Dot + 1);

  // Groups of three from the right, the first one shorter, when the pattern groups at all.
  const QStringList Groups = S.Grouping ? Int.split(Thousand) : QStringList{Int};
  for (qsizetype I = 0; I < Groups.size(); ++I) {
    FUZZ_CHECK(AllDigits(Groups.at(I)));
    if (I > 0) FUZZ_CHECK(Groups.at(I).size() == 3);
  }
  const QString Digits = Groups.join(QString());
  if (S.Grouping)
    FUZZ_CHECK(Groups.front().size() <= 3 && (Groups.size() == 1 || !Groups.front().isEmpty()));
  // No leading zero beyond what the pattern's "0" places ask for.
  FUZZ_CHECK(Digits.size() >= S.MinIntDigits);
  if (Digits.size() > std::max(S.MinIntDigits, 1)) FUZZ_CHECK(Digits.front() != u'0');

  FUZZ_CHECK(Dot < 0 || !Fraction.isEmpty());
  FUZZ_CHECK(AllDigits(Fraction));
  FUZZ_CHECK(Fraction.size() >= S.MinDecimals && Fraction.size() <= S.MaxDecimals);
  if (Fraction.size() > S.MinDecimals) FUZZ_CHECK(!Fraction.endsWith(u'0'));
  FUZZ_CHECK(!Digits.isEmpty() || !Fraction.isEmpty());

  const QString All = (Digits.isEmpty() ? QStringLiteral("0") : Digits) + u'.' +
                      (Fraction.isEmpty() ? QStringLiteral("0") : Fraction);
  bool Ok = false;
  const double Magnitude = All.toDouble(&Ok);  // the C locale's reading, whatever the user's
  FUZZ_CHECK(Ok);
  if (Negative) FUZZ_CHECK(Magnitude != 0.0);  // a value that rounds to zero has no sign
  return Negative ? -Magnitude : Magnitude;
}

// Half a unit of the last place the pattern allows, plus what reading back may cost.
inline bool Near(double Read, double Value, const TShape& S) {
  const double Half = 0.5 * std::pow(10.0, -S.MaxDecimals);
  return std::fabs(Read - Value) <= Half * (1 + 1e-9) + std::fabs(Value) * 4e-16;
}

}  // namespace fmt
