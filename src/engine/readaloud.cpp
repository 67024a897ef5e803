#include "engine/readaloud.h"

#include "engine/taskwords.h"
#include "profiles/record.h"
#include "services/lang.h"
#include "services/sound.h"
#include "services/speech.h"

namespace kalmix {

bool ReadAloud::active() {
    return Vorlesen != 0 && PlaySound != 0;
}

void ReadAloud::roundStarted(const QString& player, int kind, const QDateTime& at) {
    Q_UNUSED(player);
    Q_UNUSED(kind);
    Q_UNUSED(at);
    silence();
}

void ReadAloud::taskShown(const TaskFacts& task, bool again) {
    Q_UNUSED(again); // a task shown again after a wrong answer is read again
    m_task = task;
    speaker().stop(); // whatever is still being said belongs to the last task
    if (active())
        speak();
}

void ReadAloud::roundEnded(const RoundSummary& summary, bool finished, const QDateTime& at) {
    Q_UNUSED(summary);
    Q_UNUSED(finished);
    Q_UNUSED(at);
    silence();
}

void ReadAloud::gameHeld() {
    speaker().stop();
}

bool ReadAloud::repeat() {
    if (!m_task || !active())
        return false;
    speak();
    return true;
}

void ReadAloud::silence() {
    m_task.reset();
    speaker().stop();
}

void ReadAloud::speak() {
    const int language = SprachBasis / 1000;
    const bool pictures = m_task->operation == u"count" || m_task->operation == u"symbols";
    const QString words = taskWords(*m_task, language, pictures ? langText(105) : QString());
    if (!words.isEmpty())
        speaker().say(words, language);
}

} // namespace kalmix
