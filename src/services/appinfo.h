#pragma once

#include <QString>

namespace kalmix {

// The program's title: it names the settings file and heads every message box.
inline constexpr char kProgramTitle[] = "Kalmix";

int versionMajor();
int versionMinor();
int versionRevision();

// The executable's file name without its extension ("kalmix").
QString exeName();
void setExeNameForTesting(const QString& name);

// The program's directory, without a trailing separator: the directory of the executable when
// it can be written there (a build tree or a portable install), otherwise the per-user data
// directory, created on first use. The settings file, the practice log and the error files all
// live there.
QString programDir();
void setProgramDirForTesting(const QString& dir);

// The directory path followed by a separator unless it already ends with one.
QString withSeparator(const QString& dir);

QString supportEmail();
QString homePage();

} // namespace kalmix
