// Read-aloud: the time from a task appearing (the game telling its listeners) to the first
// sound of its voice, through the program's own speaker and the system's speech engine. Also
// the time the game's call takes, which must stay near nothing whatever the engine does.
//
//   bench_speech [--null-sink] [--cold] [runs]
//
// --null-sink gives the voice a real audio path without a sound card: the benchmark starts a
// sound server of its own (PulseAudio with a null sink) in a private runtime folder, lets the
// speech server it starts play there, and records the sink's monitor: the first sample that is
// not silent is the voice heard. The speech server is started in a locale with voices (as a
// desktop's service), whatever locale the program runs in. Without it, the voice's start is when
// the speech engine says it speaks (which needs a sound card on this machine).
// --cold leaves out what choosing a player with read-aloud does (the voice made ready), so the
// first task also waits for the engine to start.
#include "engine/readaloud.h"
#include "profiles/record.h"
#include "services/lang.h"
#include "services/sound.h"
#include "services/speech.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sys/types.h>

using namespace kalmix;

namespace {

constexpr int kRate = 16000; // samples per second of the recording
constexpr int kLoud = 1000;  // a sample beyond this is voice, not silence

// Runs the event loop until the condition holds or the time is up; whether it holds.
template <typename Done> bool waitFor(Done done, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    return done();
}

void pause(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// A sound server with a null sink in a folder of its own, and a recording of what it plays.
class NullSink {
public:
    bool start(const QString& dir) {
        QDir(dir).mkpath(QStringLiteral("run"));
        QDir(dir).mkpath(QStringLiteral("home"));
        QDir(dir).mkpath(QStringLiteral("config/speech-dispatcher"));
        QFile conf(dir + QStringLiteral("/config/speech-dispatcher/speechd.conf"));
        if (!conf.open(QIODevice::WriteOnly))
            return false;
        conf.write("AudioOutputMethod \"pulse\"\n"
                   "AddModule \"espeak-ng\" \"sd_espeak-ng\" \"espeak-ng.conf\"\n"
                   "DefaultModule espeak-ng\n");
        conf.close();
        // The sound server, the speech server the engine starts and the recorder all find
        // each other in the private runtime folder.
        qputenv("XDG_RUNTIME_DIR", (dir + QStringLiteral("/run")).toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", (dir + QStringLiteral("/config")).toLocal8Bit());
        qputenv("HOME", (dir + QStringLiteral("/home")).toLocal8Bit());
        m_server.setProgram(QStringLiteral("pulseaudio"));
        m_server.setArguments({u"-n"_qs, u"--daemonize=no"_qs, u"--exit-idle-time=-1"_qs,
                               u"--use-pid-file=no"_qs, u"--disable-shm=yes"_qs, u"-L"_qs,
                               u"module-null-sink sink_name=kalmix_bench"_qs, u"-L"_qs,
                               u"module-native-protocol-unix"_qs});
        m_server.setStandardOutputFile(QProcess::nullDevice());
        m_server.setStandardErrorFile(QProcess::nullDevice());
        m_server.start();
        const QString socket = dir + QStringLiteral("/run/pulse/native");
        if (!m_server.waitForStarted() || !waitFor([&] { return QFile::exists(socket); }, 10000))
            return false;
        // The speech server runs as a desktop's service does, in a locale with voices, also
        // when the program itself runs in one without (as a kiosk session may).
        QProcess speech;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        speech.setProcessEnvironment(env);
        m_speechPid = dir + QStringLiteral("/run/speech-dispatcher/pid/speech-dispatcher.pid");
        speech.start(QStringLiteral("speech-dispatcher"),
                     {u"--spawn"_qs, u"--communication-method"_qs, u"unix_socket"_qs,
                      u"--socket-path"_qs,
                      dir + QStringLiteral("/run/speech-dispatcher/speechd.sock"), u"--timeout"_qs,
                      u"10"_qs});
        if (!speech.waitForFinished(20000) ||
            !waitFor([&] { return QFile::exists(m_speechPid); }, 10000))
            return false;
        m_recorder.setProgram(QStringLiteral("parec"));
        m_recorder.setArguments({u"-d"_qs, u"kalmix_bench.monitor"_qs, u"--raw"_qs,
                                 u"--format=s16le"_qs, QStringLiteral("--rate=%1").arg(kRate),
                                 u"--channels=1"_qs, u"--latency-msec=5"_qs});
        m_recorder.setStandardErrorFile(QProcess::nullDevice());
        QObject::connect(&m_recorder, &QProcess::readyReadStandardOutput, [this] { read(); });
        m_recorder.start();
        m_clock.start();
        // The recording runs once samples arrive.
        return m_recorder.waitForStarted() &&
               waitFor([&] { return m_samples > kRate / 10; }, 10000);
    }

    ~NullSink() {
        QFile pid(m_speechPid);
        if (pid.open(QIODevice::ReadOnly)) {
            const qint64 id = pid.readAll().trimmed().toLongLong();
            if (id > 0)
                ::kill(static_cast<pid_t>(id), SIGTERM);
        }
        for (QProcess* p : {&m_recorder, &m_server}) {
            p->terminate();
            if (!p->waitForFinished(3000))
                p->kill();
        }
    }

    // From now on the first loud sample is looked for.
    void listen() {
        m_heardAt.reset();
        m_listening = true;
    }
    // When the first loud sample since listen() was played, on the clock of elapsedMs().
    std::optional<qint64> heardAt() const { return m_heardAt; }
    // Milliseconds since the last loud sample.
    qint64 quietFor() const { return m_clock.elapsed() - m_lastLoudMs; }
    qint64 elapsedMs() const { return m_clock.elapsed(); }

private:
    void read() {
        m_buffer += m_recorder.readAllStandardOutput();
        const qint64 now = m_clock.elapsed();
        const qsizetype n = m_buffer.size() / 2;
        const auto* s = reinterpret_cast<const qint16*>(m_buffer.constData());
        for (qsizetype i = 0; i < n; ++i) {
            if (std::abs(int(s[i])) <= kLoud)
                continue;
            // The sample's time: this read's time less the samples after it.
            const qint64 at = now - (n - 1 - i) * 1000 / kRate;
            m_lastLoudMs = now;
            if (m_listening && !m_heardAt) {
                m_heardAt = at;
                m_listening = false;
            }
        }
        m_samples += n;
        m_buffer.remove(0, n * 2);
    }

    QProcess m_server, m_recorder;
    QString m_speechPid; // the speech server's process number is written there
    QByteArray m_buffer;
    QElapsedTimer m_clock;
    qint64 m_samples = 0;
    qint64 m_lastLoudMs = 0;
    bool m_listening = false;
    std::optional<qint64> m_heardAt;
};

} // namespace

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const bool nullSink = args.removeAll(QStringLiteral("--null-sink")) > 0;
    const bool cold = args.removeAll(QStringLiteral("--cold")) > 0;
    const int runs = args.isEmpty() ? 5 : std::max(1, args.first().toInt());
    QCoreApplication app(argc, argv);
    QTemporaryDir own;
    NullSink sink;
    if (nullSink && !sink.start(own.path())) {
        std::printf("the sound server or the recorder did not start (pulseaudio, parec)\n");
        return 1;
    }

    bool started = false;
    setSpeechStartedHook([&started] { started = true; });
    Vorlesen = kTrue;
    PlaySound = kTrue;
    ReadAloud readAloud;

    const struct {
        int language;
        const char* name;
    } languages[] = {{0, "de"}, {1, "en"}, {6, "fr"}};
    if (!cold) {
        // What choosing a player with read-aloud does; the first task comes when a child has
        // pressed Start, here once the voice is ready.
        QElapsedTimer t;
        t.start();
        speaker().prepare(languages[0].language);
        std::optional<bool> ready;
        speaker().askVoice(languages[0].language, [&ready](bool found) { ready = found; });
        waitFor([&] { return ready.has_value(); }, 60000);
        std::printf("player chosen -> voice ready: %lld ms (%s)\n", t.elapsed(),
                    !ready   ? "no answer within 60 s"
                    : *ready ? "voice found"
                             : "no voice");
    }
    qint64 longestCallUs = 0;
    bool first = true;
    for (const auto& lang : languages) {
        SprachBasis = static_cast<std::int16_t>(lang.language * 1000);
        QList<qint64> later;
        int silent = 0;
        for (int i = 0; i < runs; ++i) {
            const TaskFacts task{2, QStringLiteral("+"), 10 + i, 7, 17 + i};
            const int timeoutMs = first ? 30000 : 5000;
            started = false;
            if (nullSink)
                sink.listen();
            QElapsedTimer since;
            since.start();
            const qint64 shownAt = nullSink ? sink.elapsedMs() : 0;
            readAloud.taskShown(task, false);
            longestCallUs = std::max(longestCallUs, since.nsecsElapsed() / 1000);
            qint64 ms = -1;
            if (nullSink) {
                if (waitFor([&] { return sink.heardAt().has_value(); }, timeoutMs))
                    ms = *sink.heardAt() - shownAt;
            } else if (waitFor([&] { return started; }, timeoutMs)) {
                ms = since.elapsed();
            }
            if (first) {
                std::printf("first task: %s\n",
                            ms < 0 ? "no voice within 30 s"
                                   : qPrintable(QString::number(ms) + QStringLiteral(" ms")));
                first = false;
            } else if (ms < 0) {
                ++silent;
            } else {
                later << ms;
            }
            // The voice says the task to its end before the next one comes.
            if (nullSink)
                waitFor([&] { return sink.quietFor() > 300; }, 4000);
            else
                pause(1500);
        }
        std::sort(later.begin(), later.end());
        if (later.isEmpty())
            std::printf("%s: no voice in %d tasks\n", lang.name, silent);
        else
            std::printf("%s: task -> %s: median %lld ms, max %lld ms of %lld (%d silent)\n",
                        lang.name, nullSink ? "first sound" : "speech started",
                        later[later.size() / 2], later.last(), qlonglong(later.size()), silent);
    }
    readAloud.silence();
    std::printf("longest time the game's call took: %lld us\n", longestCallUs);
    return 0;
}
