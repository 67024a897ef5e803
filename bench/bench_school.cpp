// A school on one class server: many computers, each with its own practice history and its own
// uploader (the program's own code path, one thread and one connection each), send to one real
// PostgreSQL that the benchmark starts itself (as the tests do).
//
// First a lesson: every computer records its answers at a child's pace (compressed in time)
// and wakes its uploader after each, as the game does. Then as fast as they can: every computer
// holds as many answers again, unsent, and all uploaders start at once.
// Afterwards the server must hold every answer exactly once.
//
// usage: bench_school [--computers=300] [--answers=1000] [--lesson-seconds=60]
#include "classserver/classschema.h"
#include "classserver/uploader.h"
#include "history/historystore.h"
#include "services/appinfo.h"
#include "services/lang.h"
#include "services/msgbox.h"
#include "services/resfiles.h"
#include "support/pgserver.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace kalmix;
using namespace kalmix::test;

namespace {

struct Computer {
    QString machine;
    std::unique_ptr<HistoryStore> store;
    std::unique_ptr<ClassUploader> uploader;
    int written = 0;
};

int option(const QStringList& args, const QString& name, int fallback) {
    for (const QString& a : args) {
        if (a.startsWith(name + u'='))
            return a.mid(name.size() + 1).toInt();
    }
    return fallback;
}

const QDateTime kMorning(QDate(2026, 12, 9), QTime(8, 0));

// One answer of a computer's child: rounds of 20 tasks, three seconds apart on the child's
// clock.
void writeAnswer(Computer& c) {
    const int n = c.written++;
    const QDateTime at = kMorning.addSecs(3 * qint64(n));
    if (n % 20 == 0)
        c.store->roundStarted(QStringLiteral("Child %1").arg(c.machine.right(3)), 2, at);
    const int a = 1 + n % 9, b = 1 + (n / 9) % 9;
    c.store->answerJudged(TaskFacts{2, QStringLiteral("+"), a, b, a + b}, a + b, Outcome::Right,
                          2.5, at);
    if (n % 20 == 19)
        c.store->roundEnded({20, 0, 0, 60, false}, true, at);
}

std::unique_ptr<ClassUploader> uploaderOf(const Computer& c, const QString& conninfo) {
    return std::make_unique<ClassUploader>(
        UploadTarget{conninfo, QStringLiteral("2a"), c.machine, c.store->path()});
}

bool allSent(const std::vector<Computer>& computers) {
    return std::all_of(computers.begin(), computers.end(),
                       [](const Computer& c) { return c.uploader->waiting() == 0; });
}

// Waits, while the main thread marks what the server committed (as the program's event loop
// does).
void pause(int ms) {
    QCoreApplication::processEvents();
    QThread::msleep(ms);
}

double percentile(std::vector<double> v, double p) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

std::vector<double> batchTimes(const std::vector<Computer>& computers) {
    std::vector<double> all;
    for (const Computer& c : computers) {
        const std::vector<double> mine = c.uploader->batchMilliseconds();
        all.insert(all.end(), mine.begin(), mine.end());
    }
    return all;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int count = option(args, QStringLiteral("--computers"), 300);
    const int answers = option(args, QStringLiteral("--answers"), 1000);
    const int lessonMs = option(args, QStringLiteral("--lesson-seconds"), 60) * 1000;
    int messages = 0;
    setMsgBoxHook([&](const MsgBoxCall& call) {
        std::fprintf(stderr, "message: %s\n", qPrintable(call.text));
        ++messages;
        return MsgResult::Ok;
    });
    QTemporaryDir dir;
    setProgramDirForTesting(dir.path());
    initResources();
    WriteLanguageCopy();

    TestPgServer pg(TestPgServer::Options{false, count + 20});
    if (!pg.start() || !pg.createLogin(QStringLiteral("pupils_2a"), QStringLiteral("pw")) ||
        !initClassServer(
             {pg.superConninfo(), QStringLiteral("2a"), QStringLiteral("pupils_2a"), {}})
             .isEmpty()) {
        std::fprintf(stderr, "the server could not be set up: %s\n", qPrintable(pg.error()));
        return 1;
    }
    pg.usePassFile();
    const QString conninfo = pg.conninfo(QStringLiteral("pupils_2a"));

    std::vector<Computer> computers(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        Computer& c = computers[size_t(i)];
        c.machine = QStringLiteral("computer-%1").arg(i, 3, 10, QLatin1Char('0'));
        QDir(dir.path()).mkdir(c.machine);
        c.store = std::make_unique<HistoryStore>(dir.filePath(c.machine + "/Kalmix.db"));
        c.uploader = uploaderOf(c, conninfo);
        c.uploader->start();
    }

    // The lesson: answers come at an even pace over the lesson, a computer after another.
    QElapsedTimer lesson;
    lesson.start();
    qint64 mostWaiting = 0;
    const qint64 total = qint64(count) * answers;
    for (qint64 done = 0; done < total;) {
        const qint64 due = std::min(total, total * lesson.elapsed() / std::max(1, lessonMs) + 1);
        for (; done < due; ++done) {
            Computer& c = computers[size_t(done % count)];
            writeAnswer(c);
            c.uploader->wake();
        }
        qint64 waiting = 0;
        for (const Computer& c : computers)
            waiting += std::max<qint64>(0, c.uploader->waiting());
        mostWaiting = std::max(mostWaiting, waiting);
        pause(20);
    }
    const double written = lesson.nsecsElapsed() / 1e9;
    while (!allSent(computers) && lesson.elapsed() < lessonMs + 600000)
        pause(20);
    const double lessonDone = lesson.nsecsElapsed() / 1e9;
    const std::vector<double> lessonBatches = batchTimes(computers);

    // As fast as they can: as many answers again on every computer, then all start at once.
    for (Computer& c : computers)
        c.uploader->stop(5000);
    for (Computer& c : computers) {
        c.uploader.reset();
        for (int i = 0; i < answers; ++i)
            writeAnswer(c);
        c.uploader = uploaderOf(c, conninfo);
    }
    QElapsedTimer burst;
    burst.start();
    for (Computer& c : computers)
        c.uploader->start();
    while (!allSent(computers) && burst.elapsed() < 900000)
        pause(5);
    const double burstSeconds = burst.nsecsElapsed() / 1e9;
    const std::vector<double> burstBatches = batchTimes(computers);
    for (Computer& c : computers)
        c.uploader->stop(5000);

    // Every answer once: as many rows as answers written, none the same answer twice.
    const qint64 expected = qint64(count) * answers * 2;
    const qint64 rows = pg.value(QStringLiteral("SELECT count(*) FROM kalmix.answer")).toLongLong();
    const qint64 distinct =
        pg.value(QStringLiteral("SELECT count(DISTINCT (machine, round_uid, at, a, b, attempt)) "
                                "FROM kalmix.answer"))
            .toLongLong();
    const qint64 rounds =
        pg.value(QStringLiteral("SELECT count(*) FROM kalmix.round")).toLongLong();
    std::printf("%d computers, %d answers each in a lesson of %d s, then %d more each at once\n",
                count, answers, lessonMs / 1000, answers);
    std::printf("answers on the server: %lld of %lld (lost %lld, doubled %lld), rounds %lld of "
                "%lld\n",
                static_cast<long long>(rows), static_cast<long long>(expected),
                static_cast<long long>(std::max<qint64>(0, expected - distinct)),
                static_cast<long long>(rows - distinct), static_cast<long long>(rounds),
                static_cast<long long>(expected / 20));
    std::printf("lesson: written in %.1f s, all on the server %.1f s after the start, at most "
                "%lld answers waiting at once; %zu batches, median %.2f ms, 99th %.2f ms\n",
                written, lessonDone, static_cast<long long>(mostWaiting), lessonBatches.size(),
                percentile(lessonBatches, 0.5), percentile(lessonBatches, 0.99));
    std::vector<double> burstOnly(burstBatches);
    std::printf("as fast as they can: %lld answers in %.2f s = %.0f answers/s; %zu batches, "
                "median %.2f ms, 99th %.2f ms\n",
                static_cast<long long>(qint64(count) * answers), burstSeconds,
                double(count) * answers / burstSeconds, burstOnly.size(),
                percentile(burstOnly, 0.5), percentile(burstOnly, 0.99));
    std::printf("messages shown: %d\n", messages);
    return rows == expected && distinct == expected && messages == 0 ? 0 : 2;
}
