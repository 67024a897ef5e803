#pragma once

namespace kalmix {

// Twips per pixel of the primary screen: 1440 divided by its logical dots per inch
// (15 at 96 DPI, 12 at 120 DPI).
double twipsPerPixel();

// A length in twips as whole pixels of the primary screen.
int px(int twips);

} // namespace kalmix
