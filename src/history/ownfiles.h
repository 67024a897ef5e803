#pragma once

#include <QString>
#include <QStringList>

namespace kalmix {

// Whether an export (a CSV or PDF file, a print to a file) may write to a path. Kalmix never
// replaces a file of its own with an export, nor anything that is not a plain file: a folder,
// a device or a pipe would be swapped for a new file, or fed without the care a file gets.
enum class ExportTarget {
    Free,     // nothing there yet, or a regular file of the user's that may be replaced
    OwnFile,  // the settings file, the history, the practice log, an error file or the like
    NotAFile, // a folder, a device, a pipe, a socket
};

// Symbolic links are followed, so another name for one of Kalmix's files is still its file;
// a path that does not exist yet is judged by the folder it would be made in.
ExportTarget checkExportTarget(const QString& path);

// The files Kalmix keeps for itself, as they are named now (some may not exist).
QStringList ownFiles();

} // namespace kalmix
