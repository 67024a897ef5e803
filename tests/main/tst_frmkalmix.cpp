#include "engine/practicelog.h"
#include "main/boardhint.h"
#include "main/frmkalmix.h"
#include "main/helpwindow.h"
#include "main/layout.h"
#include "main/roundsummary.h"
#include "profiles/passwordhash.h"
#include "profiles/record.h"
#include "profiles/settingsfile.h"
#include "services/appinfo.h"
#include "services/desktop.h"
#include "services/lang.h"
#include "services/resfiles.h"
#include "services/twips.h"
#include "settings/frmuebung.h"
#include "support/fakes.h"
#include "support/testenv.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>

using namespace kalmix;
using namespace kalmix::test;

namespace {

// A main window with the fakes of a test: program directory, clock, scheduler, random.
struct WindowEnv : TestEnv {
    FakeScheduler scheduler{&clock};
    ScriptedRandom random;
    std::unique_ptr<frmKalmix> window;

    explicit WindowEnv(int uebung = 2) {
        WriteLanguageCopy();
        SprachBasis = 0;
        window = std::make_unique<frmKalmix>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        useTypicalRecord(uebung);
    }
    ~WindowEnv() {
        window.reset();
        resetRecord();
    }

    // Lets the game's waits run out until a task waits for its answer.
    bool awaitTask() {
        for (int i = 0; i < 400; ++i) {
            if (window->txtErgebnis->isVisible() && window->keyPreview() &&
                !window->game().judging() && !window->game().presenting())
                return true;
            scheduler.advance(50);
        }
        return false;
    }

    // The answer to the arithmetic task on the board.
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

    // Plays a round of two tasks: one wrong answer, one light bulb, two right answers.
    void playShortRound() {
        AufgZahl = 2;
        Hilfe = kTrue;
        QTest::mouseClick(window->PicBut[0], Qt::LeftButton);
        QVERIFY(awaitTask());
        typeAnswer(answerOnBoard() + 1);
        QVERIFY(awaitTask());
        QTest::mouseClick(window->PicBut[2], Qt::LeftButton);
        QVERIFY(awaitTask());
        typeAnswer(answerOnBoard());
        QVERIFY(awaitTask());
        typeAnswer(answerOnBoard());
        scheduler.advance(2000);
    }

    void typeAnswer(long long value) {
        QTest::keyClicks(window->txtErgebnis, QString::number(value));
        QTest::keyClick(window->txtErgebnis, Qt::Key_Return);
    }
};

} // namespace

class TestFrmKalmix : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { initResources(); }
    void keyFilterLetsOnlyDigitsThrough();
    void keyPreviewCoversTheWholeWindow();
    void wholeGameWithTheKeyboard();
    void newGameDuringThePictures();
    void endQuestion();
    void languageButtons();
    void emailAddress();
    void playerBoxStartsOnlyOnAPick();
    void playerBoxShowsOnlyTheActivePlayer();
    void endQuestionKeepsTheGameOnEnter();
    void standardButtonsFollowTheLanguage();
    void restoredWindowIsLaidOut();
    void questionStaysOnOneLine();
    void windowFitsTheScreen();
    void firstLayoutAtLargeFonts();
    void firstStartHint();
    void helpInEveryLanguage();
    void roundSummaryOnTheBoard();
    void roundSummaryGoesAway_data();
    void roundSummaryGoesAway();
    void optionsButtonAsksForThePassword_data();
    void optionsButtonAsksForThePassword();
    void reportAndFirstPlayerAskForThePassword_data();
    void reportAndFirstPlayerAskForThePassword();
    void resizePlacesTheFigure_data();
    void resizePlacesTheFigure();
    void closeBoxDuringAGame();
    void helpMenuAtTheMouse();
    void positionierenAtLargeFonts();
};

void TestFrmKalmix::keyFilterLetsOnlyDigitsThrough() {
    WindowEnv env;
    QTest::mouseClick(env.window->PicBut[0], Qt::LeftButton);
    QVERIFY(env.awaitTask());
    QVERIFY(env.window->txtErgebnis->hasFocus());
    QTest::keyClicks(env.window->txtErgebnis, QStringLiteral("12a-3 x"));
    QCOMPARE(env.window->txtErgebnis->text(), QStringLiteral("123"));
    QTest::keyClick(env.window->txtErgebnis, Qt::Key_Backspace);
    QCOMPARE(env.window->txtErgebnis->text(), QStringLiteral("12"));
    // Arrow keys are no characters: they move the caret as usual.
    QTest::keyClick(env.window->txtErgebnis, Qt::Key_Left);
    QTest::keyClicks(env.window->txtErgebnis, QStringLiteral("9"));
    QCOMPARE(env.window->txtErgebnis->text(), QStringLiteral("192"));
}

