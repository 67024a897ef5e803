// The counting and symbol-addition tasks: pictures put up one by one.
#include "engine/game.h"

#include "engine/gameparts.h"
#include "engine/random.h"
#include "profiles/record.h"
#include "services/procedure.h"
#include "services/runtimeerror.h"
#include "services/sound.h"

namespace kalmix {

using namespace gameparts;

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
    const quint64 game = m_gameNumber;
    const Procedure p("frmKalmix", "Zaehlen", standing(game));
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
    if (!stands(game))
        co_return; // stopped under a message box: the stop put everything back
    if (!ok) {
        m_presenting = false;
        co_return;
    }
    m_task = {Uebung, QStringLiteral("count"), Ergebnis, std::nullopt, Ergebnis};
    for (int i = 1; i <= Ergebnis; ++i) {
        if (!p.run(5, {[&] {
                       m_board.showSymbol(0, i - 1, symbol);
                       if (PlaySound)
                           PlayWAV(105);
                   }})) {
            m_presenting = false;
            co_return;
        }
        if (!stands(game))
            co_return;
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
    const quint64 game = m_gameNumber;
    const Procedure p("frmKalmix", "SymbAddition", standing(game));
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
    if (!stands(game))
        co_return; // stopped under a message box: the stop put everything back
    if (!ok) {
        m_presenting = false;
        co_return;
    }
    m_task = {Uebung, QStringLiteral("symbols"), a, b, Ergebnis};
    for (int row = 0; row < 2; ++row) {
        const int count = row == 0 ? a : b;
        for (int i = 1; i <= count; ++i) {
            if (!p.run(5 + row, {[&] {
                           m_board.showSymbol(row, i - 1, symbol);
                           if (PlaySound)
                               PlayWAV(105);
                       }})) {
                m_presenting = false;
                co_return;
            }
            if (!stands(game))
                co_return;
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

} // namespace kalmix
