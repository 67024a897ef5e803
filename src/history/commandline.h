#pragma once

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

// The options that run without a window (--help, --export-csv FILE [--player NAME],
// --init-class-server CONNINFO ...): the exit code when the command line asks for one of them,
// nothing for a normal start. Any other option with two dashes, unless it is one of Qt's, is
// refused with exit code 2 instead of being ignored by the window.
std::optional<int> runCommandLine(int argc, char* argv[],
                                  const ClassServerInitCommand& initClassServer = {});

} // namespace kalmix
