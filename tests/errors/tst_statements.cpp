// Each row makes one numbered statement of a procedure fail, answers the error with "go on with
// the next statement", and checks that exactly the step of that number was skipped: its effect
// is missing while the steps around it took place. So an error report's statement number points
// at the right step.
#include "errors/procedure.h"
#include "services/lang.h"
#include "services/resfiles.h"
#include "support/fakes.h"
#include "support/testenv.h"

#include <QFileInfo>
#include <QTest>
#include <functional>

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
QList<Row> mainWindowRows() {
    return {};
}

// ---------------------------------------------------------------- the settings window's
QList<Row> settingsWindowRows() {
    return {};
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
