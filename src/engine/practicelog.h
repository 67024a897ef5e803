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
    // Appends the line and CR LF. A closed log is opened again first. A write that fails is
    // taken back whole (run-time error 61 or 75), so the file never holds half a line.
    void writeLine(const QString& line);

private:
    QFile m_file;
};

// The program's practice log.
PracticeLog& LogNr();

} // namespace kalmix
