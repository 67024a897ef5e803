#pragma once

#include "engine/logline.h"

#include <QDateTime>
#include <QFile>
#include <QString>

namespace kalmix {

// Date and time as the user's locale writes them (the year always with four digits, the time
// with seconds).
QString logDate(const QDateTime& when);
QString logTime(const QDateTime& when);
// A locale's time format without its time zone and without what only framed or separated it.
QString timeFormatWithoutZone(const QString& format);

QString logHeaderLine(const QDateTime& when, const QString& player);
QString logSolvedLine(const QDateTime& when, const QString& task, const QString& answer);
QString logNoteLine(const QDateTime& when, const QString& task, const QString& answer,
                    const QString& note); // "with help" and "wrong" lines

// The practice log file, appended to and flushed line by line, so a crash or a kill loses
// nothing that was written.
class PracticeLog {
public:
    static QString path(); // Kalmix_Log.txt in the program's directory

    bool isOpen() const { return m_file.isOpen(); }
    // Closes the log if open and opens it again for appending; run-time error 75 on failure.
    void open();
    void close();
    // Appends the line and CR LF. A closed log is opened again first, and so is one whose file
    // was deleted or replaced since it was opened, so no line goes to a file nobody can read.
    // A write that fails is taken back whole (run-time error 61 or 75), so the file never holds
    // half a line.
    void writeLine(const QString& line);
    // Appends the line as writeLine does, for a game, which goes on whatever befalls its log:
    // a line that cannot be written is left out. The first such line is said in a message box
    // (language text 241, in the current language); later ones stay silent until a line has
    // been written again, so a broken log never brings a box at every answer.
    void append(const QString& line);

private:
    // Whether the open file is still the one at the log's path.
    bool stillAtPath() const;

    QFile m_file;
    QString m_failureSaidFor; // the log whose failure was told and not written since
};

// The program's practice log.
PracticeLog& LogNr();

} // namespace kalmix
