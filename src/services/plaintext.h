#pragma once

class QCoreApplication;

namespace kalmix {

// Tool tips show their text as it is, never as rich text: a language text or a player's name
// may hold anything, markup included. Installed once on the application.
void showToolTipsAsPlainText(QCoreApplication& app);

} // namespace kalmix
