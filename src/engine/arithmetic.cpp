// The arithmetic tasks.
#include "engine/game.h"

#include "engine/gameparts.h"
#include "engine/random.h"
#include "profiles/record.h"
#include "profiles/settingsfile.h"
#include "services/procedure.h"
#include "services/runtimeerror.h"

namespace kalmix {

namespace {

// The task as the board shows it and the practice log keeps it: "3 + 4 = ", "6 · 7 = ",
// "42 : 7 = ", "0 : 5 = ".
QString taskText(const TaskFacts& t) {
    const QString a = Str(t.a), b = Str(t.b.value_or(0));
    QString text;
    if (t.operation == u"+")
        text = a + QStringLiteral(" +") + b;
    else if (t.operation == u"-")
        text = a + QStringLiteral(" -") + b;
    else if (t.operation == u"*")
        text = a + SignMul + b;
    else
        text = QString::number(t.a) + SignDiv + b;
    return text + QStringLiteral(" = ");
}

} // namespace

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
    // A message box of a statement lets the clock tick: a game stopped under it gets no
    // answer box.
    Procedure("frmKalmix", "Addition", standing(m_gameNumber))
        .run({
            [&] { Summe(a, b); },
            [&] {
                m_task = {Uebung, QStringLiteral("+"), a, b, Ergebnis};
                m_board.setTaskText(taskText(m_task));
            },
            [&] { AufgabeAnzeigen(); },
        });
}

void Game::Subtraktion() {
    std::int16_t a = 0, b = 0;
    Procedure("frmKalmix", "Subtraktion", standing(m_gameNumber))
        .run({
            [&] { Summe(a, b); },
            [&] {
                m_task = {Uebung, QStringLiteral("-"), Ergebnis, b, a};
                m_board.setTaskText(taskText(m_task));
            },
            [&] { Ergebnis = a; },
            [&] { AufgabeAnzeigen(); },
        });
}

void Game::Multiplikation() {
    std::int16_t f = 0, m = 0, previous = 0;
    Procedure("frmKalmix", "Multiplikation", standing(m_gameNumber))
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
            [&] {
                m_task = {Uebung, QStringLiteral("*"), m, f, Ergebnis};
                m_board.setTaskText(taskText(m_task));
            },
            [&] { AufgabeAnzeigen(); },
        });
}

void Game::Division() {
    std::int16_t f = 0, q = 0, previous = 0;
    Procedure("frmKalmix", "Division", standing(m_gameNumber))
        .run({
            [&] { f = drawFactor(); },
            [&] { MaxMultiplikator = f > 10 ? 20 : 10; },
            [&] { previous = Ergebnis; },
            [&] {
                do {
                    q = Zufallszahl(3, MaxMultiplikator);
                    Ergebnis = toInteger(q * f);
                    if (NullFaktor && Ergebnis == 0)
                        m_task = {Uebung, QStringLiteral("/"), 0, q, 0};
                    else
                        m_task = {Uebung, QStringLiteral("/"), Ergebnis, f, q};
                    m_board.setTaskText(taskText(m_task));
                    Ergebnis = toInteger(m_task.expected);
                } while (Ergebnis == previous && f != 0);
            },
            [&] { AufgabeAnzeigen(); },
        });
}

void Game::AufgabeWiederholen(const TaskFacts& task) {
    Procedure("frmKalmix", "AufgabeWiederholen", standing(m_gameNumber))
        .run({
            [&] {
                // The task reads as when it was drawn fresh, and carries the tricky mark.
                if (task.operation == u"*" || task.operation == u"/")
                    MaxMultiplikator = task.b.value_or(0) > 10 ? 20 : 10;
                m_board.setTaskText(taskText(task));
                Ergebnis = toInteger(task.expected);
                m_task = task;
                m_task.kind = Uebung;
            },
            [&] { AufgabeAnzeigen(); },
        });
}

std::int16_t Game::drawFactor() const {
    const int i = Zufallszahl(0, FaktorZahl - 1);
    if (i < 0 || i >= int(FaktorListe.size()))
        raiseError(ErrNr::SubscriptOutOfRange);
    return FaktorListe[i];
}

} // namespace kalmix
