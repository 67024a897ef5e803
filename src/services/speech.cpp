#include "services/speech.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTextToSpeech>
#include <QThread>
#include <atomic>
#include <memory>

namespace kalmix {

QLocale speechLocale(int language) {
    static const QLocale::Language kLanguages[7] = {
        QLocale::German,  QLocale::English,         QLocale::Swedish, QLocale::Italian,
        QLocale::Spanish, QLocale::NorwegianBokmal, QLocale::French};
    return QLocale(kLanguages[language >= 0 && language < 7 ? language : 0]);
}

namespace {

std::function<void()>& startedHook() {
    static std::function<void()> hook;
    return hook;
}

// Lives on the speech thread: the engine is made, asked and told there, so that an engine
// that takes its time to start or hangs never holds the window.
class SpeechWorker final : public QObject {
public:
    explicit SpeechWorker(const std::atomic<quint64>& latest) : m_latest(latest) {}

    void say(const QString& text, int language, quint64 generation) {
        if (generation != m_latest.load())
            return; // a later text or a stop came while the engine was busy
        if (!setLanguage(language))
            return;
        if (generation != m_latest.load())
            return; // the engine took its time to start: the text is out of date now
        m_tts->stop();
        m_tts->say(text);
    }

    void stop() {
        if (m_tts)
            m_tts->stop();
    }

    bool hasVoice(int language) { return setLanguage(language); }

private:
    QTextToSpeech* engine() {
        if (m_tried)
            return m_tts;
        m_tried = true;
        const QStringList engines = QTextToSpeech::availableEngines();
        if (engines.isEmpty())
            return nullptr;
        const QString name =
            engines.contains(QStringLiteral("speechd")) ? QStringLiteral("speechd") : engines[0];
        auto* tts = new QTextToSpeech(name, this);
        if (tts->state() == QTextToSpeech::Error) {
            delete tts;
            return nullptr;
        }
        QObject::connect(tts, &QTextToSpeech::stateChanged, this, [](QTextToSpeech::State s) {
            if (s != QTextToSpeech::Speaking)
                return;
            QMetaObject::invokeMethod(
                qApp,
                [] {
                    if (startedHook())
                        startedHook()();
                },
                Qt::QueuedConnection);
        });
        m_tts = tts;
        return m_tts;
    }

    // Sets the voice for the language; false when there is no engine or no voice for it.
    bool setLanguage(int language) {
        QTextToSpeech* tts = engine();
        if (!tts || tts->state() == QTextToSpeech::Error)
            return false;
        const QLocale wanted = speechLocale(language);
        if (tts->locale().language() == wanted.language() && language == m_language)
            return true;
        for (const QLocale& l : tts->availableLocales()) {
            if (l.language() == wanted.language()) {
                tts->setLocale(l);
                m_language = language;
                return true;
            }
        }
        return false;
    }

    const std::atomic<quint64>& m_latest;
    QTextToSpeech* m_tts = nullptr;
    bool m_tried = false;
    int m_language = -1;
};

class QtSpeaker final : public Speaker {
public:
    void say(const QString& text, int language) override {
        SpeechWorker* w = worker();
        if (!w)
            return;
        const quint64 generation = ++m_latest;
        QMetaObject::invokeMethod(
            w, [w, text, language, generation] { w->say(text, language, generation); },
            Qt::QueuedConnection);
    }

    void stop() override {
        if (!m_worker || m_closed)
            return; // nothing was ever said, or the program ends
        ++m_latest;
        SpeechWorker* w = m_worker;
        QMetaObject::invokeMethod(
            w, [w] { w->stop(); }, Qt::QueuedConnection);
    }

    void askVoice(int language, std::function<void(bool)> answer) override {
        SpeechWorker* w = worker();
        if (!w)
            return;
        QMetaObject::invokeMethod(
            w,
            [w, language, answer = std::move(answer)] {
                const bool ok = w->hasVoice(language);
                QMetaObject::invokeMethod(
                    qApp, [answer, ok] { answer(ok); }, Qt::QueuedConnection);
            },
            Qt::QueuedConnection);
    }

private:
    SpeechWorker* worker() {
        if (m_closed || !qApp)
            return nullptr;
        if (m_worker)
            return m_worker;
        m_thread = new QThread;
        m_thread->setObjectName(QStringLiteral("speech"));
        m_worker = new SpeechWorker(m_latest);
        m_worker->moveToThread(m_thread);
        QObject::connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
        // At the end the engine is let go on its own thread; one that hangs is left behind
        // rather than holding the program's exit.
        // Also when the application object goes without an event loop's end (as in tests).
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, qApp, [this] { close(); });
        QObject::connect(qApp, &QObject::destroyed, [this] { close(); });
        m_thread->start();
        return m_worker;
    }

    void close() {
        if (m_closed)
            return;
        m_closed = true;
        m_thread->quit();
        m_thread->wait(1000);
    }

    std::atomic<quint64> m_latest{0};
    QThread* m_thread = nullptr;
    SpeechWorker* m_worker = nullptr;
    bool m_closed = false;
};

Speaker*& current() {
    static Speaker* s = nullptr;
    return s;
}

} // namespace

Speaker& speaker() {
    if (current())
        return *current();
    // Never destroyed: a speech thread that hangs must not hold the exit.
    static auto* real = new QtSpeaker;
    return *real;
}

void setSpeaker(Speaker* s) {
    current() = s;
}

void setSpeechStartedHook(std::function<void()> hook) {
    startedHook() = std::move(hook);
}

} // namespace kalmix
