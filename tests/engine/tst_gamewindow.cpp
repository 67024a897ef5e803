// The game on the real main window: what only the window's own controls show.
#include "main/frmkalmix.h"
#include "main/numberpad.h"
#include "profiles/record.h"
#include "services/lang.h"
#include "services/pictures.h"
#include "services/resfiles.h"
#include "services/sound.h"
#include "settings/frmuebung.h"
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

    explicit Window(const QByteArray& more = {}) {
        // Anna plays additions up to 10, with the help on.
        writeFile(QStringLiteral("Kalmix.ini"),
                  "[Benutzer]\r\naktiv=Anna\r\n[Anna]\r\nUebung= 2\r\nMaxSum= 2\r\n" + more);
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
    void numberPadTypesThroughTheKeyPath();
    void helpedAnswerLooksLikeHelp();
    void clockCaptionSaysTimeLeft();
    void spaceBarAndSpeakerButtonRepeat();
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

// While a time-limited round counts down, the clock's caption says it is the time left, also
// after a change of language; an untimed round's clock is captioned as the time taken.
void TestGameWindow::clockCaptionSaysTimeLeft() {
    {
        Window plain;
        QCOMPARE(plain.w->Label[1]->text(), langText(107));
    }
    Window env("AufgZeit=1\r\nZeit=90\r\n");
    QCOMPARE(env.w->lblTime->text(), QStringLiteral("01:30"));
    QCOMPARE(env.w->Label[1]->text(), QStringLiteral("Noch:"));
    QTest::mouseClick(env.w->PicBut[11], Qt::LeftButton); // English
    env.scheduler.advance(1000);
    QCOMPARE(env.w->lblTime->text(), QStringLiteral("01:29"));
    QCOMPARE(env.w->Label[1]->text(), QStringLiteral("Time left:"));
}

// With read-aloud on, the speaker button and the space bar say the waiting task again; a
// space never reaches the answer box or has it judged. Without the option the board has no
// button and the space says nothing.
void TestGameWindow::spaceBarAndSpeakerButtonRepeat() {
    {
        Window plain;
        QVERIFY(!plain.w->speakerButton()->isVisible());
        QTest::keyClick(plain.w->txtErgebnis, Qt::Key_Space);
        QVERIFY(plain.speech.said.isEmpty());
        QVERIFY(plain.w->txtErgebnis->text().isEmpty());
    }
    Window env("Vorlesen=1\r\n");
    QCOMPARE(env.speech.said.size(), 1);
    QVERIFY(env.w->speakerButton()->isVisible());
    QTest::keyClicks(env.w->txtErgebnis, QStringLiteral("1"));
    QTest::keyClick(env.w->txtErgebnis, Qt::Key_Space);
    QTest::keyClick(env.w->txtErgebnis, Qt::Key_Space);
    QCOMPARE(env.w->txtErgebnis->text(), QStringLiteral("1"));
    QVERIFY(!env.w->game().judging());
    QTest::mouseClick(env.w->speakerButton(), Qt::LeftButton);
    QCOMPARE(env.speech.said.size(), 4);
    QCOMPARE(env.speech.said.last(), env.speech.said.first());
    QVERIFY(env.w->txtErgebnis->hasFocus());
}

QTEST_MAIN(TestGameWindow)
// The pad's keys are the keyboard's: digits and delete go through the key filter into the
// answer box, Enter has it judged once, and while it is judged the keys type nothing. Without
// its key in the player's section the board has no pad.
void TestGameWindow::numberPadTypesThroughTheKeyPath() {
    {
        Window plain;
        QVERIFY(!plain.w->numberPad()->isVisible());
    }
    Window env("Ziffernblock=1\r\n");
    NumberPad* pad = env.w->numberPad();
    QVERIFY(pad->isVisible());
    const QString right = QString::number(env.answer());
    QTest::mouseClick(pad->key(9), Qt::LeftButton);
    QTest::mouseClick(pad->key(10), Qt::LeftButton); // delete
    for (QChar c : right)
        QTest::mouseClick(pad->key(c.digitValue()), Qt::LeftButton);
    QCOMPARE(env.w->txtErgebnis->text(), right);
    QVERIFY(env.w->txtErgebnis->hasFocus());
    QTest::mouseClick(pad->key(11), Qt::LeftButton);
    QVERIFY(env.w->game().judging());
    QTest::mouseClick(pad->key(1), Qt::LeftButton);
    QTest::mouseClick(pad->key(11), Qt::LeftButton);
    QCOMPARE(env.w->txtErgebnis->text(), right);
    QVERIFY(env.awaitTask());
    QCOMPARE(env.w->lblNumber->text(), QStringLiteral("1"));
    QVERIFY(pad->isVisible() && pad->isEnabled());
}

// The help's answer keeps the tick but with the bulb, and a neutral tick instead of praise;
// the child's own next answer has the plain tick again.
void TestGameWindow::helpedAnswerLooksLikeHelp() {
    Window env;
    PlaySound = kTrue;
    const QImage helped = picture(QStringLiteral(":/pictures/helped.svg"), QSize(40, 40)).toImage();
    QTest::mouseClick(env.w->PicBut[2], Qt::LeftButton);
    env.scheduler.advance(200);
    QVERIFY(env.w->imgJaNein[0]->isVisible());
    QCOMPARE(env.w->imgJaNein[0]->pixmap().toImage(), helped);
    QCOMPARE(wavIds(env.sound.played).last(), 106);
    QVERIFY(env.awaitTask());
    env.random.pushInt(1, 12, 1); // praise 101
    const auto before = env.sound.played.size();
    QTest::keyClicks(env.w->txtErgebnis, QString::number(env.answer()));
    QTest::keyClick(env.w->txtErgebnis, Qt::Key_Return);
    QVERIFY(env.w->imgJaNein[0]->isVisible());
    QVERIFY(env.w->imgJaNein[0]->pixmap().toImage() != helped);
    QCOMPARE(wavIds(env.sound.played).value(before), 101);
}

#include "tst_gamewindow.moc"
