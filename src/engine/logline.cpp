#include "engine/logline.h"

namespace kalmix {

namespace {
constexpr qsizetype kZone = 14;
}

QString zoneAdvanced(const QString& line, const QString& item) {
    const qsizetype column = line.size() + 1;
    const qsizetype next = 1 + kZone * ((column - 1) / kZone + 1);
    return line + QString(next - column, u' ') + item;
}

QString composeLogLine(const QString& time, const QString& task, const QString& answer,
                       const QString& note) {
    const QString line = time + u'\t' + task + answer;
    return note.isEmpty() ? line : zoneAdvanced(line, note);
}

} // namespace kalmix
