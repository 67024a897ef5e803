// The main window and the settings window together: which player is active and which settings
// the game plays, however the settings window is left and whatever shows a message meanwhile.
#include "engine/practicelog.h"
#include "main/frmkalmix.h"
#include "main/roundsummary.h"
#include "profiles/record.h"
#include "profiles/settingsfile.h"
#include "services/lang.h"
#include "services/resfiles.h"
#include "settings/frmuebung.h"
#include "support/fakes.h"
#include "support/testenv.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <memory>

using namespace kalmix;
using namespace kalmix::test;

namespace {

QByteArray crlf(QByteArray text) {
    return text.replace("\n", "\r\n");
}

// Anna adds to 10 with the solution help and the figure; Ben multiplies by 3 and 6 without them.
const QByteArray kTwo = "[Optionen]\nSprache= 0\nPlaySound= 0\nLogFile= 0\n[Benutzer]\n"
                        "Name1=Anna\nName2=Ben\naktiv=Anna\n"
                        "[Anna]\nUebung= 2\nMaxSum= 0\nAufgZeit= 0\nAufgZahl=10\nZeit=120\n"
                        "Animation= 1\nHilfe= 1\nNull= 0\n"
                        "[Ben]\nUebung= 4\nFaktoren=01001000000000000000\nAufgZeit= 1\n"
                        "AufgZahl=10\nZeit=300\nAnimation= 0\nHilfe= 0\nNull= 1\n";

// The record as the engine reads it; the list is the one the kind asks for.
QString describeRecord() {
    QString list;
    if (Uebung <= 1) {
        for (int i = 0; i < SymbolZahl; ++i)
            list += u' ' + QString::number(SymbolListe[i]);
    } else if (Uebung == 4 || Uebung == 5 || Uebung == 7 || Uebung == 8) {
        for (int i = 0; i < FaktorZahl; ++i)
            list += u' ' + QString::number(FaktorListe[i]);
    }
    return QStringLiteral("%1: kind %2 range %3-%4 tasks %5 seconds %6 switches %7 %8 %9 %10 "
                          "list%11")
        .arg(aktiv)
        .arg(Uebung)
        .arg(MinSum)
        .arg(MaxSum)
        .arg(AufgZahl)
        .arg(Zeit)
        .arg(Animation)
        .arg(Hilfe)
        .arg(Null)
        .arg(NullFaktor)
        .arg(list);
}

// The record a start-up gives for the player the settings file names as active.
QString appliedAtStartUp() {
    resetRecord();
    aktiv = readActivePlayer();
    const frmUebung loaded; // hidden: it loads the active player and applies the profile
    return describeRecord();
}

QString storedActive() {
    return GetIniString(QStringLiteral("Benutzer"), QStringLiteral("aktiv"), {});
}

// A main window on a settings file of the test.
struct WindowEnv : TestEnv {
    FakeScheduler scheduler{&clock};
    ScriptedRandom random;
    std::unique_ptr<frmKalmix> window;

    explicit WindowEnv(const QByteArray& ini) {
        WriteLanguageCopy();
        SprachBasis = 0;
        if (!ini.isEmpty())
            writeFile(QStringLiteral("Kalmix.ini"), crlf(ini));
        resetRecord();
        window = std::make_unique<frmKalmix>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    ~WindowEnv() {
        window.reset();
        LogNr().close();
        resetRecord();
    }

    bool awaitTask() {
        for (int i = 0; i < 400; ++i) {
            if (window->txtErgebnis->isVisible() && window->keyPreview() &&
                !window->game().judging() && !window->game().presenting())
                return true;
            scheduler.advance(50);
        }
        return false;
    }
    long long answerOnBoard() const {
        static const QRegularExpression task(QStringLiteral("^\\s*(\\d+)\\s*(\\S)\\s*(\\d+) = $"));
        const auto m = task.match(window->lblAufgabe->text());
        if (!m.hasMatch())
            return -1;
        const long long a = m.captured(1).toLongLong(), b = m.captured(3).toLongLong();
        const QString op = m.captured(2);
        if (op == u"+")
            return a + b;
        if (op == u"-")
            return a - b;
        if (op == u":")
            return b ? a / b : 0;
        return a * b;
    }
    void typeAnswer(long long value) {
        QTest::keyClicks(window->txtErgebnis, QString::number(value));
        QTest::keyClick(window->txtErgebnis, Qt::Key_Return);
    }
};

// Does `inside` with the settings window as soon as it is shown; the window is hidden after it
// in any case, so that a test never waits for a window that stays open.
class WhileShown : public QObject {
public:
    explicit WhileShown(std::function<void(frmUebung&)> inside) : m_inside(std::move(inside)) {
        m_timer.setInterval(10);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            auto* w = qobject_cast<frmUebung*>(QApplication::activeModalWidget());
            if (!w)
                return;
            m_timer.stop();
            shown = true;
            m_inside(*w);
            if (w->isVisible())
                w->hide();
        });
        m_timer.start();
    }
    bool shown = false;

private:
    std::function<void(frmUebung&)> m_inside;
    QTimer m_timer;
};

