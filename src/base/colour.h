// Colour order. The settings and the system's colour calls use COLORREF
// (0x00BBGGRR); bitmap pixels and palettes use DIB order (0x00RRGGBB).
#pragma once

#include <cstdint>

// Exchanges bytes 0 and 2: COLORREF to DIB order and back. The top byte
// passes through.
constexpr uint32_t swapRedBlue(uint32_t colour) {
  return (colour & 0xFF00FF00u) | ((colour & 0xFFu) << 16) | ((colour >> 16) & 0xFFu);
}
