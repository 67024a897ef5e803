#include "main/startup.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    return kalmix::runKalmix(app);
}
