#include "services/procedure.h"
#include "services/runtimeerror.h"
#include "support/testenv.h"

#include <QTest>
#include <stdexcept>

using namespace kalmix;
using kalmix::test::TestEnv;

namespace {

// A procedure of three statements whose second one fails `failures` times.
struct Sample {
    QStringList ran;
    int failures = 1;
    int result = 0;
    bool completed = false;

    int call() {
        completed = Procedure("Allgemein", "Sample")
                        .run({
                            [&] {
                                ran << QStringLiteral("1");
                                result = 10;
                            },
                            [&] {
                                ran << QStringLiteral("2");
                                if (failures-- > 0)
                                    raiseError(ErrNr::DivisionByZero);
                                result = 20;
                            },
                            [&] {
                                ran << QStringLiteral("3");
                                result += 1;
                            },
                        });
        return result;
    }
};

} // namespace

class TestProcedure : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void retryRunsTheStatementAgain();
    void ignoreGoesOnWithTheNextStatement();
    void leaveReturnsWhatWasAssigned();
    void endEndsTheProgram();
    void reportCarriesPlaceAndError();
    void innerProceduresHandleTheirOwnErrors();
    void unguardedCalleesReportToTheirCaller();
    void otherExceptionsAreReported();
};

void TestProcedure::retryRunsTheStatementAgain() {
    TestEnv env;
    env.errorAnswer = ActionRetry;
    Sample s;
    s.failures = 2;
    QCOMPARE(s.call(), 21);
    QCOMPARE(s.ran, (QStringList{"1", "2", "2", "2", "3"}));
    QVERIFY(s.completed);
    QCOMPARE(env.errors.size(), 2);
}

void TestProcedure::ignoreGoesOnWithTheNextStatement() {
    TestEnv env;
    env.errorAnswer = ActionIgnore;
    Sample s;
    QCOMPARE(s.call(), 11);
    QCOMPARE(s.ran, (QStringList{"1", "2", "3"}));
    QVERIFY(s.completed);
}

void TestProcedure::leaveReturnsWhatWasAssigned() {
    TestEnv env;
    env.errorAnswer = ActionLeave;
    Sample s;
    QCOMPARE(s.call(), 10);
    QCOMPARE(s.ran, (QStringList{"1", "2"}));
    QVERIFY(!s.completed);
}

void TestProcedure::endEndsTheProgram() {
    TestEnv env;
    env.errorAnswer = ActionEnd;
    Sample s;
    QVERIFY_THROWS_EXCEPTION(ProgramEnded, s.call());
    QCOMPARE(s.ran, (QStringList{"1", "2"}));
}

void TestProcedure::reportCarriesPlaceAndError() {
    TestEnv env;
    Sample s;
    s.call();
    QCOMPARE(env.errors.size(), 1);
    const auto& e = env.errors[0];
    QCOMPARE(e.module, u"Allgemein"_qs);
    QCOMPARE(e.procedure, u"Sample"_qs);
    QCOMPARE(e.number, 11);
    QCOMPARE(e.description, u"Division by zero"_qs);
    QCOMPARE(e.line, 2);
    QCOMPARE(Err().number, 0); // cleared once handled
}

void TestProcedure::innerProceduresHandleTheirOwnErrors() {
    TestEnv env;
    env.errorAnswer = ActionLeave;
    QStringList ran;
    const bool outer = Procedure("frmKalmix", "Outer")
                           .run({
                               [&] {
                                   Procedure("Allgemein", "Inner")
                                       .run({
                                           [&] { raiseError(ErrNr::Overflow); },
                                           [&] { ran << QStringLiteral("inner 2"); },
                                       });
                               },
                               [&] { ran << QStringLiteral("outer 2"); },
                           });
    QVERIFY(outer);
    QCOMPARE(ran, QStringList{QStringLiteral("outer 2")});
    QCOMPARE(env.errors.size(), 1);
    QCOMPARE(env.errors[0].procedure, u"Inner"_qs);
}

void TestProcedure::unguardedCalleesReportToTheirCaller() {
    TestEnv env;
    env.errorAnswer = ActionIgnore;
    auto unguarded = [] { raiseError(ErrNr::FileNotFound); };
    int after = 0;
    Procedure("frmUebung", "Caller")
        .run({[&] { after = 1; }, [&] { unguarded(); }, [&] { after = 3; }});
    QCOMPARE(after, 3);
    QCOMPARE(env.errors[0].procedure, u"Caller"_qs);
    QCOMPARE(env.errors[0].line, 2);
    QCOMPARE(env.errors[0].number, 53);
}

void TestProcedure::otherExceptionsAreReported() {
    TestEnv env;
    Procedure("Allgemein", "Odd").run({[] { throw std::runtime_error("odd"); }});
    Procedure("Allgemein", "Odd").run({[] { throw std::bad_alloc(); }});
    QCOMPARE(env.errors.size(), 2);
    QCOMPARE(env.errors[0].number, ErrNr::InternalError);
    QCOMPARE(env.errors[0].description, u"odd"_qs);
    QCOMPARE(env.errors[1].number, ErrNr::OutOfMemory);
}

QTEST_GUILESS_MAIN(TestProcedure)
#include "tst_procedure.moc"
