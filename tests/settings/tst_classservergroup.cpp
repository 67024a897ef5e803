// The settings window's class server group, driven with keys and clicks: the keys go to the
// settings file with OK and never with Cancel, a password never goes there, "Test connection"
// leaves the window working while it waits, and the group tells how many answers wait.
#include "classserver/classupload.h"
#include "classserver/pgconnection.h"
#include "history/historycheck.h"
#include "profiles/record.h"
#include "report/reportwindow.h"
#include "services/lang.h"
#include "settings/classservergroup.h"
#include "settings/frmuebung.h"
#include "support/pgserver.h"
#include "support/testenv.h"

#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTest>

using namespace kalmix;
using namespace kalmix::test;

namespace {

const QByteArray kAnna = "[Benutzer]\r\nName1=Anna\r\naktiv=Anna\r\n[Anna]\r\nUebung= 2\r\n";

// The settings window on its last page, over a settings file with one player.
struct Window : TestEnv {
    std::unique_ptr<frmUebung> w;
    explicit Window(const QByteArray& extra = {}) {
        writeFile(QStringLiteral("Kalmix.ini"), kAnna + extra);
        aktiv = QStringLiteral("Anna");
    }
    ~Window() {
        w.reset();
        resetRecord();
        aktiv.clear();
    }
    ClassServerGroup& open() {
        w = std::make_unique<frmUebung>();
        w->show();
        if (!QTest::qWaitForWindowActive(w.get()))
            qWarning("the settings window did not become active");
        for (int i = 0; i < 6 && w->Seite != 6; ++i)
            QTest::mouseClick(w->cmdWeiter, Qt::LeftButton);
        return *w->grpKlassenserver;
    }
    void type(QLineEdit* box, const QString& text) const {
        QTest::mouseClick(box, Qt::LeftButton);
        box->selectAll();
        QTest::keyClicks(box, text);
    }
    QByteArray ini() const { return readFile(QStringLiteral("Kalmix.ini")); }
};

} // namespace

class TestClassServerGroup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        // The language file copy goes to a folder of this test's own; the test server's
        // folder stays in the shared one, where its user can reach it.
        TestEnv env;
        const QByteArray tmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(m_tmp.path()));
        WriteLanguageCopy();
        if (tmp.isEmpty())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", tmp);
    }
    void okStoresTheKeysAndCancelNothing();
    void aPasswordIsNeverStored_data();
    void aPasswordIsNeverStored();
    void testingTheConnectionLeavesTheWindowWorking();
    void theGroupTellsWhatWaits();
    void noClassServerNoUploader();

private:
    QTemporaryDir m_tmp;
};

// Typed and confirmed with OK, the keys are in [Optionen] and the next window shows them;
// changed and left with Cancel (Escape), the file stays as it was, byte for byte.
void TestClassServerGroup::okStoresTheKeysAndCancelNothing() {
    Window f;
    ClassServerGroup* g = &f.open();
    f.type(g->txtKlassenserver, u"service=kalmix"_qs);
    f.type(g->txtKlasse, u" 2a "_qs);
    QTest::mouseClick(f.w->cmdOptOK, Qt::LeftButton);
    QVERIFY(!f.w->isVisible());
    QVERIFY(f.messages.isEmpty());
    QVERIFY(f.ini().contains("Klassenserver=service=kalmix\r\n"));
    QVERIFY(f.ini().contains("Klasse=2a\r\n"));

    g = &f.open();
    QCOMPARE(g->txtKlassenserver->text(), u"service=kalmix"_qs);
    QCOMPARE(g->txtKlasse->text(), u"2a"_qs);
    const QByteArray before = f.ini();
    f.type(g->txtKlassenserver, u"host=other dbname=kalmix"_qs);
    f.type(g->txtKlasse, u"3b"_qs);
    QTest::keyClick(g->txtKlasse, Qt::Key_Escape);
    QVERIFY(!f.w->isVisible());
    QCOMPARE(f.ini(), before);

    // An emptied connection takes its key away: no class server, as before there was one.
    g = &f.open();
    g->txtKlassenserver->setFocus();
    g->txtKlassenserver->selectAll();
    QTest::keyClick(g->txtKlassenserver, Qt::Key_Delete);
    QTest::mouseClick(f.w->cmdOptOK, Qt::LeftButton);
    QVERIFY(!f.ini().contains("Klassenserver"));
}

void TestClassServerGroup::aPasswordIsNeverStored_data() {
    QTest::addColumn<QString>("connection");
    QTest::addColumn<QString>("cls");
    QTest::addColumn<int>("told");
    QTest::newRow("key and value") << u"host=db user=p2a password=secret7"_qs << u"2a"_qs << 438;
    QTest::newRow("in a URI") << u"postgresql://p2a:secret7@db/kalmix"_qs << u"2a"_qs << 438;
    QTest::newRow("unreadable") << u"host='db secret7"_qs << u"2a"_qs << 440;
    QTest::newRow("no class") << u"service=kalmix"_qs << u"  "_qs << 439;
}