void TestFrmKalmix::keyPreviewCoversTheWholeWindow() {
    WindowEnv env;
    QTest::mouseClick(env.window->PicBut[0], Qt::LeftButton);
    QVERIFY(env.awaitTask());
    QTest::keyClicks(env.window->txtErgebnis, QString::number(env.answerOnBoard()));
    // Enter pressed on another control of the window judges the answer box.
    env.window->PicBut[10]->setFocus();
    QTest::keyClick(env.window->PicBut[10], Qt::Key_Return);
    QVERIFY(env.window->imgJaNein[0]->isVisible());
    env.scheduler.advance(450); // the figure's steps come before the count
    QCOMPARE(env.window->lblNumber->text(), QStringLiteral("1"));
    // While the answer is judged the box keeps what was typed, and a second Enter counts for
    // nothing.
    const QString typed = env.window->txtErgebnis->text();
    QTest::keyClicks(env.window->txtErgebnis, QStringLiteral("5"));
    QTest::keyClick(env.window->txtErgebnis, Qt::Key_Return);
    QCOMPARE(env.window->txtErgebnis->text(), typed);
    QCOMPARE(env.window->lblNumber->text(), QStringLiteral("1"));
}

void TestFrmKalmix::wholeGameWithTheKeyboard() {
    WindowEnv env;
    LogFile = kTrue;
    env.clock.wall = QDateTime(QDate(2026, 12, 7), QTime(15, 11, 14));
    QTest::mouseClick(env.window->PicBut[0], Qt::LeftButton);
    QVERIFY(!env.window->PicBut[0]->isEnabled());
    QVERIFY(env.window->PicBut[2]->isEnabled());
    int wrong = 0, helped = 0;
    for (int task = 0; task < 10; ++task) {
        QVERIFY2(env.awaitTask(), qPrintable(QStringLiteral("task %1").arg(task)));
        const long long answer = env.answerOnBoard();
        QVERIFY(answer >= 0);
        if (task == 3) {
            env.typeAnswer(answer + 1);
            QVERIFY(env.window->imgJaNein[1]->isVisible());
            env.scheduler.advance(1000);
            QVERIFY(!env.window->imgJaNein[1]->isVisible());
            QVERIFY(env.window->txtErgebnis->text().isEmpty()); // the same task again
            ++wrong;
        }
        if (task == 6) {
            QTest::mouseClick(env.window->PicBut[2], Qt::LeftButton);
            QCOMPARE(env.window->txtErgebnis->text(), QString::number(answer));
            env.scheduler.advance(200);
            QVERIFY(env.window->imgJaNein[0]->isVisible());
            ++helped;
            env.scheduler.advance(1000);
            QVERIFY(env.awaitTask());
            // A helped answer is not counted: this task needs solving all the same.
            QCOMPARE(env.window->lblNumber->text(), QString::number(task));
            env.typeAnswer(env.answerOnBoard());
            continue;
        }
        env.typeAnswer(answer);
        QVERIFY(env.window->imgJaNein[0]->isVisible());
    }
    env.scheduler.advance(2000);
    QCOMPARE(env.window->lblNumber->text(), QStringLiteral("10"));
    QVERIFY(!env.window->fraUebung->isVisible());
    QVERIFY(env.window->PicBut[0]->isEnabled());
    QVERIFY(!env.window->PicBut[2]->isEnabled());
    QVERIFY(!env.window->keyPreview());
    const QStringList lines = QString::fromUtf8(env.readFile(QStringLiteral("Kalmix_Log.txt")))
                                  .split(QStringLiteral("\r\n"));
    QCOMPARE(lines.count(QString()), 2 + 1); // around the header, and after the last line
    QCOMPARE(lines.filter(QStringLiteral("Falsch!")).size(), wrong);
    QCOMPARE(lines.filter(QStringLiteral("mit Hilfestellung!")).size(), helped);
    QCOMPARE(lines.size(), 3 + 10 + wrong + helped + 1);
}

void TestFrmKalmix::newGameDuringThePictures() {
    WindowEnv env(0);
    QTest::mouseClick(env.window->PicBut[0], Qt::LeftButton);
    env.scheduler.advance(500); // some pictures are up
    QVERIFY(env.window->game().presenting());
    QVERIFY(!env.window->PicBut[2]->isEnabled());
    // Picking a player in the list starts a new game at once.
    SaveIni(QStringLiteral("Benutzer"), QStringLiteral("Name1"), QStringLiteral("Anna"));
    env.window->ComboAktualisieren();
    useTypicalRecord(0);
    env.window->cmbName->setCurrentIndex(0);
    env.window->cmbName_Click();
    QVERIFY(env.awaitTask());
    int shown = 0;
    for (QLabel* img : env.window->imgSymbolX)
        shown += img->isVisible() ? 1 : 0;
    QCOMPARE(shown, env.window->game().Ergebnis);
    env.scheduler.advance(5000); // nothing of the first game comes back
    shown = 0;
    for (QLabel* img : env.window->imgSymbolX)
        shown += img->isVisible() ? 1 : 0;
    QCOMPARE(shown, env.window->game().Ergebnis);
    QCOMPARE(GetIniString(QStringLiteral("Benutzer"), QStringLiteral("aktiv"), {}),
             QStringLiteral("Anna"));
}

