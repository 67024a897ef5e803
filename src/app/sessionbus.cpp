#include "app/sessionbus.h"

#include <cstdlib>
#include <string>
#include <sys/stat.h>

namespace kalmix {

bool pointSessionBusNowhere() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address && *address)
        return false;
    // The D-Bus library's own choice before it launches a bus: the runtime directory's.
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        struct stat st {};
        const std::string bus = std::string(runtime) + "/bus";
        if (stat(bus.c_str(), &st) == 0 && S_ISSOCK(st.st_mode))
            return false;
    }
    return setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/dev/null", 1) == 0;
}

void forgetSessionBusAddress() {
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

} // namespace kalmix
