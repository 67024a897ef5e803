#pragma once

#include "engine/board.h"
#include "engine/random.h"
#include "engine/scheduler.h"
#include "support/testenv.h"

#include <QList>
#include <QRandomGenerator>
#include <QStringList>
#include <array>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <utility>

namespace kalmix {
class Game;
}

namespace kalmix::test {

// A scheduler on a virtual time line. It installs itself while it lives. Nothing runs until a
// test moves the time on; a FakeClock given to it moves its monotonic time in step.
class FakeScheduler final : public Scheduler {
public:
    explicit FakeScheduler(FakeClock* clock = nullptr);
    ~FakeScheduler() override;
    FakeScheduler(const FakeScheduler&) = delete;
    FakeScheduler& operator=(const FakeScheduler&) = delete;

    void after(int ms, std::function<void()> fn) override;

    // Moves the time on by ms and runs every callback that falls due on the way, in time order
    // (those queued for the same moment in the order they were queued). Callbacks queued by a
    // callback run too when they fall due within the span.
    void advance(qint64 ms);
    // Runs callbacks until none is left, but moves the time on by at most maxMs. True when the
    // queue is empty afterwards.
    bool runAll(qint64 maxMs = 3'600'000);

    std::size_t pending() const { return m_queue.size(); }
    qint64 now() const { return m_now; }

private:
    void moveTo(qint64 t);

    FakeClock* m_clock;
    qint64 m_now = 0;
    quint64 m_seq = 0;
    std::map<std::pair<qint64, quint64>, std::function<void()>> m_queue;
};

// Thrown by ScriptedRandom when a procedure draws far more numbers than any test needs: a
// drawing loop that never ends fails the test instead of hanging it. No procedure catches it.
struct RunawayDraws {};

// A random source that hands out queued numbers first and then those of a seeded generator.
// It installs itself while it lives.
class ScriptedRandom final : public RandomSource {
public:
    explicit ScriptedRandom(quint32 seed = 20260314);
    ~ScriptedRandom() override;
    ScriptedRandom(const ScriptedRandom&) = delete;
    ScriptedRandom& operator=(const ScriptedRandom&) = delete;

    void reseed() override { ++reseeds; }
    double next() override;

    // The number in [0, 1) that makes Zufallszahl(von, bis) return k.
    static double valueFor(int von, int bis, int k);
    void push(double r) { m_queue.push_back(r); }
    void pushInt(int von, int bis, int k) { push(valueFor(von, bis, k)); }
    std::size_t queued() const { return m_queue.size(); }

    long draws = 0;
    long reseeds = 0;
    long drawLimit = 2'000'000;

private:
    std::deque<double> m_queue;
    QRandomGenerator m_gen;
};

// The main window's board as far as the game sees it: the current state of every item and the
// history of the items a test follows over time.
class FakeBoard final : public Board {
public:
    FakeBoard();

    // The current state.
    bool frameVisible = false;
    QString task;
    bool taskVisible = false;
    bool questionVisible = false;
    bool answerVisible = false;
    bool answerFocused = false;
    bool answerBesideQuestion = false; // where the answer box was opened last
    QString answer;
    std::array<std::array<int, 25>, 2> symbols; // symbol number per row and slot, -1 hidden
    std::array<bool, 2> jaNein{};
    std::map<int, bool> buttons; // PicBut index -> enabled
    std::optional<int> focusedButton;
    QString number;
    QString time;
    bool preview = false;
    int left = 600;
    int width = 6000;
    double meter = 0;
    int meterIcon = 101;

    // The history.
    int answerOpens = 0;
    QList<double> meterMoves;
    QList<int> meterPictures;
    QList<int> numbers; // lblNumber texts as numbers
    QStringList events; // every call that changes something, as text

    bool enabled(int button) const;
    int visibleSymbols(int row) const;
    // Sets every symbol slot, also those the game never clears, to one visibility.
    void setAllSymbols(int symbol);
    // Forgets the history (not the state).
    void clearHistory();

    void showTaskFrame(bool visible) override;
    void setTaskText(const QString& text) override;
    QString taskText() const override { return task; }
    void showTaskText(bool visible) override;
    void showQuestion(bool visible) override;
    void openAnswerBox(bool pictureKind) override;
    void hideAnswerBox() override;
    QString answerText() const override { return answer; }
    void setAnswerText(const QString& text) override;
    void showSymbol(int row, int slot, int symbol) override;
    void hideSymbol(int row, int slot) override;
    void showJaNein(int index, bool visible) override;
    void setButtonEnabled(int button, bool enabled) override;
    void focusButton(int button) override;
    void setNumber(const QString& text) override;
    void setTime(const QString& text) override;
    void setKeyPreview(bool on) override;
    bool keyPreview() const override { return preview; }
    int barLeft() const override { return left; }
    int barWidth() const override { return width; }
    double meterLeft() const override { return meter; }
    void setMeterLeft(double value) override;
    void setMeterPicture(int icon) override;
};

// The settings record of a typical player of the given exercise kind: range 10 (9 for the
// picture kinds) without 0, symbols 0, 2, 3, 5, 7, factors 4, 5, 7, 9, 13, signs " •" and " :",
// 10 tasks per game, animation and help on, log and sounds off, German texts.
void useTypicalRecord(int uebung);

// The sound resources (WAV 101 to 111) that the recorded bytes belong to; 0 for unknown bytes.
QList<int> wavIds(const QList<QByteArray>& played);

// Plays a game as the main window and a child would: keys go through the game's key filter
// while key preview is on and straight into the answer box otherwise.
class GameDriver {
public:
    GameDriver(Game& game, FakeBoard& board, FakeScheduler& scheduler)
        : m_game(game), m_board(board), m_scheduler(scheduler) {}

    // Moves the time on in steps of 50 ms until a task waits for its answer; false when none
    // does within maxMs.
    bool awaitAnswerBox(qint64 maxMs = 10'000);
    bool awaitingAnswer() const;
    // One key as the window delivers it; returns the code the key filter left.
    int key(int code);
    void type(const QString& text);
    void enter() { key(13); }
    // Types the number and presses Enter.
    void answer(long long value);
    // The answer to the task on the board, worked out from what the board shows: the
    // pictures of a picture task or the numbers of the task text. nullopt when it cannot tell.
    std::optional<long long> boardAnswer() const;

private:
    Game& m_game;
    FakeBoard& m_board;
    FakeScheduler& m_scheduler;
};

} // namespace kalmix::test
