// The PNG test card: a float RGBA image that exercises every path of the PNG writer.
#pragma once

#include <vector>

namespace tweather {

// width * height * 4 floats in horizontal bands: red, green, blue and grey ramps from 0
// to 1, a hue sweep, a grey ramp from -0.5 to 1.5 (its ends clamp to black and white),
// and an alpha ramp of premultiplied white.
std::vector<float> makePngTestCard(int width, int height);

}  // namespace tweather
