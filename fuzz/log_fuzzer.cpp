// Feeds arbitrary texts to the practice log's line builder: the time, the task and the answer
// come first and unchanged, a note starts at a print zone after at least one blank, and
// nothing else is added.
#include "engine/logline.h"

#include <QByteArray>
#include <QStringList>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString all =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QStringList parts = all.split(QChar(0));
    const QString time = parts.value(0).left(40);
    const QString task = parts.value(1);
    const QString answer = parts.value(2);
    const QString note = parts.value(3);
    const QString head = time + u'\t' + task + answer;
    const QString line = kalmix::composeLogLine(time, task, answer, note);
    if (!line.startsWith(head))
        std::abort();
    if (note.isEmpty()) {
        if (line != head)
            std::abort();
        return 0;
    }
    if (!line.endsWith(note))
        std::abort();
    const qsizetype noteAt = line.size() - note.size(); // 0-based: column noteAt + 1
    if (noteAt <= head.size() || noteAt % 14 != 0 || noteAt - head.size() > 14)
        std::abort();
    for (qsizetype i = head.size(); i < noteAt; ++i) {
        if (line[i] != u' ')
            std::abort();
    }
    return 0;
}
