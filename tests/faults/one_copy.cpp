// Starts as Kalmix does on the settings file in the directory argv[1], trying for argv[2]
// milliseconds (if given) to reach a running copy: prints "first" and waits until a later
// start asks it to the front ("front", then it ends), or prints "handed", "refused" or
// "elsewhere" and the computer named in the lock when another copy runs already.
#include "services/oneinstance.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    const std::chrono::milliseconds wait(argc > 2 ? std::atoi(argv[2])
                                                  : kalmix::OneInstance::kWait.count());
    kalmix::OneInstance one(QString::fromLocal8Bit(argv[1]) + QStringLiteral("/Kalmix.ini"), wait);
    auto say = [](const QByteArray& what) {
        std::puts(what.constData());
        std::fflush(stdout);
    };
    switch (one.start()) {
    case kalmix::OneInstance::Start::First:
        one.onRequest([&] {
            say("front");
            app.quit();
        });
        say("first");
        QTimer::singleShot(30000, &app, &QCoreApplication::quit);
        return app.exec();
    case kalmix::OneInstance::Start::Handed:
        say("handed");
        return 0;
    case kalmix::OneInstance::Start::Refused:
        say("refused");
        return 3;
    case kalmix::OneInstance::Start::Elsewhere:
        say("elsewhere " + one.holderHost().toUtf8());
        return 4;
    }
    return 2;
}
