#pragma once

#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace kalmix {

// The grown-up lock: while a password is set, the options (the settings window, whether from
// the toolbar or from Start for a first player, deleting the practice log, deleting a player)
// and the report open only for the one who knows it.
// The settings file keeps its hash under `Passwort` in `Optionen`; deleting that key removes
// the lock.

// Whether the settings file holds a password that can be checked.
bool passwordLockOn();

// Asks for the password when the lock is on; true when the way is free (no lock, or the
// right password). A wrong password is told and gives false, and so does Cancel. A stored
// value that cannot be read locks nothing: it is told, and the way is free.
bool unlockOptions(QWidget* parent);

// The settings window's password button: sets a new password, or changes or removes the one
// there is after asking for it first.
void choosePassword(QWidget* parent);

// The questions for a password, as the user answers them.
enum class PasswordPrompt {
    Ask,   // one box: the password that is set
    Choose // two boxes: a new password, twice; Remove when one is set
};
struct PasswordPromptCall {
    PasswordPrompt kind;
    bool canRemove = false;
};
struct PasswordAnswer {
    QString password;
    QString repeated;
    bool remove = false;
};

// Tests answer the password questions here (nothing: Cancel); nullptr shows the real ones.
using PasswordPromptHook = std::function<std::optional<PasswordAnswer>(const PasswordPromptCall&)>;
void setPasswordPromptHook(PasswordPromptHook hook);
// Tests make new hashes with fewer rounds to stay fast; 0 gives the program's own number.
void setPasswordRoundsForTesting(int rounds);

} // namespace kalmix
