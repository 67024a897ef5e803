#pragma once

#include <QByteArray>
#include <QString>

namespace kalmix {

// The grown-up's password is kept only as a salted, slow hash, in one self-describing text:
//   pbkdf2-sha256$<rounds>$<salt>$<hash>
// with salt and hash in URL-safe Base64 without padding. The text never holds the password.
inline constexpr int kPasswordRounds = 100000;     // what Kalmix always uses for a new password
inline constexpr int kPasswordMaxRounds = 1000000; // more is taken as a damaged value
inline constexpr int kPasswordMinLength = 4;       // characters, not bytes

// The stored text for a password, with a fresh random salt.
QString makePasswordHash(const QString& password, int rounds = kPasswordRounds);

// The stored text for a password and a given salt (the random part left out).
QString makePasswordHash(const QString& password, const QByteArray& salt, int rounds);

enum class PasswordCheck { Right, Wrong, Unreadable };

// Compares a typed password with a stored text. A text that is not in the form above (hand
// edited, cut short, an unknown algorithm, an absurd number of rounds) is Unreadable: no
// password can match it. The comparison of the hashes takes the same time wherever they differ.
PasswordCheck checkPassword(const QString& password, const QString& stored);

// Whether a stored text is in the form above.
bool passwordHashReadable(const QString& stored);

// Whether a password is long enough to be taken.
bool passwordLongEnough(const QString& password);

} // namespace kalmix
