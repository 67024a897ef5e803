// Records answers into the history file given until it is killed, saying each one on stdout
// once it is stored.
#include "history/historystore.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    kalmix::HistoryStore store(QString::fromLocal8Bit(argv[1]));
    store.setQuiet(true);
    const QDateTime start(QDate(2026, 12, 7), QTime(8, 0));
    long n = 0;
    for (int round = 0;; ++round) {
        const QDateTime began = start.addSecs(round * 600);
        store.roundStarted(QStringLiteral("Kim"), 2, began);
        for (int i = 0; i < 10; ++i, ++n) {
            const kalmix::TaskFacts task{2, QStringLiteral("+"), i, round % 10, i + round % 10};
            store.taskShown(task, false);
            const bool wrong = i % 3 == 0;
            store.answerJudged(task, task.expected + (wrong ? 1 : 0),
                               wrong ? kalmix::Outcome::Wrong : kalmix::Outcome::Right, 1.5,
                               began.addSecs(i * 5 + 2));
            std::printf("%ld\n", n);
            std::fflush(stdout);
        }
        store.roundEnded({7, 4, 0, 50, false}, true, began.addSecs(60));
    }
}
