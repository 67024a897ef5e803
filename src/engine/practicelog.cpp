#include "engine/practicelog.h"

#include "errors/runtimeerror.h"

#include "services/appinfo.h"
#include "services/filewrite.h"
#include "services/lang.h"
#include <cerrno>

namespace kalmix {

QString logDate(const QDateTime& when) {
    const QLocale locale = systemLocale();
    QString format = locale.dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return locale.toString(when.date(), format);
}

QString logTime(const QDateTime& when) {
    const QLocale locale = systemLocale();
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove(u't'); // no time zone
    return locale.toString(when.time(), format.trimmed());
}

QString logHeaderLine(const QDateTime& when, const QString& player) {
    return zoneAdvanced(logDate(when) + u' ' + logTime(when), player);
}

QString logSolvedLine(const QDateTime& when, const QString& task, const QString& answer) {
    return composeLogLine(logTime(when), task, answer);
}

QString logNoteLine(const QDateTime& when, const QString& task, const QString& answer,
                    const QString& note) {
    return composeLogLine(logTime(when), task, answer, note);
}

QString PracticeLog::path() {
    return withSeparator(programDir()) + QStringLiteral("Kalmix_Log.txt");
}

void PracticeLog::open() {
    close();
    m_file.setFileName(path());
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        raiseError(ErrNr::PathFileAccess);
}

void PracticeLog::close() {
    if (m_file.isOpen())
        m_file.close();
}

void PracticeLog::writeLine(const QString& line) {
    if (!m_file.isOpen())
        open();
    const QByteArray bytes = (line + QStringLiteral("\r\n")).toUtf8();
    // Written straight to the file, whole or not at all.
    if (!appendWhole(m_file.handle(), bytes)) {
        const bool full = errno == ENOSPC || errno == EFBIG || errno == EDQUOT;
        close();
        raiseError(full ? ErrNr::DiskFull : ErrNr::PathFileAccess);
    }
}

PracticeLog& LogNr() {
    static PracticeLog log;
    return log;
}

} // namespace kalmix
