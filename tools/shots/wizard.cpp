// Shows the settings window on one page, for screenshots:
//   shot_wizard PAGE [LANGUAGE_BASE] [KIND]
// It runs in a fresh program directory under /tmp, with two sample players.
#include "errors/fehlerwart.h"
#include "services/appinfo.h"
#include "services/lang.h"
#include "services/resfiles.h"
#include "services/settings.h"
#include "settings/frmuebung.h"
#include "settings/record.h"

#include <QApplication>
#include <QDir>
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

    frmUebung wizard;
    QTimer::singleShot(200, &wizard, [&] {
        while (wizard.Seite != page && wizard.Seite != 6)
            wizard.cmdWeiter_Click();
    });
    wizard.showModal();
    return 0;
}
