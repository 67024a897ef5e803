#pragma once

// The history file's tables and the views other tools read. Times are kept as whole seconds of
// local wall-clock time counted from 1970-01-01 00:00:00 (as if it were UTC), so the views show
// the local time the child saw, and each answer stays small.

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace kalmix::history {

// Marks a SQLite file as a Kalmix history ("KLMX").
inline constexpr int kApplicationId = 0x4B4C4D58;
// The schema this program writes; older files are brought forward on opening.
inline constexpr int kSchemaVersion = 3;
// The write-ahead log is cut back to this size (bytes) whenever it has been carried into the file.
inline constexpr int kJournalSizeLimit = 1 << 20;

// The columns of the table player, round or answer in a schema version, in their order;
// empty for an unknown version or table.
QStringList tableColumns(int version, const QString& table);

// How an answer's operation and outcome are kept in the answer table.
int operationCode(const QString& operation); // -1 for an unknown one
QString operationName(int code);
enum OutcomeCode { kRight = 0, kWrong = 1, kHelp = 2 };

qint64 toStored(const QDateTime& local);
QDateTime fromStored(qint64 seconds);

enum class SchemaState { Ready, NotKalmix, Newer, Failed };

// Sets the file's connection up (WAL, foreign keys off, normal sync) and creates or migrates
// the schema. NotKalmix: a SQLite file of another program, or no database at all. Failed: the
// file could not be read or written now (its native error code in `nativeError`), which says
// nothing about what it holds.
SchemaState prepareSchema(QSqlDatabase& db, QString* nativeError = nullptr);

// Whether an opened file is a Kalmix history this program can read (any schema version: only
// the views are read). When the file cannot be read the native error code goes to `nativeError`.
bool isKalmixHistory(QSqlDatabase& db, QString* nativeError = nullptr);

} // namespace kalmix::history
