#include "about/frminfo.h"
#include "about/readme.h"
#include "main/frmkalmix.h"
#include "main/layout.h"
#include "main/startup.h"
#include "profiles/record.h"
#include "profiles/settingsfile.h"
#include "services/desktop.h"
#include "services/lang.h"
#include "services/resfiles.h"
#include "services/sound.h"
#include "settings/frmuebung.h"
#include "support/fakes.h"
#include "support/testenv.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <memory>

using namespace kalmix;
using namespace kalmix::test;

namespace {

// Starts Kalmix as the executable does, with the locale and settings file of a test.
struct StartEnv : TestEnv {
    FakeScheduler scheduler{&clock};
    ScriptedRandom random;
    std::unique_ptr<frmKalmix> window;

    explicit StartEnv(const QString& locale, const QByteArray& ini = {}) {
        setSystemLocaleForTesting([locale] { return QLocale(locale); });
        if (!ini.isEmpty())
            writeFile(QStringLiteral("Kalmix.ini"), ini);
        resetRecord();
        PlaySound = 0;
        SprachBasis = 0;
        Gestartet = false;
        window.reset(startUpWithSplash());
    }
    ~StartEnv() {
        window.reset();
        setSystemLocaleForTesting(nullptr);
        resetRecord();
    }
    QByteArray ini() const { return readFile(QStringLiteral("Kalmix.ini")); }
};

} // namespace

class TestStartup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { initResources(); }
    void firstStart_data();
    void firstStart();
    void storedLanguageRulesAfterTheFirstActivation();
    void badStoredLanguageStaysStored_data();
    void badStoredLanguageStaysStored();
    void playerListStopsAtTheFirstGap();
    void pickingAPlayerStartsAGame();
    void secondActivationChangesNothing();
    void aboutBoxFromTheMenu();
    void versionLine();
    void minimizedWindowKeepsItsLayout();
    void aboutTextsFitInEveryLanguage();
    void aboutTextOpensTheReadmeOfTheLanguage();
};

void TestStartup::firstStart_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("German, Germany") << "de_DE"
                                     << "Gelöste Aufgaben:" << QByteArray("Sprache= 0");
    QTest::newRow("English, USA") << "en_US"
                                  << "Solved exercises:" << QByteArray("Sprache= 1000");
    QTest::newRow("German, Austria starts in English")
        << "de_AT"
        << "Solved exercises:" << QByteArray("Sprache= 1000");
}

void TestStartup::firstStart() {
    QFETCH(QString, locale);
    QFETCH(QString, caption);
    QFETCH(QByteArray, stored);
    StartEnv env(locale);
    QVERIFY(Gestartet);
    QVERIFY(env.window->isVisible());
    QCOMPARE(env.window->Label[0]->text(), caption);
    QCOMPARE(env.window->cmbName->count(), 0);
    QVERIFY(!env.window->cmbName->isEnabled());
    QCOMPARE(PlaySound, -1);
    QCOMPARE(env.ini(), QByteArray("[Optionen]\r\n" + stored + "\r\n"));
    // No splash is left behind.
    for (QWidget* w : QApplication::topLevelWidgets())
        QVERIFY(!qobject_cast<frmInfo*>(w) || !w->isVisible());
}

void TestStartup::storedLanguageRulesAfterTheFirstActivation() {
    StartEnv env(QStringLiteral("de_DE"), "[Optionen]\r\nSprache= 2000\r\nPlaySound= 0\r\n");
    QCOMPARE(SprachBasis, 2000);
    QCOMPARE(env.window->Label[0]->text(), GetLang(2109));
    QCOMPARE(env.window->lblFrage->text(), GetLang(2105));
    QCOMPARE(PlaySound, 0);
    QVERIFY(env.ini().contains("Sprache= 2000\r\n"));
}

void TestStartup::badStoredLanguageStaysStored_data() {
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<int>("language"); // the language Kalmix speaks
    QTest::newRow("7000") << QByteArray("7000") << 6000;
    QTest::newRow("-1") << QByteArray("-1") << 0;
    QTest::newRow("beyond 16 bits") << QByteArray("2147483648") << 0;
    QTest::newRow("no number") << QByteArray("abc") << 0;
}