void TestFrmKalmix::endQuestion() {
    WindowEnv env;
    LogFile = kTrue;
    QTest::mouseClick(env.window->PicBut[0], Qt::LeftButton);
    QVERIFY(env.awaitTask());
    env.answers = {MsgResult::No};
    QTest::mouseClick(env.window->PicBut[1], Qt::LeftButton);
    QCOMPARE(env.messages.size(), 1);
    QCOMPARE(env.messages[0].text, QStringLiteral("Wirklich schon aufhören?"));
    QCOMPARE(env.messages[0].icon, MsgIcon::Question);
    QVERIFY(env.window->isVisible());
    QVERIFY(env.window->txtErgebnis->hasFocus());
    env.answers = {MsgResult::Yes};
    QTest::mouseClick(env.window->PicBut[1], Qt::LeftButton);
    QVERIFY(!env.window->isVisible());
    QVERIFY(!LogNr().isOpen());
    QVERIFY(env.readFile(QStringLiteral("Kalmix_Log.txt")).endsWith("\r\n\r\n"));
}

void TestFrmKalmix::languageButtons() {
    WindowEnv env;
    QTest::mouseClick(env.window->PicBut[11], Qt::LeftButton);
    QCOMPARE(SprachBasis, 1000);
    QCOMPARE(env.window->Label[0]->text(), QStringLiteral("Solved exercises:"));
    QCOMPARE(env.window->PicBut[0]->toolTip(), QStringLiteral("Start game"));
    QVERIFY(env.readFile(QStringLiteral("Kalmix.ini")).contains("Sprache= 1000\r\n"));
    QTest::mouseClick(env.window->PicBut[12], Qt::LeftButton);
    QCOMPARE(env.window->Label[1]->text(), GetLang(2107));
    QVERIFY(env.readFile(QStringLiteral("Kalmix.ini")).contains("Sprache= 2000\r\n"));
    QCOMPARE(env.window->PicBut[16]->toolTip(), QStringLiteral("Français"));
}

void TestFrmKalmix::emailAddress() {
    QCOMPARE(frmKalmix::emailAddress(),
             QStringLiteral("mailto:support@example.org?Subject=Kalmix"));
}

namespace {

void savePlayers(const QStringList& keysAndNames, const QString& active) {
    for (int i = 0; i + 1 < keysAndNames.size(); i += 2)
        SaveIni(QStringLiteral("Benutzer"), keysAndNames[i], keysAndNames[i + 1]);
    SaveIni(QStringLiteral("Benutzer"), QStringLiteral("aktiv"), active);
}

QString storedActive() {
    return GetIniString(QStringLiteral("Benutzer"), QStringLiteral("aktiv"), {});
}

} // namespace

