#include "errors/fehlerwart.h"
#include "profiles/settingsfile.h"
#include "services/appinfo.h"
#include "services/desktop.h"
#include "services/procedure.h"
#include "services/runtimeerror.h"
#include "services/twips.h"
#include "support/testenv.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPrinterInfo>
#include <QPushButton>
#include <QTest>

using namespace kalmix;
using kalmix::test::TestEnv;

namespace {

// Installs the real dialog as reporter; the test presses `button` while the dialog is shown
// (-1: close it without a button).
struct DialogEnv : TestEnv {
    int button = ActionLeave;
    int shown = 0;
    QStringList printed;
    QList<QUrl> opened;
    QString errorTextSeen;

    DialogEnv() {
        Fehlerwart::install();
        Fehlerwart::setChoiceHook([this](Fehlerwart& dlg) {
            ++shown;
            QVERIFY(dlg.isVisible());
            errorTextSeen = dlg.lblError[0]->text();
            if (button >= 0)
                QTest::mouseClick(dlg.cmdContinue[button], Qt::LeftButton);
            else
                dlg.reject();
        });
        Fehlerwart::setPrintHook([this](const QStringList& lines) { printed = lines; });
        setShellOpenHook([this](const QUrl& url) {
            opened.append(url);
            return true;
        });
    }
    ~DialogEnv() {
        Fehlerwart::setChoiceHook(nullptr);
        Fehlerwart::setPrintHook(nullptr);
        setShellOpenHook(nullptr);
    }
    QByteArray errorLog() const { return readFile("Kalmix.EPT"); }
};

bool failOnce(int& counter) {
    return Procedure("frmKalmix", "Start_Click")
        .run({
            [&] {
                if (counter++ == 0)
                    raiseError(ErrNr::SubscriptOutOfRange);
            },
        });
}

} // namespace

class TestFehlerwart : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void showsTheErrorAndItsPlace();
    void eachButtonIsCarriedOut();
    void closingWithoutButtonRepeatsLastChoice();
    void oneProtocolPerError();
    void unwritableLogStillAsks();
    void progInfoAndCallStack();
    void layoutStacksTheFrames();
    void saveAsksBeforeOverwriting();
    void printEmailAndWeb();
    void noPrinterIsSaid();
    void secondErrorLeavesTheOpenDialogAlone();
    void filesAndProgInfoCarryTheProgramsName();
};

void TestFehlerwart::showsTheErrorAndItsPlace() {
    DialogEnv env;
    env.writeFile("Kalmix.ini", "[Optionen]\r\nSprache=40000\r\n");
    QCOMPARE(GetIniInt("Optionen", "Sprache", 0), 0);
    auto& dlg = Fehlerwart::instance();
    QCOMPARE(env.shown, 1);
    QCOMPARE(env.errorTextSeen, "6 (Overflow)");
    QCOMPARE(dlg.lblError[1]->text(), "Allgemein");
    QCOMPARE(dlg.lblError[2]->text(), "GetIniInt");
    QCOMPARE(dlg.lblError[3]->text(), "1");
    QCOMPARE(dlg.windowTitle(), "Fehler / Error! ");
    QCOMPARE(dlg.lblErrTitel[0]->text(), "Fehler-Nr / error :");
    QCOMPARE(dlg.cmdContinue[1]->text(), "&Ignorieren   Ignore");
    QCOMPARE(dlg.cmdContinue[3]->text(), "&Beenden       End");
    QVERIFY(!dlg.isVisible());
}

void TestFehlerwart::eachButtonIsCarriedOut() {
    {
        DialogEnv env;
        env.button = ActionRetry;
        int counter = 0;
        QVERIFY(failOnce(counter));
        QCOMPARE(counter, 2);
    }
    {
        DialogEnv env;
        env.button = ActionIgnore;
        int counter = 0;
        QVERIFY(failOnce(counter));
        QCOMPARE(counter, 1);
    }
    {
        DialogEnv env;
        env.button = ActionLeave;
        int counter = 0;
        QVERIFY(!failOnce(counter));
    }
    {
        DialogEnv env;
        env.button = ActionEnd;
        int counter = 0;
        QVERIFY_THROWS_EXCEPTION(ProgramEnded, failOnce(counter));
        QCOMPARE(Fehlerwart::instance().storedAction(), ActionEnd);
    }
}

void TestFehlerwart::closingWithoutButtonRepeatsLastChoice() {
    DialogEnv env;
    env.button = ActionIgnore;
    int counter = 0;
    failOnce(counter);
    env.button = -1;
    counter = 0;
    QVERIFY(failOnce(counter)); // ignore again
    QCOMPARE(counter, 1);
    QCOMPARE(env.shown, 2);
}

