// Starts the main window with a sample player and plays into a game, for screenshots:
//   shot_game KIND [wrong|right|helped|pad|countdown|summary|firststart|speak|...] [LANGUAGE_BASE]
// The game starts after 0.3 s; with "wrong" or "right" an answer is typed after 2.5 s, with
// "helped" the light bulb fills it in then; "pad" shows the number pad, "countdown" plays a
// round of 90 seconds, "summary" shows the end of a round, "firststart" the board before the
// first player. It runs in a fresh program directory under /tmp, where Anna is the stored
// player (none for "firststart"), so that no settings file of an earlier run shows; "speak"
// shows the speaker button of read-aloud.
#include "about/frminfo.h"
#include "errors/fehlerwart.h"
#include "main/frmkalmix.h"
#include "main/roundsummary.h"
#include "profiles/record.h"
#include "profiles/settingsfile.h"
#include "services/appinfo.h"
#include "services/lang.h"
#include "services/resfiles.h"
#include "services/sound.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <chrono>
#include <thread>

using namespace kalmix;

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    initResources();
    Fehlerwart::install();
    const int kind = argc > 1 ? QByteArray(argv[1]).toInt() : 0;
    const QByteArray action = argc > 2 ? QByteArray(argv[2]) : QByteArray();
    SprachBasis = static_cast<std::int16_t>(argc > 3 ? QByteArray(argv[3]).toInt() : 0);
    const QString dir =
        QDir::tempPath() + QStringLiteral("/kalmix-shot-game-%1").arg(app.applicationPid());
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    setProgramDirForTesting(dir);
    WriteLanguageCopy();
    if (action != "firststart") {
        SaveIni(QStringLiteral("Benutzer"), QStringLiteral("Name1"), QStringLiteral("Anna"));
        SaveIni(QStringLiteral("Benutzer"), QStringLiteral("aktiv"), QStringLiteral("Anna"));
    }

    if (action == "splash") {
        // The About box as the splash shows it, without the main window behind.
        auto* splash = new frmInfo;
        splash->show();
        return app.exec();
    }
    frmKalmix window;
    Gestartet = true;
    if (action == "firststart") {
        // The board of a first start: no player yet.
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
    Zeit = static_cast<std::int16_t>(action == "countdown" ? 90 : 0);
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
        // The panel and the figure show what the summary says: ten solved in 1:35, the figure
        // cheering on the pencil's tip.
        QTimer::singleShot(600, &window, [&] {
            RoundSummary s;
            s.solved = 10;
            s.wrong = 1;
            s.helped = 1;
            s.seconds = 95;
            window.setNumber(QStringLiteral("10"));
            window.setTime(QStringLiteral("01:35"));
            window.setMeterLeft(window.barLeft() + 0.93 * window.barWidth());
            window.setMeterPicture(105);
            window.roundSummary()->showSummary(s);
        });
    } else if (action == "helped") {
        QTimer::singleShot(2500, &window, [&] { window.PicBut_Click(2); });
        // The bulb's tick shows for a second only: once it is painted, the program stops still
        // (the virtual display keeps the picture) so that a late screenshot still finds it.
        auto* watch = new QTimer(&window);
        QObject::connect(watch, &QTimer::timeout, &window, [&window, watch] {
            if (!window.imgJaNein[0]->isVisible())
                return;
            watch->stop();
            window.repaint();
            QCoreApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::minutes(2));
        });
        watch->start(20);
    } else if (action == "wrong" || action == "right") {
        QTimer::singleShot(2500, &window, [&] {
            const int answer = window.game().Ergebnis + (action == "wrong" ? 1 : 0);
            QTest::keyClicks(window.txtErgebnis, QString::number(answer));
            QTest::keyClick(window.txtErgebnis, Qt::Key_Return);
        });
    }
    return app.exec();
}
