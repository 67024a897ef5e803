#include "profiles/passwordhash.h"
#include "profiles/settingsfile.h"
#include "services/lang.h"
#include "services/resfiles.h"
#include "settings/passwordlock.h"
#include "support/testenv.h"

#include <QTest>

using namespace kalmix;
using kalmix::test::TestEnv;

namespace {

const QString kOptionen = QStringLiteral("Optionen");
const QString kPasswort = QStringLiteral("Passwort");

QString stored() {
    return GetIniString(kOptionen, kPasswort, QString());
}

QStringList texts(const TestEnv& env) {
    QStringList list;
    for (const MsgBoxCall& m : env.messages)
        list << m.text;
    return list;
}

} // namespace

class TestPassword : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        TestEnv env;
        WriteLanguageCopy();
    }

    // The stored text is the standard derivation (any other tool computes the same from the
    // salt and rounds it names), salted afresh for every password.
    void storedForm() {
        QCOMPARE(makePasswordHash(u"Grüße!"_qs, QByteArray("saltsalt"), 2),
                 u"pbkdf2-sha256$2$c2FsdHNhbHQ$lWRIc-KamuWsDttz_wZFvqB_r6L3FsnEqc9Yyb4fFf8"_qs);
        const QString a = makePasswordHash(u"Grüße!"_qs, 10);
        const QString b = makePasswordHash(u"Grüße!"_qs, 10);
        QVERIFY(a != b);
        QVERIFY(!a.contains(u"Grüße"_qs));
        QCOMPARE(checkPassword(u"Grüße!"_qs, a), PasswordCheck::Right);
    }

    void check_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("value");
        QTest::addColumn<PasswordCheck>("expected");
        const QString good = makePasswordHash(u"Geheim"_qs, QByteArray("saltsalt"), 3);
        QTest::newRow("right") << u"Geheim"_qs << good << PasswordCheck::Right;
        QTest::newRow("other letter case") << u"geheim"_qs << good << PasswordCheck::Wrong;
        QTest::newRow("empty") << QString() << good << PasswordCheck::Wrong;
        QTest::newRow("blanks around the value")
            << u"Geheim"_qs << u"  "_qs + good + u" "_qs << PasswordCheck::Right;
        QString cut = good;
        cut.chop(3);
        QTest::newRow("hash cut short") << u"Geheim"_qs << cut << PasswordCheck::Unreadable;
        QTest::newRow("the password itself")
            << u"Geheim"_qs << u"Geheim"_qs << PasswordCheck::Unreadable;
        QString other = good;
        QTest::newRow("unknown algorithm")
            << u"Geheim"_qs << other.replace(u"sha256"_qs, u"sha1"_qs) << PasswordCheck::Unreadable;
        QString zero = good;
        QTest::newRow("no rounds")
            << u"Geheim"_qs << zero.replace(u"$3$"_qs, u"$0$"_qs) << PasswordCheck::Unreadable;
        QString huge = good;
        QTest::newRow("rounds that would take hours")
            << u"Geheim"_qs << huge.replace(u"$3$"_qs, u"$2000000000$"_qs)
            << PasswordCheck::Unreadable;
        QString bad = good;
        QTest::newRow("not Base64")
            << u"Geheim"_qs << bad.replace(u"c2Fs"_qs, u"c2F*"_qs) << PasswordCheck::Unreadable;
    }
    void check() {
        QFETCH(QString, typed);
        QFETCH(QString, value);
        QFETCH(PasswordCheck, expected);
        QCOMPARE(checkPassword(typed, value), expected);
    }

    // Choosing: both boxes must agree and hold four characters at least (of any kind); each
    // refusal is said and the question comes again; Cancel stores nothing.
    void choosing() {
        TestEnv env;
        env.passwordAnswers = {PasswordAnswer{u"abc"_qs, u"abc"_qs},
                               PasswordAnswer{u"abcd"_qs, u"abce"_qs}, std::nullopt};
        choosePassword(nullptr);
        QCOMPARE(texts(env), (QStringList{langText(351), langText(352)}));
        QCOMPARE(env.passwordPrompts.size(), 3);
        QVERIFY(stored().isEmpty() && !passwordLockOn());

        env.messages.clear();
        env.answerPassword(u"ä €✓"_qs); // four characters, more bytes
        choosePassword(nullptr);
        QVERIFY(env.messages.isEmpty());
        QVERIFY(stored().startsWith(u"pbkdf2-sha256$1000$"_qs));
        QVERIFY(passwordLockOn());
        env.answerPassword(u"ä €✓"_qs);
        QVERIFY(unlockOptions(nullptr));
    }

    // Changing or removing asks for the old password first; a wrong one changes nothing.
    void changingAsksFirst() {
        TestEnv env;
        SaveIni(kOptionen, kPasswort, makePasswordHash(u"Geheim"_qs, 10));
        const QString before = stored();
        env.answerPassword(u"falsch"_qs);
        choosePassword(nullptr);
        QCOMPARE(texts(env), QStringList{langText(350)});
        QCOMPARE(env.passwordPrompts.size(), 1);
        QCOMPARE(env.passwordPrompts[0].kind, PasswordPrompt::Ask);
        QCOMPARE(stored(), before);

        env.answerPassword(u"Geheim"_qs);
        env.passwordAnswers.append(PasswordAnswer{{}, {}, true});
        choosePassword(nullptr);
        QCOMPARE(env.passwordPrompts.size(), 3);
        QCOMPARE(env.passwordPrompts[2].kind, PasswordPrompt::Choose);
        QVERIFY(env.passwordPrompts[2].canRemove);
        QVERIFY(!env.readFile(u"Kalmix.ini"_qs).contains("Passwort"));
        QVERIFY(unlockOptions(nullptr));
        QCOMPARE(env.passwordPrompts.size(), 3); // no lock, no question
    }

    // A value that no password can match does not shut the grown-up out: it is said, and the
    // options open; a new password replaces it without asking for the old one.
    void unreadableValue() {
        TestEnv env;
        SaveIni(kOptionen, kPasswort, u"pbkdf2-sha256$100000$kaputt"_qs);
        QVERIFY(!passwordLockOn());
        QVERIFY(unlockOptions(nullptr));
        QCOMPARE(texts(env), QStringList{langText(354)});
        QVERIFY(env.passwordPrompts.isEmpty());
        env.answerPassword(u"Neues1"_qs);
        choosePassword(nullptr);
        QCOMPARE(env.passwordPrompts.size(), 1);
        QVERIFY(passwordLockOn());
    }
};

QTEST_MAIN(TestPassword)
#include "tst_password.moc"
