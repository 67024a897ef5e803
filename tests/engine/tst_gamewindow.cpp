// The game on the real main window: what only the window's own controls show.
#include "main/frmkalmix.h"
#include "services/lang.h"
#include "services/resfiles.h"
#include "settings/frmuebung.h"
#include "settings/record.h"
#include "support/fakes.h"
#include "support/testenv.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace kalmix;
using namespace kalmix::test;

namespace {

struct Window : TestEnv {
    FakeScheduler scheduler{&clock};
    ScriptedRandom random;
    std::unique_ptr<frmKalmix> w;

    Window() {
        // Anna plays additions up to 10, with the help on.
        writeFile(QStringLiteral("Kalmix.ini"),
                  "[Benutzer]\r\naktiv=Anna\r\n[Anna]\r\nUebung= 2\r\nMaxSum= 2\r\n");
        WriteLanguageCopy();
        SprachBasis = 0;
        w = std::make_unique<frmKalmix>();
        w->show();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QTest::mouseClick(w->PicBut[0], Qt::LeftButton);
        QVERIFY(awaitTask());
    }
    ~Window() {
        w.reset();
        resetRecord();
    }
    bool awaitTask() {
        for (int i = 0; i < 400; ++i) {
            if (w->txtErgebnis->isVisible() && w->keyPreview() && !w->game().judging())
                return true;
            scheduler.advance(50);
        }
        return false;
    }
    long long answer() const {
        static const QRegularExpression sum(QStringLiteral("^ (\\d+) \\+ (\\d+) = $"));
        const auto m = sum.match(w->lblAufgabe->text());
        return m.hasMatch() ? m.captured(1).toLongLong() + m.captured(2).toLongLong() : -1;
    }
};

} // namespace

class TestGameWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { initResources(); }
    void answerBoxContinuesTheTaskLine();
    void tabMovesTheFocus();
    void helpedAnswerCannotBeChanged();
    void optionsDuringTheAnswerWait();
};

void TestGameWindow::answerBoxContinuesTheTaskLine() {
    Window env;
    const QLabel* task = env.w->lblAufgabe;
    QCOMPARE(env.w->txtErgebnis->y(), task->y());
    QCOMPARE(env.w->txtErgebnis->x(), task->x() + task->width());
}

// Tab is no typed character: the key filter leaves it to move the focus.
void TestGameWindow::tabMovesTheFocus() {
    Window env;
    QVERIFY(env.w->txtErgebnis->hasFocus());
    QTest::keyClick(env.w->txtErgebnis, Qt::Key_Tab);
    QVERIFY(!env.w->txtErgebnis->hasFocus());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QVERIFY(env.w->txtErgebnis->hasFocus());
}

// During the help's wait no key changes the answer it filled in; it is judged as helped and
// the child's next own answer counts.
void TestGameWindow::helpedAnswerCannotBeChanged() {
    Window env;
    const QString right = QString::number(env.answer());
    QTest::mouseClick(env.w->PicBut[2], Qt::LeftButton);
    QLineEdit* box = env.w->txtErgebnis;
    QCOMPARE(box->text(), right);
    QTest::keyClick(box, Qt::Key_Home, Qt::ShiftModifier);
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClicks(box, QStringLiteral("7"));
    QTest::keyClick(box, Qt::Key_Backspace);
    QCOMPARE(box->text(), right);
    env.scheduler.advance(200);
    QVERIFY(env.w->imgJaNein[0]->isVisible());
    QVERIFY(!env.w->game().HilfeBenutzt);
    QVERIFY(env.awaitTask());
    QTest::keyClicks(box, QString::number(env.answer()));
    QTest::keyClick(box, Qt::Key_Return);
    env.scheduler.advance(500);
    QCOMPARE(env.w->lblNumber->text(), QStringLiteral("1"));
}

// The options button during the second after a wrong answer: under the window nothing of the
// game happens; after Cancel the game goes on where it was, with its clock running again.
void TestGameWindow::optionsDuringTheAnswerWait() {
    Window env;
    const QString task = env.w->lblAufgabe->text();
    QTest::keyClicks(env.w->txtErgebnis, QString::number(env.answer() + 1));
    QTest::keyClick(env.w->txtErgebnis, Qt::Key_Return);
    env.scheduler.advance(300);
    QStringList underWindow;
    QTimer closer; // as soon as the window is shown
    closer.setInterval(10);
    connect(&closer, &QTimer::timeout, this, [&] {
        auto* wizard = qobject_cast<frmUebung*>(QApplication::activeModalWidget());
        if (!wizard)
            return;
        closer.stop();
        env.scheduler.advance(5000); // time passes while the window is open
        underWindow << QString::number(env.w->lblAufgabe->isVisible())
                    << QString::number(env.w->imgJaNein[1]->isVisible()) << env.w->lblTime->text();
        QTest::mouseClick(wizard->cmdCancel, Qt::LeftButton);
        if (wizard->isVisible()) { // never wait for a window that stays
            underWindow << QStringLiteral("stayed open");
            wizard->hide();
        }
    });
    closer.start();
    QTest::mouseClick(env.w->PicBut[3], Qt::LeftButton);
    QCOMPARE(underWindow, (QStringList{u"0"_qs, u"0"_qs, u"00:00"_qs}));
    QVERIFY(env.w->lblAufgabe->isVisible());
    QVERIFY(env.w->imgJaNein[1]->isVisible());
    env.scheduler.advance(700); // the rest of the second
    QVERIFY(!env.w->imgJaNein[1]->isVisible());
    QVERIFY(env.awaitTask());
    QCOMPARE(env.w->lblAufgabe->text(), task);
    QVERIFY(env.w->txtErgebnis->text().isEmpty());
    QVERIFY(!env.w->PicBut[0]->isEnabled());
    env.scheduler.advance(1000);
    QCOMPARE(env.w->lblTime->text(), QStringLiteral("00:02"));
}

QTEST_MAIN(TestGameWindow)
#include "tst_gamewindow.moc"
