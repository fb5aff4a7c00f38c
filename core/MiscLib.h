#pragma once

#include <QByteArray>
#include <cstdint>

// Milliseconds from Start to Now on a wrapping 32-bit tick counter.
std::uint32_t TicksElapsed(std::uint32_t Now, std::uint32_t Start);

// Tolerant integer reading: leading blanks (code 32 only), one optional sign, then decimal
// digits or hexadecimal digits after "$", "x", "X", "0x" or "0X", and nothing after the digits.
// Decimal values must fit a signed 32-bit integer; hexadecimal ones may have at most 8
// significant digits and are taken as a 32-bit pattern, the sign negating that pattern.
// Value is written only on success.
bool TryParseInt(const QByteArray& Text, std::int32_t& Value);

// Records keep only the low 16 bits of a parsed value.
inline std::int16_t Low16Signed(std::int32_t Value) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(Value));
}
inline std::uint16_t Low16(std::int32_t Value) {
  return static_cast<std::uint16_t>(Value);
}
