#include "services/speech.h"

#include <QCoreApplication>
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

// The system's engine through Qt's speech module.
class SystemEngine final : public SpeechEngine {
public:
    explicit SystemEngine(QTextToSpeech* tts) : m_tts(tts) {
        QObject::connect(m_tts.get(), &QTextToSpeech::stateChanged, [](QTextToSpeech::State s) {
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
    }

    QList<QLocale> locales() override { return m_tts->availableLocales(); }

    bool setLocale(const QLocale& locale) override {
        m_tts->setLocale(locale);
        return m_tts->locale().language() == locale.language();
    }

    void say(const QString& text) override {
        m_tts->stop();
        m_tts->say(text);
    }

    void stop() override { m_tts->stop(); }

private:
    std::unique_ptr<QTextToSpeech> m_tts;
};

std::unique_ptr<SpeechEngine> systemEngine() {
    const QStringList engines = QTextToSpeech::availableEngines();
    if (engines.isEmpty())
        return nullptr;
    const QString name =
        engines.contains(QStringLiteral("speechd")) ? QStringLiteral("speechd") : engines[0];
    auto* tts = new QTextToSpeech(name);
    // An engine that could not take the system's own language (none for the C locale, say)
    // starts in an error state, yet speaks every language it has a voice for: it is kept,
    // and only one that holds no voice at all counts as none.
    if (tts->availableLocales().isEmpty()) {
        delete tts;
        return nullptr;
    }
    return std::make_unique<SystemEngine>(tts);
}

// Lives on the speech thread: the engine is made, asked and told there, so that an engine
// that takes its time to start or hangs never holds the window.
class SpeechWorker final : public QObject {
public:
    SpeechWorker(std::shared_ptr<const std::atomic<quint64>> latest, SpeechEngineMaker maker)
        : m_latest(std::move(latest)), m_maker(std::move(maker)) {}

    void say(const QString& text, int language, quint64 generation) {
        if (generation != m_latest->load())
            return; // a later text or a stop came while the engine was busy
        if (!setLanguage(language))
            return;
        if (generation != m_latest->load())
            return; // the engine took its time to start: the text is out of date now
        m_engine->say(text);
    }

    void stop() {
        if (m_engine)
            m_engine->stop();
    }

    // Sets the voice for the language; false when there is no engine or no voice for it.
    bool setLanguage(int language) {
        SpeechEngine* e = engine();
        if (!e)
            return false;
        if (language == m_language)
            return true;
        const QLocale wanted = speechLocale(language);
        for (const QLocale& l : e->locales()) {
            if (l.language() == wanted.language() && e->setLocale(l)) {
                m_language = language;
                return true;
            }
        }
        return false;
    }

private:
    SpeechEngine* engine() {
        if (!m_tried) {
            m_tried = true;
            m_engine = m_maker ? m_maker() : systemEngine();
        }
        return m_engine.get();
    }

    std::shared_ptr<const std::atomic<quint64>> m_latest; // the number of the latest text
    SpeechEngineMaker m_maker;
    std::unique_ptr<SpeechEngine> m_engine;
    bool m_tried = false;
    int m_language = -1;
};

class QtSpeaker final : public Speaker {
public:
    explicit QtSpeaker(SpeechEngineMaker maker) : m_maker(std::move(maker)) {}

    ~QtSpeaker() override {
        close();
        if (m_thread && m_thread->isFinished())
            delete m_thread;
    }

    void say(const QString& text, int language) override {
        SpeechWorker* w = worker();
        if (!w)
            return;
        const quint64 generation = ++*m_latest;
        QMetaObject::invokeMethod(
            w, [w, text, language, generation] { w->say(text, language, generation); },
            Qt::QueuedConnection);
    }

    void stop() override {
        if (!m_worker || m_closed)
            return; // nothing was ever said, or the program ends
        ++*m_latest;
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
                const bool ok = w->setLanguage(language);
                QMetaObject::invokeMethod(
                    qApp, [answer, ok] { answer(ok); }, Qt::QueuedConnection);
            },
            Qt::QueuedConnection);
    }

    void prepare(int language) override {
        SpeechWorker* w = worker();
        if (!w)
            return;
        QMetaObject::invokeMethod(
            w, [w, language] { w->setLanguage(language); }, Qt::QueuedConnection);
    }

private:
    SpeechWorker* worker() {
        if (m_closed || !qApp)
            return nullptr;
        if (m_worker)
            return m_worker;
        m_thread = new QThread;
        m_thread->setObjectName(QStringLiteral("speech"));
        m_worker = new SpeechWorker(m_latest, m_maker);
        m_worker->moveToThread(m_thread);
        QObject::connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
        // At the end the engine is let go on its own thread; one that hangs is left behind
        // rather than holding the program's exit.
        // Also when the application object goes without an event loop's end (as in tests).
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, &m_context, [this] { close(); });
        QObject::connect(qApp, &QObject::destroyed, &m_context, [this] { close(); });
        m_thread->start();
        return m_worker;
    }

    void close() {
        if (m_closed)
            return;
        m_closed = true;
        if (!m_thread)
            return;
        m_thread->quit();
        m_thread->wait(1000);
    }

    SpeechEngineMaker m_maker;
    QObject m_context; // the connections to the application end with the speaker
    std::shared_ptr<std::atomic<quint64>> m_latest = std::make_shared<std::atomic<quint64>>(0);
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
    static Speaker* real = makeSpeaker().release();
    return *real;
}

std::unique_ptr<Speaker> makeSpeaker(SpeechEngineMaker maker) {
    return std::make_unique<QtSpeaker>(std::move(maker));
}

void setSpeaker(Speaker* s) {
    current() = s;
}

void setSpeechStartedHook(std::function<void()> hook) {
    startedHook() = std::move(hook);
}

} // namespace kalmix
