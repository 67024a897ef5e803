#pragma once

class QApplication;

namespace kalmix {

class OneInstance;
class frmKalmix;

// Whether this start goes on: it holds the settings file's lock (or no lock can be made
// there). Not when another Kalmix runs on that file (it was asked to come to the front, or
// the user is told that it does not answer), nor when the user would rather not start while
// the lock names another computer.
bool startsAlone(OneInstance& one);

// The splash's start-up with Kalmix's main window: the window it brought up (nullptr when
// the start-up was left).
frmKalmix* startUpWithSplash();

// Everything the executable does: prepares the services, shows Kalmix and runs its events.
int runKalmix(QApplication& app);

} // namespace kalmix
