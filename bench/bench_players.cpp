// A player added, renamed and deleted in the settings window, with few and with many players:
// the name typed, Next and OK pressed in the real window (offscreen), until the main window's
// player list is read again.
//
//   bench_players [many] [rounds]      (defaults: 10,000 players, 3 rounds)
//
// Renaming is what a parent does for it: the player chosen, the new name typed over the
// player's own (the new player gets the profile shown), Next, Back, the old player chosen and
// deleted, OK. Renamed and deleted players stand in the middle of the list, where a deletion
// moves every later name up one place.
#include "profiles/record.h"
#include "profiles/settingsfile.h"
#include "services/appinfo.h"
#include "services/lang.h"
#include "services/msgbox.h"
#include "services/resfiles.h"
#include "settings/frmuebung.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <vector>

using namespace kalmix;

namespace {

bool writeSettings(int players) {
    QByteArray ini = "[Optionen]\r\nSprache= 0\r\nPlaySound= 0\r\n[Benutzer]\r\n";
    for (int n = 1; n <= players; ++n)
        ini += "Name" + QByteArray::number(n) + "=Player " + QByteArray::number(n) + "\r\n";
    ini += "aktiv=Player 1\r\n";
    for (int n = 1; n <= players; ++n) {
        ini += "[Player " + QByteArray::number(n) +
               "]\r\nUebung= 2\r\nMaxSum= 1\r\n"
               "Symbole=1011010100000000000000000\r\nFaktoren=00110101000100000000\r\n"
               "AufgZeit= 0\r\nZeit=120\r\nAufgZahl=10\r\nAnimation= 1\r\nHilfe= 1\r\nNull= 0\r\n";
    }
    QFile f(iniFilePath());
    return f.open(QIODevice::WriteOnly) && f.write(ini) == ini.size();
}

// Time passed and processor time used, in milliseconds.
struct Cost {
    double ms = 0, cpuMs = 0;
};

class Stopwatch {
public:
    Stopwatch() {
        m_cpu = std::clock();
        m_t.start();
    }
    Cost cost() const {
        return {m_t.nsecsElapsed() / 1e6, (std::clock() - m_cpu) * 1000.0 / CLOCKS_PER_SEC};
    }

private:
    QElapsedTimer m_t;
    std::clock_t m_cpu;
};

// The settings window as the main window opens it, on the stored active player.
std::unique_ptr<frmUebung> openWindow() {
    resetRecord();
    aktiv = GetIniString(QStringLiteral("Benutzer"), QStringLiteral("aktiv"), {});
    auto w = std::make_unique<frmUebung>();
    w->show();
    if (!QTest::qWaitForWindowExposed(w.get()))
        return nullptr;
    return w;
}

void click(QPushButton* b) {
    QTest::mouseClick(b, Qt::LeftButton, {}, b->rect().center());
}

void chooseName(frmUebung& w, const QString& name) {
    QListWidgetItem* item = w.lstName->findItems(name, Qt::MatchExactly).value(0);
    w.lstName->scrollToItem(item);
    QTest::mouseClick(w.lstName->viewport(), Qt::LeftButton, {},
                      w.lstName->visualItemRect(item).center());
}

// OK, and the list read again as the main window does; false when the window stayed open.
bool pressOk(frmUebung& w) {
    click(w.cmdOptOK);
    readPlayerNames();
    return !w.isVisible();
}

struct Figures {
    std::vector<Cost> add, rename, del;
};

// One round of each on a file of the given players; false when a step did not do what it should.
bool round(int players, int r, Figures& f) {
    const QString middle = QStringLiteral("Player %1").arg(players / 2 - r);
    const QString other = QStringLiteral("Player %1").arg(players / 2 + 1 + r);
    const QString added = QStringLiteral("Newcomer %1").arg(r);
    {
        auto w = openWindow();
        if (!w)
            return false;
        Stopwatch t;
        QTest::keyClicks(w->txtName, added); // over the selected name
        click(w->cmdWeiter);
        if (!pressOk(*w))
            return false;
        f.add.push_back(t.cost());
    }
    const QString renamed = QStringLiteral("Renamed %1").arg(r);
    {
        auto w = openWindow();
        if (!w)
            return false;
        Stopwatch t;
        chooseName(*w, middle);
        w->txtName->setFocus();
        QTest::keyClick(w->txtName, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(w->txtName, renamed);
        click(w->cmdWeiter);
        click(w->cmdZurueck);
        chooseName(*w, middle);
        click(w->cmdDelEntry);
        if (!pressOk(*w))
            return false;
        f.rename.push_back(t.cost());
    }
    {
        auto w = openWindow();
        if (!w)
            return false;
        Stopwatch t;
        chooseName(*w, other);
        click(w->cmdDelEntry);
        if (!pressOk(*w))
            return false;
        f.del.push_back(t.cost());
    }
    const QStringList names = readPlayerNames();
    return names.size() == players && names.contains(added) && names.contains(renamed) &&
           !names.contains(middle) && !names.contains(other);
}

Cost median(std::vector<Cost> costs) {
    std::sort(costs.begin(), costs.end(), [](Cost a, Cost b) { return a.ms < b.ms; });
    return costs[costs.size() / 2];
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    initResources();
    const int many = argc > 1 ? std::max(11, std::atoi(argv[1])) : 10000;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    setMsgBoxHook([](const MsgBoxCall&) { return MsgResult::Yes; }); // "delete Player?" Yes

    Figures figures[2];
    const int sizes[2] = {10, many};
    for (int s = 0; s < 2; ++s) {
        QTemporaryDir dir;
        setProgramDirForTesting(dir.path());
        WriteLanguageCopy();
        if (!writeSettings(sizes[s]))
            return 1;
        for (int r = 0; r < rounds; ++r) {
            if (!round(sizes[s], r, figures[s])) {
                std::printf("with %d players, round %d went wrong\n", sizes[s], r + 1);
                return 1;
            }
        }
        const QStringList names = readPlayerNames();
        if (names.size() != sizes[s]) {
            std::printf("with %d players, %lld are left\n", sizes[s], qlonglong(names.size()));
            return 1;
        }
    }
    bool met = true;
    const auto line = [&](const char* what, const std::vector<Cost>& few,
                          const std::vector<Cost>& lots) {
        const Cost a = median(few), b = median(lots);
        const double bound = std::max(5 * a.ms, 500.0);
        met = met && b.ms <= bound;
        std::printf("%-7s with 10 players: %7.1f ms (processor %6.1f ms); with %d: %7.1f ms "
                    "(processor %6.1f ms); ratio %.1f (target: at most %.0f ms)\n",
                    what, a.ms, a.cpuMs, many, b.ms, b.cpuMs, b.ms / a.ms, bound);
    };
    std::printf("medians of %d rounds\n", rounds);
    line("add", figures[0].add, figures[1].add);
    line("rename", figures[0].rename, figures[1].rename);
    line("delete", figures[0].del, figures[1].del);
    return met ? 0 : 2;
}