// A stored language that is none of the seven is read as the nearest one, and stays in the file
// as it is, through the start, the players' profiles applied and saved, and a press on the
// language in use; only another language chosen replaces it.
void TestStartup::badStoredLanguageStaysStored() {
    QFETCH(QByteArray, stored);
    QFETCH(int, language);
    StartEnv env(QStringLiteral("de_DE"),
                 "[Optionen]\r\nSprache=" + stored +
                     "\r\nPlaySound= 0\r\n[Benutzer]\r\nName1=Anna\r\naktiv=Anna\r\n"
                     "[Anna]\r\nUebung= 2\r\n");
    QCOMPARE(int(SprachBasis), language);
    QCOMPARE(env.window->Label[0]->text(), GetLang(static_cast<std::int16_t>(language + 109)));
    const QByteArray kept = "Sprache=" + stored + "\r\n";
    QVERIFY(env.ini().contains(kept));
    env.window->cmbName->setCurrentIndex(0); // Anna again: her profile is applied and saved
    env.window->cmbName_Click();
    QTest::mouseClick(env.window->PicBut[10 + language / 1000], Qt::LeftButton);
    QVERIFY(env.ini().contains(kept));
    QTest::mouseClick(env.window->PicBut[language == 1000 ? 12 : 11], Qt::LeftButton);
    QVERIFY(!env.ini().contains(kept));
    QCOMPARE(GetIniInt(u"Optionen"_qs, u"Sprache"_qs, -1), language == 1000 ? 2000 : 1000);
}

void TestStartup::playerListStopsAtTheFirstGap() {
    StartEnv env(QStringLiteral("de_DE"),
                 "[Optionen]\r\nSprache= 0\r\n[Benutzer]\r\nName1=Anna\r\nName2=Ben\r\n"
                 "Name4=Dora\r\naktiv=Ben\r\n");
    QCOMPARE(env.window->cmbName->count(), 2);
    QCOMPARE(env.window->cmbName->currentText(), QStringLiteral("Ben"));
    QVERIFY(env.window->cmbName->isEnabled());
    QCOMPARE(aktiv, QStringLiteral("Ben"));
    // The hidden settings window holds Ben's profile, and the record is in force.
    QCOMPARE(env.window->uebung().txtName->text(), QStringLiteral("Ben"));
    QCOMPARE(SymbolZahl, 5);
    QCOMPARE(MinSum, 2);
}

void TestStartup::pickingAPlayerStartsAGame() {
    StartEnv env(QStringLiteral("de_DE"),
                 "[Optionen]\r\nSprache= 0\r\nPlaySound= 0\r\n[Benutzer]\r\nName1=Anna\r\n"
                 "Name2=Ben\r\naktiv=Anna\r\n[Ben]\r\nUebung= 2\r\nMaxSum= 1\r\n");
    QVERIFY(!env.window->game().running());
    env.window->cmbName->setCurrentIndex(1);
    env.window->cmbName_Click();
    QCOMPARE(aktiv, QStringLiteral("Ben"));
    QCOMPARE(Uebung, 2);
    QCOMPARE(MaxSum, 20);
    QVERIFY(env.window->game().running());
    QVERIFY(env.window->lblAufgabe->isVisible());
    QCOMPARE(GetIniString(QStringLiteral("Benutzer"), QStringLiteral("aktiv"), {}),
             QStringLiteral("Ben"));
}

void TestStartup::secondActivationChangesNothing() {
    StartEnv env(QStringLiteral("de_DE"), "[Optionen]\r\nSprache= 0\r\n");
    QTest::mouseClick(env.window->PicBut[11], Qt::LeftButton); // English
    SaveIni(QStringLiteral("Optionen"), QStringLiteral("Sprache"), QStringLiteral(" 0"));
    const QByteArray before = env.ini();
    env.window->hide();
    env.window->show();
    QCOMPARE(SprachBasis, 1000);
    QCOMPARE(env.window->Label[0]->text(), QStringLiteral("Solved exercises:"));
    QCOMPARE(env.ini(), before);
    QVERIFY(!env.window->cmbName->isEnabled());
}

void TestStartup::aboutBoxFromTheMenu() {
    StartEnv env(QStringLiteral("de_DE"), "[Optionen]\r\nSprache= 3000\r\n");
    bool checked = false;
    QTimer::singleShot(0, [&] {
        auto* about = qobject_cast<frmInfo*>(QApplication::activeModalWidget());
        QVERIFY(about);
        QCOMPARE(about->Label[3]->text(),
                 QStringLiteral("Per altre informazioni vedi readme.txt!"));
        QVERIFY(about->ok->isVisible());
        QTest::mouseClick(about->ok, Qt::LeftButton);
        checked = true;
    });
    env.window->mnuUeber_Click();
    QVERIFY(checked);
    QVERIFY(env.window->isVisible());
}