void clickName(frmUebung& w, const QString& name) {
    const QListWidgetItem* item = w.lstName->findItems(name, Qt::MatchExactly).value(0);
    QVERIFY(item);
    QTest::mouseClick(w.lstName->viewport(), Qt::LeftButton, {},
                      w.lstName->visualItemRect(item).center());
}

} // namespace

class TestPlayerFlow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { initResources(); }
    void settingsWindowLeftWithoutOk_data();
    void settingsWindowLeftWithoutOk();
    void pickedPlayerWithAWarning();
    void settingsWindowClosesThePracticeLog();
    void hiddenWindowIgnoresThePlayerBox();
};

void TestPlayerFlow::settingsWindowLeftWithoutOk_data() {
    QTest::addColumn<QString>("change"); // "choose", "delete" the active player, "first" start
    QTest::addColumn<QString>("leave");  // "cancel", "escape" or "close" box
    QTest::addColumn<QString>("active"); // who is active afterwards
    QTest::newRow("Ben chosen, Cancel") << u"choose"_qs << u"cancel"_qs << u"Anna"_qs;
    QTest::newRow("Ben chosen, Escape") << u"choose"_qs << u"escape"_qs << u"Anna"_qs;
    QTest::newRow("Ben chosen, close box") << u"choose"_qs << u"close"_qs << u"Anna"_qs;
    QTest::newRow("Anna deleted, Cancel") << u"delete"_qs << u"cancel"_qs << u"Ben"_qs;
    QTest::newRow("Anna deleted, close box") << u"delete"_qs << u"close"_qs << u"Ben"_qs;
    QTest::newRow("first start, a new name, Cancel") << u"first"_qs << u"cancel"_qs << u"Anna"_qs;
}

// However the settings window is left, the game plays one stored player's profile, applied as
// a start-up applies it, and a deleted player is never the active one.
void TestPlayerFlow::settingsWindowLeftWithoutOk() {
    QFETCH(QString, change);
    QFETCH(QString, leave);
    QFETCH(QString, active);
    const bool first = change == u"first";
    WindowEnv env(first ? QByteArray("[Optionen]\nSprache= 0\nPlaySound= 0\n") : kTwo);
    env.ticks = {true}; // "delete the history too" is ticked
    WhileShown inside([&](frmUebung& w) {
        if (change == u"choose") {
            clickName(w, u"Ben"_qs);
            QCOMPARE(Uebung, 4); // the window shows Ben
        } else if (change == u"delete") {
            clickName(w, u"Anna"_qs);
            QTest::mouseClick(w.cmdDelEntry, Qt::LeftButton); // answered Yes
            QCOMPARE(w.txtName->text(), u"Ben"_qs);
        } else {
            // Tab moves the focus only in the active window, which a slow start may not be yet.
            QApplication::setActiveWindow(&w);
            QVERIFY(QTest::qWaitForWindowActive(&w));
            w.txtName->setFocus();
            QTest::keyClicks(w.txtName, u"Anna"_qs);
            QTest::keyClick(w.txtName, Qt::Key_Tab); // Anna joins the list
        }
        if (leave == u"cancel")
            QTest::mouseClick(w.cmdCancel, Qt::LeftButton);
        else if (leave == u"escape")
            QTest::keyClick(&w, Qt::Key_Escape);
        else
            w.close();
        QVERIFY(w.unloaded());
    });
    if (first)
        QTest::mouseClick(env.window->PicBut[0], Qt::LeftButton); // Start asks for a player
    else
        QTest::mouseClick(env.window->PicBut[3], Qt::LeftButton);
    QVERIFY(inside.shown);
    QCOMPARE(aktiv, active);
    QCOMPARE(storedActive(), active);
    QCOMPARE(env.window->cmbName->currentText(), active);
    QVERIFY(env.errors.isEmpty());
    const QString playing = describeRecord();
    if (first) { // the round started at once, with the help and the figure of Anna's profile
        QVERIFY(env.awaitTask());
        QVERIFY(env.window->PicBut[2]->isEnabled());
        QVERIFY(Animation && Hilfe);
    } else { // the next round plays the active player's kind
        QTest::mouseClick(env.window->PicBut[0], Qt::LeftButton);
        QVERIFY(env.awaitTask());
        QCOMPARE(env.window->lblAufgabe->text().contains(u'+'), active == u"Anna");
        QCOMPARE(env.window->PicBut[2]->isEnabled(), active == u"Anna");
    }
    QCOMPARE(playing, appliedAtStartUp());
}

