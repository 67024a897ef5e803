#pragma once

// The program's link to the class server's uploader: it reads the settings, runs the uploader
// while a class server is set (no thread at all while none is), and wakes it as the game goes
// on: after each answer and at each round's end, never making the game wait.

#include "classserver/uploader.h"
#include "engine/gameevents.h"

#include <QString>
#include <memory>

namespace kalmix {

class ClassUpload final : public GameEvents {
public:
    explicit ClassUpload(const QString& historyPath);
    ~ClassUpload() override;
    ClassUpload(const ClassUpload&) = delete;
    ClassUpload& operator=(const ClassUpload&) = delete;

    // Starts, restarts (another server or class) or stops the uploader as the settings say.
    void applySettings();
    // At the program's end: what is not sent by then goes up next time.
    bool stop(int ms = 1000);

    ClassUploader* uploader() const { return m_uploader.get(); }
    // The program's running uploader, for the settings window and the report; nullptr while
    // no class server is set.
    static ClassUploader* running();
    // The running uploader's state for a window's status line: the answers waiting (or that
    // all are on the server) and its last problem; empty while no class server is set.
    static QString statusLine();

    void answerJudged(const TaskFacts& task, std::optional<int> answer, Outcome outcome,
                      double seconds, const QDateTime& at) override;
    void roundEnded(const RoundSummary& summary, bool finished, const QDateTime& at) override;

private:
    QString m_historyPath;
    std::unique_ptr<ClassUploader> m_uploader;
};

} // namespace kalmix
