#include "engine/game.h"

#include "engine/board.h"
#include "engine/gameparts.h"
#include "engine/practicelog.h"
#include "engine/random.h"
#include "engine/scheduler.h"
#include "profiles/record.h"
#include "profiles/settingsfile.h"
#include "services/clock.h"
#include "services/lang.h"
#include "services/procedure.h"
#include "services/runtimeerror.h"
#include "services/sound.h"

namespace kalmix {

namespace {

using namespace gameparts;

// The small wooden tick: neutral, no praise, for an answer the help filled in.
constexpr int kHelpedSound = 106;

} // namespace

Game::Game(Board& board) : m_board(board) {}

Game::~Game() {
    m_timerEnabled = false;
    ++m_timerEpoch;
    m_waits.cancelAll();
}

double Game::elapsedSeconds() const {
    if (!StartZeit)
        return 0.0;
    return (clock().monotonicMs() - *StartZeit) / 1000.0;
}

void Game::writeLog(const QString& line) {
    LogNr().append(line);
}

// ---------------------------------------------------------------- game start

void Game::Start_Click() {
    abandon();
    m_wrong = m_helped = 0;
    startGame().start();
}

void Game::abandon() {
    closeOpenRound();
    m_roundOver = false;
    ++m_gameNumber; // what the game still has on its way finds it gone
    // Whatever the running game still has pending unwinds at once, so nothing of it can reach
    // a new game's board, counters or log.
    const bool presenting = m_presenting;
    const bool stepping = m_sequenzRunning;
    enableTimer(false);
    m_pause.reset();
    m_waits.cancelAll();
    m_judging = m_presenting = false;
    HilfeBenutzt = false;
    // What an abandoned picture task or figure step had changed for its while is put back.
    if (presenting) {
        m_board.setButtonEnabled(kOptions, true);
        m_board.setButtonEnabled(kHelp, true);
    }
    if (stepping)
        m_board.setMeterPicture(101);
}

bool Game::partDone(bool ran, quint64 game) {
    if (!stands(game))
        return false;
    if (!ran)
        stopGame();
    return ran;
}

void Game::stopGame() {
    const bool wasPresenting = m_presenting;
    abandon();
    m_running = false;
    Unsichtbar();
    m_board.hideAnswerBox();
    m_board.showTaskFrame(false);
    m_board.setButtonEnabled(kSolution, false);
    if (!wasPresenting) { // abandon() gave them back already
        m_board.setButtonEnabled(kOptions, true);
        m_board.setButtonEnabled(kHelp, true);
    }
    m_board.setKeyPreview(false);
    m_board.setButtonEnabled(kStart, true);
    m_board.focusButton(kStart);
}

Async Game::startGame() {
    const Procedure p("frmKalmix", "Start_Click");
    bool noPlayer = false;
    const bool ok = p.run({
        [&] {
            if (PlaySound)
                PlayWAV(108);
        },
        [&] {
            if (!aktiv.isEmpty())
                return;
            if (showSettingsWizard)
                showSettingsWizard();
            if (aktiv.isEmpty()) {
                noPlayer = true;
                exitProcedure();
            }
            if (ComboAktualisieren)
                ComboAktualisieren();
        },
        [&] {
            if (!LogFile)
                return;
            LogNr().close(); // the header's first line opens the log again
            const QDateTime now = clock().now();
            writeLog(QString());
            writeLog(logHeaderLine(now, aktiv));
            writeLog(QString());
        },
        [&] {
            m_running = true;
            m_board.showTaskFrame(true);
            // The count and the clock are the new game's from the start, also while its
            // first pictures go up.
            m_board.setNumber(QStringLiteral("0"));
            m_board.setTime(QStringLiteral("00:00"));
        },
        [&] { Unsichtbar(); },
    });
    if (noPlayer && !m_running)
        co_return; // no game, the window stays idle
    if (!ok || noPlayer) {
        stopGame();
        co_return;
    }
    m_roundOpen = true;
    m_roundOver = false;
    m_tricky.beginRound(trickySource, aktiv, Knifflig != 0);
    events.roundStarted(aktiv, Uebung, clock().now());
    m_taskReady = false;
    co_await UebungAusfuehren();
    if (!m_taskReady) {
        stopGame(); // no task came: Start begins again
        co_return;
    }
    const bool started = p.run(7, {
                                      [&] { m_board.setButtonEnabled(kStart, false); },
                                      [&] { m_board.setButtonEnabled(kSolution, Hilfe != 0); },
                                      [&] {
                                          m_board.setNumber(QStringLiteral("0"));
                                          m_board.setTime(QStringLiteral("00:00"));
                                      },
                                      [&] {
                                          m_board.setMeterLeft(m_board.barLeft());
                                          m_figureRest.reset();
                                      },
                                      [&] { Geloest = 0; },
                                      [&] { StartZeit = clock().monotonicMs(); },
                                      [&] {
                                          StartTimer.reset();
                                          if (Zeit != 0)
                                              StartTimer = clock().monotonicMs() / 1000.0;
                                      },
                                      [&] { enableTimer(true); },
                                      [&] { m_board.setKeyPreview(true); },
                                  });
    if (!started) {
        stopGame();
        co_return;
    }
    if (StartTimer && Zeit > 0)
        m_board.setTimeLeft(countdownText(Zeit * 1000LL)); // the whole time is left
}

Async Game::UebungAusfuehren() {
    if (Uebung >= 2 && Uebung <= 8) {
        if (const auto again = m_tricky.next(m_task)) {
            AufgabeWiederholen(*again);
            co_return;
        }
    }
    int kind = -1;
    Procedure("frmKalmix", "UebungAusfuehren").run({[&] {
        switch (Uebung) {
        case 0:
        case 1:
        case 2:
        case 3:
        case 4:
        case 5:
            kind = Uebung;
            break;
        case 6:
            kind = Zufallszahl(0, 1) != 0 ? 3 : 2;
            break;
        case 7:
            kind = Zufallszahl(0, 1) != 0 ? 5 : 4;
            break;
        case 8:
            switch (Zufallszahl(0, 3)) {
            case 0:
                kind = 2;
                break;
            case 1:
                kind = 3;
                break;
            case 2:
                kind = 4;
                break;
            default:
                kind = 5;
                break;
            }
            break;
        default:
            break; // no task
        }
    }});
    switch (kind) {
    case 0:
        co_await Zaehlen();
        break;
    case 1:
        co_await SymbAddition();
        break;
    case 2:
        Addition();
        break;
    case 3:
        Subtraktion();
        break;
    case 4:
        Multiplikation();
        break;
    case 5:
        Division();
        break;
    default:
        break;
    }
}

void Game::AufgabeAnzeigen(bool again) {
    const quint64 game = m_gameNumber;
    m_taskReady = Procedure("frmKalmix", "AufgabeAnzeigen", standing(game))
                      .run({
                          [&] {
                              const bool pictures = Uebung == 0 || Uebung == 1;
                              if (pictures)
                                  m_board.showQuestion(true);
                              else
                                  m_board.showTaskText(true);
                              m_board.openAnswerBox(pictures);
                          },
                          [&] {
                              m_presenting = false;
                              m_judging = false;
                              m_board.setKeyPreview(true);
                          },
                      }) &&
                  stands(game);
    if (m_taskReady) {
        m_taskShownAt = clock().monotonicMs();
        events.taskShown(m_task, again);
    }
}

void Game::Unsichtbar() {
    Procedure("frmKalmix", "Unsichtbar")
        .run({
            [&] {
                for (int i = 0; i <= 8; ++i) {
                    m_board.hideSymbol(0, i);
                    m_board.hideSymbol(1, i);
                }
            },
            [&] {
                m_board.showJaNein(0, false);
                m_board.showJaNein(1, false);
            },
            [&] {
                m_board.showTaskText(false);
                m_board.showQuestion(false);
            },
        });
}

// ---------------------------------------------------------------- answers

void Game::Form_KeyPress(int& keyAscii) {
    Procedure("frmKalmix", "Form_KeyPress").run({[&] {
        if (m_judging || m_presenting || m_pause) {
            // An answer is being judged or the pictures are still coming: keys wait.
            keyAscii = 0;
            return;
        }
        if (keyAscii == 13) {
            keyAscii = 0;
            if (m_running)
                answer().start();
            return;
        }
        if ((keyAscii >= '0' && keyAscii <= '9') || keyAscii == 8)
            return;
        keyAscii = 0;
    }});
}

Async Game::answer() {
    // A part that is left leaves the whole answer handling; the game cannot go on then and
    // ends, so that Start works again. A game stopped under a message box of a part (the time
    // ran out meanwhile) is left as the stop left it.
    const quint64 game = m_gameNumber;
    const Procedure p("frmKalmix", "Form_KeyPress", standing(game));
    m_judging = true;
    bool right = false;
    if (!partDone(p.run(2, {
                               [&] { m_board.setKeyPreview(false); },
                               [&] { right = answerValue(m_board.answerText()) == Ergebnis; },
                           }),
                  game))
        co_return;
    if (!right) {
        ++m_wrong;
        if (!partDone(p.run(4, {
                                   [&] { m_board.setNumber(QString::number(Geloest)); },
                                   [&] { m_board.showJaNein(1, true); },
                                   [&] {
                                       if (PlaySound)
                                           PlayWAV(110);
                                   },
                                   [&] {
                                       if (LogFile)
                                           writeLog(logNoteLine(clock().now(), m_board.taskText(),
                                                                m_board.answerText(),
                                                                langText(160)));
                                   },
                               }),
                      game))
            co_return;
        reportAnswer(false);
        if (!stands(game))
            co_return;
        co_await m_waits.wait(1);
        m_taskReady = false;
        if (!partDone(p.run(8, {
                                   [&] { m_board.showJaNein(1, false); },
                                   [&] { AufgabeAnzeigen(true); },
                               }),
                      game))
            co_return;
        if (!m_taskReady)
            stopGame();
        co_return;
    }

    if (!partDone(p.run(10, {
                                [&] {
                                    // The help's answer shows the bulb with the tick, so that the
                                    // child sees it was help and not its own success.
                                    m_board.setRightHelped(HilfeBenutzt);
                                    m_board.showJaNein(0, true);
                                },
                                [&] {
                                    if (!PlaySound)
                                        return;
                                    if (HilfeBenutzt) {
                                        PlayWAV(kHelpedSound);
                                        return;
                                    }
                                    const int r = Zufallszahl(1, 12);
                                    PlayWAV(r <= 4 ? 100 + r : r <= 6 ? 108 : 111);
                                },
                            }),
                  game))
        co_return;
    reportAnswer(true);
    if (!stands(game))
        co_return;
    if (!HilfeBenutzt) {
        int ziel = 0;
        bool move = false;
        if (!partDone(p.run(12, {
                                    [&] { Geloest = toInteger(Geloest + 1); },
                                    [&] {
                                        if (!Animation || StartTimer)
                                            return;
                                        if (AufgZahl == 0)
                                            raiseError(ErrNr::DivisionByZero);
                                        ziel = roundEven(m_board.barLeft() +
                                                         double(Geloest) / AufgZahl *
                                                             m_board.barWidth() * 0.86);
                                        move = true;
                                    },
                                }),
                      game))
            co_return;
        if (move) {
            co_await Sequenz(Geloest % 5 != 0 ? 1 : 2, ziel);
            if (!stands(game))
                co_return;
        }
        if (!partDone(p.run(14, {
                                    [&] { m_board.setNumber(QString::number(Geloest)); },
                                    [&] {
                                        if (LogFile)
                                            writeLog(logSolvedLine(clock().now(),
                                                                   m_board.taskText(),
                                                                   m_board.answerText()));
                                    },
                                }),
                      game))
            co_return;
    } else {
        ++m_helped;
        if (!partDone(p.run(16, {
                                    [&] {
                                        if (LogFile)
                                            writeLog(logNoteLine(clock().now(), m_board.taskText(),
                                                                 m_board.answerText(),
                                                                 langText(131)));
                                    },
                                    [&] { HilfeBenutzt = false; },
                                }),
                      game))
            co_return;
    }
    bool over = false;
    // A task count lowered in the settings window below the tasks solved ends the game too.
    if (!partDone(p.run(18, {[&] {
                            over = StartTimer ? clock().monotonicMs() / 1000.0 - *StartTimer >= Zeit
                                              : Geloest >= AufgZahl;
                        }}),
                  game))
        co_return;
    if (over) {
        m_roundOver = true;
        co_await lastWalk(true);
        if (stands(game))
            co_await gameEnd();
        co_return;
    }
    co_await m_waits.wait(1);
    if (!partDone(p.run(19, {
                                [&] { Unsichtbar(); },
                                [&] { m_board.setKeyPreview(true); },
                            }),
                  game))
        co_return;
    m_taskReady = false;
    co_await UebungAusfuehren();
    if (stands(game) && !m_taskReady)
        stopGame();
}

Async Game::gameEnd() {
    const quint64 game = m_gameNumber;
    const Procedure p("frmKalmix", "Form_KeyPress", standing(game));
    if (!partDone(p.run(21, {
                                [&] { enableTimer(false); },
                                [&] { Unsichtbar(); },
                                [&] { m_board.showTaskFrame(false); },
                                [&] {
                                    m_board.setButtonEnabled(kStart, true);
                                    m_board.focusButton(kStart);
                                },
                                [&] { m_board.setButtonEnabled(kSolution, false); },
                                [&] {
                                    m_board.setKeyPreview(false);
                                    m_running = false;
                                    m_judging = false;
                                },
                                [&] {
                                    if (PlaySound)
                                        PlayWAV(107);
                                },
                            }),
                  game))
        co_return;
    const RoundSummary s = finalSummary();
    closeRound(s, true);
    reportRound(s);
    co_await m_waits.wait(0.1);
}

void Game::Loesung_Click() {
    // Only while a task waits for its answer; a click during the judging is ignored.
    if (!m_running || m_judging || m_presenting || m_pause || !m_board.keyPreview())
        return;
    solutionHelp().start();
}

Async Game::solutionHelp() {
    m_judging = true; // typed keys and Enter wait until the help's answer is judged
    const quint64 game = m_gameNumber;
    const bool ok = Procedure("frmKalmix", "PicBut_Click", standing(game))
                        .run({
                            [&] {
                                // Key preview off makes the box read-only: nothing can change the
                                // filled-in answer before it is judged.
                                m_board.setKeyPreview(false);
                                m_board.setAnswerText(QString::number(Ergebnis));
                            },
                            [&] { HilfeBenutzt = true; },
                        });
    if (!stands(game))
        co_return;
    if (!ok) {
        // Left: the task waits for the child's own answer again.
        HilfeBenutzt = false;
        AufgabeAnzeigen(true);
        co_return;
    }
    co_await m_waits.wait(0.2);
    co_await answer();
}

} // namespace kalmix
