#include "engine/practicelog.h"
#include "profiles/passwordhash.h"
#include "profiles/record.h"
#include "profiles/settingsfile.h"
#include "services/desktop.h"
#include "services/lang.h"
#include "services/sound.h"
#include "settings/frmuebung.h"
#include "settings/logviewer.h"
#include "support/testenv.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <memory>

using namespace kalmix;
using kalmix::test::TestEnv;

namespace {

QByteArray crlf(QByteArray text) {
    return text.replace("\n", "\r\n");
}

// Anna's profile as the window writes it, so saving it unchanged leaves every byte in place.
const QByteArray kAnna = "Uebung= 3\nMaxSum= 2\nSymbole=1011010100000000000000000\n"
                         "Faktoren=00110101000100000000\nAufgZeit= 0\nZeit=120\nAufgZahl=10\n"
                         "Animation= 1\nHilfe= 1\nNull= 0\n";
const QByteArray kBase = "[Optionen]\nSprache= 0\nPlaySound=-1\nSignMul= ·\nSignDiv= :\n"
                         "LogFile= 0\n[Benutzer]\nName1=Anna\nName2=Ben\naktiv=Anna\n[Anna]\n" +
                         kAnna + "[Ben]\nUebung= 5\n";

QString lang(int nr) {
    return GetLang(static_cast<std::int16_t>(SprachBasis + nr));
}

QString message(const QString& text, const QString& caption, MsgIcon icon, bool yesNo) {
    return QString::asprintf("%ls [%ls, icon %d%s]", qUtf16Printable(text),
                             qUtf16Printable(caption), int(icon), yesNo ? ", yes/no" : "");
}
QString msg(int nr, MsgIcon icon, const QString& caption = u"Kalmix"_qs, bool yesNo = false) {
    return message(lang(nr), caption, icon, yesNo);
}

template <typename Boxes> QString ticks(const Boxes& boxes) {
    QString s;
    for (const QCheckBox* b : boxes)
        s += b->isChecked() ? u'1' : u'0';
    return s;
}

template <typename Options> int chosen(const Options& options) {
    for (int i = 0; i < int(options.size()); ++i) {
        if (options[i]->isChecked())
            return i;
    }
    return -1;
}

// A settings file, the active player read from it as the main window does, and a window loaded
// on top of it (hidden, so a stored player is also applied).
struct Wizard : TestEnv {
    std::unique_ptr<frmUebung> w;
    QList<QUrl> opened;

    explicit Wizard(const QByteArray& ini = {}, int language = 0) {
        SprachBasis = static_cast<std::int16_t>(language);
        if (!ini.isEmpty())
            writeFile(QStringLiteral("Kalmix.ini"), crlf(ini));
        setShellOpenHook([this](const QUrl& url) {
            opened.append(url);
            return true;
        });
        reload();
    }
    ~Wizard() {
        w.reset();
        LogNr().close();
        setShellOpenHook(nullptr);
        resetRecord();
        SprachBasis = 0;
    }
    void reload() {
        w.reset();
        resetRecord();
        aktiv = readActivePlayer();
        w = std::make_unique<frmUebung>();
    }
    bool show() {
        w->show();
        return QTest::qWaitForWindowActive(w.get());
    }
    QByteArray ini() const { return readFile(QStringLiteral("Kalmix.ini")); }
    QByteArray section(const QByteArray& name) const {
        const QByteArray all = ini();
        const qsizetype at = all.indexOf(QByteArray("[" + name + "]\r\n"));
        const qsizetype from = at + name.size() + 4;
        const qsizetype to = all.indexOf("\r\n[", from);
        return at < 0 ? QByteArray() : all.mid(from, to < 0 ? -1 : to + 2 - from);
    }
    // The one page shown, -1 when not exactly one is.
    int page() const {
        int shown = -1;
        for (int i = 0; i < 7; ++i) {
            if (!w->fraDialog[i]->isHidden())
                shown = shown < 0 ? i : 99;
        }
        return shown > 6 ? -1 : shown;
    }
    QStringList names() const {
        QStringList list;
        for (int i = 0; i < w->lstName->count(); ++i)
            list << w->lstName->item(i)->text();
        return list;
    }
    QStringList shownMessages() const {
        QStringList list;
        for (const MsgBoxCall& m : messages)
            list << message(m.text, m.caption, m.icon, m.buttons == MsgButtons::YesNo);
        return list;
    }
    void click(QAbstractButton* b) const {
        // Tick boxes and options take clicks on their indicator at the left.
        const bool push = qobject_cast<QPushButton*>(b) != nullptr;
        QTest::mouseClick(b, Qt::LeftButton, {},
                          push ? b->rect().center() : QPoint(8, b->height() / 2));
    }
    void clickName(const QString& name) const {
        const QListWidgetItem* item = w->lstName->findItems(name, Qt::MatchExactly).value(0);
        QTest::mouseClick(w->lstName->viewport(), Qt::LeftButton, {},
                          w->lstName->visualItemRect(item).center());
    }
    void nextTo(int target) const {
        for (int i = 0; i < 6 && w->Seite != target; ++i)
            click(w->cmdWeiter);
    }
};

// A profile as "kind range symbols factors mode count seconds switches signs": the switches are
// animation, help, zero and log as 1 or 0, the signs the numbers of the two options.
struct Profile {
    int kind, range, mode, count, seconds, mul, div;
    QString symbols, factors, switches;
    explicit Profile(const QString& text) {
        const QStringList f = text.split(u' ');
        kind = f[0].toInt(), range = f[1].toInt(), symbols = f[2], factors = f[3];
        mode = f[4].toInt(), count = f[5].toInt(), seconds = f[6].toInt(), switches = f[7];
        mul = f[8].toInt(), div = f[9].toInt();
    }
    bool on(int i) const { return switches[i] == u'1'; }
};

QString describe(const frmUebung& w) {
    return QString::asprintf(
        "%d %d %ls %ls %d %ls %ls %d%d%d%d %d %d bars %d %d", chosen(w.optUebung),
        chosen(w.optAddition), qUtf16Printable(ticks(w.chkSymbol)),
        qUtf16Printable(ticks(w.chkFaktor)), chosen(w.optAufgZeit),
        qUtf16Printable(w.txtAufgaben->text()), qUtf16Printable(w.txtZeit->text()),
        w.chkProgAnim->isChecked(), w.chkTipp->isChecked(), w.chkNull->isChecked(),
        w.chkLogfile->isChecked(), chosen(w.optSignMul), chosen(w.optSignDiv),
        w.vscAufgaben->value(), w.vscZeit->value());
}

// The record as the engine sees it; the list is the symbols for kinds 0 and 1, else the factors.
QString describeRecord() {
    QString list;
    const bool symbols = Uebung <= 1;
    for (int i = 0; i < (symbols ? SymbolZahl : FaktorZahl); ++i)
        list += QString::asprintf(" %d", symbols ? SymbolListe[i] : FaktorListe[i]);
    return QString::asprintf("kind %d range %d-%d tasks %d seconds %d switches %d %d %d %d %d "
                             "signs%ls%ls list%ls",
                             Uebung, MinSum, MaxSum, AufgZahl, Zeit, Animation, Hilfe, LogFile,
                             Null, NullFaktor, qUtf16Printable(SignMul), qUtf16Printable(SignDiv),
                             qUtf16Printable(list));
}

} // namespace