void TestFrmKalmix::playerBoxStartsOnlyOnAPick() {
    WindowEnv env;
    savePlayers({QStringLiteral("Name1"), QStringLiteral("Anna"), QStringLiteral("Name2"),
                 QStringLiteral("Ben"), QStringLiteral("Name3"), QStringLiteral("Dora")},
                QStringLiteral("Anna"));
    env.window->ComboAktualisieren();
    PlayerBox* box = env.window->cmbName;
    QVERIFY(box->isEnabled());
    // Wheel notches, arrow, page and letter keys over the closed box choose nobody.
    const QPointF at(box->width() / 2.0, box->height() / 2.0);
    QWheelEvent wheel(at, box->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(box, &wheel);
    box->setFocus();
    for (Qt::Key key : {Qt::Key_PageDown, Qt::Key_End, Qt::Key_D})
        QTest::keyClick(box, key);
    QCOMPARE(box->currentText(), QStringLiteral("Anna"));
    QTest::keyClick(box, Qt::Key_Down); // opens the list
    QVERIFY(box->view()->isVisible());
    QCOMPARE(storedActive(), QStringLiteral("Anna"));
    QVERIFY(!env.window->fraUebung->isVisible()); // no game started
    // A pick in the opened list with Enter starts the game for that player.
    QTest::keyClick(box->view(), Qt::Key_Down);
    QTest::keyClick(box->view(), Qt::Key_Return);
    QCOMPARE(storedActive(), QStringLiteral("Ben"));
    QCOMPARE(aktiv, QStringLiteral("Ben"));
    QVERIFY(env.window->fraUebung->isVisible());
}

void TestFrmKalmix::playerBoxShowsOnlyTheActivePlayer() {
    WindowEnv env;
    savePlayers({QStringLiteral("Name1"), QStringLiteral("Anna"), QStringLiteral("Name2"),
                 QStringLiteral("Ben"), QStringLiteral("Name4"), QStringLiteral("Dora")},
                QStringLiteral("Dora"));
    env.window->ComboAktualisieren();
    QCOMPARE(env.window->cmbName->count(), 2);
    QCOMPARE(aktiv, QStringLiteral("Dora"));
    QCOMPARE(env.window->cmbName->currentText(), QString()); // not Anna
    SaveIni(QStringLiteral("Benutzer"), QStringLiteral("aktiv"), QString());
    env.window->ComboAktualisieren();
    QCOMPARE(env.window->cmbName->currentText(), QString());
    SaveIni(QStringLiteral("Benutzer"), QStringLiteral("aktiv"), QStringLiteral("Ben"));
    env.window->ComboAktualisieren();
    QCOMPARE(env.window->cmbName->currentText(), QStringLiteral("Ben"));
}

void TestFrmKalmix::endQuestionKeepsTheGameOnEnter() {
    WindowEnv env;
    LogFile = kTrue; // on, but no game has opened the log
    env.answers = {MsgResult::Yes};
    QTest::mouseClick(env.window->PicBut[1], Qt::LeftButton);
    QCOMPARE(env.messages.size(), 1);
    QCOMPARE(env.messages[0].defaultButton, MsgResult::No);
    QVERIFY(!env.window->isVisible());
    QVERIFY(!QFileInfo::exists(env.path(QStringLiteral("Kalmix_Log.txt"))));
}

void TestFrmKalmix::standardButtonsFollowTheLanguage() {
    const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!QFileInfo::exists(dir + QStringLiteral("/qtbase_de.qm")) ||
        !QFileInfo::exists(dir + QStringLiteral("/qtbase_fr.qm")))
        QSKIP("Qt's translations are not installed");
    WindowEnv env;
    const auto buttons = [] {
        QMessageBox box;
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        return QStringList{box.button(QMessageBox::Yes)->text(),
                           box.button(QMessageBox::No)->text(),
                           box.button(QMessageBox::Cancel)->text()};
    };
    QCOMPARE(buttons(), (QStringList{QStringLiteral("&Ja"), QStringLiteral("&Nein"),
                                     QStringLiteral("Abbrechen")}));
    QTest::mouseClick(env.window->PicBut[16], Qt::LeftButton);
    QCOMPARE(buttons(), (QStringList{QStringLiteral("&Oui"), QStringLiteral("&Non"),
                                     QStringLiteral("Annuler")}));
    // Qt has no Swedish: the language file's texts stand in.
    QTest::mouseClick(env.window->PicBut[12], Qt::LeftButton);
    QCOMPARE(buttons(), (QStringList{QStringLiteral("&Ja"), QStringLiteral("&Nej"),
                                     QStringLiteral("Avbryt")}));
    QTest::mouseClick(env.window->PicBut[11], Qt::LeftButton);
    QCOMPARE(buttons().first(), QStringLiteral("&Yes"));
}

void TestFrmKalmix::restoredWindowIsLaidOut() {
    WindowEnv env;
    frmKalmix& w = *env.window;
    w.setWindowState(Qt::WindowMinimized);
    const QPoint before = w.picTafel->pos();
    w.resize(w.width() - 60, w.height() - 40);
    QCOMPARE(w.picTafel->pos(), before); // nothing moves while minimized
    w.setWindowState(Qt::WindowNoState);
    const QPoint restored = w.picTafel->pos();
    QVERIFY(restored != before);
    w.Form_Resize();
    QCOMPARE(w.picTafel->pos(), restored); // the layout for the new size
}

void TestFrmKalmix::questionStaysOnOneLine() {
    WindowEnv env;
    frmKalmix& w = *env.window;
    for (int lang = 10; lang <= 16; ++lang) {
        QTest::mouseClick(w.PicBut[lang], Qt::LeftButton);
        const QLabel* q = w.lblFrage;
        QVERIFY2(q->fontMetrics().horizontalAdvance(q->text()) <= q->width(),
                 qPrintable(q->text()));
        // The answer box and the right or wrong picture still fit beside it.
        QVERIFY(q->x() + q->width() + w.txtErgebnis->width() + 12 + w.imgJaNein[0]->width() <=
                w.fraUebung->width());
    }
}

void TestFrmKalmix::windowFitsTheScreen() {
    WindowEnv env;
    frmKalmix& w = *env.window;
    const QRect area = w.screen()->availableGeometry();
    w.hide();
    w.resize(area.width() + 300, area.height() + 200);
    w.move(area.x() + 50, area.y() + 40);
    w.show();
    QVERIFY(area.contains(w.frameGeometry()));
    // The toolbar keeps to the window's right edge.
    QVERIFY(w.PicBut[0]->x() + w.PicBut[0]->width() <= w.width());
}

