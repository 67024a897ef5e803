// Writes the settings file over and over, as a second Kalmix would:
//   ini_writer DIR NAME COUNT
#include "profiles/settingsfile.h"
#include "services/appinfo.h"

#include <QCoreApplication>

using namespace kalmix;

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc < 4)
        return 2;
    setProgramDirForTesting(QString::fromLocal8Bit(argv[1]));
    const QString name = QString::fromLocal8Bit(argv[2]);
    const int count = QByteArray(argv[3]).toInt();
    for (int i = 0; i < count; ++i) {
        SaveIni(name, QStringLiteral("Key%1").arg(i % 25), QString(40 + i % 60, u'x'));
        SaveIni(QStringLiteral("Optionen"), QStringLiteral("Sprache"), Str(1000 * (i % 7)));
    }
    return 0;
}
