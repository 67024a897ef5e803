#pragma once

#include <QUrl>
#include <functional>

namespace kalmix {

// Opens a file, a mailto: address or a web address with the user's associated program.
// Returns whether the desktop accepted it.
bool ShellOpen(const QUrl& url);

// Tests see the addresses here instead of starting programs; nullptr restores the desktop.
using ShellOpenHook = std::function<bool(const QUrl&)>;
void setShellOpenHook(ShellOpenHook hook);

} // namespace kalmix
