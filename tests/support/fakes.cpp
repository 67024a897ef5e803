#include "support/fakes.h"

#include "services/runtimeerror.h"

#include "engine/game.h"
#include "profiles/record.h"
#include "services/lang.h"
#include "services/resfiles.h"
#include "services/sound.h"

#include <QHash>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>

namespace kalmix::test {

// ---------------------------------------------------------------- FakeScheduler

FakeScheduler::FakeScheduler(FakeClock* clock) : m_clock(clock) {
    setScheduler(this);
}

FakeScheduler::~FakeScheduler() {
    setScheduler(nullptr);
}

void FakeScheduler::after(int ms, std::function<void()> fn) {
    m_queue.emplace(std::make_pair(m_now + std::max(ms, 0), m_seq++), std::move(fn));
}

void FakeScheduler::moveTo(qint64 t) {
    if (m_clock)
        m_clock->mono += t - m_now;
    m_now = t;
}

void FakeScheduler::advance(qint64 ms) {
    const qint64 target = m_now + std::max<qint64>(ms, 0);
    while (!m_queue.empty() && m_queue.begin()->first.first <= target) {
        auto node = m_queue.extract(m_queue.begin());
        moveTo(node.key().first);
        node.mapped()();
    }
    // A callback may have moved the time on further (a message box lets time pass): the time
    // never goes back.
    moveTo(std::max(target, m_now));
}

bool FakeScheduler::runAll(qint64 maxMs) {
    const qint64 limit = m_now + maxMs;
    while (!m_queue.empty() && m_queue.begin()->first.first <= limit)
        advance(m_queue.begin()->first.first - m_now);
    return m_queue.empty();
}

// ---------------------------------------------------------------- ScriptedRandom

ScriptedRandom::ScriptedRandom(quint32 seed) : m_gen(seed) {
    setRandomSource(this);
}

ScriptedRandom::~ScriptedRandom() {
    setRandomSource(nullptr);
}

double ScriptedRandom::valueFor(int von, int bis, int k) {
    if (bis < von)
        return 0.5;
    return (k - von + 0.5) / (bis - von + 1);
}

double ScriptedRandom::next() {
    if (++draws > drawLimit)
        throw RunawayDraws{};
    if (!m_queue.empty()) {
        const double r = m_queue.front();
        m_queue.pop_front();
        return r;
    }
    return m_gen.generateDouble();
}

// ---------------------------------------------------------------- FakeBoard

FakeBoard::FakeBoard() {
    for (auto& row : symbols)
        row.fill(-1);
    for (int b : {0, 1, 2, 3, 4})
        buttons[b] = true;
}

bool FakeBoard::enabled(int button) const {
    const auto it = buttons.find(button);
    return it == buttons.end() || it->second;
}

int FakeBoard::visibleSymbols(int row) const {
    return static_cast<int>(
        std::count_if(symbols[row].begin(), symbols[row].end(), [](int s) { return s >= 0; }));
}

void FakeBoard::setAllSymbols(int symbol) {
    for (auto& row : symbols)
        row.fill(symbol);
}

void FakeBoard::clearHistory() {
    answerOpens = 0;
    meterMoves.clear();
    meterPictures.clear();
    numbers.clear();
    events.clear();
}

void FakeBoard::showTaskFrame(bool visible) {
    frameVisible = visible;
    events << QStringLiteral("frame %1").arg(visible);
}

void FakeBoard::setTaskText(const QString& text) {
    task = text;
    events << QStringLiteral("task '%1'").arg(text);
}

void FakeBoard::showTaskText(bool visible) {
    taskVisible = visible;
    events << QStringLiteral("taskVisible %1").arg(visible);
}

void FakeBoard::showQuestion(bool visible) {
    questionVisible = visible;
    events << QStringLiteral("question %1").arg(visible);
}

void FakeBoard::openAnswerBox(bool pictureKind) {
    answer.clear();
    answerVisible = true;
    answerFocused = true;
    focusedButton.reset();
    answerBesideQuestion = pictureKind;
    ++answerOpens;
    events << QStringLiteral("openAnswer %1").arg(pictureKind);
}

void FakeBoard::hideAnswerBox() {
    answerVisible = false;
    events << QStringLiteral("hideAnswer");
}

void FakeBoard::setAnswerText(const QString& text) {
    answer = text;
    events << QStringLiteral("answer '%1'").arg(text);
}

void FakeBoard::showSymbol(int row, int slot, int symbol) {
    if (row < 0 || row > 1 || slot < 0 || slot > 24 || symbol < 0 || symbol > 24)
        raiseError(ErrNr::SubscriptOutOfRange); // as the window's picture slots do
    symbols[row][slot] = symbol;
    events << QStringLiteral("symbol %1 %2 %3").arg(row).arg(slot).arg(symbol);
}

void FakeBoard::hideSymbol(int row, int slot) {
    if (row < 0 || row > 1 || slot < 0 || slot > 24)
        raiseError(ErrNr::SubscriptOutOfRange);
    if (symbols[row][slot] < 0)
        return; // hiding a hidden slot changes nothing
    symbols[row][slot] = -1;
    events << QStringLiteral("hideSymbol %1 %2").arg(row).arg(slot);
}

void FakeBoard::showJaNein(int index, bool visible) {
    if (jaNein[index] == visible)
        return;
    jaNein[index] = visible;
    events << QStringLiteral("jaNein %1 %2").arg(index).arg(visible);
}

void FakeBoard::setButtonEnabled(int button, bool on) {
    buttons[button] = on;
    events << QStringLiteral("button %1 %2").arg(button).arg(on);
}

void FakeBoard::focusButton(int button) {
    focusedButton = button;
    answerFocused = false;
    events << QStringLiteral("focus %1").arg(button);
}

void FakeBoard::setNumber(const QString& text) {
    number = text;
    numbers << text.toInt();
    events << QStringLiteral("number %1").arg(text);
}

void FakeBoard::setTime(const QString& text) {
    time = text;
    events << QStringLiteral("time %1").arg(text);
}

void FakeBoard::setKeyPreview(bool on) {
    preview = on;
    events << QStringLiteral("preview %1").arg(on);
}

void FakeBoard::setMeterLeft(double value) {
    meter = value;
    meterMoves << value;
    events << QStringLiteral("meter %1").arg(value);
}

void FakeBoard::setMeterPicture(int icon) {
    meterIcon = icon;
    meterPictures << icon;
    events << QStringLiteral("meterPicture %1").arg(icon);
}

// ---------------------------------------------------------------- record

void useTypicalRecord(int uebung) {
    resetRecord();
    aktiv = QStringLiteral("Anna");
    Uebung = static_cast<std::int16_t>(uebung);
    MaxSum = uebung <= 1 ? 9 : 10;
    MinSum = 2;
    Null = kFalse;
    SymbolListe = {0, 2, 3, 5, 7};
    SymbolZahl = 5;
    FaktorListe = {4, 5, 7, 9, 13};
    FaktorZahl = 5;
    NullFaktor = kFalse;
    SignMul = QStringLiteral(" •");
    SignDiv = QStringLiteral(" :");
    AufgZahl = 10;
    Zeit = 0;
    Animation = kTrue;
    Hilfe = kTrue;
    LogFile = kFalse;
    PlaySound = kFalse;
    SprachBasis = 0;
}

// ---------------------------------------------------------------- sounds

QList<int> wavIds(const QList<QByteArray>& played) {
    static const QHash<QByteArray, int> ids = [] {
        QHash<QByteArray, int> h;
        for (int id = 101; id <= 111; ++id)
            h.insert(loadResource(QStringLiteral("WAV"), id), id);
        return h;
    }();
    QList<int> result;
    for (const QByteArray& bytes : played)
        result << ids.value(bytes, 0);
    return result;
}

// ---------------------------------------------------------------- GameDriver

bool GameDriver::awaitingAnswer() const {
    return m_game.running() && !m_game.judging() && !m_game.presenting() && m_board.preview &&
           m_board.answerVisible;
}

bool GameDriver::awaitAnswerBox(qint64 maxMs) {
    for (qint64 waited = 0; !awaitingAnswer(); waited += 50) {
        if (waited >= maxMs)
            return false;
        m_scheduler.advance(50);
    }
    return true;
}

int GameDriver::key(int code) {
    if (m_board.preview)
        m_game.Form_KeyPress(code);
    else if (code == 13)
        code = 0; // without key preview Enter submits nothing
    if (code == 8)
        m_board.answer.chop(1);
    else if (code != 0)
        m_board.answer += QChar(code);
    return code;
}

void GameDriver::type(const QString& text) {
    for (QChar c : text)
        key(c.unicode());
}

void GameDriver::answer(long long value) {
    type(QString::number(value));
    enter();
}

std::optional<long long> GameDriver::boardAnswer() const {
    if (m_board.questionVisible && !m_board.taskVisible)
        return m_board.visibleSymbols(0) + m_board.visibleSymbols(1);
    static const QRegularExpression sum(QStringLiteral("^ (\\d+) ([+-]) (\\d+) = $"));
    static const QRegularExpression product(QStringLiteral("^ (\\d+) (\\S+) (\\d+) = $"));
    static const QRegularExpression quotient(QStringLiteral("^(\\d+) (\\S+) (\\d+) = $"));
    if (const auto m = sum.match(m_board.task); m.hasMatch()) {
        const long long a = m.captured(1).toLongLong();
        const long long b = m.captured(3).toLongLong();
        return m.captured(2) == u'+' ? a + b : a - b;
    }
    if (const auto m = product.match(m_board.task); m.hasMatch())
        return m.captured(1).toLongLong() * m.captured(3).toLongLong();
    if (const auto m = quotient.match(m_board.task); m.hasMatch()) {
        const long long d = m.captured(1).toLongLong();
        const long long f = m.captured(3).toLongLong();
        if (d == 0)
            return 0;
        if (f == 0 || d % f != 0)
            return std::nullopt;
        return d / f;
    }
    return std::nullopt;
}

} // namespace kalmix::test
