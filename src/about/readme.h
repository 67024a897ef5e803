#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

namespace kalmix {

// The read-me of a language: "liesmich.txt" in German, "readme.txt" in every other language.
QString readmeName(std::int16_t sprachBasis);

// The folders that may hold the read-me files, in the order they are searched: beside the
// program (a portable copy or the build tree), the documentation folder of an installation
// relative to the program, and the documentation folder the program was built for.
QStringList readmeDirs();
// Tests search their own folders; an empty list restores the program's.
void setReadmeDirsForTesting(const QStringList& dirs);

// The full path of the named read-me in the first folder that has it; empty when none has.
QString findReadme(const QString& name);

} // namespace kalmix
