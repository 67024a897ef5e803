// Holds a SQLite file as a backup tool or a database browser may, until a line (or the end)
// arrives on stdin. "write" holds a write transaction; "exclusive" takes the whole file
// (locking_mode=EXCLUSIVE), so that nobody else can even read it. Says "locked" once it holds.
#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <cstdio>
#include <cstring>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc < 3)
        return 2;
    const bool exclusive = std::strcmp(argv[2], "exclusive") == 0;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
        db.setDatabaseName(QString::fromLocal8Bit(argv[1]));
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
        QSqlQuery q(db);
        const bool held = db.open() &&
                          (!exclusive || q.exec(QStringLiteral("PRAGMA locking_mode=EXCLUSIVE"))) &&
                          q.exec(QStringLiteral("BEGIN EXCLUSIVE")) &&
                          q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) && q.next();
        if (!held) {
            std::fprintf(stderr, "history_locker: %s\n", qPrintable(q.lastError().text()));
            return 1;
        }
        q.finish();
        std::printf("locked\n");
        std::fflush(stdout);
        char line[16];
        (void)!std::fgets(line, sizeof line, stdin);
        q.exec(QStringLiteral("ROLLBACK"));
        db.close();
    }
    return 0;
}
