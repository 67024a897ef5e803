// The clock and the progress figure.
#include "engine/game.h"

#include "engine/gameparts.h"
#include "engine/random.h"
#include "engine/scheduler.h"
#include "profiles/record.h"
#include "services/clock.h"
#include "services/procedure.h"
#include "services/sound.h"

#include <QTime>
#include <algorithm>

namespace kalmix {

using namespace gameparts;

namespace {
struct FlagGuard {
    bool& flag;
    explicit FlagGuard(bool& f) : flag(f) { flag = true; }
    ~FlagGuard() { flag = false; }
};
} // namespace

void Game::stopTimer() {
    enableTimer(false);
}

void Game::enableTimer(bool on, int firstTickMs) {
    m_timerEnabled = on;
    const quint64 epoch = ++m_timerEpoch;
    if (on)
        scheduleTick(epoch, firstTickMs);
}

void Game::scheduleTick(quint64 epoch, int ms) {
    m_nextTick = clock().monotonicMs() + ms;
    scheduler().after(ms, [this, alive = std::weak_ptr<int>(m_alive), epoch] {
        if (alive.lock())
            timerTick(epoch);
    });
}

void Game::timerTick(quint64 epoch) {
    if (epoch != m_timerEpoch || !m_timerEnabled)
        return;
    scheduleTick(epoch, 1000);
    Timer1_Timer();
    if (m_running && StartTimer && epoch == m_timerEpoch &&
        clock().monotonicMs() / 1000.0 - *StartTimer >= Zeit)
        timeUp();
}

void Game::Timer1_Timer() {
    Procedure("frmKalmix", "Timer1_Timer")
        .run({
            [&] {
                if (!StartZeit)
                    return;
                const qint64 ms = std::max<qint64>(0, clock().monotonicMs() - *StartZeit);
                if (StartTimer && Zeit > 0) { // a time-limited round shows the time left
                    m_board.setTimeLeft(countdownText(Zeit * 1000LL - ms));
                    return;
                }
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
    const quint64 game = m_gameNumber;
    const Procedure p("frmKalmix", "Sequenz", standing(game));
    int x = 0;
    double d = 0;
    if (!p.run({
            [&] {
                x = roundEven(m_board.meterLeft());
                d = ziel - x;
            },
            [&] {
                m_board.setMeterPicture(nummer == 1 ? 102 : 104);
                m_board.setMeterLeft(x + d / 3);
            },
        }) ||
        !stands(game))
        co_return;
    co_await m_waits.wait(0.2);
    if (!p.run(3, {
                      [&] {
                          m_board.setMeterPicture(nummer == 1 ? 103 : 105);
                          m_board.setMeterLeft(x + 2 * d / 3);
                      },
                      [&] {
                          if (nummer == 2 && PlaySound)
                              PlayWAV(Zufallszahl(101, 103));
                      },
                  }) ||
        !stands(game))
        co_return;
    co_await m_waits.wait(0.2);
    p.run(5, {[&] {
              m_board.setMeterPicture(101);
              m_board.setMeterLeft(ziel);
          }});
}

} // namespace kalmix
