// Starts the main window with a sample player and plays into a game, for screenshots:
//   shot_game KIND [wrong|right] [LANGUAGE_BASE]
// The game starts after 0.3 s; with "wrong" or "right" an answer is typed after 2.5 s; "pad"
// shows the number pad, "speak" the speaker button, "firststart" the board before the first
// player.
#include "about/frminfo.h"
#include "errors/fehlerwart.h"
#include "main/frmkalmix.h"
#include "main/roundsummary.h"
#include "services/lang.h"
#include "services/resfiles.h"
#include "services/sound.h"
#include "settings/record.h"

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace kalmix;

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    initResources();
    Fehlerwart::install();
    const int kind = argc > 1 ? QByteArray(argv[1]).toInt() : 0;
    const QByteArray action = argc > 2 ? QByteArray(argv[2]) : QByteArray();
    SprachBasis = static_cast<std::int16_t>(argc > 3 ? QByteArray(argv[3]).toInt() : 0);
    WriteLanguageCopy();

    if (action == "splash") {
        // The About box as the splash shows it, without the main window behind.
        auto* splash = new frmInfo;
        splash->show();
        return app.exec();
    }
    const int language = SprachBasis / 1000;
    frmKalmix window;
    Gestartet = true;
    if (action == "firststart") {
        // The board of a first start: no player yet (run it where no settings file is).
        window.show();
        return app.exec();
    }
    aktiv = QStringLiteral("Anna");
    Uebung = static_cast<std::int16_t>(kind);
    MaxSum = kind <= 1 ? 9 : 20;
    MinSum = minSumFor(MaxSum);
    const int symbols[] = {0, 2, 3, 5, 7};
    SymbolZahl = 5;
    for (int i = 0; i < 5; ++i)
        SymbolListe[i] = static_cast<std::int16_t>(symbols[i] + kind * 3 % 17);
    const int factors[] = {4, 5, 7, 9, 13};
    FaktorZahl = 5;
    for (int i = 0; i < 5; ++i)
        FaktorListe[i] = static_cast<std::int16_t>(factors[i]);
    SignMul = u' ' + GetLang(static_cast<std::int16_t>(SprachBasis + 183));
    SignDiv = u' ' + GetLang(static_cast<std::int16_t>(SprachBasis + 184));
    AufgZahl = 10;
    Animation = Hilfe = kTrue;
    PlaySound = kFalse;
    Ziffernblock = truth(action == "pad");
    Vorlesen = truth(action == "speak"); // the speaker button on the board

    window.show();
    if (action != "summary")
        QTimer::singleShot(300, &window, [&] { window.PicBut_Click(0); });
    if (action == "help" || action == "about" || action == "menu") {
        QTimer::singleShot(900, &window, [&] {
            if (action == "help")
                window.mnuOnlinehilfe_Click();
            else if (action == "about")
                window.mnuUeber_Click();
            else
                window.mnuHilfe->popup(window.PicBut[4]->mapToGlobal(QPoint(-150, 20)));
        });
    } else if (action == "summary") {
        // The end of a round of ten: one wrong answer, one from the light bulb.
        QTimer::singleShot(600, &window, [&] {
            window.PicBut_Click(10 + language); // the stored language would win otherwise
            RoundSummary s;
            s.solved = 10;
            s.wrong = 1;
            s.helped = 1;
            s.seconds = 95;
            window.roundSummary()->showSummary(s);
        });
    } else if (action == "wrong" || action == "right") {
        QTimer::singleShot(2500, &window, [&] {
            const int answer = window.game().Ergebnis + (action == "wrong" ? 1 : 0);
            QTest::keyClicks(window.txtErgebnis, QString::number(answer));
            QTest::keyClick(window.txtErgebnis, Qt::Key_Return);
        });
    }
    return app.exec();
}
