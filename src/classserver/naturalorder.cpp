#include "classserver/naturalorder.h"

namespace kalmix {

namespace {

// The next run of digits or of other characters at i, moving i past it.
QStringView run(const QString& s, qsizetype& i) {
    const qsizetype from = i;
    const bool digits = s[i].isDigit();
    while (i < s.size() && s[i].isDigit() == digits)
        ++i;
    return QStringView(s).mid(from, i - from);
}

// Two runs of digits by their value, however many digits they have.
int compareNumbers(QStringView x, QStringView y) {
    while (x.size() > 1 && x.front() == u'0')
        x = x.mid(1);
    while (y.size() > 1 && y.front() == u'0')
        y = y.mid(1);
    if (x.size() != y.size())
        return x.size() < y.size() ? -1 : 1;
    return x.compare(y);
}

} // namespace

bool naturalLess(const QString& x, const QString& y) {
    qsizetype i = 0, j = 0;
    while (i < x.size() && j < y.size()) {
        const bool xDigits = x[i].isDigit(), yDigits = y[j].isDigit();
        const QStringView a = run(x, i), b = run(y, j);
        const int c = xDigits && yDigits ? compareNumbers(a, b) : a.compare(b, Qt::CaseInsensitive);
        if (c != 0)
            return c < 0;
    }
    if ((i < x.size()) != (j < y.size()))
        return j < y.size(); // the shorter name first
    const int c = x.compare(y, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : x < y;
}

} // namespace kalmix
