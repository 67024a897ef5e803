#include "app/display.h"
#include "app/sessionbus.h"
#include "classserver/classschema.h"
#include "history/commandline.h"
#include "main/startup.h"

#include <QAccessible>
#include <QApplication>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {

int initClassServer(const kalmix::ClassServerInitRequest& r) {
    QString done;
    const QString error =
        kalmix::initClassServer({r.conninfo, r.className, r.pupilRole, r.teacherRole}, &done);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "kalmix: the class server was not set up: %s\n", qPrintable(error));
        return 2;
    }
    std::printf("%s\n", qPrintable(done));
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    using namespace std::chrono_literals;
    // A file that would grow past the process's size limit fails its write, as on a full disk,
    // instead of ending the program: for every file, from the lock file on.
    std::signal(SIGXFSZ, SIG_IGN);
    // The options that need no window run without a display.
    if (const std::optional<int> code = kalmix::runCommandLine(argc, argv, initClassServer))
        return *code;
    if (!kalmix::waitForDisplay(argc, argv, 5s)) {
        const char* display = std::getenv("DISPLAY");
        std::fprintf(stderr, "Kalmix: the display \"%s\" cannot be opened.\n",
                     display ? display : "");
        return 1;
    }
    const bool noBus = kalmix::pointSessionBusNowhere();
    QApplication app(argc, argv);
    QAccessible::isActive(); // the accessibility bridge looks for its bus now
    if (noBus)
        kalmix::forgetSessionBusAddress();
    return kalmix::runKalmix(app);
}
