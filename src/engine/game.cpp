#include "engine/game.h"

#include "engine/board.h"
#include "engine/practicelog.h"
#include "engine/random.h"
#include "engine/scheduler.h"
#include "errors/procedure.h"
#include "errors/runtimeerror.h"
#include "services/clock.h"
#include "services/lang.h"
#include "services/settings.h"
#include "services/sound.h"
#include "settings/record.h"

#include <QTime>
#include <cmath>

namespace kalmix {

namespace {

constexpr int kStart = 0;
constexpr int kSolution = 2;
constexpr int kOptions = 3;
constexpr int kHelp = 4;

// The number at the start of the answer: leading digits; the empty text counts as 0.
long long answerValue(const QString& text) {
    long long v = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            break;
        if (v < (1LL << 40))
            v = v * 10 + (c.unicode() - u'0');
    }
    return v;
}

// Rounds halves to the even neighbour.
int roundEven(double v) {
    return static_cast<int>(std::nearbyint(v));
}

struct FlagGuard {
    bool& flag;
    explicit FlagGuard(bool& f) : flag(f) { flag = true; }
    ~FlagGuard() { flag = false; }
};

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
    LogNr().writeLine(line);
}

// ---------------------------------------------------------------- game start

void Game::Start_Click() {
    // Abandon whatever the running game still has pending: its waits unwind at once, so
    // nothing of it can reach the new game's board, counters or log.
    const bool presenting = m_presenting;
    const bool stepping = m_sequenzRunning;
    enableTimer(false);
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
    startGame().start();
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
            LogNr().open();
            const QDateTime now = clock().now();
            writeLog(QString());
            writeLog(logHeaderLine(now, aktiv));
            writeLog(QString());
        },
        [&] {
            m_running = true;
            m_board.showTaskFrame(true);
        },
        [&] { Unsichtbar(); },
    });
    if (!ok || noPlayer)
        co_return;
    co_await UebungAusfuehren();
    p.run(7, {
                 [&] { m_board.setButtonEnabled(kStart, false); },
                 [&] { m_board.setButtonEnabled(kSolution, Hilfe != 0); },
                 [&] {
                     m_board.setNumber(QStringLiteral("0"));
                     m_board.setTime(QStringLiteral("00:00"));
                 },
                 [&] { m_board.setMeterLeft(m_board.barLeft()); },
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
}

Async Game::UebungAusfuehren() {
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

void Game::AufgabeAnzeigen() {
    Procedure("frmKalmix", "AufgabeAnzeigen")
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
        });
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

// ---------------------------------------------------------------- arithmetic tasks

void Game::Summe(std::int16_t& erster, std::int16_t& zweiter) {
    Procedure("frmKalmix", "Summe")
        .run({
            [&] {
                erster = Null ? Zufallszahl(0, MaxSum - MinSum) : Zufallszahl(1, MaxSum - MinSum);
            },
            [&] {
                const std::int16_t previous = Ergebnis;
                do {
                    Ergebnis = Zufallszahl(MinSum, MaxSum);
                    // A range of one number cannot avoid the previous result.
                } while (Ergebnis == previous && MaxSum > MinSum);
            },
            [&] {
                const std::int16_t s = Ergebnis;
                if (s < erster) {
                    zweiter = s;
                    Ergebnis = erster;
                    erster = toInteger(Ergebnis - zweiter);
                } else if (s == erster) {
                    if (Ergebnis < MaxSum)
                        Ergebnis = toInteger(Ergebnis + 1);
                    else
                        erster = toInteger(erster - 1);
                    zweiter = 1;
                } else {
                    zweiter = toInteger(Ergebnis - erster);
                }
            },
        });
}

void Game::Addition() {
    std::int16_t a = 0, b = 0;
    Procedure("frmKalmix", "Addition")
        .run({
            [&] { Summe(a, b); },
            [&] {
                m_board.setTaskText(Str(a) + QStringLiteral(" +") + Str(b) + QStringLiteral(" = "));
            },
            [&] { AufgabeAnzeigen(); },
        });
}

void Game::Subtraktion() {
    std::int16_t a = 0, b = 0;
    Procedure("frmKalmix", "Subtraktion")
        .run({
            [&] { Summe(a, b); },
            [&] {
                m_board.setTaskText(Str(Ergebnis) + QStringLiteral(" -") + Str(b) +
                                    QStringLiteral(" = "));
            },
            [&] { Ergebnis = a; },
            [&] { AufgabeAnzeigen(); },
        });
}

void Game::Multiplikation() {
    std::int16_t f = 0, m = 0, previous = 0;
    Procedure("frmKalmix", "Multiplikation")
        .run({
            [&] { f = drawFactor(); },
            [&] { MaxMultiplikator = f > 10 ? 20 : 10; },
            [&] { previous = Ergebnis; },
            [&] {
                do {
                    m = Zufallszahl(2, MaxMultiplikator);
                    Ergebnis = toInteger(m * f);
                } while (Ergebnis == previous && f != 0);
            },
            [&] { m_board.setTaskText(Str(m) + SignMul + Str(f) + QStringLiteral(" = ")); },
            [&] { AufgabeAnzeigen(); },
        });
}

void Game::Division() {
    std::int16_t f = 0, q = 0, previous = 0;
    Procedure("frmKalmix", "Division")
        .run({
            [&] { f = drawFactor(); },
            [&] { MaxMultiplikator = f > 10 ? 20 : 10; },
            [&] { previous = Ergebnis; },
            [&] {
                do {
                    q = Zufallszahl(3, MaxMultiplikator);
                    Ergebnis = toInteger(q * f);
                    if (NullFaktor && Ergebnis == 0) {
                        m_board.setTaskText(QStringLiteral("0") + SignDiv + Str(q) +
                                            QStringLiteral(" = "));
                        Ergebnis = 0;
                    } else {
                        m_board.setTaskText(QString::number(Ergebnis) + SignDiv + Str(f) +
                                            QStringLiteral(" = "));
                        Ergebnis = q;
                    }
                } while (Ergebnis == previous && f != 0);
            },
            [&] { AufgabeAnzeigen(); },
        });
}

// ---------------------------------------------------------------- picture tasks

std::int16_t Game::drawFactor() const {
    const int i = Zufallszahl(0, FaktorZahl - 1);
    if (i < 0 || i >= int(FaktorListe.size()))
        raiseError(ErrNr::SubscriptOutOfRange);
    return FaktorListe[i];
}

int Game::drawSymbol() const {
    const int i = Zufallszahl(0, SymbolZahl - 1);
    if (i < 0 || i >= int(SymbolListe.size()))
        raiseError(ErrNr::SubscriptOutOfRange);
    return SymbolListe[i];
}

void Game::presentPictures(bool on) {
    // While the pictures go up, the buttons that would disturb them are off.
    m_presenting = on;
    m_board.setButtonEnabled(kSolution, !on && Hilfe != 0);
    m_board.setButtonEnabled(kOptions, !on);
    m_board.setButtonEnabled(kHelp, !on);
}

Async Game::Zaehlen() {
    const Procedure p("frmKalmix", "Zaehlen");
    int symbol = 0;
    const bool ok = p.run({
        [&] {
            m_board.showQuestion(true);
            m_board.hideAnswerBox();
        },
        [&] {
            const std::int16_t previous = Ergebnis;
            do {
                Ergebnis = Zufallszahl(2, 9);
            } while (Ergebnis == previous);
        },
        [&] { symbol = drawSymbol(); },
        [&] { presentPictures(true); },
    });
    if (!ok) {
        m_presenting = false;
        co_return;
    }
    for (int i = 1; i <= Ergebnis; ++i) {
        p.run(5, {[&] {
                  m_board.showSymbol(0, i - 1, symbol);
                  if (PlaySound)
                      PlayWAV(105);
              }});
        co_await m_waits.wait(0.2);
    }
    p.run(6, {
                 [&] {
                     if (LogFile)
                         m_board.setTaskText(QString(Ergebnis, u'O') + QStringLiteral("     "));
                 },
                 [&] { presentPictures(false); },
                 [&] { AufgabeAnzeigen(); },
             });
}

Async Game::SymbAddition() {
    const Procedure p("frmKalmix", "SymbAddition");
    std::int16_t a = 0, b = 0;
    int symbol = 0;
    const bool ok = p.run({
        [&] { Summe(a, b); },
        [&] {
            m_board.hideAnswerBox();
            m_board.showQuestion(true);
        },
        [&] { symbol = drawSymbol(); },
        [&] { presentPictures(true); },
    });
    if (!ok) {
        m_presenting = false;
        co_return;
    }
    for (int row = 0; row < 2; ++row) {
        const int count = row == 0 ? a : b;
        for (int i = 1; i <= count; ++i) {
            p.run(5 + row, {[&] {
                      m_board.showSymbol(row, i - 1, symbol);
                      if (PlaySound)
                          PlayWAV(105);
                  }});
            co_await m_waits.wait(0.2);
        }
    }
    p.run(7, {
                 [&] {
                     if (LogFile)
                         m_board.setTaskText(QString(a, u'O') + QStringLiteral(" + ") +
                                             QString(b, u'O') + QStringLiteral(" = "));
                 },
                 [&] { presentPictures(false); },
                 [&] { AufgabeAnzeigen(); },
             });
}

// ---------------------------------------------------------------- answers

void Game::Form_KeyPress(int& keyAscii) {
    Procedure("frmKalmix", "Form_KeyPress").run({[&] {
        if (m_judging || m_presenting) {
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
    const Procedure p("frmKalmix", "Form_KeyPress");
    m_judging = true;
    bool right = false;
    p.run(2, {
                 [&] { m_board.setKeyPreview(false); },
                 [&] { right = answerValue(m_board.answerText()) == Ergebnis; },
             });
    if (!right) {
        p.run(4, {
                     [&] { m_board.setNumber(QString::number(Geloest)); },
                     [&] { m_board.showJaNein(1, true); },
                     [&] {
                         if (PlaySound)
                             PlayWAV(110);
                     },
                     [&] {
                         if (LogFile)
                             writeLog(logNoteLine(clock().now(), m_board.taskText(),
                                                  m_board.answerText(), langText(160)));
                     },
                 });
        co_await m_waits.wait(1);
        p.run(8, {
                     [&] { m_board.showJaNein(1, false); },
                     [&] { AufgabeAnzeigen(); },
                 });
        co_return;
    }

    p.run(10, {
                  [&] { m_board.showJaNein(0, true); },
                  [&] {
                      if (!PlaySound)
                          return;
                      const int r = Zufallszahl(1, 12);
                      PlayWAV(r <= 4 ? 100 + r : r <= 6 ? 108 : 111);
                  },
              });
    if (!HilfeBenutzt) {
        int ziel = 0;
        bool move = false;
        p.run(12, {
                      [&] { Geloest = toInteger(Geloest + 1); },
                      [&] {
                          if (!Animation || StartTimer)
                              return;
                          if (AufgZahl == 0)
                              raiseError(ErrNr::DivisionByZero);
                          ziel = roundEven(m_board.barLeft() +
                                           double(Geloest) / AufgZahl * m_board.barWidth() * 0.86);
                          move = true;
                      },
                  });
        if (move)
            co_await Sequenz(Geloest % 5 != 0 ? 1 : 2, ziel);
        p.run(14, {
                      [&] { m_board.setNumber(QString::number(Geloest)); },
                      [&] {
                          if (LogFile)
                              writeLog(logSolvedLine(clock().now(), m_board.taskText(),
                                                     m_board.answerText()));
                      },
                  });
    } else {
        p.run(16, {
                      [&] {
                          if (LogFile)
                              writeLog(logNoteLine(clock().now(), m_board.taskText(),
                                                   m_board.answerText(), langText(131)));
                      },
                      [&] { HilfeBenutzt = false; },
                  });
    }
    bool over = false;
    p.run(18, {[&] {
              over = StartTimer ? clock().monotonicMs() / 1000.0 - *StartTimer >= Zeit
                                : Geloest == AufgZahl;
          }});
    if (over) {
        co_await gameEnd();
        co_return;
    }
    co_await m_waits.wait(1);
    p.run(19, {
                  [&] { Unsichtbar(); },
                  [&] { m_board.setKeyPreview(true); },
              });
    co_await UebungAusfuehren();
}

Async Game::gameEnd() {
    const Procedure p("frmKalmix", "Form_KeyPress");
    p.run(21, {
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
              });
    co_await m_waits.wait(0.1);
}

void Game::Loesung_Click() {
    // Only while a task waits for its answer; a click during the judging is ignored.
    if (!m_running || m_judging || m_presenting || !m_board.keyPreview())
        return;
    solutionHelp().start();
}

Async Game::solutionHelp() {
    m_judging = true; // typed keys and Enter wait until the help's answer is judged
    Procedure("frmKalmix", "PicBut_Click")
        .run({
            [&] { m_board.setAnswerText(QString::number(Ergebnis)); },
            [&] { HilfeBenutzt = true; },
        });
    co_await m_waits.wait(0.2);
    co_await answer();
}

// ---------------------------------------------------------------- clock and meter

void Game::stopTimer() {
    enableTimer(false);
}

void Game::enableTimer(bool on) {
    m_timerEnabled = on;
    const quint64 epoch = ++m_timerEpoch;
    if (on)
        scheduler().after(1000, [this, alive = std::weak_ptr<int>(m_alive), epoch] {
            if (alive.lock())
                timerTick(epoch);
        });
}

void Game::timerTick(quint64 epoch) {
    if (epoch != m_timerEpoch || !m_timerEnabled)
        return;
    scheduler().after(1000, [this, alive = std::weak_ptr<int>(m_alive), epoch] {
        if (alive.lock())
            timerTick(epoch);
    });
    Timer1_Timer();
}

void Game::Timer1_Timer() {
    Procedure("frmKalmix", "Timer1_Timer")
        .run({
            [&] {
                if (!StartZeit)
                    return;
                const qint64 ms = std::max<qint64>(0, clock().monotonicMs() - *StartZeit);
                const QString hms = QTime(0, 0)
                                        .addMSecs(ms % (24 * 3600 * 1000LL))
                                        .toString(QStringLiteral("HH:mm:ss"));
                m_board.setTime(hms.right(5));
            },
            [&] {
                if (!Animation || Zeit == 0 || !StartTimer)
                    return;
                const double elapsed = clock().monotonicMs() / 1000.0 - *StartTimer;
                const int width = m_board.barWidth();
                const int ziel = roundEven(m_board.barLeft() + 0.97 * width * elapsed / Zeit);
                if (ziel - m_board.meterLeft() > width / 30 && 0.98 * width > ziel &&
                    !m_sequenzRunning)
                    Sequenz(Geloest % 5 != 0 ? 1 : 2, ziel).start();
            },
        });
}

Async Game::Sequenz(int nummer, int ziel) {
    if (nummer != 1 && nummer != 2)
        co_return;
    const FlagGuard running(m_sequenzRunning);
    const Procedure p("frmKalmix", "Sequenz");
    int x = 0;
    double d = 0;
    p.run({
        [&] {
            x = roundEven(m_board.meterLeft());
            d = ziel - x;
        },
        [&] {
            m_board.setMeterPicture(nummer == 1 ? 102 : 104);
            m_board.setMeterLeft(x + d / 3);
        },
    });
    co_await m_waits.wait(0.2);
    p.run(3, {
                 [&] {
                     m_board.setMeterPicture(nummer == 1 ? 103 : 105);
                     m_board.setMeterLeft(x + 2 * d / 3);
                 },
                 [&] {
                     if (nummer == 2 && PlaySound)
                         PlayWAV(Zufallszahl(101, 103));
                 },
             });
    co_await m_waits.wait(0.2);
    p.run(5, {[&] {
              m_board.setMeterPicture(101);
              m_board.setMeterLeft(ziel);
          }});
}

} // namespace kalmix
