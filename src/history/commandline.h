#pragma once

#include <optional>

namespace kalmix {

// The options that run without a window (--help, --export-csv FILE [--player NAME]): the exit
// code when the command line asks for one of them, nothing for a normal start.
std::optional<int> runCommandLine(int argc, char* argv[]);

} // namespace kalmix
