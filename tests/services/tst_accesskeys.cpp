// Access keys and typography of the shipped language file, checked on the real windows: a key
// that two controls on screen share only moves the focus between them and presses nothing.
#include "main/frmkalmix.h"
#include "profiles/record.h"
#include "profiles/settingsfile.h"
#include "services/codepage.h"
#include "services/lang.h"
#include "services/resfiles.h"
#include "settings/frmuebung.h"
#include "support/testenv.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QKeySequence>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSet>

#include <QTest>
#include <algorithm>

using namespace kalmix;
using kalmix::test::TestEnv;

namespace {

// The shipped language file as key -> text; the first entry of a key is the one read.
QMap<QString, QString> shippedTexts() {
    QMap<QString, QString> texts;
    const QString file = fromCp1252(loadResource(QStringLiteral("CUSTOM"), 1000).chopped(3));
    for (const QString& line : file.split(QStringLiteral("\r\n")).mid(1)) {
        if (!line.isEmpty() && !texts.contains(line.left(4)))
            texts.insert(line.left(4), line.mid(7));
    }
    return texts;
}

// Reports every access key that more than one of the captions carries, unless all of them are
// among the fixed captions.
QStringList clashes(const QStringList& captions, const QSet<QString>& fixed = {}) {
    QMap<QKeySequence, QStringList> byKey;
    for (const QString& caption : captions) {
        const QKeySequence key = QKeySequence::mnemonic(caption);
        if (!key.isEmpty())
            byKey[key].append(caption);
    }
    QStringList found;
    for (const QStringList& same : std::as_const(byKey)) {
        const bool allFixed = std::all_of(same.begin(), same.end(),
                                          [&](const QString& c) { return fixed.contains(c); });
        if (same.size() > 1 && !allFixed)
            found.append(same.join(QStringLiteral(" / ")));
    }
    return found;
}

QStringList buttonTexts(const QWidget* page) {
    QStringList texts;
    for (const QAbstractButton* b : page->findChildren<QAbstractButton*>()) {
        if (!b->isHidden())
            texts.append(b->text());
    }
    return texts;
}

} // namespace

class TestAccessKeys : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        TestEnv env;
        WriteLanguageCopy();
    }
    void wholeFileRules();
    void clashedKeysPressTheirControl();
};

void TestAccessKeys::wholeFileRules() {
    const QMap<QString, QString> texts = shippedTexts();
    QStringList faults;
    for (auto it = texts.cbegin(); it != texts.cend(); ++it) {
        const QString& text = it.value();
        const QString english = texts.value(u'1' + it.key().mid(1));
        if (text.count(u'&') != english.count(u'&'))
            faults.append(it.key() + QStringLiteral(" has not the access keys of English"));
        // French puts a no-break space before ? ! : ; so the mark never starts a line.
        static const QRegularExpression looseMark(QStringLiteral(" [?!:;]"));
        if (it.key().startsWith(u'6') && text.contains(looseMark))
            faults.append(it.key() + QStringLiteral(" has an ordinary space before a mark"));
    }

    // A language's default signs are among those the settings window offers, or the window
    // saves its first option instead of them (German keeps its own bullet).
    for (int lang = 1; lang <= 6; ++lang) {
        const QString mul = texts.value(QString::number(lang) + u"183"_qs);
        const QString div = texts.value(QString::number(lang) + u"184"_qs);
        bool mulOffered = false, divOffered = false;
        for (int i = 0; i < 3; ++i) {
            mulOffered = mulOffered || mulSignOption(i) == mul;
            divOffered = divOffered || divSignOption(i) == div;
        }
        if (!mulOffered || !divOffered)
            faults.append(
                QStringLiteral("language %1: signs %2 %3 not offered").arg(lang).arg(mul, div));
    }

    // Every page of the settings window and the help menu. The German and English wordings of
    // the texts up to 192 are fixed as they are, clashes and all; a later text must not clash
    // with them either.
    TestEnv env;
    frmKalmix window;
    frmUebung& wizard = window.uebung();
    const QList<QPushButton*> always = {wizard.cmdZurueck, wizard.cmdWeiter, wizard.cmdCancel,
                                        wizard.cmdOptOK};
    for (int lang = 0; lang <= 6; ++lang) {
        QSet<QString> fixed;
        if (lang <= 1) {
            fixed.insert(QStringLiteral("&OK"));
            fixed.insert(window.mnuHomepage->text());
            for (auto it = texts.cbegin(); it != texts.cend(); ++it) {
                if (it.key().startsWith(QString::number(lang)) && it.key().mid(1).toInt() <= 192)
                    fixed.insert(it.value());
            }
        }
        SprachBasis = static_cast<std::int16_t>(lang * 1000);
        window.Sprache();
        wizard.Sprache();
        QStringList menu;
        for (const QAction* a : window.mnuHilfe->actions())
            menu.append(a->text());
        for (const QString& c : clashes(menu, fixed))
            faults.append(QStringLiteral("language %1, help menu: %2").arg(lang).arg(c));
        for (int page = 0; page < 7; ++page) {
            QStringList captions = buttonTexts(wizard.fraDialog[page]);
            for (const QPushButton* b : always)
                captions.append(b->text());
            for (const QString& c : clashes(captions, fixed))
                faults.append(
                    QStringLiteral("language %1, page %2: %3").arg(lang).arg(page).arg(c));
        }
    }
    SprachBasis = 0;
    for (const QString& fault : std::as_const(faults))
        qWarning("%ls", qUtf16Printable(fault));
    QVERIFY(faults.isEmpty());
}

void TestAccessKeys::clashedKeysPressTheirControl() {
    // Swedish Alt+E chooses the seconds; French Alt+S is Next, on the page of sound and game end.
    struct Case {
        int lang;
        Qt::Key key;
        QAbstractButton* (*control)(frmUebung&);
    };
    const Case cases[] = {
        {2000, Qt::Key_E, [](frmUebung& w) -> QAbstractButton* { return w.optAufgZeit[1]; }},
        {2000, Qt::Key_L, [](frmUebung& w) -> QAbstractButton* { return w.chkSound; }},
        {6000, Qt::Key_S, [](frmUebung& w) -> QAbstractButton* { return w.cmdWeiter; }},
        {6000, Qt::Key_F, [](frmUebung& w) -> QAbstractButton* { return w.chkSound; }},
    };
    QStringList dead;
    for (const Case& c : cases) {
        TestEnv env;
        env.writeFile(QStringLiteral("Kalmix.ini"),
                      "[Benutzer]\r\nName1=Anna\r\naktiv=Anna\r\n[Anna]\r\nUebung= 3\r\n");
        SprachBasis = static_cast<std::int16_t>(c.lang);
        aktiv = QStringLiteral("Anna");
        {
            frmUebung w;
            w.show();
            QVERIFY(QTest::qWaitForWindowActive(&w));
            for (int i = 0; i < 6 && w.Seite != 5; ++i)
                w.cmdWeiter_Click();
            QCOMPARE(w.Seite, 5);
            QAbstractButton* control = c.control(w);
            QTest::keyClick(&w, c.key, Qt::AltModifier);
            // The key of one control presses it at once; the click follows the press.
            if (!control->isDown())
                dead.append(control->text());
        }
        resetRecord();
        aktiv.clear();
    }
    SprachBasis = 0;
    QVERIFY2(dead.isEmpty(), qPrintable(dead.join(QStringLiteral(", "))));
}

QTEST_MAIN(TestAccessKeys)
#include "tst_accesskeys.moc"
