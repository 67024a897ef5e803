#include "app/display.h"
#include "main/startup.h"

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[]) {
    using namespace std::chrono_literals;
    if (!kalmix::waitForDisplay(argc, argv, 5s)) {
        const char* display = std::getenv("DISPLAY");
        std::fprintf(stderr, "Kalmix: the display \"%s\" cannot be opened.\n",
                     display ? display : "");
        return 1;
    }
    QApplication app(argc, argv);
    return kalmix::runKalmix(app);
}
