#include "support/testenv.h"

#include "services/appinfo.h"
#include "services/procedure.h"
#include "services/resfiles.h"
#include "services/runtimeerror.h"

#include <QFile>

namespace kalmix::test {

TestEnv::TestEnv() {
    initResources();
    setProgramDirForTesting(m_dir.path());
    setExeNameForTesting(QStringLiteral("Kalmix"));
    setClock(&clock);
    setSoundPlayer(&sound);
    setSpeaker(&speech);
    setMsgBoxHook([this](const MsgBoxCall& call) {
        messages.append(call);
        if (call.checked)
            *call.checked = !ticks.isEmpty() && ticks.takeFirst();
        if (!answers.isEmpty())
            return answers.takeFirst();
        return call.buttons == MsgButtons::YesNo ? MsgResult::Yes : MsgResult::Ok;
    });
    setErrorReporter([this](const QString& module, const QString& procedure) {
        errors.append({module, procedure, Err().number, Err().description, Err().line});
        return errorAnswer;
    });
    setProgramEnder([] { throw ProgramEnded{}; });
    setPasswordPromptHook([this](const PasswordPromptCall& call) {
        passwordPrompts.append(call);
        return passwordAnswers.isEmpty() ? std::nullopt : passwordAnswers.takeFirst();
    });
    setPasswordRoundsForTesting(1000);
}

TestEnv::~TestEnv() {
    setProgramDirForTesting({});
    setExeNameForTesting({});
    setClock(nullptr);
    setSoundPlayer(nullptr);
    setSpeaker(nullptr);
    setMsgBoxHook(nullptr);
    setErrorReporter(nullptr);
    setProgramEnder(nullptr);
    setFaultInjector(nullptr);
    setPasswordPromptHook(nullptr);
    setPasswordRoundsForTesting(0);
}

QByteArray TestEnv::readFile(const QString& name) const {
    QFile f(path(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void TestEnv::writeFile(const QString& name, const QByteArray& bytes) const {
    QFile f(path(name));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

} // namespace kalmix::test
