// Colours and the drawing types that controls mention, until the graphics layer provides them.
// Controls only store colours; drawing happens in the back ends.
#pragma once

#include <cstdint>

/// A colour as 0x00BBGGRR, or a negative system colour.
using TColor = std::int32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clGray = 0x808080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clBtnFace = static_cast<TColor>(0xFF00000F);
constexpr TColor clWindow = static_cast<TColor>(0xFF000005);