void TestFrmKalmix::firstLayoutAtLargeFonts() {
    // Run a second time by CTest with 120 dots per inch.
    if (twipsPerPixel() >= 15)
        QSKIP("the screen has normal fonts");
    WindowEnv env;
    const frmKalmix& w = *env.window;
    // The first layout takes the strip's design width, 540 twips.
    LayoutInput in;
    in.W = w.width();
    in.board = w.picTafel->size();
    in.panel = w.lblButBack->size();
    in.stripWidth = px(540);
    QCOMPARE(w.picTafel->x(), formLayout(in).board.x());
}

// Every language has its own help: the start page lies in the language's folder, and from it
// the links reach six pages there; every link and picture of a page leads somewhere real.
void TestFrmKalmix::helpInEveryLanguage() {
    const QStringList folders = {QStringLiteral("de"), QStringLiteral("en"), QStringLiteral("sv"),
                                 QStringLiteral("it"), QStringLiteral("es"), QStringLiteral("nb"),
                                 QStringLiteral("fr")};
    const QRegularExpression ref(QStringLiteral("(?:href|src)=\"([^\"#]+)\""));
    for (int digit = 0; digit < folders.size(); ++digit) {
        const QUrl index = HelpWindow::indexPage(digit * 1000);
        const QString folder = QStringLiteral(":/help/") + folders[digit] + QLatin1Char('/');
        QCOMPARE(index.path(),
                 QStringLiteral("/help/") + folders[digit] + QStringLiteral("/index.html"));
        QStringList pages = {QStringLiteral("index.html")};
        for (int i = 0; i < pages.size(); ++i) {
            QFile file(folder + pages[i]);
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
            const QString html = QString::fromUtf8(file.readAll());
            for (const auto& m : ref.globalMatch(html)) {
                const QString target = m.captured(1);
                if (target.startsWith(QLatin1String("qrc:")))
                    QVERIFY2(QFile::exists(target.mid(3)),
                             qPrintable(file.fileName() + QLatin1Char(' ') + target));
                else if (target.startsWith(QLatin1String("../")))
                    QVERIFY2(QFile::exists(QStringLiteral(":/help/") + target.mid(3)),
                             qPrintable(target));
                else if (!target.contains(QLatin1Char(':')) && !pages.contains(target))
                    pages << target;
            }
        }
        QCOMPARE(pages.size(), 6);
    }
}

// The end of a round shows its figures and stars on the board, in the current language.
void TestFrmKalmix::roundSummaryOnTheBoard() {
    WindowEnv env;
    env.playShortRound();
    RoundSummaryPanel* panel = env.window->roundSummary();
    QVERIFY(panel->isVisible());
    const QString text = panel->findChildren<QLabel*>().last()->text();
    QVERIFY2(text.contains(u"Gelöste Aufgaben: 2"_qs) &&
                 text.contains(u"Falsche Antworten: 1"_qs) &&
                 text.contains(u"Hilfe von der Glühbirne: 1"_qs),
             qPrintable(text));
    QCOMPARE(panel->findChild<QLabel*>(u"stars"_qs)->text().count(QChar(0x2605)), 1);
    QTest::mouseClick(env.window->PicBut[12], Qt::LeftButton); // Swedish: a click puts it away
    QVERIFY(!panel->isVisible());
    panel->showSummary(panel->shown());
    QVERIFY(panel->findChildren<QLabel*>().last()->text().contains(u"Fel svar: 1"_qs));
    // Play again: the same player's next round.
    QTest::mouseClick(panel->playAgain(), Qt::LeftButton);
    QVERIFY(!panel->isVisible());
    QVERIFY(env.window->game().running());
    QVERIFY(env.awaitTask());
    QCOMPARE(env.window->game().summary().wrong, 0);
}

void TestFrmKalmix::roundSummaryGoesAway_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("a letter") << u"a"_qs;
    QTest::newRow("Enter on the focused start button") << u"enter"_qs;
    QTest::newRow("the start button") << u"start"_qs;
    QTest::newRow("the solution button") << u"solution"_qs;
    QTest::newRow("a player picked in the list") << u"pick"_qs;
    QTest::newRow("the end button, answered No") << u"end"_qs;
    QTest::newRow("the settings window, cancelled") << u"settings"_qs;
}

