#include "services/codepage.h"

#include <QStringDecoder>

namespace kalmix {

namespace {
// Characters of the bytes 0x80 to 0x9F; every other byte is the Latin-1 character of its value.
constexpr char16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
} // namespace

QString fromCp1252(const QByteArray& bytes) {
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* dst = out.data();
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *dst++ = (b >= 0x80 && b < 0xA0) ? QChar(kHigh[b - 0x80]) : QChar(char16_t(b));
    }
    return out;
}

QByteArray toCp1252(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    for (QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            out.append(static_cast<char>(u));
            continue;
        }
        char b = '?';
        for (int i = 0; i < 32; ++i) {
            if (kHigh[i] == u) {
                b = static_cast<char>(0x80 + i);
                break;
            }
        }
        out.append(b);
    }
    return out;
}

namespace {

// UTF-16 without a byte order mark: text of this program's kind is mostly Latin letters, so
// one byte of nearly every pair is zero. 0 when the bytes do not look like that, 1 for little
// endian, 2 for big endian.
int bareUtf16(const QByteArray& bytes) {
    const qsizetype pairs = bytes.size() / 2;
    if (pairs < 2)
        return 0;
    qsizetype evenZero = 0, oddZero = 0;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
        evenZero += bytes[i] == '\0';
        oddZero += bytes[i + 1] == '\0';
    }
    if (oddZero * 10 >= pairs * 7 && evenZero * 10 < pairs)
        return 1;
    if (evenZero * 10 >= pairs * 7 && oddZero * 10 < pairs)
        return 2;
    return 0;
}

} // namespace

QString decodeTextFile(const QByteArray& bytes, bool* faithful) {
    bool ok = true;
    QString text;
    const int bare = bareUtf16(bytes);
    const bool le = bytes.startsWith("\xFF\xFE") || bare == 1;
    if (le || bytes.startsWith("\xFE\xFF") || bare == 2) {
        QStringDecoder utf16(le ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        text = utf16.decode(bytes);
        ok = !utf16.hasError() && bytes.size() % 2 == 0;
    } else {
        QStringDecoder whole(QStringDecoder::Utf8);
        text = whole.decode(bytes);
        if (whole.hasError())
            text.clear();
        text.reserve(bytes.size());
        qsizetype start = whole.hasError() ? 0 : bytes.size();
        while (start < bytes.size()) {
            qsizetype stop = bytes.indexOf('\n', start);
            stop = stop < 0 ? bytes.size() : stop + 1;
            const QByteArrayView line = QByteArrayView(bytes).sliced(start, stop - start);
            QStringDecoder utf8(QStringDecoder::Utf8);
            const QString decoded = utf8.decode(line);
            text += utf8.hasError() ? fromCp1252(line.toByteArray()) : decoded;
            start = stop;
        }
    }
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    if (faithful)
        *faithful = ok;
    return text;
}

} // namespace kalmix
