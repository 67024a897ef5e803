#include "classserver/classupload.h"

#include "classserver/classsettings.h"
#include "services/lang.h"

namespace kalmix {

namespace {

ClassUpload* g_running = nullptr;

} // namespace

ClassUpload::ClassUpload(const QString& historyPath) : m_historyPath(historyPath) {
    if (!g_running)
        g_running = this;
}

ClassUpload::~ClassUpload() {
    stop();
    if (g_running == this)
        g_running = nullptr;
}

ClassUploader* ClassUpload::running() {
    return g_running ? g_running->uploader() : nullptr;
}

QString ClassUpload::statusLine() {
    const ClassUploader* uploader = running();
    if (!uploader)
        return {};
    const qint64 waiting = uploader->waiting();
    QString line = waiting == 0 ? langText(436) : waiting > 0 ? langCount(435, waiting) : QString();
    if (const QString error = uploader->lastError(); !error.isEmpty())
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + langText(437).arg(error);
    return line;
}

void ClassUpload::applySettings() {
    UploadTarget target;
    target.connection = classServerConnection();
    target.className = classServerClass();
    target.historyPath = m_historyPath;
    if (m_uploader && m_uploader->target().connection == target.connection &&
        m_uploader->target().className == target.className)
        return;
    stop();
    if (target.connection.isEmpty() || target.className.isEmpty())
        return;
    target.machine = machineId();
    if (target.machine.isEmpty())
        return; // the settings file keeps no id: nothing goes up as another computer's
    m_uploader = std::make_unique<ClassUploader>(target);
    m_uploader->start();
}

bool ClassUpload::stop(int ms) {
    if (!m_uploader)
        return true;
    const bool inTime = m_uploader->stop(ms);
    m_uploader.reset();
    return inTime;
}

void ClassUpload::answerJudged(const TaskFacts&, std::optional<int>, Outcome, double,
                               const QDateTime&) {
    if (m_uploader)
        m_uploader->wake();
}

void ClassUpload::roundEnded(const RoundSummary&, bool, const QDateTime&) {
    if (m_uploader)
        m_uploader->wake();
}

} // namespace kalmix
