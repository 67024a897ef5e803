#pragma once

#include "services/clock.h"
#include "services/msgbox.h"
#include "services/sound.h"
#include "services/speech.h"
#include "settings/passwordlock.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdint>
#include <functional>
#include <utility>

namespace kalmix::test {

// A clock that stands still until a test moves it.
class FakeClock final : public Clock {
public:
    QDateTime wall{QDate(2026, 3, 14), QTime(9, 26, 53)};
    qint64 mono = 0;
    QDateTime now() const override { return wall; }
    qint64 monotonicMs() const override { return mono; }
};

// Records what would have been played.
class FakeSoundPlayer final : public SoundPlayer {
public:
    QList<QByteArray> played;
    int stops = 0;
    void play(const QByteArray& wav) override { played.append(wav); }
    void stop() override { ++stops; }
};

// Records what would have been said. Voice questions wait until a test answers them.
class FakeSpeaker final : public Speaker {
public:
    QStringList said;
    QList<int> languages; // of each text said
    int stops = 0;
    QStringList events; // "stop" and every text said, in order
    QList<std::pair<int, std::function<void(bool)>>> asked;
    void say(const QString& text, int language) override {
        said.append(text);
        languages.append(language);
        events.append(text);
    }
    void stop() override {
        ++stops;
        events.append(QStringLiteral("stop"));
    }
    void askVoice(int language, std::function<void(bool)> answer) override {
        asked.append({language, std::move(answer)});
    }
    QList<int> prepared; // the languages whose voice was to be made ready
    void prepare(int language) override { prepared.append(language); }
    // Answers every question asked so far.
    void answerVoices(bool found) {
        const auto pending = std::exchange(asked, {});
        for (const auto& a : pending)
            a.second(found);
    }
};

// One reported error as a procedure's handler passed it on.
struct Reported {
    QString module;
    QString procedure;
    int number;
    QString description;
    int line;
};

// Gives a test case a fresh program directory, fake clock and sound, answers message boxes
// from a queue and records reported errors, answering them with `errorAnswer`.
class TestEnv {
public:
    TestEnv();
    ~TestEnv();
    TestEnv(const TestEnv&) = delete;
    TestEnv& operator=(const TestEnv&) = delete;

    QString dir() const { return m_dir.path(); }
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString iniPath() const { return path(QStringLiteral("Kalmix.ini")); }
    QByteArray readFile(const QString& name) const;
    void writeFile(const QString& name, const QByteArray& bytes) const;

    FakeClock clock;
    FakeSoundPlayer sound;
    FakeSpeaker speech;
    QList<MsgBoxCall> messages;
    QList<MsgResult> answers; // taken from the front; Ok / Yes when empty
    QList<bool> ticks;        // a box's tick box, taken from the front; unticked when empty
    QList<Reported> errors;
    std::int16_t errorAnswer = 2; // leave the procedure
    // Password questions asked, and the answers given, from the front (none left: Cancel).
    // New passwords are hashed with few rounds, to keep the tests fast.
    QList<PasswordPromptCall> passwordPrompts;
    QList<std::optional<PasswordAnswer>> passwordAnswers;
    void answerPassword(const QString& password) {
        passwordAnswers.append(PasswordAnswer{password, password, false});
    }

private:
    QTemporaryDir m_dir;
};

} // namespace kalmix::test
