#include "profiles/passwordhash.h"

#include <QCryptographicHash>
#include <QPasswordDigestor>
#include <QRandomGenerator>
#include <QStringList>
#include <optional>

namespace kalmix {

namespace {

const QString kAlgorithm = QStringLiteral("pbkdf2-sha256");
constexpr int kSaltBytes = 16;
constexpr int kHashBytes = 32;
constexpr auto kBase64 = QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals;

struct Stored {
    int rounds = 0;
    QByteArray salt;
    QByteArray hash;
};

QByteArray derive(const QString& password, const QByteArray& salt, int rounds) {
    return QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, password.toUtf8(), salt,
                                              rounds, kHashBytes);
}

std::optional<QByteArray> decode(const QString& text) {
    if (text.isEmpty())
        return std::nullopt;
    const auto result = QByteArray::fromBase64Encoding(
        text.toLatin1(), kBase64 | QByteArray::AbortOnBase64DecodingErrors);
    if (!result)
        return std::nullopt;
    return *result;
}

std::optional<Stored> parse(const QString& stored) {
    const QStringList parts = stored.trimmed().split(u'$');
    if (parts.size() != 4 || parts[0].compare(kAlgorithm, Qt::CaseInsensitive) != 0)
        return std::nullopt;
    bool ok = false;
    const int rounds = parts[1].toInt(&ok);
    if (!ok || rounds < 1 || rounds > kPasswordMaxRounds)
        return std::nullopt;
    const auto salt = decode(parts[2]);
    const auto hash = decode(parts[3]);
    if (!salt || salt->size() < 8 || !hash || hash->size() != kHashBytes)
        return std::nullopt;
    return Stored{rounds, *salt, *hash};
}

bool sameBytes(const QByteArray& a, const QByteArray& b) {
    // Both are kHashBytes long; every byte is looked at whatever the first difference.
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

} // namespace

QString makePasswordHash(const QString& password, const QByteArray& salt, int rounds) {
    return kAlgorithm + u'$' + QString::number(rounds) + u'$' +
           QString::fromLatin1(salt.toBase64(kBase64)) + u'$' +
           QString::fromLatin1(derive(password, salt, rounds).toBase64(kBase64));
}

QString makePasswordHash(const QString& password, int rounds) {
    QByteArray salt(kSaltBytes, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(salt.data()),
                                          kSaltBytes / sizeof(quint32));
    return makePasswordHash(password, salt, rounds);
}

PasswordCheck checkPassword(const QString& password, const QString& stored) {
    const auto s = parse(stored);
    if (!s)
        return PasswordCheck::Unreadable;
    return sameBytes(derive(password, s->salt, s->rounds), s->hash) ? PasswordCheck::Right
                                                                    : PasswordCheck::Wrong;
}

bool passwordHashReadable(const QString& stored) {
    return parse(stored).has_value();
}

bool passwordLongEnough(const QString& password) {
    return password.toUcs4().size() >= kPasswordMinLength;
}

} // namespace kalmix
