// Each row makes one numbered statement of a procedure fail, answers the error with "go on with
// the next statement", and checks that exactly the step of that number was skipped: its effect
// is missing while the steps around it took place. So an error report's statement number points
// at the right step.
#include "errors/procedure.h"
#include "main/frmkalmix.h"
#include "services/lang.h"
#include "services/settings.h"
#include "services/twips.h"
#include "support/fakes.h"
#include "support/testenv.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>
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
QList<Row> settingsWindowRows() {
    return {};
}

// ---------------------------------------------------------------- the shared services'
QList<Row> serviceRows() {
    return {};
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