void TestFehlerwart::oneProtocolPerError() {
    DialogEnv env;
    env.button = ActionRetry;
    int counter = 0;
    failOnce(counter);
    QByteArray log = env.errorLog();
    QCOMPARE(log.count("F E H L E R P R O T O K O L L"), 1);
    QVERIFY(log.endsWith(QByteArray(QByteArray(70, 0x2d) + "\r\n\r\n")));
    env.button = ActionLeave;
    counter = 0;
    failOnce(counter);
    log = env.errorLog();
    QCOMPARE(log.count("F E H L E R P R O T O K O L L"), 2);
    QVERIFY(log.contains("Zeile / Line:\t1\r\n"));
    QVERIFY(log.contains("Prozedur / procedure:\tStart_Click\r\n"));
    QVERIFY(log.contains("Datum/Uhrzeit:\t03-14-2026 / 09:26:53\r\n"));
}

void TestFehlerwart::unwritableLogStillAsks() {
    DialogEnv env;
    QDir(env.dir()).mkdir("Kalmix.EPT"); // cannot be opened as a file
    env.button = ActionIgnore;
    int counter = 0;
    QVERIFY(failOnce(counter));
    QCOMPARE(env.shown, 1);
}

void TestFehlerwart::progInfoAndCallStack() {
    DialogEnv env;
    auto& dlg = Fehlerwart::instance();
    dlg.SetProgInfo(QString());
    int counter = 0;
    failOnce(counter);
    QCOMPARE(dlg.lblProgInfo->text(), "Kalmix  V1.0.0");
    dlg.SetProgInfo("Kalmix test build");
    counter = 0;
    failOnce(counter);
    QCOMPARE(dlg.lblProgInfo->text(), "Kalmix test build");
    QVERIFY(env.errorLog().contains("          Kalmix test build\r\n"));
    dlg.SetProgInfo(QString());

    dlg.lstCallStack->clear();
    for (int i = 1; i <= 21; ++i)
        dlg.CallStack(QString("entry %1").arg(i));
    QCOMPARE(dlg.lstCallStack->count(), 20);
    QCOMPARE(dlg.lstCallStack->item(0)->text(), "entry 21 09:26:53");
    QCOMPARE(dlg.lstCallStack->item(19)->text(), "entry 2 09:26:53");
    counter = 0;
    failOnce(counter);
    QVERIFY(!dlg.framCallStack->isVisible());
    QVERIFY(dlg.BuildProtocol().contains("CALLSTACK:\r\n          entry 21 09:26:53\r\n"));
    dlg.lstCallStack->clear();
}

void TestFehlerwart::layoutStacksTheFrames() {
    DialogEnv env;
    int counter = 0;
    failOnce(counter);
    auto& dlg = Fehlerwart::instance();
    QCOMPARE(dlg.framComment->y(), 0);
    QCOMPARE(dlg.framFehler->y(), dlg.px(975));
    QCOMPARE(dlg.framProgInfo->y(), dlg.px(975 + 1695));
    QCOMPARE(dlg.framProtocol->y(), dlg.px(975 + 1695 + 615));
    QCOMPARE(dlg.framContinue->y(), dlg.px(975 + 1695 + 615 + 855));
    QCOMPARE(dlg.size(), QSize(dlg.px(7215), dlg.px(975 + 1695 + 615 + 855 + 855)));
    QCOMPARE(dlg.cmdContinue[2]->geometry(),
             QRect(dlg.px(3840), dlg.px(240), dlg.px(1335), dlg.px(495)));
    QVERIFY(dlg.lblComment->text().startsWith("There is a problem."));
    QVERIFY(dlg.lblComment->text().contains("\r\nEs liegt ein Problem vor"));
    // Every caption fits its button.
    for (QPushButton* b : dlg.cmdContinue)
        QVERIFY2(b->fontMetrics().horizontalAdvance(QString(b->text()).remove('&')) <=
                     b->width() - 8,
                 qPrintable(b->text()));
}

void TestFehlerwart::saveAsksBeforeOverwriting() {
    DialogEnv env;
    auto& dlg = Fehlerwart::instance();
    int counter = 0;
    failOnce(counter);
    QTest::mouseClick(dlg.cmdProtocol[1], Qt::LeftButton);
    const QByteArray first = env.readFile("Kalmix.ERR");
    QVERIFY(first.startsWith(QByteArray(QByteArray(70, 0x2d) + "\r\nF E H L E R")));
    QVERIFY(first.endsWith("\r\n\r\n"));
    QCOMPARE(env.messages.size(), 1);
    QCOMPARE(env.messages[0].text, "Das Fehlerprotokoll wurde in die Datei '" +
                                       env.path("Kalmix.ERR") + "' geschrieben !");
    QCOMPARE(env.messages[0].caption, "Kalmix");

    env.clock.wall = env.clock.wall.addSecs(60);
    env.answers = {MsgResult::No};
    dlg.cmdProtocol_Click(1);
    QCOMPARE(env.messages.size(), 2);
    QCOMPARE(env.messages[1].text,
             "Vorhandene Datei '" + env.path("Kalmix.ERR") + "' überschreiben ?");
    QCOMPARE(env.messages[1].buttons, MsgButtons::YesNo);
    QCOMPARE(env.readFile("Kalmix.ERR"), first);

    env.answers = {MsgResult::Yes};
    dlg.cmdProtocol_Click(1);
    QVERIFY(env.readFile("Kalmix.ERR") != first);
    QVERIFY(env.readFile("Kalmix.ERR").contains("09:27:53"));
}

