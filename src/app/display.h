#pragma once

#include <chrono>

namespace kalmix {

// Whether the X display that Qt is about to open answers, asked again and again for up to
// `patience` (a display that is still starting, as at the beginning of a session, refuses its
// first clients for a moment). True without asking when Qt will not use X: another platform
// chosen with QT_QPA_PLATFORM or "-platform", or a Wayland session.
bool waitForDisplay(int argc, char* argv[], std::chrono::milliseconds patience);

} // namespace kalmix
