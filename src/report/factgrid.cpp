#include "report/factgrid.h"

#include "profiles/record.h"
#include "profiles/settingsfile.h"
#include "services/lang.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>

namespace kalmix {

namespace {

constexpr int kCell = 22;   // a grid cell, in pixels at 1x
constexpr int kHeader = 28; // the row and column of values
constexpr int kLine = 20;   // a line of the list
constexpr int kListRows = 30;
constexpr int kListWidth = 380;

quint64 key(int a, int b) {
    return (static_cast<quint64>(static_cast<quint32>(a)) << 32) | static_cast<quint32>(b);
}

QList<int> span(int first, int last) {
    QList<int> values;
    for (int v = first; v <= last; ++v)
        values.append(v);
    return values;
}

// Most often wrong first, then the most asked, then by the task.
bool listedBefore(const ReportFact& x, const ReportFact& y) {
    auto rank = [](ReportFact::State s) {
        switch (s) {
        case ReportFact::State::OftenWrong:
            return 0;
        case ReportFact::State::Learning:
            return 1;
        case ReportFact::State::Mastered:
            return 2;
        case ReportFact::State::NotYet:
            break;
        }
        return 3;
    };
    if (rank(x.state) != rank(y.state))
        return rank(x.state) < rank(y.state);
    if (x.tasks != y.tasks)
        return x.tasks > y.tasks;
    return std::pair(x.a, x.b) < std::pair(y.a, y.b);
}

} // namespace

PlayerExercise readPlayerExercise(const QString& player) {
    PlayerExercise e;
    e.kind = std::clamp<int>(GetIniInt(player, QStringLiteral("Uebung"), 0), 0, 8);
    if (e.kind >= 2) {
        const int option = GetIniInt(player, QStringLiteral("MaxSum"), 0);
        e.maxSum = rangeBound(option >= 0 && option <= 8 ? option : 0);
    } else {
        e.maxSum = 9; // the picture kinds count up to 9
    }
    e.zero = GetIniInt(player, QStringLiteral("Null"), 0) != 0;
    const QString ticks =
        GetIniString(player, QStringLiteral("Faktoren"), QString::fromLatin1(kDefaultFaktoren));
    for (int box = 0; box < 20; ++box) {
        if (tickAt(ticks, box))
            e.factors.append(factorOfBox(box));
    }
    if (e.factors.isEmpty()) { // as the settings record takes an empty choice
        for (int box = 0; box < 20; ++box) {
            if (tickAt(QString::fromLatin1(kDefaultFaktoren), box))
                e.factors.append(factorOfBox(box));
        }
    }
    std::sort(e.factors.begin(), e.factors.end());
    return e;
}

QStringList factOperations(int kind) {
    QStringList ops;
    switch (kind) {
    case 3:
        ops = {QStringLiteral("-")};
        break;
    case 4:
    case 7:
        ops = {QStringLiteral("*"), QStringLiteral("/")};
        break;
    case 5:
        ops = {QStringLiteral("/"), QStringLiteral("*")};
        break;
    default:
        break;
    }
    for (const char* op : {"+", "-", "*", "/"}) {
        if (!ops.contains(QLatin1String(op)))
            ops.append(QString::fromLatin1(op));
    }
    return ops;
}

FactLayout factLayout(const PlayerExercise& e, const QString& operation) {
    FactLayout l;
    l.operation = operation;
    if (operation == u'*' || operation == u'/') {
        const bool wide = !e.factors.isEmpty() && e.factors.last() > 10;
        const int most = wide ? 20 : 10;
        for (int f : e.factors) {
            if (operation == u'*' || f != 0) // a division by 0 is asked as 0 : q
                l.rows.append(f);
        }
        l.columns = span(operation == u'*' ? 2 : 3, most);
        l.maxA = operation == u'*' ? most : 400;
        l.maxB = 20;
        return l;
    }
    l.maxA = l.maxB = e.maxSum;
    if (e.maxSum > 20) {
        l.asList = true;
        return l;
    }
    if (operation == u'+')
        l.rows = span(e.zero ? 0 : 1, e.maxSum - 1);
    else
        l.rows = span(e.zero ? 1 : 2, e.maxSum);
    l.columns = span(1, e.zero || operation == u'-' ? e.maxSum : e.maxSum - 1);
    l.zero = e.zero;
    return l;
}

std::optional<std::pair<int, int>> cellFact(const FactLayout& l, int row, int column) {
    if (l.asList || row < 0 || row >= l.rows.size() || column < 0 || column >= l.columns.size())
        return std::nullopt;
    const int r = l.rows[row];
    const int c = l.columns[column];
    if (l.operation == u'*')
        return std::pair(c, r);
    if (l.operation == u'/')
        return std::pair(r * c, r);
    if (l.operation == u'+')
        return r + c <= l.maxA ? std::optional(std::pair(r, c)) : std::nullopt;
    // A difference is never negative, and 0 only where the first addend may be 0.
    return c < r || (c == r && l.zero) ? std::optional(std::pair(r, c)) : std::nullopt;
}

int factResult(const QString& operation, int a, int b) {
    if (operation == u'+')
        return a + b;
    if (operation == u'-')
        return a - b;
    if (operation == u'*')
        return a * b;
    return b != 0 ? a / b : 0;
}

QString operationSign(const QString& operation) {
    if (operation == u'*')
        return QStringLiteral("\u00b7");
    if (operation == u'/')
        return QStringLiteral(":");
    return operation;
}

QString operationName(const QString& operation) {
    const int nr = operation == u'+'   ? 185
                   : operation == u'-' ? 181
                   : operation == u'*' ? 182
                                       : 186;
    return operationSign(operation) + QStringLiteral("   ") + QString(langText(nr)).remove(u'&');
}

QColor factColor(ReportFact::State state) {
    switch (state) {
    case ReportFact::State::OftenWrong:
        return QColor(0xE8, 0x6A, 0x5C);
    case ReportFact::State::Learning:
        return QColor(0xF6, 0xD3, 0x65);
    case ReportFact::State::Mastered:
        return QColor(0x5B, 0xB5, 0x6A);
    case ReportFact::State::NotYet:
        break;
    }
    return QColor(0xE4, 0xE4, 0xE4);
}

FactGridWidget::FactGridWidget(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("factGrid"));
}

