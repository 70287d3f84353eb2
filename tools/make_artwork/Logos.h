// The maker's logos, the program's own mark, the tick mark and the splash picture.
// The maker is the fictional Corven Motor Company; the program is Vetra.
#pragma once

#include "Canvas.h"

namespace artwork {

/// Maker logo on a white ground (badge and wordmark in the maker's blue).
Image paintMakerLogo(int width, int height);
/// The same logo in inverse colours: white marks on the maker's blue.
Image paintInverseLogo(int width, int height);
/// The program's mark: a ticked box and the word VETRA.
Image paintProgramLogo(int width, int height);
/// A black tick on white.
Image paintTick(int width, int height);
/// The start picture: the program name over a car on the road.
Image paintSplash(int width, int height);

}  // namespace artwork
