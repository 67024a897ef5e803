#include "errors/protocol.h"

#include <QRegularExpression>
#include <QSysInfo>

namespace kalmix {

namespace {
const QString kCrLf = QStringLiteral("\r\n");
const QString kSeparator = QString(70, u'-');
const QString kIndent = QString(10, u' ');
constexpr qsizetype kPrintColumns = 73;
} // namespace

SystemInfo currentSystemInfo() {
    SystemInfo info;
    QString type = QSysInfo::kernelType();
    if (!type.isEmpty())
        type[0] = type[0].toUpper();
    info.platform = type;
    static const QRegularExpression numbers(QStringLiteral("^(\\d+)(?:\\.(\\d+))?(?:\\.(\\d+))?"));
    const QRegularExpressionMatch m = numbers.match(QSysInfo::kernelVersion());
    if (m.hasMatch()) {
        info.major = m.captured(1).toInt();
        info.minor = m.captured(2).toInt();
        info.build = m.captured(3).toInt() & 0xFFFF;
    }
    info.servicePack = QSysInfo::prettyProductName();
    return info;
}

QString buildProtocolText(const ProtocolData& d) {
    QString t;
    auto line = [&t](const QString& s) { t += s + kCrLf; };
    line(kSeparator);
    line(QStringLiteral("F E H L E R P R O T O K O L L vom Fehlerwart"));
    line(kSeparator);
    line(d.progInfoCaption.toUpper());
    line(kIndent + d.progInfo);
    line(kSeparator);
    line(d.errorCaption.toUpper());
    for (int i = 0; i < 4; ++i)
        line(kIndent + d.errTitles[i] + u'\t' + d.errValues[i]);
    line(kIndent + QStringLiteral("Datum/Uhrzeit:\t") +
         d.when.toString(QStringLiteral("MM-dd-yyyy")) + QStringLiteral(" / ") +
         d.when.toString(QStringLiteral("HH:mm:ss")));
    line(kSeparator);
    line(d.callStackCaption.toUpper());
    for (const QString& entry : d.callStack)
        line(kIndent + entry);
    line(kSeparator);
    line(QStringLiteral("SYSTEMINFO:"));
    line(kIndent + QStringLiteral("Plattform:\t") + d.system.platform);
    line(kIndent + QStringLiteral("Version:\t") + QString::number(d.system.major) + u'.' +
         QString::number(d.system.minor));
    line(kIndent + QStringLiteral("Build:\t") + QString::number(d.system.build & 0xFFFF) +
         QStringLiteral("   ") + d.system.servicePack);
    line(kSeparator);
    return t;
}

QStringList printLines(const QString& protocol) {
    QStringList out;
    QString text = protocol + kCrLf;
    qsizetype start = 0;
    qsizetype end;
    while ((end = text.indexOf(kCrLf, start)) >= 0) {
        const QString line = text.sliced(start, end - start) + u' ';
        start = end + 2;
        qsizetype column = 0;
        QString output;
        qsizetype from = 0;
        qsizetype blank;
        while ((blank = line.indexOf(u' ', from)) >= 0) {
            const QString word = line.sliced(from, blank + 1 - from);
            from = blank + 1;
            column += word.size();
            if (column > kPrintColumns) {
                if (!output.isEmpty()) {
                    out.append(output);
                    output = QString(20, u' ');
                }
                column = word.size();
            }
            output += word;
        }
        if (!output.isEmpty())
            out.append(output);
    }
    return out;
}

QString LPSTRToVBString(const QString& text) {
    const qsizetype nul = text.indexOf(QChar(0));
    return nul < 0 ? QString() : text.first(nul);
}

} // namespace kalmix
