#pragma once

#include <QChar>
#include <array>
#include <cstdint>
#include <utility>

// Decimal and thousands separators as locales give them, the two always different.
inline std::pair<QChar, QChar> SeparatorsFrom(std::uint8_t Pick) {
  static constexpr std::array<std::pair<char16_t, char16_t>, 6> Pairs{{
      {u'.', u','},
      {u',', u'.'},
      {u',', u'\u00A0'},       // no-break space, as in French
      {u'.', u'\''},           // as in Swiss German
      {u'\u066B', u'\u066C'},  // Arabic decimal and thousands separators
      {u',', u' '},
  }};
  const auto& P = Pairs[Pick % Pairs.size()];
  return {QChar(P.first), QChar(P.second)};
}
