// Read-aloud: the time from a task appearing (the game telling its listeners) to the voice
// starting to speak, through the program's own speaker and the system's speech engine. Also
// the time the game's call takes, which must stay near nothing whatever the engine does.
//
//   bench_speech [--null-audio] [runs]
//
// --null-audio lets the speech server it starts write its sound to ALSA's null device (for a
// machine without a sound card): the server gets a configuration folder of its own.
#include "engine/readaloud.h"
#include "services/lang.h"
#include "services/sound.h"
#include "services/speech.h"
#include "settings/record.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>

using namespace kalmix;

namespace {

// Waits for the voice's start at most timeoutMs; -1 when it does not start.
qint64 awaitStart(QElapsedTimer& since, bool& started, int timeoutMs) {
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    timeout.start(timeoutMs);
    while (!started && timeout.isActive())
        loop.processEvents(QEventLoop::WaitForMoreEvents, 50);
    return started ? since.elapsed() : -1;
}

void pause(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    QTemporaryDir own;
    if (args.removeAll(QStringLiteral("--null-audio")) > 0) {
        QDir(own.path()).mkpath(QStringLiteral("config/speech-dispatcher"));
        QDir(own.path()).mkpath(QStringLiteral("run"));
        QFile conf(own.filePath(QStringLiteral("config/speech-dispatcher/speechd.conf")));
        if (conf.open(QIODevice::WriteOnly))
            conf.write("AudioOutputMethod \"alsa\"\nAudioALSADevice \"null\"\n"
                       "AddModule \"espeak-ng\" \"sd_espeak-ng\" \"espeak-ng.conf\"\n"
                       "DefaultModule espeak-ng\n");
        conf.close();
        qputenv("XDG_CONFIG_HOME", own.filePath(QStringLiteral("config")).toLocal8Bit());
        qputenv("XDG_RUNTIME_DIR", own.filePath(QStringLiteral("run")).toLocal8Bit());
    }
    const int runs = args.isEmpty() ? 5 : std::max(1, args.first().toInt());
    QCoreApplication app(argc, argv);

    bool started = false;
    setSpeechStartedHook([&started] { started = true; });
    Vorlesen = kTrue;
    PlaySound = kTrue;
    ReadAloud readAloud;

    const struct {
        int language;
        const char* name;
    } languages[] = {{0, "de"}, {1, "en"}, {6, "fr"}};
    qint64 longestCallUs = 0;
    bool first = true;
    for (const auto& lang : languages) {
        SprachBasis = static_cast<std::int16_t>(lang.language * 1000);
        QList<qint64> warm;
        int silent = 0;
        for (int i = 0; i < runs; ++i) {
            const TaskFacts task{2, QStringLiteral("+"), 10 + i, 7, 17 + i};
            started = false;
            QElapsedTimer since;
            since.start();
            readAloud.taskShown(task, false);
            longestCallUs = std::max(longestCallUs, since.nsecsElapsed() / 1000);
            const qint64 ms = awaitStart(since, started, first ? 30000 : 3000);
            if (first) {
                std::printf("first task (speech engine started with it): %s\n",
                            ms < 0 ? "no speech within 30 s"
                                   : qPrintable(QString::number(ms) + QStringLiteral(" ms")));
                first = false;
            } else if (ms < 0) {
                ++silent;
            } else {
                warm << ms;
            }
            pause(400); // the next task cuts the voice off, as in a game
        }
        std::sort(warm.begin(), warm.end());
        if (warm.isEmpty())
            std::printf("%s: no speech started in %d tasks\n", lang.name, silent);
        else
            std::printf(
                "%s: task -> speech started: median %lld ms, max %lld ms of %lld (%d silent)\n",
                lang.name, warm[warm.size() / 2], warm.last(), qlonglong(warm.size()), silent);
    }
    readAloud.silence();
    std::printf("longest time the game's call took: %lld us\n", longestCallUs);
    return 0;
}
