#pragma once

// A game on a fake board with the fakes of a test, and ways to play it to a given moment.
#include "engine/practicelog.h"
#include "engine/random.h"
#include "profiles/record.h"
#include "support/fakes.h"
#include "support/testenv.h"

// The Qt code generator cannot read the coroutine headers, and needs nothing from them.
#ifndef Q_MOC_RUN
#include "engine/game.h"
#endif

#include <QDateTime>
#include <QTest>

namespace kalmix::test {

constexpr int kStart = 0;
constexpr int kSolution = 2;
constexpr int kOptions = 3;
constexpr int kHelp = 4;

inline const QString kLogName = QStringLiteral("Kalmix_Log.txt");

struct Fixture {
    TestEnv env;
    FakeScheduler scheduler{&env.clock};
    ScriptedRandom random;
    FakeBoard board;
    Game game{board};
    GameDriver driver{game, board, scheduler};

    QList<int> sounds() const { return wavIds(env.sound.played); }
    QByteArray log() const { return env.readFile(kLogName); }
    // The log's lines without their CR LF.
    QStringList logLines() const {
        QStringList lines = QString::fromUtf8(log()).split(QStringLiteral("\r\n"));
        lines.removeLast(); // after the last CR LF
        return lines;
    }
    long long rightAnswer() const { return driver.boardAnswer().value_or(-1); }
    void answerRight() { driver.answer(rightAnswer()); }
    void answerWrong() { driver.answer(rightAnswer() + 1); }
};

// Plays the steps of a script, separated by blanks: "r" a right answer, "w" a wrong one, "h"
// the solution help, "+N" N seconds pass. Before each answer the task must be waiting.
inline void play(Fixture& f, const QString& script, bool runningBetweenSteps = true) {
    const QStringList steps = script.split(u' ', Qt::SkipEmptyParts);
    for (int i = 0; i < steps.size(); ++i) {
        const QString& step = steps[i];
        if (step.startsWith(u'+')) {
            f.scheduler.advance(step.mid(1).toLongLong() * 1000);
        } else {
            QVERIFY2(f.driver.awaitAnswerBox(), qPrintable(step));
            if (step == u"r")
                f.answerRight();
            else if (step == u"w")
                f.answerWrong();
            else if (step == u"h")
                f.game.Loesung_Click();
            else
                QFAIL(qPrintable(step));
        }
        if (runningBetweenSteps && i + 1 < steps.size())
            QVERIFY2(f.game.running(), qPrintable(QStringLiteral("ended at step %1").arg(i + 1)));
    }
}

// Moments in a game at which clicks and keys can arrive.
enum Moment {
    NoGameYet,
    PictureAnimation,            // the first picture task is being put up
    PictureAnimationAfterSolved, // the next picture task, key preview already on
    WrongAnswerWait,
    RightAnswerWait,
    MeterSequence,
    SpecialMeterSequence, // the fifth solved task's cheering sequence
    TimeModeMeter,        // a time-driven step of the figure
    SolutionHelpWait,
    GameEndWait,
    AfterGameEnd,
    TaskWaiting, // the first task waits for its answer
};

// Sets up a game with the log and sounds on and plays it to the moment.
inline void playTo(Fixture& f, Moment moment) {
    const bool pictures = moment == PictureAnimation || moment == PictureAnimationAfterSolved;
    useTypicalRecord(pictures ? 0 : 2);
    LogFile = PlaySound = kTrue;
    Animation = truth(!pictures && moment != RightAnswerWait && moment != GameEndWait);
    if (moment == TimeModeMeter) {
        Zeit = 60;
        AufgZahl = 0;
    }
    if (moment == GameEndWait || moment == AfterGameEnd)
        AufgZahl = 1;
    if (moment == NoGameYet)
        return;
    f.game.Start_Click();
    switch (moment) {
    case PictureAnimation:
        f.scheduler.advance(300);
        break;
    case PictureAnimationAfterSolved:
        play(f, QStringLiteral("r +1"));
        f.scheduler.advance(300);
        break;
    case WrongAnswerWait:
        play(f, QStringLiteral("w"));
        break;
    case RightAnswerWait:
    case GameEndWait:
        play(f, QStringLiteral("r"));
        break;
    case MeterSequence:
        play(f, QStringLiteral("r"));
        f.scheduler.advance(100);
        break;
    case SpecialMeterSequence:
        play(f, QStringLiteral("r r r r r"));
        f.scheduler.advance(100);
        break;
    case TimeModeMeter:
        f.scheduler.advance(3100);
        break;
    case SolutionHelpWait:
        play(f, QStringLiteral("h"));
        f.scheduler.advance(100);
        break;
    case AfterGameEnd:
        play(f, QStringLiteral("r"));
        f.scheduler.runAll();
        break;
    case NoGameYet:
    case TaskWaiting:
        break;
    }
}

inline QDateTime at(int h, int m, int s) {
    return QDateTime(QDate(2026, 12, 7), QTime(h, m, s));
}

} // namespace kalmix::test
