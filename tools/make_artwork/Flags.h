// The country flags of the first-installation dialog: one table holds every flag's
// layout, stripes and colours, and paintFlag draws an entry at any size.
#pragma once

#include "Canvas.h"

#include <string>
#include <vector>

namespace artwork {

enum class FlagLayout {
    Bands,          // equal-height (or equal-width) stripes in proportion to their weights
    NordicCross,    // field with an off-centre cross, optionally an inner cross of another colour
    UnionFlag,      // blue field, counterchanged red and white saltires, red cross edged white
    GreekStripes,   // alternating stripes, a canton with a white cross
    HoistTriangle,  // stripes with a triangle from the hoist
    CentreCross,    // field with a square-armed cross in the middle
    CrescentStar,   // field with a crescent and a five-pointed star
};

enum class Emblem {
    None,
    Sphere,       // yellow ring with a red shield holding a white inner field
    Chequy,       // shield of 5 x 5 squares, first colour top left
    MountainShield,  // shield edged in the third colour with a white peak
};

struct Band {
    Rgb Colour;
    double Weight = 1;
};

/// One flag. Meaning of the fields by layout:
/// - Bands: Stripes top to bottom (or hoist to fly when Vertical).
/// - NordicCross: Stripes[0] field, [1] cross, [2] inner cross (when InnerWidth > 0); the geometry in
///   flag units of UnitsWide x UnitsHigh: cross centre (CrossX, CrossY), width CrossWidth.
/// - UnionFlag: Stripes[0] field, [1] white, [2] red.
/// - GreekStripes: Stripes[0] and [1] alternate, nine stripes; the canton spans five.
/// - HoistTriangle: Stripes as for Bands, Stripes[last] the triangle, reaching TriangleDepth of the width.
/// - CentreCross: Stripes[0] field, [1] cross.
/// - CrescentStar: Stripes[0] field, [1] crescent and star.
struct FlagSpec {
    std::string Component;  // picture component, also the file name without extension
    bool Jpeg = false;      // stored as a JPEG picture instead of a bitmap
    FlagLayout Layout = FlagLayout::Bands;
    bool Vertical = false;
    std::vector<Band> Stripes;
    double UnitsWide = 0, UnitsHigh = 0, CrossX = 0, CrossY = 0, CrossWidth = 0, InnerWidth = 0;
    double TriangleDepth = 0;
    Emblem Badge = Emblem::None;
    double BadgeX = 0, BadgeY = 0, BadgeSize = 0;  // centre as fractions of width and height; size of height
    std::vector<Rgb> BadgeColours;
};

/// The 25 flags in the order of the dialog.
const std::vector<FlagSpec>& flagTable();

/// Draws the flag filling a width x height picture.
Image paintFlag(const FlagSpec& flag, int width, int height);

}  // namespace artwork
