// The platform's four mouse arguments and the unit they are given in.
#pragma once

#include <Qt>

namespace controls {

// Positions and sizes of the window are kept in twips; one device-independent
// pixel is 15 twips (96 dpi).
constexpr int TwipsPerPixel = 15;
constexpr float toTwips(double pixels) { return static_cast<float>(pixels * TwipsPerPixel); }
constexpr int toPixels(int twips) { return twips / TwipsPerPixel; }

// Button bits: 1 left, 2 right, 4 middle. Shift bits: 1 Shift, 2 Ctrl, 4 Alt.
short buttonBits(Qt::MouseButtons buttons);
short shiftBits(Qt::KeyboardModifiers modifiers);

}  // namespace controls