void TestFehlerwart::printEmailAndWeb() {
    DialogEnv env;
    auto& dlg = Fehlerwart::instance();
    int counter = 0;
    failOnce(counter);
    const QString protocol = dlg.BuildProtocol();

    QTest::mouseClick(dlg.cmdProtocol[0], Qt::LeftButton);
    QCOMPARE(env.printed.first(), QString(70, '-') + ' ');
    QCOMPARE(env.printed.size(), protocol.count("\r\n") + 1);

    QTest::mouseClick(dlg.cmdProtocol[2], Qt::LeftButton);
    QCOMPARE(env.messages.size(), 1);
    const QStringList lines = env.messages[0].text.split("\r\n");
    QCOMPARE(lines.size(), 6);
    QVERIFY(lines[2].isEmpty());
    QCOMPARE(QGuiApplication::clipboard()->text(), protocol);
    QCOMPARE(env.opened.size(), 1);
    QCOMPARE(env.opened[0].scheme(), "mailto");
    QVERIFY(env.opened[0].toString().endsWith("@example.org"));

    QGuiApplication::clipboard()->setText("something else");
    QTest::mouseClick(dlg.cmdProtocol[3], Qt::LeftButton);
    QCOMPARE(env.messages.size(), 1); // the web button says nothing
    QCOMPARE(QGuiApplication::clipboard()->text(), protocol);
    QCOMPARE(env.opened.size(), 2);
    QCOMPARE(env.opened[1].host(), "www.example.org");
}

void TestFehlerwart::noPrinterIsSaid() {
    DialogEnv env;
    Fehlerwart::setPrintHook(nullptr);
    auto& dlg = Fehlerwart::instance();
    if (!QPrinterInfo::defaultPrinter().isNull())
        QSKIP("this machine has a printer");
    dlg.cmdProtocol_Click(0);
    QCOMPARE(env.messages.size(), 1);
    QVERIFY(env.messages[0].text.contains("No printer"));
    QCOMPARE(env.messages[0].icon, MsgIcon::Exclamation);
}

void TestFehlerwart::secondErrorLeavesTheOpenDialogAlone() {
    DialogEnv env;
    auto& dlg = Fehlerwart::instance();
    bool innerRan = false;
    bool innerLeft = false;
    QString shownAfterInner;
    QString protocolAfterInner;
    Fehlerwart::setChoiceHook([&](Fehlerwart& d) {
        // A timer or a click runs another procedure while the dialog waits, and it fails too.
        innerLeft = !Procedure("frmKalmix", "Timer1_Timer")
                         .run({
                             [] {},
                             [] { raiseError(ErrNr::DivisionByZero); },
                             [&] { innerRan = true; },
                         });
        shownAfterInner = d.lblError[2]->text() + '/' + d.lblError[3]->text();
        protocolAfterInner = d.BuildProtocol();
        QTest::mouseClick(d.cmdContinue[ActionIgnore], Qt::LeftButton);
    });
    int counter = 0;
    QVERIFY(failOnce(counter)); // the outer error was ignored, as its dialog was answered
    QVERIFY(innerLeft);
    QVERIFY(!innerRan);
    QCOMPARE(shownAfterInner, "Start_Click/1");
    QVERIFY(protocolAfterInner.contains("Prozedur / procedure:\tStart_Click\r\n"));
    QCOMPARE(dlg.lblError[0]->text(), "9 (Subscript out of range)");
    // Both errors are in the log, each with its own place.
    const QByteArray log = env.errorLog();
    QCOMPARE(log.count("F E H L E R P R O T O K O L L"), 2);
    QVERIFY(log.contains("Prozedur / procedure:\tTimer1_Timer\r\n          Zeile / Line:\t2\r\n"));
    QVERIFY(log.contains("11 (Division by zero)"));
}

void TestFehlerwart::filesAndProgInfoCarryTheProgramsName() {
    DialogEnv env;
    setExeNameForTesting("kalmix");
    auto& dlg = Fehlerwart::instance();
    dlg.SetProgInfo(QString());
    int counter = 0;
    failOnce(counter);
    dlg.cmdProtocol_Click(1);
    setExeNameForTesting("Kalmix");
    QCOMPARE(dlg.lblProgInfo->text(), "Kalmix  V1.0.0");
    QCOMPARE(dlg.errorLogPath(), env.path("Kalmix.EPT"));
    QVERIFY(env.errorLog().contains("          Kalmix  V1.0.0\r\n"));
    QVERIFY(!env.readFile("Kalmix.ERR").isEmpty());
}

QTEST_MAIN(TestFehlerwart)
#include "tst_fehlerwart.moc"
