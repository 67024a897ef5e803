#pragma once

#include <QString>

namespace kalmix {

// Names in the order a teacher reads them: numbers by their value ("Player 2" before
// "Player 10"), letters without regard to case; names that differ only in case or in leading
// zeros still have a fixed order.
bool naturalLess(const QString& x, const QString& y);

} // namespace kalmix
