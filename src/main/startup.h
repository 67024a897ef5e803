#pragma once

class QApplication;

namespace kalmix {

// Everything the executable does: prepares the services, shows Kalmix and runs its events.
int runKalmix(QApplication& app);

} // namespace kalmix