class TestFrmUebung : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        TestEnv env;
        WriteLanguageCopy();
    }

    void routing_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QList<int>>("pages");
        const QList<int> symbols{0, 1, 2, 5, 6}, range{0, 1, 3, 5, 6}, factors{0, 1, 4, 5, 6};
        QTest::newRow("counting") << 0 << symbols;
        QTest::newRow("symbol addition") << 1 << symbols;
        QTest::newRow("addition") << 2 << range;
        QTest::newRow("subtraction") << 3 << range;
        QTest::newRow("multiplication") << 4 << factors;
        QTest::newRow("division") << 5 << factors;
        QTest::newRow("addition and subtraction") << 6 << range;
        QTest::newRow("multiplication and division") << 7 << factors;
        QTest::newRow("all four") << 8 << QList<int>{0, 1, 3, 4, 5, 6};
    }
    void routing() {
        QFETCH(int, kind);
        QFETCH(QList<int>, pages);
        Wizard f(kBase);
        QVERIFY(f.show());
        QList<int> visited{f.page()};
        f.click(f.w->cmdWeiter);
        visited << f.page();
        f.click(f.w->optUebung[kind]); // the kind chosen now decides the way on
        for (int i = 0; i < 8 && f.w->cmdWeiter->isEnabled(); ++i) {
            f.click(f.w->cmdWeiter);
            visited << f.page();
        }
        QCOMPARE(visited, pages);
        QCOMPARE(f.w->Seite, 6);
        QVERIFY(f.w->cmdOptOK->hasFocus());
        QCOMPARE(f.ini(), crlf(kBase)); // stepping forward saves nothing

        QList<int> back{f.page()};
        for (int i = 0; i < 8 && f.w->cmdZurueck->isEnabled(); ++i) {
            f.click(f.w->cmdZurueck);
            back << f.page();
        }
        std::reverse(pages.begin(), pages.end());
        QCOMPARE(back, pages);
        QVERIFY(f.w->cmdWeiter->isEnabled() && f.w->txtName->hasFocus());
        QCOMPARE(f.w->txtName->selectedText(), u"Anna"_qs);
        // Arriving on the name page saves the profile.
        QCOMPARE(GetIniInt(QStringLiteral("Anna"), QStringLiteral("Uebung"), -1), kind);
        QVERIFY(f.errors.isEmpty());
    }

    void emptyTickBoxesHoldThePage_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("button"); // 0 next, 1 back, 2 OK
        QTest::addColumn<QStringList>("shown");
        const QStringList symbol{msg(190, MsgIcon::Exclamation)};
        const QStringList factor{msg(176, MsgIcon::Exclamation)};
        QTest::newRow("no symbol, next") << 0 << 2 << 0 << symbol;
        QTest::newRow("no symbol, back") << 1 << 2 << 1 << symbol;
        QTest::newRow("no symbol, OK quietly") << 0 << 2 << 2 << QStringList();
        QTest::newRow("no factor, next") << 5 << 4 << 0 << factor;
        QTest::newRow("no factor, back") << 4 << 4 << 1 << factor;
        QTest::newRow("no factor, OK") << 7 << 4 << 2 << factor;
        QTest::newRow("no factor, all four kinds") << 8 << 4 << 0 << factor;
    }
    void emptyTickBoxesHoldThePage() {
        QFETCH(int, kind);
        QFETCH(int, page);
        QFETCH(int, button);
        QFETCH(QStringList, shown);
        Wizard f(kBase);
        QVERIFY(f.show());
        f.nextTo(1);
        f.click(f.w->optUebung[kind]);
        f.nextTo(page);
        const auto untick = [&](const auto& boxes) {
            for (QCheckBox* b : boxes) {
                if (b->isChecked())
                    f.click(b);
            }
            QVERIFY(!ticks(boxes).contains(u'1'));
        };
        if (page == 2)
            untick(f.w->chkSymbol);
        else
            untick(f.w->chkFaktor);
        f.click(QList<QAbstractButton*>{f.w->cmdWeiter, f.w->cmdZurueck, f.w->cmdOptOK}[button]);
        QCOMPARE(f.shownMessages(), shown);
        QCOMPARE(f.w->Seite, page);
        QCOMPARE(f.page(), page);
        QVERIFY(f.w->isVisible() && !f.w->unloaded());
        QCOMPARE(f.ini(), crlf(kBase));
        if (shown.isEmpty())
            QCOMPARE(describeRecord().section(u" list "_qs, 1), u"0"_qs); // symbol 0 alone
    }

    void enterOnTheNamePage_data() {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("outcome");
        QTest::newRow("one letter, empty list: asks for a name")
            << QByteArray() << u"x"_qs
            << QStringList{u"page 0, box '', active '', players "_qs,
                           msg(145, MsgIcon::Information, lang(146))};
        QTest::newRow("one letter, names listed: the first one")
            << kBase << u"x"_qs
            << QStringList{u"page 1, box 'Anna', active 'Anna', players Anna,Ben"_qs};
        QTest::newRow("new name joins the list")
            << kBase << u"Carla"_qs
            << QStringList{u"page 1, box 'Carla', active 'Carla', players Anna,Ben,Carla"_qs};
    }
    void enterOnTheNamePage() {
        QFETCH(QByteArray, ini);
        QFETCH(QString, typed);
        QFETCH(QStringList, outcome);
        Wizard f(ini);
        QVERIFY(f.show());
        QTest::keyClicks(f.w->txtName, typed);
        QTest::keyClick(f.w->txtName, Qt::Key_Return); // Next, the focus in the name box
        const QStringList seen =
            QStringList{QStringLiteral("page %1, box '%2', active '%3', players %4")
                            .arg(f.page())
                            .arg(f.w->txtName->text(), aktiv, f.names().join(u','))} +
            f.shownMessages();
        QCOMPARE(seen, outcome);
        QCOMPARE(f.w->Seite, f.page());
    }

    // However the name box is left, a single letter never becomes a player.
    void oneLetterNeverJoins_data() {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("how"); // "next" clicked, "tab" pressed, "ok" clicked
        QTest::addColumn<QStringList>("outcome");
        const QString asked = msg(145, MsgIcon::Information, lang(146));
        QTest::newRow("Next clicked, names listed: the first one")
            << kBase << u"next"_qs
            << QStringList{u"page 1, box 'Anna', active 'Anna', players Anna,Ben"_qs};
        QTest::newRow("Next clicked, empty list: asks for a name")
            << QByteArray() << u"next"_qs
            << QStringList{u"page 0, box '', active '', players "_qs, asked};
        QTest::newRow("Tab, names listed: the letter stays in the box")
            << kBase << u"tab"_qs
            << QStringList{u"page 0, box 'x', active 'Anna', players Anna,Ben"_qs};
        QTest::newRow("Tab, empty list")
            << QByteArray() << u"tab"_qs << QStringList{u"page 0, box 'x', active '', players "_qs};
        QTest::newRow("OK clicked, names listed: asks for a name")
            << kBase << u"ok"_qs
            << QStringList{u"page 0, box 'x', active 'Anna', players Anna,Ben"_qs, asked};
    }
    void oneLetterNeverJoins() {
        QFETCH(QByteArray, ini);
        QFETCH(QString, how);
        QFETCH(QStringList, outcome);
        Wizard f(ini);
        QVERIFY(f.show());
        const QByteArray before = f.ini();
        QTest::keyClicks(f.w->txtName, u"x"_qs);
        if (how == u"tab")
            QTest::keyClick(f.w->txtName, Qt::Key_Tab);
        else
            f.click(how == u"ok" ? f.w->cmdOptOK : f.w->cmdWeiter);
        const QStringList seen =
            QStringList{QStringLiteral("page %1, box '%2', active '%3', players %4")
                            .arg(f.page())
                            .arg(f.w->txtName->text(), aktiv, f.names().join(u','))} +
            f.shownMessages();
        QCOMPARE(seen, outcome);
        QVERIFY(f.w->isVisible());
        QCOMPARE(f.ini(), before);
    }

    // A name of blanks alone is no name: OK asks for one and stores nothing.
    void blankNameIsNoName_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("OK clicked") << u"click"_qs;
        QTest::newRow("Enter on OK") << u"enter"_qs;
        QTest::newRow("OK's access key, the name box keeping the focus") << u"key"_qs;
    }
    void blankNameIsNoName() {
        QFETCH(QString, how);
        Wizard f(kBase);
        QVERIFY(f.show());
        QTest::keyClicks(f.w->txtName, u"   "_qs); // over the selected "Anna"
        if (how == u"enter") {
            f.w->cmdOptOK->setFocus();
            QTest::keyClick(f.w->cmdOptOK, Qt::Key_Return);
        } else if (how == u"key") {
            QTest::keyClick(f.w->txtName, Qt::Key_O, Qt::AltModifier);
            QTRY_VERIFY(!f.messages.isEmpty() || !f.w->isVisible()); // a click shown first
        } else {
            f.click(f.w->cmdOptOK);
        }
        QCOMPARE(f.shownMessages(), QStringList{msg(145, MsgIcon::Information, lang(146))});
        QVERIFY(f.w->isVisible() && f.page() == 0);
        QCOMPARE(f.ini(), crlf(kBase));
        f.click(f.w->cmdCancel);
        QVERIFY(f.w->unloaded());
        QCOMPARE(f.ini(), crlf(kBase));
        QCOMPARE(readActivePlayer(), u"Anna"_qs);
    }

    // A name longer than new names can be, from an older settings file: the player keeps the
    // profile, which is read, played and saved under the whole name.
    void longStoredName() {
        const QByteArray name = QByteArray("Maximiliane ").repeated(25).trimmed(); // 299
        Wizard f("[Optionen]\nSprache= 0\n[Benutzer]\nName1=" + name + "\naktiv=" + name + "\n[" +
                 name + "]\nUebung= 4\nFaktoren=00010000000000000000\nAufgZahl=20\n");
        QCOMPARE(aktiv.size(), 299);
        QCOMPARE(f.names(), QStringList{QString::fromLatin1(name)});
        QCOMPARE(describeRecord().left(30), u"kind 4 range 2-10 tasks 20 sec"_qs);
        QCOMPARE(describeRecord().section(u" list "_qs, 1), u"5"_qs);
        QVERIFY(f.show());
        f.nextTo(1);
        f.click(f.w->optUebung[5]);
        f.click(f.w->cmdOptOK);
        QVERIFY(f.w->unloaded());
        QCOMPARE(f.ini().count("\r\n[Maximiliane"), 1);
        QCOMPARE(GetIniInt(QString::fromLatin1(name), u"Uebung"_qs, -1), 5);
        f.reload();
        QCOMPARE(int(Uebung), 5);
        QCOMPARE(readActivePlayer(), QString::fromLatin1(name));
        QVERIFY(f.messages.isEmpty() && f.errors.isEmpty());
    }

    // Two list entries that differ only in letter case share one profile; deleting one of them
    // keeps the other's profile.
    void namesDifferingInCase() {
        Wizard f("[Optionen]\nSprache= 0\n[Benutzer]\nName1=Anna\nName2=anna\naktiv=anna\n"
                 "[Anna]\nUebung= 4\n");
        QCOMPARE(int(Uebung), 4);
        QVERIFY(f.show());
        f.clickName(u"anna"_qs);
        f.click(f.w->cmdDelEntry); // answered Yes
        QCOMPARE(f.names(), QStringList{u"Anna"_qs});
        QVERIFY(f.section("Anna").startsWith("Uebung= 4\r\n"));
        QCOMPARE(aktiv, u"Anna"_qs); // the box was completed to the one left
        QCOMPARE(int(Uebung), 4);
        QCOMPARE(readActivePlayer(), u"Anna"_qs);
    }

    // Kind 8 is labelled with the labels of kinds 6 and 7 joined by " + ", in every language.
    void allFourKindsLabel() {
        for (int language = 0; language <= 6000; language += 1000) {
            Wizard f(kBase, language);
            QCOMPARE(f.w->optUebung[8]->text(), lang(187) + u" + "_qs + lang(188));
            QVERIFY(!lang(187).isEmpty() && !lang(188).isEmpty());
        }
    }

    void typingCompletesNames_data() {
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QStringList>("typed"); // typed, then the box's text and selection
        QTest::addColumn<int>("kind");          // of the player loaded, 0 for none
        const QStringList two{u"Anna"_qs, u"Ben"_qs};
        QTest::newRow("a completes Anna")
            << QStringList{u"Anna"_qs} << QStringList{"a", "Anna", "nna"} << 2;
        QTest::newRow("letter case ignored") << two << QStringList{"bE", "Ben", "n"} << 3;
        QTest::newRow("each letter narrows") << two << QStringList{"an", "Anna", "na"} << 2;
        QTest::newRow("first in list order")
            << QStringList{u"Anna"_qs, u"Ann"_qs} << QStringList{"ann", "Anna", "a"} << 2;
        QTest::newRow("no match stays as typed") << two << QStringList{"Ole", "Ole", ""} << 0;
    }
    void typingCompletesNames() {
        QFETCH(QStringList, listed);
        QFETCH(QStringList, typed);
        QFETCH(int, kind);
        QByteArray ini = "[Optionen]\nPlaySound=-1\n[Benutzer]\n";
        for (int i = 0; i < listed.size(); ++i)
            ini += QStringLiteral("Name%1=%2\n").arg(i + 1).arg(listed[i]).toUtf8();
        for (int i = 0; i < listed.size(); ++i)
            ini += QStringLiteral("[%1]\nUebung= %2\n").arg(listed[i]).arg(i + 2).toUtf8();
        Wizard f(ini);
        QVERIFY(f.show());
        QTest::keyClicks(f.w->txtName, typed[0]);
        QCOMPARE(QStringList({typed[0], f.w->txtName->text(), f.w->txtName->selectedText()}),
                 typed);
        QCOMPARE(aktiv, kind ? typed[1] : QString());
        QCOMPARE(chosen(f.w->optUebung), kind);
        QCOMPARE(Uebung, kind);
    }

    void listOrderAndTheStoredPlayer() {
        Wizard f("[Benutzer]\nName1=Anna\nName2=Ann\nName3=Annabel\naktiv=Annabel\n[Anna]\n"
                 "Uebung= 4\n[Ann]\nUebung= 6\n[Annabel]\nUebung= 7\n");
        // The stored player is loaded as stored, although Anna comes first.
        QCOMPARE(f.w->txtName->text(), u"Annabel"_qs);
        QCOMPARE(Uebung, 7);
        QVERIFY(f.show());
        f.clickName(u"Ann"_qs); // completes to Anna, listed before Ann
        QCOMPARE(f.w->txtName->text(), u"Anna"_qs);
        QCOMPARE(aktiv, u"Anna"_qs);
        QCOMPARE(f.w->lstName->currentRow(), 0);
        QCOMPARE(Uebung, 4);
    }

    void addingAPlayer() {
        Wizard f(kBase);
        QVERIFY(f.show());
        QTest::keyClicks(f.w->txtName, "Carla"); // over the selected "Anna"
        QTest::keyClick(f.w->txtName, Qt::Key_Tab);
        QCOMPARE(f.names(), (QStringList{u"Anna"_qs, u"Ben"_qs, u"Carla"_qs}));
        QCOMPARE(aktiv, u"Carla"_qs);
        QByteArray expected = kBase + "[Carla]\n" + kAnna;
        expected.replace("aktiv=Anna\n", "aktiv=Carla\nName3=Carla\n");
        QCOMPARE(f.ini(), crlf(expected)); // the list is written at once
        f.click(f.w->cmdOptOK);
        QVERIFY(f.w->unloaded());
        QCOMPARE(f.ini(), crlf(expected));
        QVERIFY(f.messages.isEmpty() && f.errors.isEmpty());
    }

    void namesRoundTrip_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("name");
        QTest::newRow("accent") << u"Jörg"_qs << u"Jörg"_qs;
        QTest::newRow("diaeresis") << u"Zoë"_qs << u"Zoë"_qs;
        QTest::newRow("Cyrillic") << u"Мария"_qs << u"Мария"_qs;
        QTest::newRow("blanks at both ends") << u"  Ole Bo "_qs << u"Ole Bo"_qs;
        QTest::newRow("brackets refused") << u"[Max]"_qs << u"Max"_qs;
        QTest::newRow("bracket inside refused") << u"Li]a"_qs << u"Lia"_qs;
    }
    void namesRoundTrip() {
        QFETCH(QString, typed);
        QFETCH(QString, name);
        Wizard f;
        QVERIFY(f.show());
        for (QChar c : typed) // also letters no key is named for
            QTest::sendKeyEvent(QTest::Click, f.w->txtName, Qt::Key_unknown, c, Qt::NoModifier);
        f.w->lstName->setFocus(); // the name box loses the focus
        QCOMPARE(f.w->txtName->text(), name);
        QVERIFY(f.ini().startsWith(("[Benutzer]\r\nName1=" + name + "\r\naktiv=" + name).toUtf8()));
        QVERIFY(f.section(name.toUtf8()).startsWith("Uebung= 0\r\n"));
        f.click(f.w->cmdOptOK);
        QVERIFY(f.w->unloaded());
        f.reload();
        QCOMPARE(f.names(), QStringList{name});
        QCOMPARE(f.w->txtName->text(), name);
        QCOMPARE(aktiv, name);
    }

    void deletingTheSecondOfThree() {
        QByteArray three = kBase + "[Carla]\nUebung= 8\n";
        three.replace("Name2=Ben\n", "Name2=Ben\nName3=Carla\n");
        Wizard f(three);
        QVERIFY(f.show());
        f.clickName(u"Ben"_qs);
        QCOMPARE(Uebung, 5);
        f.answers = {MsgResult::Yes};
        f.click(f.w->cmdDelEntry);
        QCOMPARE(f.messages.size(), 1);
        f.messages.clear();
        QByteArray expected = three;
        expected.replace("[Ben]\nUebung= 5\n", "");
        expected.replace("Name2=Ben\nName3=Carla\n", "Name2=Carla\n");
        QCOMPARE(f.ini(), crlf(expected));
        QCOMPARE(f.names(), (QStringList{u"Anna"_qs, u"Carla"_qs}));
        // The emptied box completes to the first player, who is loaded.
        QCOMPARE(f.w->txtName->text(), u"Anna"_qs);
        QCOMPARE(aktiv, u"Anna"_qs);
        QCOMPARE(Uebung, 3);
        f.click(f.w->cmdOptOK);
        QVERIFY(f.w->unloaded());
        QCOMPARE(f.ini(), crlf(expected));
        QVERIFY(f.messages.isEmpty() && f.errors.isEmpty());
    }

    void lockedDeletions_data() {
        QTest::addColumn<bool>("right");
        QTest::newRow("a wrong password") << false;
        QTest::newRow("the right password") << true;
    }
    // Opened without the password (as Start does for a first player), the window asks for it
    // before a player or the practice log is deleted, once; a wrong one deletes nothing.
    void lockedDeletions() {
        QFETCH(bool, right);
        Wizard f(kBase);
        SaveIni(u"Optionen"_qs, u"Passwort"_qs, makePasswordHash(u"Geheim"_qs, 10));
        const QString log = f.path(QStringLiteral("Kalmix_Log.txt"));
        f.writeFile(QStringLiteral("Kalmix_Log.txt"), "14.03.2026\r\n");
        QVERIFY(f.show());
        f.clickName(u"Ben"_qs);
        f.answerPassword(right ? u"Geheim"_qs : u"Geheim1"_qs);
        f.answerPassword(u"Geheim1"_qs);
        f.answers = {MsgResult::Yes, MsgResult::Yes};
        f.click(f.w->cmdDelEntry);
        f.nextTo(6);
        f.click(f.w->cmdDelLogfile);
        const QString wrong = msg(350, MsgIcon::Exclamation);
        const QStringList asked{
            message(lang(201).arg(u"Ben"_qs), u"Kalmix"_qs, MsgIcon::Question, true),
            msg(163, MsgIcon::Question, u"Kalmix"_qs, true)};
        QCOMPARE(f.shownMessages(), right ? asked : (QStringList{wrong, wrong}));
        QCOMPARE(f.passwordPrompts.size(), right ? 1 : 2);
        const QStringList names{u"Anna"_qs, u"Ben"_qs};
        QCOMPARE(f.names(), right ? names.first(1) : names);
        QCOMPARE(QFile::exists(log), !right);
    }

    void deletingNeedsASelection() {
        QByteArray nobody = kBase;
        nobody.replace("aktiv=Anna\n", "");
        Wizard f(nobody);
        QVERIFY(f.show());
        f.click(f.w->cmdDelEntry);
        QCOMPARE(f.shownMessages(), QStringList{msg(179, MsgIcon::Information, lang(147))});
        QCOMPARE(f.ini(), crlf(nobody));
        QCOMPARE(f.names(), (QStringList{u"Anna"_qs, u"Ben"_qs}));
    }

    void cancelKeepsOnlyTheSoundSwitch_data() {
        QTest::addColumn<bool>("escape");
        QTest::newRow("Cancel button") << false;
        QTest::newRow("Escape key") << true;
    }
    void cancelKeepsOnlyTheSoundSwitch() {
        QFETCH(bool, escape);
        Wizard f(kBase);
        QVERIFY(f.show());
        f.nextTo(1);
        f.click(f.w->optUebung[6]);
        QCOMPARE(Uebung, 6);
        f.nextTo(5);
        QByteArray off = kBase;
        off.replace("PlaySound=-1", "PlaySound= 0");
        f.click(f.w->chkSound); // saved at once, both ways
        QCOMPARE(PlaySound, 0);
        QCOMPARE(f.ini(), crlf(off));
        f.click(f.w->chkSound);
        QCOMPARE(PlaySound, -1);
        QCOMPARE(f.ini(), crlf(kBase));
        f.click(f.w->chkSound);
        if (escape)
            QTest::keyClick(f.w->chkSound, Qt::Key_Escape);
        else
            f.click(f.w->cmdCancel);
        QVERIFY(f.w->unloaded() && !f.w->isVisible());
        QCOMPARE(Uebung, 3);
        QCOMPARE(chosen(f.w->optUebung), 3);
        QCOMPARE(f.w->Seite, 0);
        QCOMPARE(f.page(), 0);
        QVERIFY(f.w->cmdWeiter->isEnabled());
        QCOMPARE(PlaySound, 0);
        QCOMPARE(f.ini(), crlf(off));
    }

    void scrollBarsRunUpsideDown_data() {
        QTest::addColumn<bool>("seconds");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("shown");
        QTest::newRow("count at the top") << false << int(Qt::Key_Home) << "100";
        QTest::newRow("count at the bottom") << false << int(Qt::Key_End) << "10";
        QTest::newRow("count one up") << false << int(Qt::Key_Up) << "11";
        QTest::newRow("seconds at the top") << true << int(Qt::Key_Home) << "600";
        QTest::newRow("seconds at the bottom") << true << int(Qt::Key_End) << "60";
    }
    void scrollBarsRunUpsideDown() {
        QFETCH(bool, seconds);
        QFETCH(int, key);
        QFETCH(QString, shown);
        Wizard f(kBase);
        QVERIFY(f.show());
        f.nextTo(5);
        QLineEdit* box = seconds ? f.w->txtZeit : f.w->txtAufgaben;
        QTest::keyClick(seconds ? f.w->vscZeit : f.w->vscAufgaben, Qt::Key(key));
        QCOMPARE(box->text(), shown);
    }

    void logButtons_data() {
        QTest::addColumn<bool>("view");
        QTest::addColumn<MsgResult>("answer");
        QTest::addColumn<bool>("goneBefore");
        QTest::addColumn<bool>("kept");
        QTest::newRow("show") << true << MsgResult::Ok << false << true;
        QTest::newRow("delete, No") << false << MsgResult::No << false << true;
        QTest::newRow("delete, Yes") << false << MsgResult::Yes << false << false;
        QTest::newRow("delete, Yes on a missing file") << false << MsgResult::Yes << true << false;
    }
    void logButtons() {
        QFETCH(bool, view);
        QFETCH(MsgResult, answer);
        QFETCH(bool, goneBefore);
        QFETCH(bool, kept);
        Wizard f(kBase);
        const QString log = f.path(QStringLiteral("Kalmix_Log.txt"));
        QVERIFY(f.show());
        QVERIFY(!f.w->cmdViewLog->isEnabled() && !f.w->cmdDelLogfile->isEnabled());
        f.w->hide();
        f.writeFile(QStringLiteral("Kalmix_Log.txt"), "14.03.2026\r\n");
        QVERIFY(f.show());
        f.nextTo(6);
        QVERIFY(f.w->cmdViewLog->isEnabled() && f.w->cmdDelLogfile->isEnabled());
        LogNr().open(); // a game is being logged
        if (goneBefore)
            QFile::remove(log);
        f.answers = {answer};
        f.click(view ? f.w->cmdViewLog : f.w->cmdDelLogfile);
        QCOMPARE(f.shownMessages(),
                 view ? QStringList()
                      : QStringList{msg(163, MsgIcon::Question, u"Kalmix"_qs, true)});
        QCOMPARE(f.opened, view ? QList<QUrl>{QUrl::fromLocalFile(log)} : QList<QUrl>());
        QCOMPARE(QFile::exists(log), kept);
        QCOMPARE(f.w->cmdViewLog->isEnabled(), kept);
        QCOMPARE(f.w->cmdDelLogfile->isEnabled(), kept);
        QCOMPARE(LogNr().isOpen(), answer == MsgResult::No);
        QVERIFY(f.errors.isEmpty());
    }

    void firstStart_data() {
        QTest::addColumn<int>("how"); // 0 OK, 1 Cancel, 2 Escape, 3 the close box
        QTest::newRow("OK") << 0;
        QTest::newRow("Cancel") << 1;
        QTest::newRow("Escape") << 2;
        QTest::newRow("close box") << 3;
    }
    void firstStart() {
        QFETCH(int, how);
        Wizard f;
        QVERIFY(f.names().isEmpty() && f.w->txtName->text().isEmpty() && aktiv.isEmpty());
        QVERIFY(f.w->chkSound->isChecked() && f.w->chkProgAnim->isChecked());
        QCOMPARE(SymbolZahl, 0); // nothing applied without a player
        QVERIFY(!QFile::exists(f.iniPath()));
        QVERIFY(f.show());
        if (how == 0)
            f.click(f.w->cmdOptOK);
        else if (how == 1)
            f.click(f.w->cmdCancel);
        else if (how == 2)
            QTest::keyClick(f.w->txtName, Qt::Key_Escape);
        else
            f.w->close();
        QVERIFY(!f.ini().contains("Benutzer") && !f.ini().contains("Sprache"));
        QCOMPARE(f.page(), 0);
        if (how == 0) { // OK asks for a name and stays
            QCOMPARE(f.shownMessages(), QStringList{msg(145, MsgIcon::Information, lang(146))});
            QVERIFY(f.w->isVisible() && !f.w->unloaded() && f.w->txtName->hasFocus());
        } else { // the others leave a window opened by mistake, saving nothing
            QVERIFY(f.messages.isEmpty());
            QVERIFY(!f.w->isVisible() && f.w->unloaded());
        }
    }

    void profileRoundTrip_data() {
        QTest::addColumn<QString>("profile");
        QTest::addColumn<QString>("record");
        QTest::newRow("all four, count mode, switches turned")
            << u"8 4 1000000000000000000000011 10000000000000000011 0 55 480 0011 2 2"_qs
            << u"kind 8 range 101-200 tasks 55 seconds 0 switches 0 0 -1 -1 -1 signs * ÷ "
               "list 2 20 0"_qs;
        QTest::newRow("addition, 300 seconds")
            << u"2 8 1000000000000000000000011 01000000000000000000 1 30 300 1100 1 1"_qs
            << u"kind 2 range 2-6 tasks 0 seconds 300 switches -1 -1 0 0 0 signs x / list"_qs;
        QTest::newRow("symbols keep the bound 9")
            << u"1 5 1000000000000000000000011 00000000000000000001 0 100 600 1001 0 1"_qs
            << u"kind 1 range 2-9 tasks 100 seconds 0 switches -1 0 -1 0 -1 signs · / "
               "list 0 23 24"_qs;
        QTest::newRow("division by 3, 20 and 0")
            << u"5 2 0000000000000000000000000 01000000000000000011 1 10 60 0110 1 0"_qs
            << u"kind 5 range 21-50 tasks 0 seconds 60 switches 0 -1 0 -1 -1 signs x : "
               "list 3 20 0"_qs;
    }
    void profileRoundTrip() {
        QFETCH(QString, profile);
        QFETCH(QString, record);
        const Profile p(profile);
        Wizard f(kBase);
        QVERIFY(f.show());
        frmUebung& w = *f.w;
        w.optAddition[p.range]->setChecked(true); // the range page comes before the kind page
        w.optUebung[p.kind]->setChecked(true);    // when stepping back
        for (int k = 0; k < 25; ++k)
            w.chkSymbol[k]->setChecked(p.symbols[k] == u'1');
        for (int i = 0; i < 20; ++i)
            w.chkFaktor[i]->setChecked(p.factors[i] == u'1');
        w.optAufgZeit[p.mode]->setChecked(true);
        w.vscAufgaben->setValue(110 - p.count);
        w.vscZeit->setValue(660 - p.seconds);
        w.chkProgAnim->setChecked(p.on(0));
        w.chkTipp->setChecked(p.on(1));
        w.chkNull->setChecked(p.on(2));
        w.chkLogfile->setChecked(p.on(3));
        w.optSignMul[p.mul]->setChecked(true);
        w.optSignDiv[p.div]->setChecked(true);
        QCOMPARE(describe(w),
                 profile + QString::asprintf(" bars %d %d", 110 - p.count, 660 - p.seconds));
        f.click(w.cmdOptOK);
        QVERIFY(w.unloaded());
        QCOMPARE(describeRecord(), record);
        QCOMPARE(f.section("Optionen"),
                 QString::asprintf("Sprache= 0\r\nPlaySound=-1\r\nSignMul= %ls\r\nSignDiv= %ls\r\n"
                                   "LogFile= %d\r\n",
                                   qUtf16Printable(mulSignOption(p.mul)),
                                   qUtf16Printable(divSignOption(p.div)), p.on(3))
                     .toUtf8());
        QCOMPARE(f.section("Anna"),
                 QString::asprintf("Uebung= %d\r\nMaxSum= %d\r\nSymbole=%ls\r\nFaktoren=%ls\r\n"
                                   "AufgZeit= %d\r\nZeit=%d\r\nAufgZahl=%d\r\nAnimation= %d\r\n"
                                   "Hilfe= %d\r\nNull= %d\r\n",
                                   p.kind, p.range, qUtf16Printable(p.symbols),
                                   qUtf16Printable(p.factors), p.mode, p.seconds, p.count, p.on(0),
                                   p.on(1), p.on(2))
                     .toUtf8());

        f.reload(); // hidden: loaded and applied
        QString loaded = profile;
        if (p.kind < 2)
            loaded[2] = u'7'; // the range is not read for counting: the fresh window's option stays
        QCOMPARE(describe(*f.w),
                 loaded + QString::asprintf(" bars %d %d", 110 - p.count, 660 - p.seconds));
        QCOMPARE(describeRecord(), record);
        QVERIFY(f.messages.isEmpty() && f.errors.isEmpty());
    }

    // The number pad is off for a player without its key; ticked on the last page it is stored
    // in the player's section and loaded again.
    void numberPadTickBox() {
        Wizard f(kBase);
        QVERIFY(!f.w->chkZiffernblock->isChecked());
        QCOMPARE(Ziffernblock, kFalse);
        QVERIFY(f.show());
        f.w->chkZiffernblock->setChecked(true);
        f.click(f.w->cmdOptOK);
        QCOMPARE(Ziffernblock, kTrue);
        QCOMPARE(f.section("Anna"), crlf(kAnna + "Ziffernblock= 1\n"));
        f.reload();
        QVERIFY(f.w->chkZiffernblock->isChecked());
        QCOMPARE(Ziffernblock, kTrue);
    }

    // The tricky-tasks box sits on the range page and on the factor page and shows the same
    // on both; it is off without its key and stored once ticked.
    void trickyTasksTickBox() {
        Wizard f(kBase);
        QVERIFY(!f.w->chkKnifflig[0]->isChecked());
        QVERIFY(f.show());
        f.w->chkKnifflig[1]->setChecked(true);
        QVERIFY(f.w->chkKnifflig[0]->isChecked());
        f.click(f.w->cmdOptOK);
        QCOMPARE(Knifflig, kTrue);
        QCOMPARE(f.section("Anna"), crlf(kAnna + "Knifflig= 1\n"));
        f.reload();
        QVERIFY(f.w->chkKnifflig[1]->isChecked());
    }

    // Read-aloud likewise; the voice is asked for only on the last page a parent sees (never
    // while the window loads hidden at start-up), and without one the note says so.
    void readAloudTickBox() {
        Wizard f(kBase);
        QVERIFY(!f.w->chkVorlesen->isChecked());
        QVERIFY(f.show());
        f.nextTo(6);
        QCOMPARE(f.page(), 6);
        QVERIFY(f.speech.asked.isEmpty());
        f.click(f.w->chkVorlesen);
        QCOMPARE(f.speech.asked.size(), 1);
        QVERIFY(!f.w->lblKeineStimme->isVisible());
        f.speech.answerVoices(false);
        QVERIFY(f.w->lblKeineStimme->isVisible());
        QCOMPARE(f.w->lblKeineStimme->text(), langText(291));
        f.click(f.w->cmdOptOK);
        QCOMPARE(Vorlesen, kTrue);
        QCOMPARE(f.section("Anna"), crlf(kAnna + "Vorlesen= 1\n"));
        f.reload();
        QVERIFY(f.w->chkVorlesen->isChecked());
        QCOMPARE(Vorlesen, kTrue);
        QVERIFY(f.speech.asked.isEmpty());
    }

    void shortStoredTickStrings() {
        // Nothing stored for Anna but a short symbol string: defaults everywhere else.
        Wizard f("[Optionen]\nPlaySound=-1\n[Benutzer]\nName1=Anna\naktiv=Anna\n[Anna]\n"
                 "Symbole=101101010\n");
        QCOMPARE(describeRecord(),
                 u"kind 0 range 2-9 tasks 10 seconds 0 switches -1 -1 0 0 0 signs · : "
                 "list 0 2 3 5 7"_qs);
        QVERIFY(f.show());
        f.click(f.w->cmdOptOK);
        QVERIFY(f.w->unloaded());
        QCOMPARE(f.section("Anna"),
                 crlf("Symbole=1011010100000000000000000\nUebung= 0\nMaxSum= 7\n"
                      "Faktoren=00110101000100000000\nAufgZeit= 0\nZeit=120\nAufgZahl=10\n"
                      "Animation= 1\nHilfe= 1\nNull= 0\n"));
    }

    void defaultSigns_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("loaded");
        QTest::addColumn<QString>("applied");
        QTest::newRow("German: the dot is replaced") << 0 << u" • :"_qs << u" · :"_qs;
        QTest::newRow("English") << 1000 << u" x ÷"_qs << u" x ÷"_qs;
    }
    void defaultSigns() {
        QFETCH(int, language);
        QFETCH(QString, loaded);
        QFETCH(QString, applied);
        Wizard f("[Benutzer]\nName1=Anna\n", language); // nobody active: nothing applied
        QCOMPARE(SignMul + SignDiv, loaded);
        QVERIFY(!f.ini().contains("Sign"));
        SaveIni(QStringLiteral("Benutzer"), QStringLiteral("aktiv"), QStringLiteral("Anna"));
        f.reload();
        QCOMPARE(SignMul + SignDiv, applied);
        // Saving from the hidden window stores the language, not the profile.
        QCOMPARE(f.section("Optionen"),
                 QString::asprintf("Sprache= %d\r\nSignMul=%ls\r\nSignDiv=%ls\r\n", language,
                                   qUtf16Printable(SignMul), qUtf16Printable(SignDiv))
                     .toUtf8());
        QVERIFY(f.section("Anna").isEmpty());
    }

    // However a player is chosen in the list, that player is loaded, and deleting removes that
    // player completely: section and list entry, after a question that defaults to No.
    void deletingAChosenPlayer_data() {
        QTest::addColumn<int>("how"); // 0 mouse click, 1 arrow key, 2 press on Anna, release on Ben
        QTest::addColumn<MsgResult>("answer");
        QTest::newRow("click, Yes") << 0 << MsgResult::Yes;
        QTest::newRow("arrow key, Yes") << 1 << MsgResult::Yes;
        QTest::newRow("arrow key, No") << 1 << MsgResult::No;
        QTest::newRow("dragged, Yes") << 2 << MsgResult::Yes;
    }
    void deletingAChosenPlayer() {
        QFETCH(int, how);
        QFETCH(MsgResult, answer);
        Wizard f(kBase);
        QVERIFY(f.show());
        QCOMPARE(aktiv, u"Anna"_qs);
        QListWidget* list = f.w->lstName;
        if (how == 0) {
            f.clickName(u"Ben"_qs);
        } else if (how == 1) {
            list->setFocus();
            QTest::keyClick(list, Qt::Key_Down);
        } else {
            const QPoint anna = list->visualItemRect(list->item(0)).center();
            const QPoint ben = list->visualItemRect(list->item(1)).center();
            QTest::mousePress(list->viewport(), Qt::LeftButton, {}, anna);
            QMouseEvent move(QEvent::MouseMove, ben, list->viewport()->mapToGlobal(ben),
                             Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(list->viewport(), &move);
            QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, ben);
        }
        QCOMPARE(list->selectedItems().value(0)->text(), u"Ben"_qs);
        QCOMPARE(aktiv, u"Ben"_qs);
        QCOMPARE(f.w->txtName->text(), u"Ben"_qs);
        QCOMPARE(Uebung, 5);
        f.answers = {answer};
        f.click(f.w->cmdDelEntry);
        QCOMPARE(f.messages.size(), 1);
        QCOMPARE(f.messages[0].text, lang(201).arg(u"Ben"_qs));
        QCOMPARE(f.messages[0].buttons, MsgButtons::YesNo);
        QCOMPARE(f.messages[0].defaultButton, MsgResult::No);
        QByteArray expected = kBase;
        if (answer == MsgResult::Yes) {
            expected.replace("[Ben]\nUebung= 5\n", "").replace("Name2=Ben\n", "");
            QCOMPARE(f.names(), QStringList{u"Anna"_qs});
        } else {
            QCOMPARE(f.names(), (QStringList{u"Anna"_qs, u"Ben"_qs}));
        }
        QCOMPARE(f.ini(), crlf(expected));
    }

    // Deleting the last player leaves no active player behind, and the window can be left.
    void deletingTheLastPlayer() {
        Wizard f("[Optionen]\nPlaySound=-1\n[Benutzer]\nName1=Anna\naktiv=Anna\n[Anna]\n" + kAnna);
        QVERIFY(f.show());
        f.clickName(u"Anna"_qs);
        f.click(f.w->cmdDelEntry); // answered Yes
        QVERIFY(f.names().isEmpty() && f.w->txtName->text().isEmpty() && aktiv.isEmpty());
        const QByteArray left = f.ini();
        QVERIFY(left.endsWith("[Benutzer]\r\n") && !left.contains("Anna"));
        f.click(f.w->cmdCancel);
        QVERIFY(f.w->unloaded() && f.messages.size() == 1);
        QCOMPARE(f.ini(), left);
    }

    // The sections of Kalmix's own are no player names: they are refused, however they are
    // spelled, and a player of such a name from an older file is deleted without them.
    void reservedNames_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("how"); // 0 leaving the box, 1 Enter (Next), 2 OK
        QTest::newRow("Optionen, leaving the box") << u"Optionen"_qs << 0;
        QTest::newRow("BENUTZER, Next") << u"BENUTZER"_qs << 1;
        QTest::newRow("optionen, OK") << u"optionen"_qs << 2;
        // A name the settings file would not give back whole.
        const QString tooLong = u"Maximiliane-Charlotte von Hohenstein-Ber"_qs + u'g';
        QTest::newRow("41 letters, leaving the box") << tooLong << 0;
        QTest::newRow("41 letters, Next") << tooLong << 1;
        QTest::newRow("41 letters, OK") << tooLong << 2;
    }
    void reservedNames() {
        QFETCH(QString, typed);
        QFETCH(int, how);
        Wizard f(kBase);
        QVERIFY(f.show());
        f.w->txtName->clear();
        QTest::keyClicks(f.w->txtName, typed); // "BENUTZER" completes to "BenUTZER"
        const QString name = f.w->txtName->text();
        if (how < 2)
            QTest::keyClick(f.w->txtName, how == 0 ? Qt::Key_Tab : Qt::Key_Return);
        else
            f.click(f.w->cmdOptOK);
        const bool tooLong = typed.size() > 40;
        const QString text = tooLong ? lang(235).arg(40) : lang(202).arg(name);
        QCOMPARE(f.shownMessages(),
                 QStringList{message(text, u"Kalmix"_qs, MsgIcon::Exclamation, false)});
        if (tooLong) // the box keeps what fits
            QCOMPARE(f.w->txtName->text(), typed.left(40));
        if (how != 2) // OK goes on with the name the box was given back
            QVERIFY(f.page() == 0 && f.w->isVisible());
        if (tooLong && how == 2) { // here the name that fits
            QCOMPARE(f.names(), (QStringList{u"Anna"_qs, u"Ben"_qs, typed.left(40)}));
            QCOMPARE(GetIniString(typed.left(40), u"AufgZahl"_qs, {}), u"10"_qs);
            return;
        }
        QCOMPARE(f.names(), (QStringList{u"Anna"_qs, u"Ben"_qs}));
        QCOMPARE(f.ini(), crlf(kBase));

        // An old file's player "Optionen": deleting it keeps the shared options.
        QByteArray old = kBase;
        old.replace("Name2=Ben\n", "Name2=Ben\nName3=Optionen\n");
        Wizard g(old);
        QVERIFY(g.show());
        g.clickName(u"Optionen"_qs);
        g.answers = {MsgResult::Yes};
        g.click(g.w->cmdDelEntry);
        old.replace("Name3=Optionen\n", "");
        QCOMPARE(g.ini(), crlf(old));
    }

    // A hand-edited name with "]": its section is read back under the whole name, and OK
    // writes into it instead of adding another one each time.
    void bracketInAStoredName() {
        Wizard f("[Optionen]\nSprache= 0\n[Benutzer]\nName1=a]b\naktiv=a]b\n[a]b]\nUebung= 3\n"
                 "MaxSum= 3\n");
        QCOMPARE(describeRecord().left(20), u"kind 3 range 31-100 "_qs);
        for (int i = 0; i < 2; ++i) {
            QVERIFY(f.show());
            f.click(f.w->cmdOptOK);
            QVERIFY(f.w->unloaded());
            f.reload();
        }
        QCOMPARE(f.ini().count("[a]b]"), 1);
        QCOMPARE(f.ini().count("Uebung"), 1);
        QCOMPARE(int(Uebung), 3);
    }

    // Enter presses the focused button, on every page; elsewhere it presses Next.
    void enterPressesTheFocusedButton_data() {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("OK on page 6") << 6 << u"cmdOptOK"_qs << u"unloaded, page 0"_qs;
        QTest::newRow("Cancel on page 1") << 1 << u"cmdCancel"_qs << u"unloaded, page 0"_qs;
        QTest::newRow("Back on page 3") << 3 << u"cmdZurueck"_qs << u"shown, page 1"_qs;
        QTest::newRow("Delete on page 0") << 0 << u"cmdDelEntry"_qs << u"shown, page 0, asked"_qs;
        QTest::newRow("a tick box on page 3") << 3 << u"chkNull"_qs << u"shown, page 5"_qs;
    }
    void enterPressesTheFocusedButton() {
        QFETCH(int, page);
        QFETCH(QString, button);
        QFETCH(QString, outcome);
        Wizard f(kBase);
        QVERIFY(f.show());
        f.nextTo(page);
        auto* target = f.w->findChild<QWidget*>(button);
        target->setFocus();
        f.answers = {MsgResult::No};
        QTest::keyClick(target, Qt::Key_Return);
        QString seen = QStringLiteral("%1, page %2")
                           .arg(f.w->unloaded() ? u"unloaded"_qs : u"shown"_qs)
                           .arg(f.page());
        if (!f.messages.isEmpty())
            seen += u", asked"_qs;
        QCOMPARE(seen, outcome);
    }

    // The task count and the seconds can be typed; the bars move a page at a click between
    // their arrows.
    void typedNumbers_data() {
        QTest::addColumn<bool>("seconds");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("bar");
        QTest::addColumn<QString>("warning"); // the range named by the message, if any
        QTest::newRow("50 tasks") << false << u"50"_qs << u"50"_qs << 60 << QString();
        QTest::newRow("5 tasks") << false << u"5"_qs << u"10"_qs << 100 << u"10 100"_qs;
        QTest::newRow("no tasks") << false << QString() << u"10"_qs << 100 << u"10 100"_qs;
        QTest::newRow("300 seconds") << true << u"300"_qs << u"300"_qs << 360 << QString();
        QTest::newRow("700 seconds") << true << u"700"_qs << u"120"_qs << 540 << u"60 600"_qs;
        QTest::newRow("letters cannot be typed")
            << true << u"x"_qs << u"120"_qs << 540 << QString();
    }
    void typedNumbers() {
        QFETCH(bool, seconds);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(int, bar);
        QFETCH(QString, warning);
        Wizard f(kBase);
        QVERIFY(f.show());
        f.nextTo(5);
        QLineEdit* box = seconds ? f.w->txtZeit : f.w->txtAufgaben;
        QScrollBar* scroll = seconds ? f.w->vscZeit : f.w->vscAufgaben;
        box->setFocus();
        box->selectAll();
        if (typed.isEmpty())
            QTest::keyClick(box, Qt::Key_Delete);
        QTest::keyClicks(box, typed);
        f.click(f.w->cmdWeiter);
        QCOMPARE(box->text(), shown);
        QCOMPARE(scroll->value(), bar);
        const QStringList lowHigh = warning.split(u' ');
        QCOMPARE(f.shownMessages(),
                 warning.isEmpty()
                     ? QStringList()
                     : QStringList{message(lang(203).arg(lowHigh[0], lowHigh[1]), u"Kalmix"_qs,
                                           MsgIcon::Exclamation, false)});
        if (warning.isEmpty()) {
            f.click(f.w->cmdOptOK);
            QCOMPARE(GetIniString(u"Anna"_qs, seconds ? u"Zeit"_qs : u"AufgZahl"_qs, {}), shown);
        } else { // a click in the trough above the thumb: one page up
            f.click(f.w->cmdZurueck);
            scroll->setValue(scroll->maximum());
            QTest::mouseClick(scroll, Qt::LeftButton, {},
                              QPoint(scroll->width() / 2, scroll->height() / 4));
            QCOMPARE(box->text(), seconds ? u"120"_qs : u"20"_qs);
        }
    }

    // Without a viewer for text files on the desktop, Kalmix shows the log in a window of its own.
    void logWithoutAViewer() {
        Wizard f(kBase);
        f.writeFile(QStringLiteral("Kalmix_Log.txt"),
                    "14.03.2026  Anna\r\n3 + 4 =   7  richtig\r\n");
        setShellOpenHook([](const QUrl&) { return false; });
        QVERIFY(f.show());
        f.nextTo(6);
        f.click(f.w->cmdViewLog);
        auto* viewer = f.w->findChild<LogViewer*>();
        QVERIFY(viewer && viewer->isVisible());
        QCOMPARE(viewer->text->toPlainText(), u"14.03.2026  Anna\n3 + 4 =   7  richtig\n"_qs);
        QVERIFY(viewer->text->isReadOnly());
        QVERIFY(QFontInfo(viewer->text->font()).fixedPitch());
        QVERIFY(f.messages.isEmpty() && f.errors.isEmpty());
    }

    void badStoredValues_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QStringList>("reported"); // errors and messages of the load
        QTest::addColumn<QByteArray>("written");   // part of the profile saved afterwards
        const QStringList badBar{u"error 380 in frmUebung.BenutzerLaden"_qs};
        const QStringList badIndex{u"error 9 in frmUebung.BenutzerLaden"_qs};
        QTest::newRow("count 5") << QByteArray("AufgZahl=5") << badBar << QByteArray();
        QTest::newRow("count 500") << QByteArray("AufgZahl=500") << badBar << QByteArray();
        QTest::newRow("count no number") << QByteArray("AufgZahl=zehn") << badBar << QByteArray();
        QTest::newRow("seconds 30") << QByteArray("Zeit=30") << badBar << QByteArray();
        QTest::newRow("kind 12") << QByteArray("Uebung=12") << badIndex << QByteArray();
        QTest::newRow("range option 9")
            << QByteArray("Uebung=2\nMaxSum=9") << badIndex << QByteArray();
        QTest::newRow("range option 9 unread for counting")
            << QByteArray("Uebung=0\nMaxSum=9") << QStringList() << QByteArray();
        QTest::newRow("other characters in tick strings")
            << QByteArray("Uebung=5\nSymbole=1x1?1 01\nFaktoren=ab1-1") << QStringList()
            << QByteArray("Symbole=1010100100000000000000000\r\nFaktoren=00101000000000000000");
        QTest::newRow("no factor for division")
            << QByteArray("Uebung=5\nFaktoren=0000") << QStringList{msg(176, MsgIcon::Exclamation)}
            << QByteArray();
    }
    void badStoredValues() {
        QFETCH(QByteArray, stored);
        QFETCH(QStringList, reported);
        QFETCH(QByteArray, written);
        Wizard f("[Optionen]\nPlaySound=-1\n[Benutzer]\nName1=Anna\naktiv=Anna\n[Anna]\n" + stored +
                 "\n");
        QStringList seen = f.shownMessages();
        for (const test::Reported& e : f.errors)
            seen << QString::asprintf("error %d in %ls.%ls", e.number, qUtf16Printable(e.module),
                                      qUtf16Printable(e.procedure));
        QCOMPARE(seen, reported);

        // The window still works: on to the kinds, subtraction, OK.
        QVERIFY(f.show());
        f.click(f.w->cmdWeiter);
        QCOMPARE(f.page(), 1);
        f.click(f.w->optUebung[3]);
        f.click(f.w->cmdOptOK);
        QVERIFY(f.w->unloaded());
        QCOMPARE(GetIniInt(QStringLiteral("Anna"), QStringLiteral("Uebung"), -1), 3);
        QVERIFY(f.section("Anna").contains(written));
    }
};

QTEST_MAIN(TestFrmUebung)
#include "tst_frmuebung.moc"
