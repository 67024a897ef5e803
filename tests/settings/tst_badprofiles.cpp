// Hand-edited profiles with values out of range: the load reports what it reports, and then
// every game on the record it leaves asks tasks that can be typed and are judged right, and
// ends.
#include "profiles/languagechoice.h"
#include "profiles/record.h"
#include "profiles/settingsfile.h"
#include "services/lang.h"
#include "services/resfiles.h"
#include "settings/frmuebung.h"
#include "support/fakes.h"
#include "support/testenv.h"

// The Qt code generator cannot read the coroutine headers, and needs nothing from them.
#ifndef Q_MOC_RUN
#include "engine/game.h"
#endif

#include <QTest>

using namespace kalmix;
using namespace kalmix::test;

namespace {

constexpr std::int16_t kIgnore = 1;
constexpr std::int16_t kLeave = 2;

// Plays one game on the record as it stands, answering every task right as a child would type
// it. Returns what went wrong, or an empty text.
QString playGame(TestEnv& env) {
    FakeScheduler scheduler{&env.clock};
    ScriptedRandom random;
    FakeBoard board;
    Game game{board};
    GameDriver driver{game, board, scheduler};
    game.Start_Click();
    for (int task = 1; task <= 250 && game.running(); ++task) {
        if (!driver.awaitAnswerBox())
            return QStringLiteral("task %1 never waits for its answer").arg(task);
        const long long expected = game.Ergebnis;
        const std::optional<long long> shown = driver.boardAnswer();
        if (expected < 0 || expected > 9999 || shown != expected)
            return QStringLiteral("task %1 \"%2\" expects %3")
                .arg(task)
                .arg(board.task)
                .arg(expected);
        const int solved = game.Geloest;
        driver.answer(expected);
        if (game.Geloest != solved + 1)
            return QStringLiteral("task %1: the right answer %2 was not taken")
                .arg(task)
                .arg(expected);
        scheduler.advance(3000); // a time limit of 600 seconds is reached too
    }
    if (game.running())
        return QStringLiteral("the game does not end");
    if (!env.errors.isEmpty())
        return QStringLiteral("error %1 in %2")
            .arg(env.errors[0].number)
            .arg(env.errors[0].procedure);
    return {};
}

} // namespace

class TestBadProfiles : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        initResources();
        WriteLanguageCopy();
    }
    void cleanup() {
        resetRecord();
        SprachBasis = 0;
    }

    void everyGameIsPlayable_data() {
        QTest::addColumn<QByteArray>("language");
        QTest::addColumn<QByteArray>("earlier"); // a player loaded before, or none
        QTest::addColumn<QByteArray>("profile");
        QTest::addColumn<int>("reports"); // errors the load reports
        const auto row = [](const char* name, const char* profile, int reports,
                            const char* language = "0", const char* earlier = "") {
            QTest::newRow(name) << QByteArray(language) << QByteArray(earlier)
                                << QByteArray(profile) << reports;
        };
        row("range option 9, addition", "Uebung=2\nMaxSum=9", 1);
        row("range option -1, subtraction", "Uebung=3\nMaxSum=-1", 1);
        row("range option -1, all four", "Uebung=8\nMaxSum=-1", 1);
        row("kind 12", "Uebung=12", 1);
        row("count 0", "AufgZahl=0", 1);
        row("count abc", "AufgZahl=abc", 1);
        row("count -5", "AufgZahl=-5", 1);
        row("count 500", "AufgZahl=500", 1);
        row("mode 2", "AufgZeit=2", 1);
        row("time mode, 0 seconds", "AufgZeit=1\nZeit=0", 1);
        row("time mode, 9999 seconds", "AufgZeit=1\nZeit=9999\nUebung=4", 1);
        row("no factor, division", "Uebung=5\nFaktoren=00000000000000000000", 0);
        row("no factor, all four", "Uebung=8\nFaktoren=0", 0);
        row("no symbol, symbol addition", "Uebung=1\nSymbole=0000000000000000000000000", 0);
        row("language 7000", "Uebung=2", 0, "7000");
        row("symbol addition without symbols after addition to 500",
            "Uebung=1\nSymbole=0000000000000000000000000", 0, "0", "Uebung=2\nMaxSum=5");
    }
    void everyGameIsPlayable() {
        QFETCH(QByteArray, language);
        QFETCH(QByteArray, earlier);
        QFETCH(QByteArray, profile);
        QFETCH(int, reports);
        for (const std::int16_t answer : {kIgnore, kLeave}) {
            const QString how = answer == kIgnore ? u"Ignore"_qs : u"Leave"_qs;
            TestEnv env;
            env.errorAnswer = answer;
            env.writeFile(
                QStringLiteral("Kalmix.ini"),
                "[Optionen]\r\nSprache=" + language +
                    "\r\n[Benutzer]\r\nName1=Anna\r\nName2=Ben\r\naktiv=Ben\r\n[Anna]\r\n" +
                    earlier + "\r\n[Ben]\r\n" + profile + "\r\n");
            resetRecord();
            SprachBasis = startLanguage();
            aktiv = earlier.isEmpty() ? u"Ben"_qs : u"Anna"_qs;
            frmUebung w; // loads the active player hidden, and applies the profile
            if (!earlier.isEmpty()) {
                aktiv = u"Ben"_qs;
                w.BenutzerLaden(); // the main window switching players
            }
            // The bad value is still reported, once.
            QVERIFY2(env.errors.size() == reports, qPrintable(how));
            // The language in use is one Kalmix has texts for; the stored value stays as it
            // was, until another language is chosen.
            QVERIFY2(!langText(127).isEmpty(), qPrintable(how));
            QCOMPARE(GetIniString(u"Optionen"_qs, u"Sprache"_qs, {}),
                     QString::fromLatin1(language));
            env.errors.clear();
            const QString fault = playGame(env);
            QVERIFY2(fault.isEmpty(), qPrintable(how + u": "_qs + fault));
        }
    }
};

QTEST_MAIN(TestBadProfiles)
#include "tst_badprofiles.moc"