// Whatever puts the summary away leaves a consistent board: a key is used up and starts
// nothing, a new round starts cleanly, the solution button does nothing after the round.
void TestFrmKalmix::roundSummaryGoesAway() {
    QFETCH(QString, how);
    WindowEnv env;
    env.playShortRound();
    RoundSummaryPanel* panel = env.window->roundSummary();
    QVERIFY(panel->isVisible());
    bool starts = false;
    if (how == u"a") {
        QTest::keyClick(env.window.get(), Qt::Key_A);
    } else if (how == u"enter") {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget()
                                                    : env.window.get(),
                        Qt::Key_Return);
    } else if (how == u"start") {
        QTest::mouseClick(env.window->PicBut[0], Qt::LeftButton);
        starts = true;
    } else if (how == u"pick") {
        SaveIni(u"Benutzer"_qs, u"Name1"_qs, u"Anna"_qs);
        env.window->ComboAktualisieren();
        env.window->cmbName->setCurrentIndex(0);
        env.window->cmbName_Click();
        starts = true;
    } else if (how == u"end") {
        env.answers.append(MsgResult::No);
        QTest::mouseClick(env.window->PicBut[1], Qt::LeftButton);
        QVERIFY(env.window->isVisible());
    } else if (how == u"settings") {
        QTimer closer; // as soon as the window is shown
        closer.setInterval(10);
        connect(&closer, &QTimer::timeout, this, [&] {
            auto* wizard = qobject_cast<frmUebung*>(QApplication::activeModalWidget());
            if (!wizard)
                return;
            closer.stop();
            QTest::mouseClick(wizard->cmdCancel, Qt::LeftButton);
            wizard->hide(); // never wait for a window that stays
        });
        closer.start();
        env.window->PicBut_Click(3);
    } else {
        env.window->PicBut_Click(2);
        QVERIFY(panel->isVisible()); // the button is disabled after a round
        QTest::mouseClick(env.window->picTafel, Qt::LeftButton, {}, QPoint(5, 5));
    }
    QVERIFY(!panel->isVisible());
    QCOMPARE(env.window->game().running(), starts);
    QCOMPARE(env.window->fraUebung->isVisible(), starts);
    if (!starts)
        QVERIFY(env.window->PicBut[0]->isEnabled());
    if (starts) {
        QVERIFY(env.awaitTask());
        QVERIFY(!env.window->PicBut[0]->isEnabled());
        QCOMPARE(env.window->lblNumber->text(), u"0"_qs);
    }
}

void TestFrmKalmix::optionsButtonAsksForThePassword_data() {
    QTest::addColumn<QString>("password"); // set before; empty: none
    QTest::addColumn<QString>("typed");    // empty: the question is cancelled
    QTest::addColumn<bool>("opens");
    QTest::newRow("no password: nothing asks") << QString() << QString() << true;
    QTest::newRow("the right password") << u"Geheim"_qs << u"Geheim"_qs << true;
    QTest::newRow("a wrong password") << u"Geheim"_qs << u"geheim"_qs << false;
    QTest::newRow("the question cancelled") << u"Geheim"_qs << QString() << false;
}

// With a password set, the options button opens the settings window only for the right one;
// given once, the password is not asked again inside the window. Start stays free.
void TestFrmKalmix::optionsButtonAsksForThePassword() {
    QFETCH(QString, password);
    QFETCH(QString, typed);
    QFETCH(bool, opens);
    WindowEnv env;
    savePlayers({QStringLiteral("Name1"), QStringLiteral("Anna")}, QStringLiteral("Anna"));
    env.window->ComboAktualisieren();
    if (!password.isEmpty())
        SaveIni(u"Optionen"_qs, u"Passwort"_qs, makePasswordHash(password, 10));
    if (!typed.isEmpty())
        env.answerPassword(typed);
    env.writeFile(u"Kalmix_Log.txt"_qs, "14.03.2026\r\n");
    bool opened = false;
    QTimer closer; // as soon as the window is shown
    closer.setInterval(10);
    connect(&closer, &QTimer::timeout, this, [&] {
        auto* wizard = qobject_cast<frmUebung*>(QApplication::activeModalWidget());
        if (!wizard)
            return;
        closer.stop();
        opened = true;
        env.answers = {MsgResult::No}; // keep the log
        wizard->cmdDelLogfile_Click();
        QTest::mouseClick(wizard->cmdCancel, Qt::LeftButton);
        wizard->hide(); // never wait for a window that stays
    });
    closer.start();
    QTest::mouseClick(env.window->PicBut[3], Qt::LeftButton);
    closer.stop();
    QCOMPARE(opened, opens);
    QCOMPARE(env.passwordPrompts.size(), password.isEmpty() ? 0 : 1);
    QStringList texts;
    for (const MsgBoxCall& m : env.messages)
        texts << m.text;
    const QString wrong = langText(350);
    const QString reallyDelete = langText(163);
    QCOMPARE(texts, opens             ? QStringList{reallyDelete}
                    : typed.isEmpty() ? QStringList()
                                      : QStringList{wrong});
    // Starting a game asks nothing.
    QTest::mouseClick(env.window->PicBut[0], Qt::LeftButton);
    QVERIFY(env.awaitTask());
    QCOMPARE(env.passwordPrompts.size(), password.isEmpty() ? 0 : 1);
}

void TestFrmKalmix::reportAndFirstPlayerAskForThePassword_data() {
    QTest::addColumn<QString>("typed"); // empty: the question is cancelled
    QTest::newRow("the right password") << u"Geheim"_qs;
    QTest::newRow("a wrong password") << u"geheim"_qs;
    QTest::newRow("the question cancelled") << QString();
}