void TestStartup::versionLine() {
    QCOMPARE(frmInfo::versionLine(1, 0, 0), QStringLiteral("Kalmix    1.00.0000"));
    QCOMPARE(frmInfo::versionLine(1, 0, 12), QStringLiteral("Kalmix    1.00.0012"));
}

void TestStartup::minimizedWindowKeepsItsLayout() {
    StartEnv env(QStringLiteral("de_DE"));
    env.window->resize(800, 600);
    const QPoint board = env.window->picTafel->pos();
    env.window->showMinimized();
    env.window->Form_Resize();
    QCOMPARE(env.window->picTafel->pos(), board);
    env.window->showNormal();
    env.window->resize(900, 650);
    // After the first layout the toolbar strip has its own width (1.2 buttons), which the
    // board's place then reads.
    QCOMPARE(env.window->lblToolbar->width(), 44);
    QCOMPARE(env.window->picTafel->x(), half(900 - 518 - 97 - 44));
}

void TestStartup::aboutTextsFitInEveryLanguage() {
    TestEnv env;
    Gestartet = true;
    for (int base = 0; base <= 6000; base += 1000) {
        env.writeFile(QStringLiteral("Kalmix.ini"),
                      "[Optionen]\r\nSprache= " + QByteArray::number(base) + "\r\n");
        frmInfo about;
        const QString lang = QString::number(base);
        for (QLabel* l : {about.Label[0], about.Label[3]}) {
            const QRect room(QPoint(0, 0), l->size());
            const QRect need = l->fontMetrics().boundingRect(
                room, int(l->alignment()) | (l->wordWrap() ? int(Qt::TextWordWrap) : 0), l->text());
            QVERIFY2(room.contains(need), qPrintable(lang + ": " + l->text()));
            QVERIFY2(!l->geometry().intersects(about.Image1->geometry()),
                     qPrintable(lang + ": the figure covers " + l->text()));
        }
    }
    Gestartet = false;
}

void TestStartup::aboutTextOpensTheReadmeOfTheLanguage() {
    TestEnv env;
    QList<QUrl> opened;
    bool desktopOpens = true;
    setShellOpenHook([&](const QUrl& url) {
        opened.append(url);
        return desktopOpens;
    });
    // The shipped files, found in the second folder searched.
    const QString docs = QStringLiteral(KALMIX_SOURCE_DIR "/resources/docs");
    setReadmeDirsForTesting({env.dir(), docs});
    Gestartet = true;
    const QList<QPair<QByteArray, QString>> cases = {{"0", "liesmich.txt"}, {"3000", "readme.txt"}};
    for (const auto& [sprache, name] : cases) {
        env.writeFile(QStringLiteral("Kalmix.ini"), "[Optionen]\r\nSprache= " + sprache + "\r\n");
        frmInfo about;
        const qsizetype before = opened.size();
        QTest::mouseClick(about.Label[3], Qt::LeftButton);
        QCOMPARE(opened.value(before), QUrl::fromLocalFile(docs + '/' + name));
    }
    QCOMPARE(opened.size(), 2);
    QVERIFY(env.messages.isEmpty());

    // Not found, or found but the desktop cannot open it: the box says so.
    setReadmeDirsForTesting({env.dir()});
    frmInfo italian;
    QTest::mouseClick(italian.Label[3], Qt::LeftButton);
    QCOMPARE(env.messages.size(), 1);
    QCOMPARE(env.messages[0].text, QStringLiteral("Il file readme.txt non è stato trovato."));
    env.writeFile(QStringLiteral("readme.txt"), "Kalmix\n");
    desktopOpens = false;
    QTest::mouseClick(italian.Label[3], Qt::LeftButton);
    QCOMPARE(opened.size(), 3);
    QCOMPARE(env.messages.size(), 2);
    QVERIFY(env.messages[1].text.startsWith(QStringLiteral("Impossibile aprire il file /")));

    setReadmeDirsForTesting({});
    setShellOpenHook(nullptr);
    Gestartet = false;
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