void FactGridWidget::setFacts(const FactLayout& layout, const QList<ReportFact>& facts) {
    m_layout = layout;
    m_facts.clear();
    for (const ReportFact& f : facts)
        m_facts.insert(key(f.a, f.b), f);
    m_listed = layout.asList ? listed(kListRows) : QList<ReportFact>();
    updateGeometry();
    update();
}

const ReportFact* FactGridWidget::factAt(int a, int b) const {
    const auto it = m_facts.constFind(key(a, b));
    return it == m_facts.cend() ? nullptr : &*it;
}

ReportFact::State FactGridWidget::cellState(int row, int column) const {
    const auto fact = cellFact(m_layout, row, column);
    const ReportFact* f = fact ? factAt(fact->first, fact->second) : nullptr;
    return f ? f->state : ReportFact::State::NotYet;
}

QList<ReportFact> FactGridWidget::listed(int most) const {
    QList<ReportFact> practised;
    for (const ReportFact& f : m_facts) {
        if (f.tasks > 0)
            practised.append(f);
    }
    const auto end = practised.begin() + std::min<qsizetype>(most, practised.size());
    std::partial_sort(practised.begin(), end, practised.end(), listedBefore);
    practised.erase(end, practised.end());
    return practised;
}

QSize FactGridWidget::sizeHint() const {
    if (m_layout.asList)
        return {kListWidth, kLine * (static_cast<int>(m_listed.size()) + 2) + 4};
    return {kHeader + kCell * static_cast<int>(m_layout.columns.size()) + 2,
            kHeader + kCell * static_cast<int>(m_layout.rows.size()) + 2};
}

