#pragma once

#include <QColor>
#include <cstdint>

// A colour kept as 0x00BBGGRR (red in the low byte), as the level colours are, for painting.
inline QColor FromColorRef(std::uint32_t Ref) {
  return QColor(static_cast<int>(Ref & 0xFF), static_cast<int>((Ref >> 8) & 0xFF),
                static_cast<int>((Ref >> 16) & 0xFF));
}