// While a password is set, the help menu's report and Start without a player (which opens the
// settings window for a first one) open only for the one who knows it.
void TestFrmKalmix::reportAndFirstPlayerAskForThePassword() {
    QFETCH(QString, typed);
    const bool right = typed == u"Geheim"_qs;
    WindowEnv env;
    aktiv.clear();
    SaveIni(u"Optionen"_qs, u"Passwort"_qs, makePasswordHash(u"Geheim"_qs, 10));
    QStringList opened;
    QTimer closer; // as soon as a window is shown
    closer.setInterval(10);
    connect(&closer, &QTimer::timeout, this, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            opened << QString::fromLatin1(modal->metaObject()->className());
            modal->hide();
        }
    });
    closer.start();
    if (!typed.isEmpty())
        env.answerPassword(typed);
    QTest::mouseClick(env.window->PicBut[4], Qt::LeftButton);
    QMenu* menu = env.window->mnuHilfe;
    QTRY_VERIFY(menu->isVisible());
    QTest::mouseClick(menu, Qt::LeftButton, {},
                      menu->actionGeometry(env.window->mnuBericht).center());
    if (!typed.isEmpty())
        env.answerPassword(typed);
    QTest::mouseClick(env.window->PicBut[0], Qt::LeftButton);
    closer.stop();
    QCOMPARE(env.passwordPrompts.size(), 2);
    const QStringList windows{u"kalmix::ReportWindow"_qs, u"kalmix::frmUebung"_qs};
    QCOMPARE(opened, right ? windows : QStringList());
    QStringList texts;
    for (const MsgBoxCall& m : env.messages)
        texts << m.text;
    QCOMPARE(texts, right || typed.isEmpty() ? QStringList() : QStringList(2, langText(350)));
    QVERIFY(env.window->PicBut[0]->isEnabled()); // no player, no game
}

void TestFrmKalmix::resizePlacesTheFigure_data() {
    QTest::addColumn<bool>("timed");     // 120 seconds, else 10 tasks
    QTest::addColumn<bool>("animation"); // the figure walks
    QTest::addColumn<bool>("over");      // the round is played to its end
    QTest::addColumn<double>("share");   // where the figure stands, of the bar from its left
    QTest::newRow("5 of 10 tasks, the figure never walked") << false << false << false << 0.43;
    QTest::newRow("60 of 120 seconds, the figure never walked") << true << false << false << 0.43;
    QTest::newRow("10 of 10 tasks, after the last walk") << false << true << true << 0.93;
    QTest::newRow("120 seconds over, after the last walk") << true << true << true << 0.93;
}

// A new size of the window places the figure by the round's progress, also where the animation
// never moved it; after a round's last walk to the pencil's tip it stays on the tip.
void TestFrmKalmix::resizePlacesTheFigure() {
    QFETCH(bool, timed);
    QFETCH(bool, animation);
    QFETCH(bool, over);
    QFETCH(double, share);
    WindowEnv env;
    Animation = truth(animation);
    if (timed) {
        Zeit = 120;
        AufgZahl = 0;
    }
    QTest::mouseClick(env.window->PicBut[0], Qt::LeftButton);
    QVERIFY(env.awaitTask());
    if (timed) {
        const qint64 due = over ? 121'000 : 60'000;
        env.scheduler.advance(due - qint64(env.window->game().elapsedSeconds() * 1000));
    } else {
        for (int task = 0; task < (over ? 10 : 5); ++task) {
            QVERIFY(env.awaitTask());
            env.typeAnswer(env.answerOnBoard());
        }
    }
    if (over) {
        env.scheduler.advance(3000);
        QVERIFY(!env.window->game().running());
    }
    const QSize size = env.window->size() + QSize(80, 40);
    env.window->resize(size);
    QTRY_COMPARE(env.window->size(), size);
    const QLabel* bar = env.window->imgStift;
    QCOMPARE(bar->width(), qRound(0.8 * size.width()));
    const int expected = qRound(bar->x() + share * bar->width());
    QVERIFY2(qAbs(env.window->imgMeter->x() - expected) <= 1,
             qPrintable(QStringLiteral("%1, not %2").arg(env.window->imgMeter->x()).arg(expected)));
}

// The close box ends the program during a game without a question and writes nothing: no
// closing line in the practice log, nothing in the settings file.
void TestFrmKalmix::closeBoxDuringAGame() {
    WindowEnv env;
    LogFile = kTrue;
    QTest::mouseClick(env.window->PicBut[0], Qt::LeftButton);
    QVERIFY(env.awaitTask());
    env.typeAnswer(env.answerOnBoard());
    QVERIFY(env.awaitTask());
    const QByteArray ini = env.readFile(QStringLiteral("Kalmix.ini"));
    const QByteArray log = env.readFile(QStringLiteral("Kalmix_Log.txt"));
    QVERIFY(log.endsWith("\r\n") && !log.endsWith("\r\n\r\n"));
    QVERIFY(env.window->close()); // the close box
    QVERIFY(!env.window->isVisible());
    QVERIFY(env.messages.isEmpty());
    QVERIFY(!LogNr().isOpen());
    QCOMPARE(env.readFile(QStringLiteral("Kalmix_Log.txt")), log);
    QCOMPARE(env.readFile(QStringLiteral("Kalmix.ini")), ini);
}