// Picking a player whose stored profile shows a warning as it is applied: under the warning
// nothing of the old game goes on; afterwards the new player's game starts.
void TestPlayerFlow::pickedPlayerWithAWarning() {
    QByteArray ini = kTwo;
    ini.replace("Faktoren=01001000000000000000\nAufgZeit= 1",
                "Faktoren=00000000000000000000\nAufgZeit= 0");
    WindowEnv env(ini);
    QTest::mouseClick(env.window->PicBut[0], Qt::LeftButton);
    QVERIFY(env.awaitTask());
    const QString task = env.window->lblAufgabe->text();
    env.typeAnswer(env.answerOnBoard()); // the figure's step and the wait before the next task
    QStringList underTheBox;
    setMsgBoxHook([&](const MsgBoxCall& call) {
        env.messages.append(call);
        env.scheduler.advance(3000); // events go on under the box
        const Game& game = env.window->game();
        underTheBox << env.window->lblAufgabe->text()
                    << QStringLiteral("judging %1, summary %2")
                           .arg(game.judging())
                           .arg(env.window->roundSummary()->isVisible());
        return MsgResult::Ok;
    });
    env.window->cmbName->setCurrentIndex(1);
    env.window->cmbName_Click();
    QCOMPARE(env.messages.size(), 1);
    QCOMPARE(env.messages[0].text, langText(176));
    QCOMPARE(underTheBox, (QStringList{task, u"judging 1, summary 0"_qs}));
    QVERIFY(env.errors.isEmpty());
    QCOMPARE(aktiv, u"Ben"_qs);
    QVERIFY(env.awaitTask());
    QVERIFY(env.answerOnBoard() >= 0);
    QVERIFY(env.window->lblAufgabe->text() != task);
}

// The settings window closes the practice log that a round opened.
void TestPlayerFlow::settingsWindowClosesThePracticeLog() {
    QByteArray ini = kTwo;
    ini.replace("LogFile= 0", "LogFile= 1");
    WindowEnv env(ini);
    QTest::mouseClick(env.window->PicBut[0], Qt::LeftButton);
    QVERIFY(env.awaitTask());
    QVERIFY(LogNr().isOpen());
    bool openWhileShown = true;
    WhileShown inside([&](frmUebung& w) {
        openWhileShown = LogNr().isOpen();
        QTest::mouseClick(w.cmdCancel, Qt::LeftButton);
    });
    QTest::mouseClick(env.window->PicBut[3], Qt::LeftButton);
    QVERIFY(inside.shown);
    QVERIFY(!openWhileShown);
    // The round goes on, and its next line opens the log again.
    const QByteArray before = env.readFile(QStringLiteral("Kalmix_Log.txt"));
    QVERIFY(env.awaitTask());
    env.typeAnswer(env.answerOnBoard());
    env.scheduler.advance(1000);
    QVERIFY(env.readFile(QStringLiteral("Kalmix_Log.txt")).size() > before.size());
    QVERIFY(env.errors.isEmpty() && env.messages.isEmpty());
}

// While the main window is not shown, the player box changes nothing.
void TestPlayerFlow::hiddenWindowIgnoresThePlayerBox() {
    WindowEnv env(kTwo);
    const QString record = describeRecord();
    const QByteArray file = env.readFile(QStringLiteral("Kalmix.ini"));
    env.window->hide();
    env.window->cmbName->setCurrentIndex(1);
    env.window->cmbName_Click();
    QCOMPARE(aktiv, u"Anna"_qs);
    QCOMPARE(describeRecord(), record);
    QCOMPARE(env.readFile(QStringLiteral("Kalmix.ini")), file);
    QVERIFY(!env.window->game().running());
}

QTEST_MAIN(TestPlayerFlow)
#include "tst_playerflow.moc"
