#pragma once

#include <QIODevice>
#include <QString>
#include <functional>
#include <optional>

namespace kalmix {

// What --init-class-server asks for. The class server's floor carries it out; the program
// passes it in (this floor does not reach up to it).
struct ClassServerInitRequest {
    QString conninfo;
    QString className;
    QString pupilRole;
    QString teacherRole;
};
// Returns the exit code, having written what it did or why it failed.
using ClassServerInitCommand = std::function<int(const ClassServerInitRequest&)>;

// What --export-csv FILE --class-server asks for: the answers of a class (className, or the
// class of Kalmix.ini when it is empty) from the class server of Kalmix.ini, written to out as
// CSV; otherwise what failed, with the reason in *error.
enum class ClassExport { Done, ServerFailed, WriteFailed };
using ClassServerExportCommand = std::function<ClassExport(QIODevice& out, const QString& className,
                                                           const QString& player, QString* error)>;

// The options that run without a window (--help, --export-csv FILE [--player NAME]
// [--class-server [--class NAME]], --init-class-server CONNINFO ...): the exit code when the
// command line asks for one of them, nothing for a normal start. Any other option with two dashes,
// unless it is one of Qt's, is refused with exit code 2 instead of being ignored by the window.
std::optional<int> runCommandLine(int argc, char* argv[],
                                  const ClassServerInitCommand& initClassServer = {},
                                  const ClassServerExportCommand& exportClass = {});

} // namespace kalmix
