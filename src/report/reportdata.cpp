#include "report/reportdata.h"

#include "report/reportchart.h"
#include "services/lang.h"

namespace kalmix {

PlayerReport loadPlayerReport(ReportSource& source, const ReportPlayer& player,
                              const QDateTime& now) {
    PlayerReport r;
    r.player = player;
    r.at = now;
    const QDate today = now.date();
    r.days = source.days(player.name, today.addDays(1 - kChartDays), today);
    r.totals[0] = source.totals(player.name, now.addDays(-7));
    r.totals[1] = source.totals(player.name, now.addDays(-30));
    r.totals[2] = source.totals(player.name, QDateTime());
    r.tricky = source.trickyTasks(player.name, now.addDays(-30), kTrickyCount);
    if (r.tricky.size() > kTrickyCount)
        r.tricky.resize(kTrickyCount);
    return r;
}

void loadFacts(ReportSource& source, PlayerReport& r, const QString& operation) {
    r.layout = factLayout(r.exercise, operation);
    r.facts = source.facts(r.player.name, operation, r.layout.maxA, r.layout.maxB);
}

QString playerLabel(const ReportPlayer& player) {
    return player.deleted ? langText(309).arg(player.name) : player.name;
}

QString shareText(int part, int whole) {
    if (whole <= 0)
        return QStringLiteral("\u2013");
    const QLocale l = reportLocale();
    return l.toString(qRound(100.0 * part / whole)) + QChar(0xa0) + l.percent();
}

QString secondsText(std::optional<double> s) {
    return s ? reportLocale().toString(*s, 'f', 1) : QStringLiteral("\u2013");
}

QString trickyTaskText(const ReportTrickyTask& t) {
    QString text;
    if (t.operation == QLatin1String("count"))
        text = QStringLiteral("%1 \u2192 %2").arg(t.a).arg(t.expected);
    else if (t.operation == QLatin1String("symbols"))
        text = QStringLiteral("%1 + %2 = %3").arg(t.a).arg(t.b.value_or(0)).arg(t.expected);
    else
        text = QStringLiteral("%1 %2 %3 = %4")
                   .arg(t.a)
                   .arg(operationSign(t.operation))
                   .arg(t.b.value_or(0))
                   .arg(t.expected);
    return t.leftTricky ? text + QStringLiteral("  \u2022") : text;
}

QStringList totalsTexts(const ReportTotals& t) {
    const QLocale l = reportLocale();
    return {l.toString(t.rounds), l.toString(t.tasks),
            QStringLiteral("%1 (%2)").arg(l.toString(t.rightFirstTry),
                                          shareText(t.rightFirstTry, t.tasks)),
            l.toString(t.helped), secondsText(t.medianSeconds)};
}

QStringList totalsRowTitles() {
    return {langText(316), langText(317), langText(312), langText(318), langText(319)};
}

QStringList totalsColumnTitles() {
    return {langText(313), langText(314), langText(315)};
}

} // namespace kalmix
