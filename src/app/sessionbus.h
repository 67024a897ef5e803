#pragma once

namespace kalmix {

// Without a session message bus, Qt's accessibility bridge has the D-Bus library launch one
// for the display (dbus-launch) while the first window is being built, and waits for it: on a
// loaded machine that holds the start up for half a minute, and every start leaves a bus
// daemon behind. When no session bus exists, this points the bus address at one that fails at
// once and returns true. A session bus that exists, named or in the runtime directory, is
// left as it is.
bool pointSessionBusNowhere();

// Takes that address away again once the bridge has looked for its bus, so that the programs
// Kalmix opens (a viewer, a mail program, a browser) find their own way.
void forgetSessionBusAddress();

} // namespace kalmix