// OK with a password in the connection (or one libpq cannot read, or no class) says why and
// keeps the window open; the settings file never sees it. "Test connection" sends none.
void TestClassServerGroup::aPasswordIsNeverStored() {
    QFETCH(QString, connection);
    QFETCH(QString, cls);
    QFETCH(int, told);
    Window f;
    ClassServerGroup& g = f.open();
    f.type(g.txtKlassenserver, connection);
    f.type(g.txtKlasse, cls);
    if (told == 438) {
        QTest::mouseClick(g.cmdTesten, Qt::LeftButton);
        QCOMPARE(g.lblTest->text(), langText(438));
        QVERIFY(!g.testing());
    }
    QTest::mouseClick(f.w->cmdOptOK, Qt::LeftButton);
    QCOMPARE(f.messages.size(), 1);
    QCOMPARE(f.messages[0].text, langText(told));
    QVERIFY(f.w->isVisible());
    QVERIFY((told == 439 ? g.txtKlasse : g.txtKlassenserver)->hasFocus());
    QVERIFY(!f.ini().contains("secret7"));
    QVERIFY(!f.ini().contains("Klasse"));
}

// The test waits for a server that never answers on its own thread: the window goes on
// painting and taking keys, and tells the outcome when it comes. A real server's answer is
// "the connection works".
void TestClassServerGroup::testingTheConnectionLeavesTheWindowWorking() {
    TestPgServer pg;
    QVERIFY2(pg.start(), qPrintable(pg.error()));
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    Window f;
    ClassServerGroup& g = f.open();
    f.type(g.txtKlassenserver,
           u"host=127.0.0.1 port=%1 dbname=kalmix user=p2a"_qs.arg(silent.serverPort()));
    f.type(g.txtKlasse, u"2a"_qs);
    QTest::mouseClick(g.cmdTesten, Qt::LeftButton);
    QVERIFY(g.testing());
    QCOMPARE(g.lblTest->text(), langText(434));
    QVERIFY(!g.cmdTesten->isEnabled());
    f.type(g.txtKlasse, u"2b"_qs); // the window takes keys meanwhile
    QCOMPARE(g.txtKlasse->text(), u"2b"_qs);
    QTRY_VERIFY_WITH_TIMEOUT(!g.testing(), 20000);
    QVERIFY(g.cmdTesten->isEnabled());
    QVERIFY(g.lblTest->text() != langText(420) && g.lblTest->text() != langText(434));

    f.type(g.txtKlassenserver, pg.superConninfo());
    f.type(g.txtKlasse, QString());
    QTest::mouseClick(g.cmdTesten, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!g.testing(), 20000);
    QCOMPARE(g.lblTest->text(), langText(416)); // reached, and no Kalmix tables there yet
    QVERIFY(f.messages.isEmpty());
}

// A class server set but out of reach: the group and the report say how many answers wait
// and why.
void TestClassServerGroup::theGroupTellsWhatWaits() {
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close(); // nothing listens there now
    Window f(u"[Optionen]\r\nKlassenserver=host=127.0.0.1 port=%1 dbname=kalmix\r\nKlasse=2a\r\n"_qs
                 .arg(port)
                 .toUtf8());
    HistoryStore store(f.path(u"Kalmix.db"_qs));
    const QDateTime t(QDate(2026, 12, 9), QTime(8, 0));
    store.roundStarted(u"Anna"_qs, 2, t);
    for (int i = 1; i <= 3; ++i)
        answer(store, plus(1, i), Outcome::Right, t.addSecs(3 * i));
    ClassUpload upload(store.path());
    upload.applySettings();
    QVERIFY(ClassUpload::running());
    QTRY_COMPARE_WITH_TIMEOUT(ClassUpload::running()->lastProblem(), ServerProblem::Unreachable,
                              20000);
    ClassServerGroup& g = f.open();
    QTRY_COMPARE(g.lblStatus->text(), langCount(435, 3));
    QCOMPARE(g.lblFehler->text(), langText(437).arg(langText(410)));
    QVERIFY(g.lblFehler->isVisible());
    QVERIFY(f.messages.isEmpty());
    QVERIFY(f.ini().contains("Rechnerkennung="));
    // The report says it too, in one line.
    ReportWindow report(store);
    QVERIFY(!report.lblUpload->isHidden());
    QCOMPARE(report.lblUpload->text(), langCount(435, 3) + u' ' + langText(437).arg(langText(410)));
}

// Without a class server nothing runs and nothing is written: no thread, no id.
void TestClassServerGroup::noClassServerNoUploader() {
    Window f;
    ClassUpload upload(f.path(u"Kalmix.db"_qs));
    upload.applySettings();
    QVERIFY(!upload.uploader());
    QVERIFY(!ClassUpload::running());
    QVERIFY(!f.ini().contains("Rechnerkennung"));
    ClassServerGroup& g = f.open();
    QVERIFY(!g.lblStatus->isVisible() && !g.lblFehler->isVisible() && !g.lblTest->isVisible());
    HistoryStore store(f.path(u"Kalmix.db"_qs));
    ReportWindow report(store);
    QVERIFY(report.lblUpload->isHidden());
}

QTEST_MAIN(TestClassServerGroup)
#include "tst_classservergroup.moc"
