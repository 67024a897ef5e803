// The real speaker on its own thread, with a speech engine whose voices the test chooses.
#include "services/speech.h"

#include <QCoreApplication>
#include <QMutex>
#include <QSignalSpy>
#include <QTest>
#include <memory>
#include <optional>

using namespace kalmix;

namespace {

// What the engine was told, shared with the test (the engine lives on the speech thread).
struct Heard {
    QMutex mutex;
    QStringList said; // "language text", in order
    int made = 0;
    QStringList list() {
        QMutexLocker lock(&mutex);
        return said;
    }
    int engines() {
        QMutexLocker lock(&mutex);
        return made;
    }
};

class FakeEngine final : public SpeechEngine {
public:
    FakeEngine(QList<QLocale> locales, std::shared_ptr<Heard> heard)
        : m_locales(std::move(locales)), m_heard(std::move(heard)) {}
    QList<QLocale> locales() override { return m_locales; }
    bool setLocale(const QLocale& locale) override {
        m_locale = locale;
        return true;
    }
    void say(const QString& text) override {
        QMutexLocker lock(&m_heard->mutex);
        m_heard->said << QLocale::languageToCode(m_locale.language()) + u' ' + text;
    }
    void stop() override {}

private:
    QList<QLocale> m_locales;
    QLocale m_locale = QLocale::c(); // as an engine in a bare session starts
    std::shared_ptr<Heard> m_heard;
};

struct Voices {
    std::shared_ptr<Heard> heard = std::make_shared<Heard>();
    std::unique_ptr<Speaker> speaker;
    explicit Voices(const QList<QLocale>& locales, bool engine = true) {
        speaker = makeSpeaker([locales, engine, heard = heard]() -> std::unique_ptr<SpeechEngine> {
            QMutexLocker lock(&heard->mutex);
            ++heard->made;
            if (!engine)
                return nullptr;
            return std::make_unique<FakeEngine>(locales, heard);
        });
    }
    // The answer to the voice question for a language, once it comes.
    bool hasVoice(int language) {
        std::optional<bool> answer;
        speaker->askVoice(language, [&answer](bool found) { answer = found; });
        if (!QTest::qWaitFor([&answer] { return answer.has_value(); }, 5000))
            return false;
        return *answer;
    }
};

} // namespace

class TestSpeech : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A session whose own locale has no voice (the engine's first locale failed) still speaks
    // every language the engine has a voice for; the note of no voice is for a language it
    // truly lacks, and without any engine every language lacks one.
    void theGameLanguageDecidesAlone() {
        Voices v({QLocale(QLocale::English, QLocale::UnitedStates), QLocale(QLocale::French)});
        QVERIFY(v.hasVoice(1));  // English
        QVERIFY(v.hasVoice(6));  // French
        QVERIFY(!v.hasVoice(0)); // German: none
        v.speaker->say(QStringLiteral("2 plus 7"), 1);
        QTRY_COMPARE(v.heard->list(), QStringList{u"en 2 plus 7"_qs});
        v.speaker->say(QStringLiteral("2 plus 7"), 0); // no voice: nothing
        QVERIFY(v.hasVoice(1));                        // the text before was handled
        v.speaker->say(QStringLiteral("7 fois 8"), 6);
        QTRY_COMPARE(v.heard->list(), (QStringList{u"en 2 plus 7"_qs, u"fr 7 fois 8"_qs}));

        Voices none({}, false);
        QVERIFY(!none.hasVoice(1));
        Voices empty({});
        QVERIFY(!empty.hasVoice(0));
    }

    // A player with read-aloud gets the engine made and the voice set before any text, once.
    void prepareMakesTheEngineBeforeTheFirstText() {
        Voices v({QLocale(QLocale::German)});
        v.speaker->prepare(0);
        QTRY_COMPARE(v.heard->engines(), 1);
        QVERIFY(v.heard->list().isEmpty());
        v.speaker->say(QStringLiteral("4 plus 5"), 0);
        QTRY_COMPARE(v.heard->list(), QStringList{u"de 4 plus 5"_qs});
        QCOMPARE(v.heard->engines(), 1);
    }
};

QTEST_GUILESS_MAIN(TestSpeech)
#include "tst_speech.moc"
