#include "engine/practicelog.h"

#include "services/runtimeerror.h"

#include "services/appinfo.h"
#include "services/filewrite.h"
#include "services/lang.h"
#include "services/msgbox.h"

#include <QDir>
#include <QRegularExpression>
#include <cerrno>
#include <sys/stat.h>

namespace kalmix {

QString logDate(const QDateTime& when) {
    const QLocale locale = systemLocale();
    QString format = locale.dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return locale.toString(when.date(), format);
}

QString timeFormatWithoutZone(const QString& format) {
    // The time zone letters go, quoted literal text stays.
    QString kept;
    bool quoted = false;
    for (QChar c : format) {
        if (c == u'\'')
            quoted = !quoted;
        if (quoted || c != u't')
            kept += c;
    }
    // What only framed or separated the zone goes too: "H:mm:ss (t)" is "H:mm:ss".
    static const QRegularExpression emptyBrackets(
        QStringLiteral("[(\\[\\x{FF08}]\\s*[)\\]\\x{FF09}]"));
    kept.remove(emptyBrackets);
    static const QRegularExpression blanks(QStringLiteral("\\s{2,}"));
    kept.replace(blanks, QStringLiteral(" "));
    static const QRegularExpression strayEnds(QStringLiteral("^[\\s,;-]+|[\\s,;-]+$"));
    kept.remove(strayEnds);
    return kept;
}

QString logTime(const QDateTime& when) {
    const QLocale locale = systemLocale();
    return locale.toString(when.time(),
                           timeFormatWithoutZone(locale.timeFormat(QLocale::LongFormat)));
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
    // The children's names and answers are for the owner of the log alone.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered,
                     QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        raiseError(ErrNr::PathFileAccess);
}

void PracticeLog::close() {
    if (m_file.isOpen())
        m_file.close();
}

bool PracticeLog::stillAtPath() const {
    struct stat held {};
    struct stat named {};
    return ::fstat(m_file.handle(), &held) == 0 &&
           ::stat(QFile::encodeName(path()).constData(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

void PracticeLog::writeLine(const QString& line) {
    if (!m_file.isOpen() || !stillAtPath())
        open();
    const QByteArray bytes = (line + QStringLiteral("\r\n")).toUtf8();
    // Written straight to the file, whole or not at all.
    if (!appendWhole(m_file.handle(), bytes)) {
        const bool full = errno == ENOSPC || errno == EFBIG || errno == EDQUOT;
        close();
        raiseError(full ? ErrNr::DiskFull : ErrNr::PathFileAccess);
    }
}

void PracticeLog::append(const QString& line) {
    try {
        writeLine(line);
        m_failureSaidFor.clear();
    } catch (const RuntimeError&) {
        close();
        if (m_failureSaidFor == path())
            return;
        m_failureSaidFor = path();
        MsgBox(langText(241).arg(QDir::toNativeSeparators(path())), MsgButtons::Ok,
               MsgIcon::Exclamation);
    }
}

PracticeLog& LogNr() {
    static PracticeLog log;
    return log;
}

} // namespace kalmix
