// Settings file figures: one SaveIni and one GetIniInt on a file with 1,000 player sections.
#include "profiles/settingsfile.h"
#include "services/appinfo.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace kalmix;

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    setProgramDirForTesting(dir.path());
    QByteArray ini = "[Optionen]\r\nSprache= 0\r\nPlaySound=-1\r\n[Benutzer]\r\n";
    for (int n = 1; n <= 1000; ++n)
        ini += "Name" + QByteArray::number(n) + "=Player " + QByteArray::number(n) + "\r\n";
    ini += "aktiv=Player 1\r\n";
    for (int n = 1; n <= 1000; ++n) {
        ini += "[Player " + QByteArray::number(n) +
               "]\r\nUebung= 2\r\nMaxSum= 1\r\n"
               "Symbole=1011010100000000000000000\r\nFaktoren=00110101000100000000\r\n"
               "AufgZeit= 0\r\nZeit=120\r\nAufgZahl=10\r\nAnimation= 1\r\nHilfe= 1\r\nNull= 0\r\n";
    }
    QFile f(iniFilePath());
    if (!f.open(QIODevice::WriteOnly) || f.write(ini) != ini.size())
        return 1;
    f.close();

    auto measure = [](int rounds, const std::function<void(int)>& step) {
        std::vector<double> ms;
        for (int i = 0; i < rounds; ++i) {
            QElapsedTimer t;
            t.start();
            step(i);
            ms.push_back(t.nsecsElapsed() / 1e6);
        }
        std::sort(ms.begin(), ms.end());
        return std::make_pair(ms[ms.size() / 2], ms.back());
    };
    const auto save = measure(100, [](int i) {
        SaveIni(QStringLiteral("Player 500"), QStringLiteral("AufgZahl"), Str(10 + i % 90));
    });
    const auto read = measure(100, [](int) {
        (void)GetIniInt(QStringLiteral("Player 999"), QStringLiteral("AufgZahl"), 0);
    });
    std::printf("settings file: %lld bytes, 1000 player sections\n", (long long)ini.size());
    std::printf("SaveIni:   median %.2f ms, max %.2f ms (target: under 20 ms)\n", save.first,
                save.second);
    std::printf("GetIniInt: median %.2f ms, max %.2f ms\n", read.first, read.second);
    return save.second < 20 ? 0 : 2;
}
