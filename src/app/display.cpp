#include "app/display.h"

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <thread>

namespace kalmix {

namespace {

// Qt's X platform ends the program with an abort when it cannot open the display, so the
// display is asked first, through the same library that Qt opens it with.
class XcbLibrary {
public:
    XcbLibrary() : m_lib(dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL)) {
        if (!m_lib)
            return;
        m_connect = reinterpret_cast<Connect>(dlsym(m_lib, "xcb_connect"));
        m_hasError = reinterpret_cast<HasError>(dlsym(m_lib, "xcb_connection_has_error"));
        m_disconnect = reinterpret_cast<Disconnect>(dlsym(m_lib, "xcb_disconnect"));
    }
    ~XcbLibrary() {
        if (m_lib)
            dlclose(m_lib);
    }
    XcbLibrary(const XcbLibrary&) = delete;
    XcbLibrary& operator=(const XcbLibrary&) = delete;

    bool usable() const { return m_connect && m_hasError && m_disconnect; }

    bool displayAnswers() const {
        void* connection = m_connect(nullptr, nullptr);
        const bool ok = connection && m_hasError(connection) == 0;
        if (connection)
            m_disconnect(connection); // also frees a connection in error
        return ok;
    }

private:
    using Connect = void* (*)(const char*, int*);
    using HasError = int (*)(void*);
    using Disconnect = void (*)(void*);
    void* m_lib;
    Connect m_connect = nullptr;
    HasError m_hasError = nullptr;
    Disconnect m_disconnect = nullptr;
};

bool qtUsesX(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return false;
    }
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform)
        return std::strncmp(platform, "xcb", 3) == 0;
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return !(wayland && *wayland);
}

} // namespace

bool waitForDisplay(int argc, char* argv[], std::chrono::milliseconds patience) {
    if (!qtUsesX(argc, argv))
        return true;
    const XcbLibrary xcb;
    if (!xcb.usable())
        return true; // Qt will say what is missing
    const auto end = std::chrono::steady_clock::now() + patience;
    for (;;) {
        if (xcb.displayAnswers())
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

} // namespace kalmix
