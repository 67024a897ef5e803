// Shows the About box as the help menu opens it, for screenshots:
//   shot_about [LANGUAGE_BASE]
// It runs in a fresh program directory under /tmp.
#include "about/frminfo.h"
#include "errors/fehlerwart.h"
#include "profiles/settingsfile.h"
#include "services/appinfo.h"
#include "services/lang.h"
#include "services/resfiles.h"

#include <QApplication>
#include <QDir>

using namespace kalmix;

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    initResources();
    Fehlerwart::install();
    const QString base = QString::fromLatin1(argc > 1 ? argv[1] : "0");
    const QString dir = QDir::tempPath() + QStringLiteral("/kalmix-shot-about");
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    setProgramDirForTesting(dir);
    SaveIni(QStringLiteral("Optionen"), QStringLiteral("Sprache"), u' ' + base);
    Gestartet = true;
    frmInfo about;
    about.exec();
    return 0;
}