void FactGridWidget::paintFacts(QPainter& p, const QRectF& rect) const {
    const QSizeF natural = sizeHint();
    const qreal scale =
        std::min({1.0, rect.width() / natural.width(), rect.height() / natural.height()});
    p.save();
    p.translate(rect.topLeft());
    p.scale(scale, scale);
    QFont small = p.font();
    small.setPixelSize(11);
    p.setFont(small);
    const QString sign = operationSign(m_layout.operation);
    if (m_layout.asList) {
        const QList<ReportFact>& facts = m_listed;
        p.setPen(Qt::black);
        // The task, how often it was asked and how often right at the first try; the titles
        // may take two lines.
        const QRectF cols[3] = {{26, 0, 120, kLine}, {150, 0, 80, kLine}, {240, 0, 130, kLine}};
        const int align[3] = {Qt::AlignLeft, Qt::AlignRight, Qt::AlignRight};
        const QString titles[3] = {langText(327), langText(328), langText(312)};
        for (int c = 0; c < 3; ++c)
            p.drawText(cols[c].adjusted(0, 0, 0, kLine),
                       align[c] | Qt::AlignBottom | Qt::TextWordWrap, titles[c]);
        for (int i = 0; i < facts.size(); ++i) {
            const ReportFact& f = facts[i];
            const qreal y = kLine * (i + 2);
            p.fillRect(QRectF(4, y + 4, 14, kLine - 8), factColor(f.state));
            const QString task = QStringLiteral("%1 %2 %3 = %4")
                                     .arg(f.a)
                                     .arg(sign)
                                     .arg(f.b)
                                     .arg(factResult(m_layout.operation, f.a, f.b));
            const QString texts[3] = {f.leftTricky ? task + QStringLiteral("  \u2022") : task,
                                      QString::number(f.tasks), QString::number(f.rightFirstTry)};
            for (int c = 0; c < 3; ++c)
                p.drawText(cols[c].translated(0, y), align[c] | Qt::AlignVCenter, texts[c]);
        }
        p.restore();
        return;
    }
    p.setPen(QColor(0x1d, 0x4f, 0x91));
    p.drawText(QRectF(0, 0, kHeader, kHeader), Qt::AlignCenter, sign);
    for (int c = 0; c < m_layout.columns.size(); ++c)
        p.drawText(QRectF(kHeader + c * kCell, 0, kCell, kHeader), Qt::AlignCenter,
                   QString::number(m_layout.columns[c]));
    for (int r = 0; r < m_layout.rows.size(); ++r)
        p.drawText(QRectF(0, kHeader + r * kCell, kHeader - 4, kCell),
                   Qt::AlignRight | Qt::AlignVCenter, QString::number(m_layout.rows[r]));
    for (int r = 0; r < m_layout.rows.size(); ++r) {
        for (int c = 0; c < m_layout.columns.size(); ++c) {
            const auto fact = cellFact(m_layout, r, c);
            if (!fact)
                continue;
            const QRectF cell(kHeader + c * kCell + 1, kHeader + r * kCell + 1, kCell - 2,
                              kCell - 2);
            const ReportFact* f = factAt(fact->first, fact->second);
            p.fillRect(cell, factColor(f ? f->state : ReportFact::State::NotYet));
            if (f && f->leftTricky) {
                p.setPen(Qt::black);
                p.drawText(cell, Qt::AlignCenter, QStringLiteral("\u2022"));
            }
        }
    }
    p.restore();
}

void FactGridWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    paintFacts(p, rect());
}

bool FactGridWidget::event(QEvent* e) {
    if (e->type() != QEvent::ToolTip || m_layout.asList)
        return QWidget::event(e);
    const QPoint at = static_cast<QHelpEvent*>(e)->pos();
    const int c = at.x() >= kHeader ? (at.x() - kHeader) / kCell : -1;
    const int r = at.y() >= kHeader ? (at.y() - kHeader) / kCell : -1;
    const auto fact = cellFact(m_layout, r, c);
    if (!fact) {
        QToolTip::hideText();
        return true;
    }
    const ReportFact* f = factAt(fact->first, fact->second);
    const QString task = QStringLiteral("%1 %2 %3 = %4")
                             .arg(fact->first)
                             .arg(operationSign(m_layout.operation))
                             .arg(fact->second)
                             .arg(factResult(m_layout.operation, fact->first, fact->second));
    QToolTip::showText(static_cast<QHelpEvent*>(e)->globalPos(),
                       langText(336).arg(task, langCount(400, f ? f->tasks : 0),
                                         langCount(400, f ? f->rightFirstTry : 0)),
                       this);
    return true;
}

} // namespace kalmix
