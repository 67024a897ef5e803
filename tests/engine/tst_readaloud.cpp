// Read-aloud: what is said for each kind of task, when it is said and when it stops.
#include "engine/readaloud.h"
#include "engine/taskwords.h"
#include "gamefixture.h"
#include "services/lang.h"
#include "services/resfiles.h"
#include "services/sound.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace kalmix;
using namespace kalmix::test;

namespace {

// A game with read-aloud listening, the option and the sound on.
struct Spoken : Fixture {
    ReadAloud readAloud;
    explicit Spoken(int kind = 2) {
        useTypicalRecord(kind);
        PlaySound = kTrue;
        Vorlesen = kTrue;
        game.events.add(&readAloud);
    }
    ~Spoken() {
        game.events.remove(&readAloud);
        resetRecord();
        PlaySound = kTrue;
    }
    // The board's task as read-aloud says it in German: " 4 + 5 = " is "4 plus 5".
    QString boardWords() const {
        static const QRegularExpression task(QStringLiteral("^\\s*(\\d+)\\s*(\\S)\\s*(\\d+)"));
        const auto m = task.match(board.task);
        if (!m.hasMatch())
            return board.questionVisible ? langText(105) : QString();
        const QString sign = m.captured(2);
        const QString word = sign == u"+"   ? QStringLiteral("plus")
                             : sign == u"-" ? QStringLiteral("minus")
                             : sign == u":" ? QStringLiteral("geteilt durch")
                                            : QStringLiteral("mal");
        return m.captured(1) + u' ' + word + u' ' + m.captured(3);
    }
};

} // namespace

class TestReadAloud : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        initResources();
        WriteLanguageCopy();
    }

    // The words of every kind of task in German, English and French; the picture kinds say
    // the board's question in the language.
    void wordsOfEveryKind_data() {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<int>("a");
        QTest::addColumn<int>("b");
        QTest::addColumn<QStringList>("expected"); // German, English, French
        const QStringList question{GetLang(105), GetLang(1105), GetLang(6105)};
        QTest::newRow("count") << "count" << 7 << -1 << question;
        QTest::newRow("symbols") << "symbols" << 3 << 4 << question;
        QTest::newRow("+") << "+" << 4 << 5 << QStringList{"4 plus 5", "4 plus 5", "4 plus 5"};
        QTest::newRow("-") << "-" << 12 << 3
                           << QStringList{"12 minus 3", "12 minus 3", "12 moins 3"};
        QTest::newRow("*") << "*" << 7 << 8 << QStringList{"7 mal 8", "7 times 8", "7 fois 8"};
        QTest::newRow("/") << "/" << 40 << 8
                           << QStringList{"40 geteilt durch 8", "40 divided by 8",
                                          "40 divisé par 8"};
        QTest::newRow("0 /") << "/" << 0 << 6
                             << QStringList{"0 geteilt durch 6", "0 divided by 6",
                                            "0 divisé par 6"};
    }
    void wordsOfEveryKind() {
        QFETCH(QString, operation);
        QFETCH(int, a);
        QFETCH(int, b);
        QFETCH(QStringList, expected);
        TaskFacts task{0, operation, a, b >= 0 ? std::optional<int>(b) : std::nullopt, 0};
        const int languages[3] = {0, 1, 6};
        for (int i = 0; i < 3; ++i) {
            const QString question = GetLang(static_cast<std::int16_t>(languages[i] * 1000 + 105));
            QCOMPARE(taskWords(task, languages[i], question), expected[i]);
        }
        QVERIFY(!expected[0].isEmpty() && !expected[2].isEmpty());
    }

    // In real games of every kind, each task is said as the board shows it, in the interface
    // language, once as it appears and once more after a wrong answer; every text said comes
    // right after a stop of what was said before.
    void gamesOfEveryKindSayTheirTasks() {
        for (int kind = 0; kind <= 8; ++kind) {
            Spoken f(kind);
            f.game.Start_Click();
            for (int round = 0; round < 4; ++round) {
                QVERIFY(f.driver.awaitAnswerBox());
                QCOMPARE(f.env.speech.said.size(), round + 1);
                QCOMPARE(f.env.speech.said.last(), f.boardWords());
                if (round == 1)
                    f.answerWrong(); // the same task once more
                else
                    f.answerRight();
            }
            QCOMPARE(f.env.speech.said[2], f.env.speech.said[1]);
            QVERIFY(f.env.speech.languages.count(0) == f.env.speech.said.size());
            const QStringList& ev = f.env.speech.events;
            for (qsizetype i = 0; i < ev.size(); ++i) {
                if (ev[i] != u"stop")
                    QVERIFY2(i > 0 && ev[i - 1] == u"stop", qPrintable(ev.join(u'|')));
            }
        }
    }

    // The settings window, a new game and the end of the program stop the voice; the space
    // bar and the speaker button say the task again while it waits.
    void stopsAndRepeats() {
        Spoken f;
        f.game.Start_Click();
        QVERIFY(f.driver.awaitAnswerBox());
        const int stops = f.env.speech.stops;
        f.game.pauseForSettings();
        QCOMPARE(f.env.speech.stops, stops + 1);
        f.game.resumeAfterSettings();
        QVERIFY(f.readAloud.repeat());
        QCOMPARE(f.env.speech.said.size(), 2);
        f.game.Start_Click();
        QVERIFY(f.env.speech.stops > stops + 1);
        QVERIFY(f.driver.awaitAnswerBox());
        const int before = f.env.speech.stops;
        f.game.endOfProgram();
        QVERIFY(f.env.speech.stops > before);
        QVERIFY(!f.readAloud.repeat()); // no task waits any more
    }

    // Nothing is said with the option off or the sound off, and a real speaker without any
    // speech engine leaves the game as it is and finds no voice.
    void silentPaths() {
        for (int path = 0; path < 2; ++path) {
            Spoken f;
            (path == 0 ? Vorlesen : PlaySound) = kFalse;
            f.game.Start_Click();
            play(f, QStringLiteral("r w r"));
            QVERIFY(f.env.speech.said.isEmpty());
            QVERIFY(!f.readAloud.repeat());
        }
        QTemporaryDir noPlugins;
        const QStringList paths = QCoreApplication::libraryPaths();
        QCoreApplication::setLibraryPaths({noPlugins.path()});
        {
            Spoken f;
            setSpeaker(nullptr); // the real one, which finds no engine
            f.game.Start_Click();
            play(f, QStringLiteral("r w r"));
            QVERIFY(f.game.running());
            std::optional<bool> found;
            speaker().askVoice(0, [&found](bool ok) { found = ok; });
            QVERIFY(!found); // never answered while the call runs
            QTRY_VERIFY(found.has_value());
            QCOMPARE(*found, false);
            speaker().stop();
        }
        QCoreApplication::setLibraryPaths(paths);
    }
};

QTEST_MAIN(TestReadAloud)
#include "tst_readaloud.moc"
