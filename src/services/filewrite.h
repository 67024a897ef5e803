#pragma once

#include <QByteArray>
#include <QString>

namespace kalmix {

// Replaces the file with the bytes in one step: they go to a new file beside it, which is
// checked, flushed to the disk and then renamed over the old one. Whatever happens (a full
// disk, a crash, a kill), the path holds either the old file or the new one, never a part.
// An existing file keeps its permissions. Returns whether the new file is in place.
bool writeFileAtomically(const QString& path, const QByteArray& bytes);

// Appends the bytes to a file opened for appending (a descriptor), whole or not at all: a
// write that stops short is taken back, so the file never ends in half a line.
bool appendWhole(int fd, const QByteArray& bytes);

} // namespace kalmix
