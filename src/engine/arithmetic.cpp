// The arithmetic tasks.
#include "engine/game.h"

#include "engine/gameparts.h"
#include "engine/random.h"
#include "errors/procedure.h"
#include "errors/runtimeerror.h"
#include "services/settings.h"
#include "settings/record.h"

namespace kalmix {

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
                m_task = {Uebung, QStringLiteral("+"), a, b, Ergebnis};
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
                m_task = {Uebung, QStringLiteral("-"), Ergebnis, b, a};
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
            [&] {
                m_board.setTaskText(Str(m) + SignMul + Str(f) + QStringLiteral(" = "));
                m_task = {Uebung, QStringLiteral("*"), m, f, Ergebnis};
            },
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
                        m_task = {Uebung, QStringLiteral("/"), 0, q, 0};
                    } else {
                        m_board.setTaskText(QString::number(Ergebnis) + SignDiv + Str(f) +
                                            QStringLiteral(" = "));
                        m_task = {Uebung, QStringLiteral("/"), Ergebnis, f, q};
                        Ergebnis = q;
                    }
                } while (Ergebnis == previous && f != 0);
            },
            [&] { AufgabeAnzeigen(); },
        });
}

void Game::AufgabeWiederholen(const TaskFacts& task) {
    Procedure("frmKalmix", "AufgabeWiederholen")
        .run({
            [&] {
                // The task reads as when it was drawn fresh, and carries the tricky mark.
                const int a = task.a, b = task.b.value_or(0);
                QString text;
                if (task.operation == u"+")
                    text = Str(a) + QStringLiteral(" +") + Str(b);
                else if (task.operation == u"-")
                    text = Str(a) + QStringLiteral(" -") + Str(b);
                else if (task.operation == u"*")
                    text = Str(a) + SignMul + Str(b);
                else if (a == 0)
                    text = QStringLiteral("0") + SignDiv + Str(b);
                else
                    text = QString::number(a) + SignDiv + Str(b);
                if (task.operation == u"*" || task.operation == u"/")
                    MaxMultiplikator = b > 10 ? 20 : 10;
                m_board.setTaskText(text + QStringLiteral(" = "));
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