// The help button pops its menu up where the mouse is, with the entries in their order; the
// home page and the e-mail entries hand their addresses to the desktop.
void TestFrmKalmix::helpMenuAtTheMouse() {
    WindowEnv env;
    QList<QUrl> opened;
    setShellOpenHook([&](const QUrl& url) {
        opened << url;
        return true;
    });
    const QPoint at(60, 50);
    QCursor::setPos(at);
    if (QCursor::pos() != at)
        QSKIP("the platform cannot place the mouse");
    QTest::mouseClick(env.window->PicBut[4], Qt::LeftButton);
    QMenu* menu = env.window->mnuHilfe;
    QTRY_VERIFY(menu->isVisible());
    QCOMPARE(menu->geometry().topLeft(), at);
    QStringList entries;
    for (const QAction* a : menu->actions())
        entries << (a->isSeparator() ? u"-"_qs : a->text());
    QCOMPARE(entries, (QStringList{langText(121), u"-"_qs, u"&Orbelt's Homepage..."_qs,
                                   langText(122), u"-"_qs, langText(302), langText(123)}));
    menu->hide();
    env.window->mnuHomepage->trigger();
    env.window->mnuEMail->trigger();
    setShellOpenHook(nullptr);
    QCOMPARE(opened, (QList<QUrl>{QUrl(homePage()), QUrl(frmKalmix::emailAddress())}));
    QVERIFY(env.errors.isEmpty());
}

// On a screen with large fonts (12 twips per pixel) the task frame is smaller and its texts
// larger: run by CTest with 120 dots per inch.
void TestFrmKalmix::positionierenAtLargeFonts() {
    if (twipsPerPixel() >= 15)
        QSKIP("the screen has normal fonts");
    WindowEnv env;
    const frmKalmix& w = *env.window;
    const int board = w.picTafel->width(), boardHeight = w.picTafel->height();
    const int fw = px(6015), fh = px(4335); // the task frame as designed
    QCOMPARE(w.fraUebung->geometry(), QRect(half(board - 0.8 * fw), half(boardHeight - 0.6 * fh),
                                            int(0.8 * fw), int(0.75 * fh)));
    QCOMPARE(w.cmbName->x(), half(board - w.cmbName->width()));
    QCOMPARE(w.lblFrage->pos(), QPoint(px(300), px(220)));
    QCOMPARE(w.cmbName->font().pointSize(), 14);
    QCOMPARE(w.lblAufgabe->font().pointSize(), 24);
    QCOMPARE(w.txtErgebnis->font().pointSize(), 24);
    QVERIFY(w.lblFrage->font().pointSize() <= 24 && w.lblFrage->font().pointSize() >= 18);
    QCOMPARE(w.lblAufgabe->pos(), QPoint(px(200), int(1.5 * w.lblAufgabe->height())));
    const int rowX = w.lblFrage->y() + int(1.1 * w.lblFrage->height());
    QCOMPARE(w.imgSymbolX[0]->pos(), QPoint(px(200), rowX));
    QCOMPARE(w.imgSymbolY[0]->pos(), QPoint(px(200), rowX + int(1.5 * 32)));
    for (int i = 1; i < 25; ++i) { // the rows follow their first picture
        QCOMPARE(w.imgSymbolX[i]->y(), rowX);
        QCOMPARE(w.imgSymbolY[i]->pos(), QPoint(w.imgSymbolX[i]->x(), rowX + 48));
        QCOMPARE(w.imgSymbolX[i]->x(), w.imgSymbolX[i - 1]->x() + 40);
    }
    QCOMPARE(w.imgJaNein[1]->pos(), w.imgJaNein[0]->pos());
}

// A first start's board points at the start button in the current language until the first
// player exists.
void TestFrmKalmix::firstStartHint() {
    WindowEnv env;
    BoardHint* hint = env.window->firstStartHint();
    QVERIFY(hint->isVisible());
    QCOMPARE(hint->text(), u"Drück auf den grünen Knopf, dann geht es los!"_qs);
    QTest::mouseClick(env.window->PicBut[16], Qt::LeftButton); // French
    QCOMPARE(hint->text(), GetLang(6261));
    savePlayers({QStringLiteral("Name1"), QStringLiteral("Anna")}, QStringLiteral("Anna"));
    env.window->ComboAktualisieren();
    QVERIFY(!hint->isVisible());
}

QTEST_MAIN(TestFrmKalmix)
#include "tst_frmkalmix.moc"
