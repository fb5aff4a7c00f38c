#include "core/MiscLib.h"

namespace {

int HexDigit(char C) {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'a' && C <= 'f') return C - 'a' + 10;
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  return -1;
}

}  // namespace

std::uint32_t TicksElapsed(std::uint32_t Now, std::uint32_t Start) {
  // Unsigned arithmetic wraps, so a counter overflow between the readings is harmless.
  return Now - Start;
}

bool TryParseInt(const QByteArray& Text, std::int32_t& Value) {
  const qsizetype Size = Text.size();
  qsizetype Pos = 0;
  while (Pos < Size && Text[Pos] == ' ') ++Pos;

  bool Negative = false;
  if (Pos < Size && (Text[Pos] == '+' || Text[Pos] == '-')) {
    Negative = Text[Pos] == '-';
    ++Pos;
  }

  bool Hex = false;
  if (Pos < Size && (Text[Pos] == '$' || Text[Pos] == 'x' || Text[Pos] == 'X')) {
    Hex = true;
    ++Pos;
  } else if (Pos + 1 < Size && Text[Pos] == '0' && (Text[Pos + 1] == 'x' || Text[Pos + 1] == 'X')) {
    Hex = true;
    Pos += 2;
  }

  if (Pos >= Size) return false;  // at least one digit

  if (Hex) {
    std::uint32_t Pattern = 0;
    int Significant = 0;
    for (; Pos < Size; ++Pos) {
      const int Digit = HexDigit(Text[Pos]);
      if (Digit < 0) return false;
      if (Significant > 0 || Digit != 0) ++Significant;
      if (Significant > 8) return false;
      Pattern = (Pattern << 4) | static_cast<std::uint32_t>(Digit);
    }
    // Negating the pattern in unsigned arithmetic keeps "-$80000000" well defined: it stays
    // the pattern 0x80000000, the smallest 32-bit value.
    if (Negative) Pattern = 0u - Pattern;
    Value = static_cast<std::int32_t>(Pattern);
    return true;
  }

  // Magnitude limit: 2147483648 is allowed only with a minus sign.
  const std::uint64_t Limit = Negative ? 2147483648ull : 2147483647ull;
  std::uint64_t Magnitude = 0;
  for (; Pos < Size; ++Pos) {
    const char C = Text[Pos];
    if (C < '0' || C > '9') return false;
    Magnitude = Magnitude * 10 + static_cast<std::uint64_t>(C - '0');
    if (Magnitude > Limit) return false;  // stop early so huge digit runs never overflow
  }
  const std::int64_t Signed =
      Negative ? -static_cast<std::int64_t>(Magnitude) : static_cast<std::int64_t>(Magnitude);
  Value = static_cast<std::int32_t>(Signed);
  return true;
}
