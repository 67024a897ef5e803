// Each row makes one numbered statement of a procedure fail, answers the error with "go on with
// the next statement", and checks that exactly the step of that number was skipped: its effect
// is missing while the steps around it took place. So an error report's statement number points
// at the right step.
#include "main/frmkalmix.h"
#include "profiles/record.h"
#include "profiles/settingsfile.h"
#include "services/lang.h"
#include "services/procedure.h"
#include "services/resfiles.h"
#include "services/twips.h"
#include "settings/frmuebung.h"
#include "support/fakes.h"
#include "support/testenv.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <functional>
#include <memory>

using namespace kalmix;
using namespace kalmix::test;

namespace {

struct Row {
    const char* module;
    const char* procedure;
    int line;
    // Runs the procedure in a fresh environment and returns an empty text when the step of
    // that number, and only it, was skipped; otherwise what was seen instead.
    std::function<QString(TestEnv&)> run;
};

// ---------------------------------------------------------------- the main window's procedures
// A main window in the test's program directory, German, with the record of a typical player.
std::unique_ptr<frmKalmix> mainWindow(bool shown) {
    WriteLanguageCopy();
    SprachBasis = 0;
    auto window = std::make_unique<frmKalmix>();
    if (shown)
        window->show();
    return window;
}

QList<Row> mainWindowRows() {
    const auto seen = [](bool ok, const char* what) {
        return ok ? QString() : QString::fromLatin1(what);
    };
    return {
        {"frmKalmix", "Form_Load", 8,
         [seen](TestEnv&) -> QString {
             SaveIni(QStringLiteral("Optionen"), QStringLiteral("Sprache"),
                     QStringLiteral(" 1000"));
             const auto w = mainWindow(false);
             return seen(SprachBasis == 0, "step 8 read the language") +
                    seen(w->imgSymbolX[1]->x() > w->imgSymbolX[0]->x(), "step 7 missing") +
                    seen(!QApplication::overrideCursor(), "step 10 missing");
         }},
        {"frmKalmix", "Sprache", 7,
         [seen](TestEnv&) -> QString {
             const auto w = mainWindow(false);
             return seen(w->PicBut[0]->toolTip().isEmpty(), "step 7 set a tooltip") +
                    seen(w->mnuUeber->text() == GetLang(123), "step 6 missing") +
                    seen(w->PicBut[1]->toolTip() == GetLang(111), "step 8 missing");
         }},
        {"frmKalmix", "Form_Resize", 7,
         [seen](TestEnv&) -> QString {
             const auto w = mainWindow(true);
             return seen(w->lblButBack->pos() == QPoint(px(8160), px(1080)),
                         "step 7 moved the panel") +
                    seen(w->picTafel->pos() != QPoint(), "step 3 missing") +
                    seen(w->lblNumber->pos() != QPoint(px(8280), px(2280)), "step 8 missing");
         }},
    };
}

// ---------------------------------------------------------------- the settings window's
// Anna is the active player, with a profile that differs from a fresh window's controls.
// Without an active player the hidden window applies nothing while it loads.
std::unique_ptr<frmUebung> settingsWindow(TestEnv& env, bool active = true) {
    env.writeFile(QStringLiteral("Kalmix.ini"),
                  "[Optionen]\r\nPlaySound=-1\r\n[Benutzer]\r\nName1=Anna\r\naktiv=Anna\r\n"
                  "[Anna]\r\nUebung= 2\r\nAufgZahl=50\r\nAnimation= 0\r\n");
    WriteLanguageCopy();
    resetRecord();
    aktiv = active ? QStringLiteral("Anna") : QString();
    return std::make_unique<frmUebung>();
}

// The window shown on one page, as if the wizard had got there.
void showOnPage(frmUebung& w, int page) {
    w.show();
    w.fraDialog[w.Seite]->hide();
    w.Seite = page;
    w.fraDialog[page]->show();
}

QString seenUnless(bool ok, const QString& seen) {
    return ok ? QString() : seen;
}

QList<Row> settingsWindowRows() {
    return {
        {"frmUebung", "Form_Load", 1,
         [](TestEnv& env) { // no list, but Anna loaded and the texts put on
             auto w = settingsWindow(env);
             return seenUnless(w->lstName->count() == 0 && w->txtName->text() == u"Anna"_qs &&
                                   !w->windowTitle().isEmpty(),
                               QStringLiteral("list %1, name %2, title %3")
                                   .arg(w->lstName->count())
                                   .arg(w->txtName->text(), w->windowTitle()));
         }},
        {"frmUebung", "BenutzerLaden", 9,
         [](TestEnv& env) { // the switches kept, but the bars set and the profile applied
             auto w = settingsWindow(env);
             return seenUnless(w->chkProgAnim->isChecked() && w->vscAufgaben->value() == 60 &&
                                   MinSum == 2,
                               QStringLiteral("animation %1, bar %2, MinSum %3")
                                   .arg(w->chkProgAnim->isChecked())
                                   .arg(w->vscAufgaben->value())
                                   .arg(MinSum));
         }},
        {"frmUebung", "cmdWeiter_Click", 4,
         [](TestEnv& env) { // Next on page 5 stays there, but the page is shown again
             auto w = settingsWindow(env);
             showOnPage(*w, 5);
             QTest::mouseClick(w->cmdWeiter, Qt::LeftButton);
             return seenUnless(w->Seite == 5 && w->fraDialog[5]->isVisible() &&
                                   w->cmdZurueck->isEnabled() && w->cmdWeiter->isEnabled(),
                               QStringLiteral("page %1").arg(w->Seite));
         }},
        {"frmUebung", "cmdOptOK_Click", 6,
         [](TestEnv& env) { // OK on page 3 leaves without showing page 0 again
             auto w = settingsWindow(env, false);
             showOnPage(*w, 3);
             w->txtName->setText(QStringLiteral("Anna"));
             QTest::mouseClick(w->cmdOptOK, Qt::LeftButton);
             return seenUnless(w->Seite == 0 && w->fraDialog[3]->isHidden() &&
                                   w->fraDialog[0]->isHidden() && w->unloaded(),
                               QStringLiteral("page %1, first page %2, unloaded %3")
                                   .arg(w->Seite)
                                   .arg(w->fraDialog[0]->isHidden() ? "hidden" : "shown")
                                   .arg(w->unloaded()));
         }},
    };
}

// ---------------------------------------------------------------- the shared services'
QList<Row> serviceRows() {
    return {
        {"ModResFiles", "SaveResItemToDisk", 3,
         [](TestEnv& env) {
             // Opened and closed, but nothing written: an empty file in its place.
             const QString path = env.path(QStringLiteral("copy.lng"));
             SaveResItemToDisk(1000, QStringLiteral("CUSTOM"), path);
             const QFileInfo file(path);
             return file.exists() && file.size() == 0
                        ? QString()
                        : QStringLiteral("file of %1 bytes").arg(file.exists() ? file.size() : -1);
         }},
        {"Allgemein", "GetLang", 2,
         [](TestEnv&) {
             // The text is not read; the next call reads it again.
             WriteLanguageCopy();
             const QString skipped = GetLang(1124);
             const QString next = GetLang(1124);
             return skipped.isEmpty() && next == QStringLiteral("Really end game?")
                        ? QString()
                        : skipped + u'|' + next;
         }},
        {"Allgemein", "GetTempDir", 2,
         [](TestEnv&) {
             // The system is not asked: the buffer holds no path.
             const QString skipped = GetTempDir();
             const QString next = GetTempDir();
             return skipped.isEmpty() && next.endsWith(u'/') ? QString() : skipped + u'|' + next;
         }},
    };
}

} // namespace

class TestStatements : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void skippedStepIsTheNumberedOne() {
        QList<Row> rows = mainWindowRows() + settingsWindowRows() + serviceRows();
        for (const Row& row : rows) {
            TestEnv env;
            env.errorAnswer = ActionIgnore;
            bool injected = false;
            setFaultInjector([&](const char* m, const char* p, int line) {
                const bool hit = !injected && qstrcmp(m, row.module) == 0 &&
                                 qstrcmp(p, row.procedure) == 0 && line == row.line;
                injected = injected || hit;
                return hit;
            });
            const QString seen = row.run(env);
            setFaultInjector(nullptr);
            const QString where = QStringLiteral("%1.%2 statement %3")
                                      .arg(QLatin1String(row.module), QLatin1String(row.procedure))
                                      .arg(row.line);
            QVERIFY2(injected, qPrintable(where + QStringLiteral(": never ran")));
            QVERIFY2(seen.isEmpty(), qPrintable(where + QStringLiteral(": ") + seen));
        }
    }
};

QTEST_MAIN(TestStatements)
#include "tst_statements.moc"
