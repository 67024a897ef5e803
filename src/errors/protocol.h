#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace kalmix {

// The operating system lines of an error protocol.
struct SystemInfo {
    QString platform; // "Linux"
    int major = 0;    // kernel version, major.minor
    int minor = 0;
    int build = 0;       // the kernel's patch level
    QString servicePack; // the distribution's name and version
};
SystemInfo currentSystemInfo();

// Everything an error protocol shows, as the error dialog holds it.
struct ProtocolData {
    QString progInfoCaption;
    QString progInfo;
    QString errorCaption;
    QString errTitles[4];
    QString errValues[4];
    QDateTime when;
    QString callStackCaption;
    QStringList callStack; // newest first
    SystemInfo system;
};

// The error protocol: CR LF terminated lines between separators of 70 minus signs.
QString buildProtocolText(const ProtocolData& data);

// The printer lines of a protocol: every protocol line with one blank added, words carried to
// continuation lines (indented by 20 blanks) once a line passes 73 columns.
QStringList printLines(const QString& protocol);

// The part of a text before its first NUL character; the empty text when it holds none.
QString LPSTRToVBString(const QString& text);

} // namespace kalmix
