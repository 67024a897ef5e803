// Shows the settings window on one page, for screenshots:
//   shot_wizard PAGE [LANGUAGE_BASE] [KIND]
// PAGE 7 is page 6 with the practice log shown in Kalmix's own viewer.
// It runs in a fresh program directory under /tmp, with two sample players.
#include "errors/fehlerwart.h"
#include "profiles/record.h"
#include "profiles/settingsfile.h"
#include "services/appinfo.h"
#include "services/desktop.h"
#include "services/lang.h"
#include "services/resfiles.h"
#include "settings/frmuebung.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTimer>

using namespace kalmix;

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    initResources();
    Fehlerwart::install();
    const int page = argc > 1 ? QByteArray(argv[1]).toInt() : 0;
    SprachBasis = static_cast<std::int16_t>(argc > 2 ? QByteArray(argv[2]).toInt() : 0);
    const int kind = argc > 3 ? QByteArray(argv[3]).toInt() : 8;
    const QString dir = QDir::tempPath() + QStringLiteral("/kalmix-shot-wizard");
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    setProgramDirForTesting(dir);
    WriteLanguageCopy();
    SaveIni(QStringLiteral("Benutzer"), QStringLiteral("Name1"), QStringLiteral("Anna"));
    SaveIni(QStringLiteral("Benutzer"), QStringLiteral("Name2"), QStringLiteral("Ben"));
    SaveIni(QStringLiteral("Benutzer"), QStringLiteral("aktiv"), QStringLiteral("Anna"));
    SaveIni(QStringLiteral("Anna"), QStringLiteral("Uebung"), Str(kind));
    aktiv = QStringLiteral("Anna");
    if (page == 7) {
        QFile log(dir + QStringLiteral("/Kalmix_Log.txt"));
        if (log.open(QIODevice::WriteOnly)) {
            log.write("\r\n14.03.2026 09:26:53         Anna\r\n\r\n");
            log.write("09:27:01\t 3 +  4 =  7\r\n09:27:06\t12 +  5 = 16          Falsch!\r\n");
            log.write("09:27:09\t12 +  5 = 17\r\n09:27:15\t 8 + 11 = 19          "
                      "mit Hilfestellung!\r\n");
        }
        setShellOpenHook([](const QUrl&) { return false; }); // a desktop without a viewer
    }

    frmUebung wizard;
    QTimer::singleShot(200, &wizard, [&] {
        while (wizard.Seite != page && wizard.Seite != 6)
            wizard.cmdWeiter_Click();
        if (page == 7)
            wizard.cmdViewLog_Click();
    });
    wizard.showModal();
    return 0;
}
